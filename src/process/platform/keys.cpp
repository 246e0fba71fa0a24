// Keys and lines from a terminal or a pipe behind one interface: raw mode, stop and
// resume signals and end of input handled here so a piped run never hangs.
#include "platform/keys.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/console.h"

namespace {

constexpr size_t kBufSize = 4096;
char gBuf[kBufSize];
size_t gHead = 0, gTail = 0;
bool gEof = false;
// Ctrl-D on a terminal ends only the line read it came in; the next read waits again.
bool gEofOnce = false;

const char* gText = nullptr;  // test input
size_t gTextPos = 0;

int gTerminal = -1;  // -1 unknown
volatile sig_atomic_t gSaved = 0;
volatile sig_atomic_t gRaw = 0;
termios gOriginal;

bool Terminal() {
  if (gText) return false;
  if (gTerminal < 0) gTerminal = isatty(0) ? 1 : 0;
  return gTerminal == 1;
}

volatile sig_atomic_t gResumed = 0;
volatile sig_atomic_t gResized = 0;

termios RawMode() {
  termios t = gOriginal;
  t.c_lflag &= ~(ICANON | ECHO);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return t;
}

// Handlers do only what is safe inside a signal: terminal modes, write, flags.
void OnEndSignal(int sig) {
  if (gSaved) tcsetattr(0, TCSANOW, &gOriginal);
  ConsoleRestoreScreen();
  signal(sig, SIG_DFL);
  raise(sig);
}

void Handle(int sig, void (*handler)(int)) {
  struct sigaction a {};
  a.sa_handler = handler;
  sigemptyset(&a.sa_mask);
  a.sa_flags = SA_RESTART;
  sigaction(sig, &a, nullptr);
}

void OnStop(int) {
  int saved = errno;
  if (gSaved) tcsetattr(0, TCSANOW, &gOriginal);
  ConsoleRestoreScreen();
  signal(SIGTSTP, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(SIGTSTP);  // stopped here until the shell continues us
  Handle(SIGTSTP, OnStop);
  if (gSaved && gRaw) {
    termios t = RawMode();
    tcsetattr(0, TCSANOW, &t);
  }
  gResumed = 1;
  errno = saved;
}

void OnContinue(int) { gResumed = 1; }
void OnResize(int) { gResized = 1; }

void SaveTerminal() {
  if (gSaved || !Terminal()) return;
  if (tcgetattr(0, &gOriginal) != 0) return;
  gSaved = true;
  atexit(RestoreTerminal);
  InstallTerminalSignals();
}

void SetRaw(bool raw) {
  if (!Terminal()) return;
  SaveTerminal();
  if (!gSaved || gRaw == raw) return;
  termios t = raw ? RawMode() : gOriginal;
  tcsetattr(0, TCSANOW, &t);
  gRaw = raw;
}

bool HungUp() {
  pollfd p{0, POLLIN, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

// Every read begins past the end-of-file key of an earlier one.
void ForgetLineEnd() {
  if (gEofOnce) gEof = gEofOnce = false;
}

// Before a line is read on a terminal: after a resume the user sees again where the
// program stood (the shell's lines may stand below it). A signal ends the wait at once.
void AwaitLine() {
  for (;;) {
    if (gResumed) {
      gResumed = 0;
      if (gSaved) tcsetattr(0, TCSANOW, &gOriginal);
      ConsoleShowAgain();
    }
    pollfd p{0, POLLIN, 0};
    if (poll(&p, 1, -1) < 0 && errno == EINTR) continue;
    return;
  }
}

// Reads more bytes into the buffer; false at end of input.
bool Fill() {
  if (gHead < gTail) return true;
  if (gEof) return false;
  gHead = gTail = 0;
  if (gText) {
    size_t n = strnlen(gText + gTextPos, kBufSize);
    if (!n) {
      gEof = true;
      return false;
    }
    memcpy(gBuf, gText + gTextPos, n);
    gTextPos += n;
    gTail = n;
    return true;
  }
  fflush(stdout);
  for (;;) {
    if (Terminal() && !gRaw) AwaitLine();
    ssize_t n = read(0, gBuf, kBufSize);
    if (n > 0) {
      gTail = (size_t)n;
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    gEof = true;
    // A pipe, a closed terminal or a read error end the input for good.
    gEofOnce = n == 0 && Terminal() && !gRaw && !HungUp();
    return false;
  }
}

int NextByte() { return Fill() ? (unsigned char)gBuf[gHead++] : -1; }
int PeekByte() { return Fill() ? (unsigned char)gBuf[gHead] : -1; }

bool ReadyWithin(int ms) {
  if (gHead < gTail) return true;
  if (gText) return true;
  pollfd p{0, POLLIN, 0};
  return poll(&p, 1, ms) > 0;
}

}  // namespace

bool InputIsTerminal() { return Terminal(); }

bool InputAtEnd() { return gHead >= gTail && gEof; }

void RestoreTerminal() {
  if (gSaved && gRaw) {
    tcsetattr(0, TCSANOW, &gOriginal);
    gRaw = false;
  }
  ConsoleRestoreScreen();
}

void InstallTerminalSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction old {};
    sigaction(sig, nullptr, &old);
    if (old.sa_handler != SIG_IGN) Handle(sig, OnEndSignal);
  }
  struct sigaction old {};
  sigaction(SIGTSTP, nullptr, &old);
  if (old.sa_handler != SIG_IGN) Handle(SIGTSTP, OnStop);
  Handle(SIGCONT, OnContinue);
  Handle(SIGWINCH, OnResize);
}

namespace {

// Before a key is awaited on a terminal: after a resume the key mode is set again (the
// shell may have changed it) and the screen drawn again; so after a resize. A signal
// ends the wait at once (poll is never restarted).
void AwaitKey() {
  for (;;) {
    if (gResumed || gResized) {
      bool resumed = gResumed;
      gResumed = 0;
      gResized = 0;
      if (resumed && gSaved) {
        termios t = gRaw ? RawMode() : gOriginal;
        tcsetattr(0, TCSANOW, &t);
      }
      ConsoleRefresh();
    }
    if (gHead < gTail) return;
    fflush(stdout);
    pollfd p{0, POLLIN, 0};
    if (poll(&p, 1, -1) < 0 && errno == EINTR) continue;
    return;
  }
}

int EscapeKey(int first, const std::string& parameters, int final) {
  if (first == 'O' || parameters.empty()) {
    switch (final) {
      case 'A':
        return kKeyUp;
      case 'B':
        return kKeyDown;
      case 'C':
        return kKeyRight;
      case 'D':
        return kKeyLeft;
      case 'H':
        return kKeyHome;
      case 'F':
        return kKeyEnd;
    }
    return 0;
  }
  if (final != '~') return 0;
  int n = atoi(parameters.c_str());
  switch (n) {
    case 1:
    case 7:
      return kKeyHome;
    case 4:
    case 8:
      return kKeyEnd;
    case 5:
      return kKeyPageUp;
    case 6:
      return kKeyPageDown;
  }
  return 0;
}

}  // namespace

bool KeyWaiting() {
  ForgetLineEnd();
  if (gHead < gTail || gEof || gText) return true;
  SetRaw(true);
  return ReadyWithin(0);
}

int ReadKey(int atEnd) {
  ForgetLineEnd();
  fflush(stdout);
  SetRaw(true);
  for (;;) {
    if (Terminal()) AwaitKey();
    int c = NextByte();
    if (c < 0) return atEnd;
    if (c == '\n') return kKeyEnter;
    if (c == 0x1b && Terminal()) {
      // Escape sequences are read whole; the paging keys are kept, the rest ignored.
      if (!ReadyWithin(30)) continue;
      int d = NextByte();
      if (d != '[' && d != 'O') continue;
      std::string parameters;
      int final = 0;
      while (ReadyWithin(30)) {
        int e = NextByte();
        if (e < 0) break;
        if (e >= 0x40 && e <= 0x7e) {
          final = e;
          break;
        }
        if (parameters.size() < 16) parameters += (char)e;
      }
      if (int key = EscapeKey(d, parameters, final)) return key;
      continue;
    }
    return c;
  }
}

bool ReadLine(char* buf, size_t size) {
  ForgetLineEnd();
  SetRaw(false);
  size_t n = 0;
  bool any = false;
  for (;;) {
    int c = NextByte();
    if (c < 0) break;
    any = true;
    if (c == '\n') break;
    if (n + 1 < size) buf[n++] = (char)c;
  }
  if (n && buf[n - 1] == '\r') --n;
  if (size) buf[n] = 0;
  return any;
}

bool ReadWord(char* buf, size_t size) {
  ForgetLineEnd();
  SetRaw(false);
  int c;
  while ((c = PeekByte()) >= 0 && isspace(c)) NextByte();
  size_t n = 0;
  while ((c = PeekByte()) >= 0 && !isspace(c)) {
    NextByte();
    if (n + 1 < size) buf[n++] = (char)c;
  }
  if (size) buf[n] = 0;
  return n > 0;
}

int ReadChar() {
  ForgetLineEnd();
  fflush(stdout);
  return NextByte();
}

void DiscardPendingKeys() {
  if (!Terminal()) return;
  SetRaw(true);
  gHead = gTail = 0;
  char junk[256];
  while (ReadyWithin(0)) {
    if (read(0, junk, sizeof junk) <= 0) break;
  }
}

void FlushConsoleInput() {
  if (!Terminal()) return;
  gHead = gTail = 0;
  tcflush(0, TCIFLUSH);
}

void InputUseText(const char* text) {
  gText = text;
  gTextPos = 0;
  gHead = gTail = 0;
  gEof = gEofOnce = false;
}

int ParseIntegers(const char* line, int* values, int count, const char** stop) {
  const char* p = line;
  int read = 0;
  while (read < count) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
    const char* start = p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') {
      p = start;
      break;
    }
    long long v = 0;
    while (*p >= '0' && *p <= '9') {
      if (v <= (long long)INT_MAX + 1) v = v * 10 + (*p - '0');
      ++p;
    }
    if (negative) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    values[read++] = (int)v;
  }
  if (stop) *stop = p;
  return read;
}
