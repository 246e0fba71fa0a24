// The console viewer: one screen per creature, the summary table on screen 0, keys.
#pragma once

#include "runtime.h"

namespace RUNTIME_NS {

void CreateScreens();
void ReleaseScreens();
void ClearConsole(int screen);
void DoConsoleTP(int screen);
// With the menu: the key help below a creature's sheet and its hit-point line.
void SetConsole(int screen, bool menu);
void DoTable();
// Shows screen s and runs the key loop until Q or N.
void ViewerLoop(int screen);
void ShowScreen(int screen);

}  // namespace RUNTIME_NS
