#include "platform/keys.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "launcher/process.h"

namespace {

constexpr size_t kBufSize = 4096;
char gBuf[kBufSize];
size_t gHead = 0, gTail = 0;
bool gEof = false;

const char* gText = nullptr;  // test input
size_t gTextPos = 0;

int gTerminal = -1;  // -1 unknown
bool gSaved = false;
bool gRaw = false;
termios gOriginal;

bool Terminal() {
  if (gText) return false;
  if (gTerminal < 0) gTerminal = isatty(0) ? 1 : 0;
  return gTerminal == 1;
}

void OnSignal(int sig) {
  if (gSaved) tcsetattr(0, TCSANOW, &gOriginal);
  signal(sig, SIG_DFL);
  raise(sig);
}

void SaveTerminal() {
  if (gSaved || !Terminal()) return;
  if (tcgetattr(0, &gOriginal) != 0) return;
  gSaved = true;
  atexit(RestoreTerminal);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) signal(sig, OnSignal);
}

void SetRaw(bool raw) {
  if (!Terminal()) return;
  SaveTerminal();
  if (!gSaved || gRaw == raw) return;
  termios t = gOriginal;
  if (raw) {
    t.c_lflag &= ~(ICANON | ECHO);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
  }
  tcsetattr(0, TCSANOW, &t);
  gRaw = raw;
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
    ssize_t n = read(0, gBuf, kBufSize);
    if (n > 0) {
      gTail = (size_t)n;
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    gEof = true;
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
}

bool KeyWaiting() {
  if (gHead < gTail || gEof || gText) return true;
  SetRaw(true);
  return ReadyWithin(0);
}

int ReadKey(int atEnd) {
  fflush(stdout);
  SetRaw(true);
  for (;;) {
    int c = NextByte();
    if (c < 0) return atEnd;
    if (c == '\n') return kKeyEnter;
    if (c == 0x1b && Terminal()) {
      // Escape sequences (arrows, function keys) are read whole and ignored.
      if (!ReadyWithin(30)) continue;
      int d = NextByte();
      if (d == '[' || d == 'O') {
        while (ReadyWithin(30)) {
          int e = NextByte();
          if (e < 0 || (e >= 0x40 && e <= 0x7e)) break;
        }
      }
      continue;
    }
    return c;
  }
}

bool ReadLine(char* buf, size_t size) {
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

void WaitForKey(const char* note) {
  ConsolePrint("%s", note);
  ReadKey(kKeyEnter);
}

int ReadChar() {
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
  gEof = false;
}
