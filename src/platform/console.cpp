#include "platform/console.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

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
bool gAlternate = false;

bool OnTerminal() {
  if (gTerminalMode < 0) gTerminalMode = isatty(1) ? 1 : 0;
  return gTerminalMode == 1;
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
    case kAttrGreen: return "\x1b[0;92m";
    case kAttrRed: return "\x1b[0;91m";
    default: return "\x1b[0m";
  }
}

std::string RowText(ScreenBuffer* s, int row, bool ansi) {
  std::string out;
  int last = s->columns - 1;
  while (last >= 0 && s->cells[(size_t)row * s->columns + last] == ' ') --last;
  int attr = -1;
  for (int x = 0; x <= last; ++x) {
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

void Draw(ScreenBuffer* s) {
  if (OnTerminal()) {
    std::string out = "\x1b[H\x1b[2J";
    int height = s->usedRows;
    for (int y = 0; y < height; ++y) {
      out += RowText(s, y, true);
      out += "\r\n";
    }
    out += "\x1b[" + std::to_string(s->cursorY + 1) + ";" + std::to_string(s->cursorX + 1) + "H";
    fwrite(out.data(), 1, out.size(), stdout);
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
    }
    gAlternate = false;
    return;
  }
  if (OnTerminal() && !gAlternate) {
    fputs("\x1b[?1049h", stdout);
    gAlternate = true;
  }
  Draw(s);
}

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
  if (s == gActive && OnTerminal()) Draw(s);
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
