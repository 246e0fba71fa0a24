// Console screen buffers: grids of cells (code point + attribute) with a cursor.
// The standard buffer is the program's standard output itself. On a terminal the
// active buffer is drawn with ANSI sequences; when standard output is no terminal,
// activating a buffer prints its used rows as plain text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

constexpr int kAttrNormal = 7;
constexpr int kAttrGreen = 10;
constexpr int kAttrRed = 12;
constexpr int kScreenColumns = 125;
constexpr int kScreenRows = 500;

struct ScreenBuffer;

ScreenBuffer* ConsoleStandard();
ScreenBuffer* ConsoleCreate();  // nullptr when no buffer can be made
void ConsoleDestroy(ScreenBuffer* screen);
bool ConsoleSetSize(ScreenBuffer* screen, int columns, int rows);
void ConsoleSetActive(ScreenBuffer* screen);
ScreenBuffer* ConsoleActive();
// Writes UTF-8 text at the cursor with the current attribute; "\n" starts the next row.
void ConsoleWrite(ScreenBuffer* screen, const char* text, size_t length);
void ConsoleWriteText(ScreenBuffer* screen, const char* text);
void ConsoleFill(ScreenBuffer* screen, uint32_t codepoint, int count, int x, int y);
void ConsoleFillAttribute(ScreenBuffer* screen, int attribute, int count, int x, int y);
void ConsoleSetCursor(ScreenBuffer* screen, int x, int y);
void ConsoleGetCursor(ScreenBuffer* screen, int* x, int* y);
void ConsoleSetAttribute(ScreenBuffer* screen, int attribute);
void ConsoleClear(ScreenBuffer* screen);
int ConsoleUsedRows(ScreenBuffer* screen);
// Row text without trailing blanks, UTF-8 (for drawing and tests).
std::string ConsoleRowText(ScreenBuffer* screen, int row);
int ConsoleCellAttribute(ScreenBuffer* screen, int x, int y);
// Whether activation draws with ANSI sequences (standard output is a terminal).
void ConsoleSetTerminalMode(int mode);  // -1 detect, 0 plain, 1 terminal
