// Keyboard and line input. On a terminal keys are read raw and unechoed and lines
// cooked; otherwise everything comes byte by byte from standard input. At end of
// input a key read returns the key the caller names as the one that leaves its loop,
// and a line read returns an empty line, so a piped run never hangs. On a terminal
// Ctrl-D ends only the line read it is pressed in; the next read waits again.
#pragma once
#include <cstddef>

constexpr int kKeyEnter = '\r';
// Keys a terminal sends as escape sequences; other sequences are read whole and ignored.
constexpr int kKeyUp = 0x101;
constexpr int kKeyDown = 0x102;
constexpr int kKeyPageUp = 0x103;
constexpr int kKeyPageDown = 0x104;
constexpr int kKeyHome = 0x105;
constexpr int kKeyEnd = 0x106;
constexpr int kKeyLeft = 0x107;
constexpr int kKeyRight = 0x108;

bool InputIsTerminal();
bool InputAtEnd();
// True when a key can be read without waiting; also true at end of input.
bool KeyWaiting();
int ReadKey(int atEnd);
// Reads one line (the rest of an overlong line is dropped). False at end of input
// with nothing read; buf is then empty.
bool ReadLine(char* buf, size_t size);
// Skips blanks and line ends and reads one word (scanf "%s"). False at end of input.
bool ReadWord(char* buf, size_t size);
// One character (getchar), -1 at end of input.
int ReadChar();
// Both act only on a terminal: pending key presses and typed-ahead input are dropped.
void DiscardPendingKeys();
void FlushConsoleInput();
// Gives the terminal back as it was (line mode, echo, normal screen).
void RestoreTerminal();
// Signals that end or stop the program give the terminal back first; after a resume
// or a resize, the next key read restores the key mode and draws the screen again;
// a line read resumed shows its prompt again.
void InstallTerminalSignals();

// Tests feed input from memory; nullptr returns to standard input.
void InputUseText(const char* text);

// Parses up to `count` integers the way "%d %d ..." does: blanks skipped, reading stops
// at the first text that is no number. Values beyond 32 bits saturate, so an absurd
// number fails the range check instead of wrapping into a valid one. Returns how many
// were read.
// `stop`, when given, is set to where reading stopped.
int ParseIntegers(const char* line, int* values, int count, const char** stop = nullptr);
