// How a batch's creatures are drawn, as the input line sets it or a replayed record
// restores it: the shell writes it; the draws and the generator read it, and never the
// input line itself.
#pragma once

#include "runtime.h"

namespace RUNTIME_NS {

struct CreationSettings {
  int DrawType = 0;        // the input line's draw type: 1 buys more equipment
  int ChooseClass = 0;     // every draw is asked of the user
  int calctype = 0;        // weighting of a draw: 0 as given, 1 squared, 2 the largest only
  int monsterSelHigh = 0;  // the monster choice of the high CRs
};

extern CreationSettings gSettings;

}  // namespace RUNTIME_NS
