// Screen buffers on a POSIX terminal: the viewer writes into grids and this file alone
// decides whether they become ANSI drawing or plain lines on a pipe.
#include "platform/console.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/keys.h"

struct ScreenBuffer {
  bool standard = false;
  int columns = 0;
  int rows = 0;
  std::vector<uint32_t> cells;
  std::vector<uint8_t> attributes;
  int cursorX = 0;
  int cursorY = 0;
  int attribute = kAttrNormal;
  int usedRows = 0;
  int top = 0;   // first row of the terminal window
  int left = 0;  // first column of the terminal window (a terminal narrower than a sheet)
};

namespace {

ScreenBuffer MakeStandard() {
  ScreenBuffer s;
  s.standard = true;
  return s;
}

ScreenBuffer gStandard = MakeStandard();
ScreenBuffer* gActive = &gStandard;
// Worker threads write their creatures' sheets while the main thread switches screens.
std::recursive_mutex gLock;
using Guard = std::lock_guard<std::recursive_mutex>;
int gTerminalMode = -1;
// Whether the terminal shows the alternate screen; a signal handler may leave it.
volatile sig_atomic_t gAlternate = 0;
bool gDefer = false;
char gStatus[512] = "";
int gFakeColumns = 0, gFakeRows = 0;

bool OnTerminal() {
  if (gTerminalMode < 0) gTerminalMode = isatty(1) ? 1 : 0;
  return gTerminalMode == 1;
}

void TerminalSize(int* columns, int* rows) {
  *columns = 80;
  *rows = 24;
  if (gFakeRows > 0) {
    *columns = gFakeColumns;
    *rows = gFakeRows;
    return;
  }
  winsize w{};
  if (ioctl(1, TIOCGWINSZ, &w) == 0 && w.ws_row > 0 && w.ws_col > 0) {
    *columns = w.ws_col;
    *rows = w.ws_row;
  }
}

// The window leaves the last row to the status line when there is room for both.
int WindowOf(int rows) { return rows > 2 ? rows - 1 : rows; }

void ClampTop(ScreenBuffer* s, int window) {
  int last = s->usedRows - window;
  if (s->top > last) s->top = last;
  if (s->top < 0) s->top = 0;
}

void EnterAlternate() {
  if (gAlternate) return;
  static bool hooked = false;
  if (!hooked) {
    hooked = true;
    // Every way out leaves the alternate screen: exit, and the signals that end or stop us.
    atexit(ConsoleRestoreScreen);
    InstallTerminalSignals();
  }
  fputs("\x1b[?1049h", stdout);
  gAlternate = 1;
}

void PutUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += (char)cp;
  } else if (cp < 0x800) {
    out += (char)(0xC0 | (cp >> 6));
    out += (char)(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += (char)(0xE0 | (cp >> 12));
    out += (char)(0x80 | ((cp >> 6) & 0x3F));
    out += (char)(0x80 | (cp & 0x3F));
  } else {
    out += (char)(0xF0 | (cp >> 18));
    out += (char)(0x80 | ((cp >> 12) & 0x3F));
    out += (char)(0x80 | ((cp >> 6) & 0x3F));
    out += (char)(0x80 | (cp & 0x3F));
  }
}

const char* AnsiFor(int attribute) {
  switch (attribute) {
    case kAttrGreen:
      return "\x1b[0;92m";
    case kAttrRed:
      return "\x1b[0;91m";
    default:
      return "\x1b[0m";
  }
}

std::string RowText(ScreenBuffer* s, int row, bool ansi, int width = 0, int first = 0) {
  std::string out;
  int last = s->columns - 1;
  // A terminal narrower than the buffer gets the rows cut: a wrapped row would push the window.
  if (width > 0 && last >= first + width) last = first + width - 1;
  while (last >= first && s->cells[(size_t)row * s->columns + last] == ' ') --last;
  int attr = -1;
  for (int x = first; x <= last; ++x) {
    size_t i = (size_t)row * s->columns + x;
    if (ansi && s->attributes[i] != attr) {
      attr = s->attributes[i];
      out += AnsiFor(attr);
    }
    PutUtf8(out, s->cells[i]);
  }
  if (ansi && attr != -1 && attr != kAttrNormal) out += AnsiFor(kAttrNormal);
  return out;
}

