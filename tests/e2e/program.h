// Runs the built program as a user would: in a fresh working directory with the
// shipped Build/ linked in, standard input from a string, output captured.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

struct ProgramRun {
  int exitCode = -1;  // -1 when the program did not end by itself (killed on timeout)
  bool timedOut = false;
  std::string output;  // standard output and standard error, interleaved
};

// A fresh temporary working directory holding a link to the repository's Build/.
class WorkDir {
 public:
  WorkDir();
  ~WorkDir();
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& relative) const { return path_ + "/" + relative; }
  void Write(const std::string& relative, const std::string& bytes) const;
  std::string Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  // Replaces the link to Build/ by a copy, so that a test may change the tables.
  void CopyBuild() const;

 private:
  std::string path_;
};

// stdinText null: standard input is /dev/null.
ProgramRun RunProgram(const WorkDir& dir, const std::vector<std::string>& args, const char* stdinText,
                      int timeoutSeconds = 20);
// The same, with the program started through `wrapper` (a tool and its options, found on PATH).
ProgramRun RunProgramUnder(const std::vector<std::string>& wrapper, const WorkDir& dir,
                           const std::vector<std::string>& args, const char* stdinText, int timeoutSeconds);
// Standard input in chunks: each is written `delayMs` after the previous one (the first after
// the start), while the output is collected; input ends after the last chunk.
struct TimedInput {
  int delayMs;
  std::string text;
};
ProgramRun RunProgramTimed(const WorkDir& dir, const std::vector<std::string>& args,
                           const std::vector<TimedInput>& input, int timeoutSeconds = 60);
// Standard input `start`, then after each complete line of output `react(output, &last)`
// may return input to send; once it set `last`, input ends and the run waits for the end.
using Reaction = std::function<std::string(const std::string&, bool*)>;
ProgramRun RunProgramReacting(const WorkDir& dir, const std::vector<std::string>& args, const std::string& start,
                              const Reaction& react, int timeoutSeconds);

#include "text_util.h"

// Success when the run ended by itself with `exitCode` and reported no leaked blocks;
// otherwise the failure shows the output.
::testing::AssertionResult EndedWith(const ProgramRun& run, int exitCode);
inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
inline bool Has(const ProgramRun& run, const std::string& part) { return Has(run.output, part); }

// A table line's fields as the reader splits them: blanks and tabs separate, quotes hold blanks.
std::vector<std::string> TableFields(const std::string& line);
std::vector<std::string> SplitLines(const std::string& text);
std::string ReadFile(const std::string& path);
// The names in a directory but "." and "..".
std::set<std::string> Entries(const std::string& dir);
std::string Le32(uint32_t v);
