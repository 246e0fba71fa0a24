// Combat values of a character: the fighting style, and with it the hand wishes that
// decide which weapons the character buys.
#pragma once

#include "generator/char.h"

#ifndef RUNTIME_NS
#error "runtime code is compiled with -DRUNTIME_NS=<namespace>"
#endif

namespace RUNTIME_NS {

// Style and second style (0 "-", 1 "Waffe und Schild", 2 "Zwei Waffen", 3 "Zweihänder",
// 4 "Fernkampf"); the first sets the wish of the main hand, the second that of the other.
void ChooseFightingStyle(Char* c);

// "-", "Waffe und Schild", ... for 0 to 5; an empty text for other values.
const char* StyleName(int style);

}  // namespace RUNTIME_NS