// Cuts UTF-8 text to `width` code points.
std::string Cut(const char* text, int width) {
  size_t i = 0;
  for (int count = 0; text[i]; ++i)
    if (((unsigned char)text[i] & 0xC0) != 0x80 && count++ == width) break;
  return std::string(text, i);
}

// The widest used row: how far a narrow terminal can scroll to the right.
int UsedWidth(ScreenBuffer* s) {
  int widest = 0;
  for (int y = 0; y < s->usedRows; ++y) {
    int last = s->columns - 1;
    while (last >= widest && s->cells[(size_t)y * s->columns + last] == ' ') --last;
    if (last + 1 > widest) widest = last + 1;
  }
  return widest;
}

void ClampLeft(ScreenBuffer* s, int columns) {
  int last = UsedWidth(s) - columns;
  if (s->left > last) s->left = last;
  if (s->left < 0) s->left = 0;
}

// On a terminal standard output keeps its last lines since the last drawing of a buffer,
// so that a line read resumed after a stop can show them again (the shell wrote below).
// Plain storage: the program counts every allocation and reports what is left at its end.
constexpr size_t kTailBytes = 16384;
std::mutex gTailLock;
char gTailText[kTailBytes];
size_t gTailSize = 0;

ssize_t TailWrite(void*, const char* bytes, size_t n) {
  {
    std::lock_guard<std::mutex> g(gTailLock);
    const char* b = bytes;
    size_t m = n;
    if (m > kTailBytes / 2) {
      b += m - kTailBytes / 2;
      m = kTailBytes / 2;
    }
    if (gTailSize + m > kTailBytes) {
      size_t keep = kTailBytes / 2 - m;
      memmove(gTailText, gTailText + gTailSize - keep, keep);
      gTailSize = keep;
    }
    memcpy(gTailText + gTailSize, b, m);
    gTailSize += m;
  }
  for (size_t done = 0; done < n;) {
    ssize_t w = write(1, bytes + done, n - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return done ? (ssize_t)done : -1;
    done += (size_t)w;
  }
  return (ssize_t)n;
}

void ForgetTail() {
  std::lock_guard<std::mutex> g(gTailLock);
  gTailSize = 0;
}

// Installed before main: the first prompt is printed before anything of ours runs.
[[maybe_unused]] const bool gTailInstalled = [] {
  if (!isatty(0) || !isatty(1)) return false;
  cookie_io_functions_t io{nullptr, TailWrite, nullptr, nullptr};
  FILE* tee = fopencookie(nullptr, "w", io);
  if (!tee) return false;
  setvbuf(tee, nullptr, _IOLBF, BUFSIZ);
  fflush(stdout);
  stdout = tee;
  return true;
}();

void DrawTerminal(ScreenBuffer* s) {
  int columns, rows;
  TerminalSize(&columns, &rows);
  int window = WindowOf(rows);
  ClampTop(s, window);
  ClampLeft(s, columns);
  std::string out = "\x1b[?25l\x1b[H";
  for (int y = 0; y < window; ++y) {
    int row = s->top + y;
    if (row < s->usedRows) out += RowText(s, row, true, columns, s->left);
    out += "\x1b[0m\x1b[K";
    if (y + 1 < rows) out += "\r\n";
  }
  if (window < rows) {
    char hint[160] = "";
    const char* status = gStatus;
    bool wide = UsedWidth(s) > columns;
    if (!*status && s->usedRows > window) {
      snprintf(hint, sizeof hint, "Zeilen %d-%d von %d   [\u2191/\u2193] [Bild\u2191/\u2193] [Pos1/Ende]%s: Blättern",
               s->top + 1, s->top + window, s->usedRows, wide ? " [h/l] [\u2190/\u2192]" : "");
      status = hint;
    } else if (!*status && wide) {
      snprintf(hint, sizeof hint, "Spalten %d-%d von %d   [h/l] [\u2190/\u2192]: Blättern", s->left + 1,
               s->left + columns, UsedWidth(s));
      status = hint;
    }
    // The last column stays free: a character there may scroll some terminals.
    if (*status) out += "\x1b[7m" + Cut(status, columns - 1) + "\x1b[0m";
    out += "\x1b[K";
  }
  if (s->cursorY >= s->top && s->cursorY < s->top + window) {
    int x = s->cursorX - s->left;
    x = x < 0 ? 0 : x < columns ? x : columns - 1;
    out += "\x1b[" + std::to_string(s->cursorY - s->top + 1) + ";" + std::to_string(x + 1) + "H";
  }
  out += "\x1b[?25h";
  fwrite(out.data(), 1, out.size(), stdout);
}

void Draw(ScreenBuffer* s) {
  if (OnTerminal()) {
    DrawTerminal(s);
    fflush(stdout);
    ForgetTail();
  } else {
    for (int y = 0; y < s->usedRows; ++y) {
      std::string row = RowText(s, y, false);
      row += '\n';
      fwrite(row.data(), 1, row.size(), stdout);
    }
  }
  fflush(stdout);
}

// Decodes one UTF-8 sequence; invalid bytes are taken as Latin-1.
uint32_t Decode(const unsigned char*& p, const unsigned char* end) {
  unsigned char c = *p++;
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  if (!extra || end - p < extra) return c;
  uint32_t cp = c & (0x3F >> extra);
  for (int i = 0; i < extra; ++i) {
    if ((p[i] & 0xC0) != 0x80) return c;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  p += extra;
  return cp;
}

}  // namespace

ScreenBuffer* ConsoleStandard() { return &gStandard; }

ScreenBuffer* ConsoleCreate() {
  auto* s = new (std::nothrow) ScreenBuffer;
  if (!s) return nullptr;
  if (!ConsoleSetSize(s, kScreenColumns, kScreenRows)) {
    delete s;
    return nullptr;
  }
  return s;
}

void ConsoleDestroy(ScreenBuffer* s) {
  Guard g(gLock);
  if (!s || s->standard) return;
  if (gActive == s) ConsoleSetActive(&gStandard);
  delete s;
}

bool ConsoleSetSize(ScreenBuffer* s, int columns, int rows) {
  Guard g(gLock);
  if (!s || s->standard || columns <= 0 || rows <= 0) return s && s->standard;
  std::vector<uint32_t> cells((size_t)columns * rows, ' ');
  std::vector<uint8_t> attrs((size_t)columns * rows, kAttrNormal);
  for (int y = 0; y < rows && y < s->rows; ++y)
    for (int x = 0; x < columns && x < s->columns; ++x) {
      cells[(size_t)y * columns + x] = s->cells[(size_t)y * s->columns + x];
      attrs[(size_t)y * columns + x] = s->attributes[(size_t)y * s->columns + x];
    }
  s->cells.swap(cells);
  s->attributes.swap(attrs);
  s->columns = columns;
  s->rows = rows;
  if (s->usedRows > rows) s->usedRows = rows;
  if (s->cursorX >= columns) s->cursorX = columns - 1;
  if (s->cursorY >= rows) s->cursorY = rows - 1;
  return true;
}

void ConsoleSetActive(ScreenBuffer* s) {
  Guard g(gLock);
  if (!s) return;
  gActive = s;
  if (s->standard) {
    if (gAlternate && OnTerminal()) {
      fputs("\x1b[0m\x1b[?1049l", stdout);
      fflush(stdout);
      ForgetTail();
    }
    gAlternate = 0;
    return;
  }
  if (OnTerminal()) {
    if (gDefer) return;
    EnterAlternate();
  }
  Draw(s);
}

void ConsoleRefresh() {
  Guard g(gLock);
  if (!OnTerminal() || gDefer || gActive->standard) return;
  EnterAlternate();
  Draw(gActive);
}

void ConsoleScroll(ScreenBuffer* s, int rows) {
  Guard g(gLock);
  if (!s || s->standard) return;
  long top = (long)s->top + rows;
  s->top = top < 0 ? 0 : top > s->rows ? s->rows : (int)top;
  ClampTop(s, ConsoleWindowRows());
}

void ConsoleScrollColumns(ScreenBuffer* s, int columns) {
  Guard g(gLock);
  if (!s || s->standard) return;
  long left = (long)s->left + columns;
  s->left = left < 0 ? 0 : left > s->columns ? s->columns : (int)left;
  int width, rows;
  TerminalSize(&width, &rows);
  ClampLeft(s, width);
}

int ConsoleWindowColumns() {
  if (!OnTerminal()) return kScreenColumns;
  int columns, rows;
  TerminalSize(&columns, &rows);
  return columns;
}

void ConsoleScrollToCursor(ScreenBuffer* s) {
  Guard g(gLock);
  if (!s || s->standard) return;
  int window = ConsoleWindowRows();
  if (s->cursorY < s->top) s->top = s->cursorY;
  if (s->cursorY >= s->top + window) s->top = s->cursorY - window + 1;
}

int ConsoleWindowRows() {
  if (!OnTerminal()) return kScreenRows;
  int columns, rows;
  TerminalSize(&columns, &rows);
  return WindowOf(rows);
}

void ConsoleSetStatus(const char* text) { snprintf(gStatus, sizeof gStatus, "%s", text ? text : ""); }

void ConsoleDeferDrawing(bool defer) {
  Guard g(gLock);
  gDefer = defer;
}

void ConsoleRestoreScreen() {
  if (!gAlternate) return;
  static const char kLeave[] = "\x1b[0m\x1b[?25h\x1b[?1049l";
  ssize_t ignored = write(1, kLeave, sizeof kLeave - 1);
  (void)ignored;
  gAlternate = 0;
}

namespace {

struct Capture {
  FILE* real = nullptr;
  std::string text;
} gCapture;

ssize_t CaptureWrite(void*, const char* bytes, size_t n) {
  gCapture.text.append(bytes, n);
  fwrite(bytes, 1, n, gCapture.real);
  return (ssize_t)n;
}

}  // namespace

void ConsoleShowAgain() {
  if (!OnTerminal()) return;
  static char last[kTailBytes];
  size_t size;
  {
    std::lock_guard<std::mutex> g(gTailLock);
    memcpy(last, gTailText, gTailSize);
    size = gTailSize;
  }
  // As many of the last lines as the terminal shows, the shell's lines scroll away.
  int columns, rows;
  TerminalSize(&columns, &rows);
  size_t from = size;
  for (int lines = 0; from > 0 && lines < rows - 1;)
    if (last[--from] == '\n' && ++lines == rows - 1) ++from;
  {
    Guard g(gLock);
    if (!gActive->standard && !gDefer) {
      EnterAlternate();
      Draw(gActive);
    }
  }
  fwrite(last + from, 1, size - from, stdout);
  fflush(stdout);
}

void ConsoleCaptureBegin() {
  if (gCapture.real) return;
  fflush(stdout);
  cookie_io_functions_t io{nullptr, CaptureWrite, nullptr, nullptr};
  FILE* tee = fopencookie(nullptr, "w", io);
  if (!tee) return;
  setvbuf(tee, nullptr, _IONBF, 0);
  gCapture.real = stdout;
  // The C library lets standard output be replaced; every print of the program goes there.
  stdout = tee;
}

std::string ConsoleCaptureEnd() {
  std::string text;
  if (!gCapture.real) return text;
  FILE* tee = stdout;
  stdout = gCapture.real;
  fclose(tee);
  gCapture.real = nullptr;
  fflush(stdout);
  text.swap(gCapture.text);
  return text;
}

void ConsoleSetTerminalSize(int columns, int rows) {
  gFakeColumns = columns;
  gFakeRows = rows;
}

bool ConsoleIsTerminal() { return OnTerminal(); }

ScreenBuffer* ConsoleActive() {
  Guard g(gLock);
  return gActive;
}

void ConsoleWrite(ScreenBuffer* s, const char* text, size_t length) {
  Guard g(gLock);
  if (!s) return;
  if (s->standard) {
    fwrite(text, 1, length, stdout);
    return;
  }
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = p + length;
  while (p < end) {
    uint32_t cp = Decode(p, end);
    if (cp == '\r') {
      s->cursorX = 0;
      continue;
    }
    if (cp == '\n' || s->cursorX >= s->columns) {
      // The row a line end leaves counts as used, even when empty.
      if (s->cursorY + 1 > s->usedRows) s->usedRows = s->cursorY + 1;
      s->cursorX = 0;
      if (s->cursorY + 1 < s->rows) ++s->cursorY;
      if (cp == '\n') continue;
    }
    size_t i = (size_t)s->cursorY * s->columns + s->cursorX;
    s->cells[i] = cp;
    s->attributes[i] = (uint8_t)s->attribute;
    ++s->cursorX;
    if (s->cursorY + 1 > s->usedRows) s->usedRows = s->cursorY + 1;
  }
}

void ConsoleWriteText(ScreenBuffer* s, const char* text) { ConsoleWrite(s, text, strlen(text)); }

void ConsoleFill(ScreenBuffer* s, uint32_t cp, int count, int x, int y) {
  Guard g(gLock);
  if (!s || s->standard) return;
  for (size_t i = (size_t)y * s->columns + x; count > 0 && i < s->cells.size(); ++i, --count) {
    s->cells[i] = cp;
    int row = (int)(i / s->columns);
    if (cp != ' ' && row + 1 > s->usedRows) s->usedRows = row + 1;
  }
}

void ConsoleFillAttribute(ScreenBuffer* s, int attribute, int count, int x, int y) {
  Guard g(gLock);
  if (!s || s->standard) return;
  for (size_t i = (size_t)y * s->columns + x; count > 0 && i < s->attributes.size(); ++i, --count)
    s->attributes[i] = (uint8_t)attribute;
}

void ConsoleSetCursor(ScreenBuffer* s, int x, int y) {
  Guard g(gLock);
  if (!s) return;
  if (s->standard) {
    if (OnTerminal()) printf("\x1b[%d;%dH", y + 1, x + 1);
    return;
  }
  s->cursorX = x < 0 ? 0 : x >= s->columns ? s->columns - 1 : x;
  s->cursorY = y < 0 ? 0 : y >= s->rows ? s->rows - 1 : y;
}

void ConsoleGetCursor(ScreenBuffer* s, int* x, int* y) {
  Guard g(gLock);
  *x = s ? s->cursorX : 0;
  *y = s ? s->cursorY : 0;
}

void ConsoleSetAttribute(ScreenBuffer* s, int attribute) {
  Guard g(gLock);
  if (!s) return;
  s->attribute = attribute;
  if (s->standard && OnTerminal()) fputs(AnsiFor(attribute), stdout);
}

void ConsoleClear(ScreenBuffer* s) {
  Guard g(gLock);
  if (!s) return;
  if (s->standard) {
    if (OnTerminal()) fputs("\x1b[H\x1b[2J", stdout);
    return;
  }
  std::fill(s->cells.begin(), s->cells.end(), ' ');
  std::fill(s->attributes.begin(), s->attributes.end(), (uint8_t)kAttrNormal);
  s->cursorX = s->cursorY = 0;
  s->usedRows = 0;
  s->top = 0;
}

int ConsoleUsedRows(ScreenBuffer* s) { return s ? s->usedRows : 0; }

std::string ConsoleRowText(ScreenBuffer* s, int row) {
  Guard g(gLock);
  if (!s || s->standard || row < 0 || row >= s->rows) return {};
  return RowText(s, row, false);
}

int ConsoleCellAttribute(ScreenBuffer* s, int x, int y) {
  Guard g(gLock);
  if (!s || s->standard || x < 0 || y < 0 || x >= s->columns || y >= s->rows) return kAttrNormal;
  return s->attributes[(size_t)y * s->columns + x];
}

void ConsoleSetTerminalMode(int mode) { gTerminalMode = mode; }
