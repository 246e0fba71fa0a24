// The output every runtime prints through: worker threads share one message level and
// one log with its size limit.
#include "platform/output.h"

#include <atomic>

#include "platform/keys.h"

OutputLevels gOutput;

Error::Error(const char* text, std::source_location where) : function_(where.function_name()) {
  snprintf(text_, sizeof text_, "%s", text ? text : "");
}

void RaiseError(const char* text, std::source_location where) { throw Error(text, where); }

namespace {

constexpr int64_t kLogLimit = int64_t{256} << 20;
std::atomic<int64_t> gLogged{0};
std::atomic<bool> gLogFull{false};

// Prints at a given message level. Worker threads print at the same time, so the
// shared message level is only read here, never written for a print that did not set it.
void PrintAtLevel(int level, const char* format, va_list args) {
  const OutputLevels& o = gOutput;
  if (level <= o.console) {
    va_list copy;
    va_copy(copy, args);
    vfprintf(stdout, format, copy);
    va_end(copy);
  }
  if (level <= o.log && o.logFile && !gLogFull.load(std::memory_order_relaxed)) {
    va_list copy;
    va_copy(copy, args);
    int written = vfprintf(o.logFile, format, copy);
    va_end(copy);
    // A loop logs a gigabyte in seconds: the log stops at its limit and says so, once.
    if (written > 0 && gLogged.fetch_add(written, std::memory_order_relaxed) + written > kLogLimit &&
        !gLogFull.exchange(true)) {
      fprintf(o.logFile, "\nLog stopped at %lld MB.\n", (long long)(kLogLimit >> 20));
      fflush(o.logFile);
      fprintf(stdout, "\ndebug.out has reached %lld MB: logging stopped (600 then 601 starts a new log)\n",
              (long long)(kLogLimit >> 20));
    }
  }
}

}  // namespace

int ConsolePrintV(const char* format, va_list args) {
  int level = gOutput.message;
  if (level != 0) gOutput.message = 0;
  PrintAtLevel(level, format, args);
  return 0;
}

int ConsolePrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  ConsolePrintV(format, args);
  va_end(args);
  return 0;
}

void WaitForKey(const char* note) {
  ConsolePrint("%s", note);
  ReadKey(kKeyEnter);
}

void DebugPrintAt(int level, const char* format, ...) {
  if (gOutput.effective < level) return;
  va_list args;
  va_start(args, format);
  PrintAtLevel(level, format, args);
  va_end(args);
}

void SetOutputLevels(int console, int log) {
  gOutput.console = console;
  gOutput.log = log;
  gOutput.effective = console > log ? console : log;
}

void SetLogging(bool on) {
  OutputLevels& o = gOutput;
  if (!on) {
    if (o.logFile) fclose(o.logFile);
    o.logFile = nullptr;
    o.log = -1;
  } else {
    if (!o.logFile) {
      o.logFile = fopen("debug.out", "w+");
      gLogged = 0;
      gLogFull = false;
    }
    o.log = o.logFile ? 2 : -1;
    if (!o.logFile) ConsolePrint("Could not open debug.out for logging\n");
  }
}
