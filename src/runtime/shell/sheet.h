// The character sheet, the export record stream, the summary rows and the spell list.
#pragma once
#include <cstdio>
#include <string>

#include "generator/char.h"

#include "runtime.h"

struct ScreenBuffer;

namespace RUNTIME_NS {

// Renders a Char: to its screen (export null) or only as export records.
void PrintChar(Char* c, int screen, int quiet, FILE* exportFile);
// The creature's row(s) of the summary table.
std::string SummaryRow(const Char* c, int screen);
// Worktype 2: every class's spells by level, then the domain spells.
void PrintSpellList();

// Pads or cuts UTF-8 text to a width in code points.
std::string PadRight(const std::string& text, int width);
std::string PadLeft(const std::string& text, int width);

// Where sheet lines go: the screens of the viewer (set by the run driver).
void SetSheetScreens(ScreenBuffer** screens, int count);

}  // namespace RUNTIME_NS
