// The README's first session, taken from the README itself: the lines of its
// "session" block are typed into the program, and every fixed message the section
// quotes must appear, every file it names must be written.
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/program.h"
#include "e2e/shipped_dump.h"

namespace {

std::string FirstSession() {
  std::string readme = ReadFile(std::string(SCHMIEDE_SOURCE_DIR) + "/README.md");
  size_t from = readme.find("\n## A first session\n");
  size_t to = readme.find("\n## ", from + 1);
  return from == std::string::npos ? "" : readme.substr(from, to - from);
}

// The ```session block as keys: a line of one character is a key pressed alone, a
// longer line is typed and ends with Enter.
std::string TypedKeys(const std::string& section) {
  size_t open = section.find("\n```session\n");
  if (open == std::string::npos) return "";
  std::istringstream lines(section.substr(open + 12, section.find("\n```", open + 12) - open - 12));
  std::string keys, line;
  while (std::getline(lines, line)) keys += line.size() == 1 ? line : line + "\n";
  return keys;
}

// Texts in double quotes without digits: the messages that do not depend on the draw.
// Excerpts in code blocks are left out: their quotes belong to the creatures shown.
std::vector<std::string> FixedQuotes(const std::string& section) {
  std::vector<std::string> quotes;
  static const std::regex kQuote("\"([^\"]+)\"");
  std::string prose;
  for (size_t at = 0, open; at < section.size(); at = section.find("\n```", open + 4) + 4) {
    open = section.find("\n```", at);
    prose += section.substr(at, open - at);
    if (open == std::string::npos || section.find("\n```", open + 4) == std::string::npos) break;
  }
  for (std::sregex_iterator m(prose.begin(), prose.end(), kQuote), end; m != end; ++m) {
    std::string q = std::regex_replace((*m)[1].str(), std::regex("\\s*\n\\s*"), " ");
    if (q.find_first_of("0123456789") == std::string::npos) quotes.push_back(q);
  }
  return quotes;
}

TEST(Readme, FirstSessionRunsAsWritten) {
  const std::string section = FirstSession();
  const std::string typed = TypedKeys(section);
  ASSERT_FALSE(typed.empty()) << "README has no session block under '## A first session'";
  WorkDir dir;
  dir.Write("source.mrg", ShippedDump());
  ProgramRun run = RunProgram(dir, {"3"}, typed.c_str(), 120);
  ASSERT_TRUE(EndedWith(run, 0));

  std::vector<std::string> quotes = FixedQuotes(section);
  EXPECT_GE(quotes.size(), 5u);
  for (const std::string& q : quotes) EXPECT_NE(run.output.find(q), std::string::npos) << "missing: " << q;

  static const std::regex kFile("`((save|export)/[a-z]+\\.(rep|exp))`");
  int files = 0;
  for (std::sregex_iterator m(section.begin(), section.end(), kFile), end; m != end; ++m, ++files)
    EXPECT_TRUE(dir.Exists((*m)[1].str())) << (*m)[1].str();
  EXPECT_GE(files, 2);
  // The summary saved three creatures; the replay and the export hold the same three.
  EXPECT_EQ(ExportedCreatures(dir.Read("export/treffen.exp")).size(), 3u);
}

}  // namespace
