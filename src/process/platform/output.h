// The output every runtime prints through (console and log by message level, so that
// worker threads share one message level and one log with its size limit) and the
// program's error exception.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <source_location>

// The program's one error exception; carries only its text (no heap use, so it
// can be raised from inside the memory tracker).
class Error {
 public:
  explicit Error(const char* text, std::source_location where);
  const char* what() const { return text_; }
  const char* function() const { return function_; }

 private:
  char text_[256];
  const char* function_;
};

[[noreturn]] void RaiseError(const char* text, std::source_location where = std::source_location::current());

struct OutputLevels {
  int message = 0;
  int console = 0;
  int log = -1;
  int effective = 0;
  FILE* logFile = nullptr;  // null: log goes to standard output (logging off)
};

extern OutputLevels gOutput;

// printf-style output to console and log by message level; returns 0.
int ConsolePrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
int ConsolePrintV(const char* format, va_list args);
// Before a wait for one key: one line that says so, ending or going on.
constexpr const char* kEndNote = "Taste drücken zum Beenden\n";
constexpr const char* kContinueNote = "Taste drücken zum Fortfahren\n";
// Prints the note, then reads one key (a byte when input is no terminal).
void WaitForKey(const char* note);
// Debug print of level k: printed only when the effective level admits it. The level is
// tested before the call (the interpreter prints at every node when tracing).
void DebugPrintAt(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
inline bool DebugOn(int level) { return gOutput.effective >= level; }
#define DebugPrint(level, ...) (DebugOn(level) ? DebugPrintAt((level), __VA_ARGS__) : void())
void SetOutputLevels(int console, int log);

// Opens "debug.out" (log level 2) or closes it (log level -1).
void SetLogging(bool on);
