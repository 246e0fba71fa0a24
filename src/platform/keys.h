// Keyboard and line input. On a terminal keys are read raw and unechoed and lines
// cooked; otherwise everything comes byte by byte from standard input. At end of
// input a key read returns the key the caller names as the one that leaves its loop,
// and a line read returns an empty line, so a piped run never hangs.
#pragma once
#include <cstddef>

constexpr int kKeyEnter = '\r';

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
// Before a wait for one key: one line that says so, ending or going on.
constexpr const char* kEndNote = "Taste drücken zum Beenden\n";
constexpr const char* kContinueNote = "Taste drücken zum Fortfahren\n";
// Prints the note, then reads one key (a byte when input is no terminal).
void WaitForKey(const char* note);
// Both act only on a terminal: pending key presses and typed-ahead input are dropped.
void DiscardPendingKeys();
void FlushConsoleInput();
void RestoreTerminal();

// Tests feed input from memory; nullptr returns to standard input.
void InputUseText(const char* text);
