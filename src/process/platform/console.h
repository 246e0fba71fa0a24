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
bool ConsoleIsTerminal();

// On a terminal a buffer is drawn in the alternate screen through a window as tall as
// the terminal less one row; the last row is the status line (a message, else where
// the window stands when the buffer is taller). Writes only change the grid: a buffer
// is drawn when it is made active or refreshed.
void ConsoleRefresh();  // draws the active buffer again (after a resize or a resume)
// A line read resumed after a stop: the active buffer is drawn again and the last lines
// printed after it (the question, the prompt) are printed once more.
void ConsoleShowAgain();
// Moves the active buffer's window by `rows` (clamped); kScrollTop / kScrollEnd jump.
constexpr int kScrollTop = -1000000;
constexpr int kScrollEnd = 1000000;
void ConsoleScroll(ScreenBuffer* screen, int rows);
// Moves the active buffer's window by `columns` sideways (clamped), for terminals
// narrower than a sheet.
void ConsoleScrollColumns(ScreenBuffer* screen, int columns);
int ConsoleWindowColumns();
void ConsoleScrollToCursor(ScreenBuffer* screen);  // the cursor row comes into view
int ConsoleWindowRows();                           // rows of the window (the terminal's height less the status line)
// The status line until the next call ("" clears it). Only drawn on a terminal.
void ConsoleSetStatus(const char* text);
// While deferred, making a buffer active only remembers it (a batch is being built and
// the user watches its progress on the standard output).
void ConsoleDeferDrawing(bool defer);
// Leaves the alternate screen and resets the colours; safe inside a signal handler.
void ConsoleRestoreScreen();
// Everything printed to standard output between the two calls is also collected.
void ConsoleCaptureBegin();
std::string ConsoleCaptureEnd();
// Tests: a terminal size instead of the real one (0, 0: ask the terminal).
void ConsoleSetTerminalSize(int columns, int rows);
