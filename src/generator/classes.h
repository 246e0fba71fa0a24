// Classes of a character: the weighted class choice by ability fit, the split of the
// levels among classes, the class-derived base values and the hit points.
#pragma once

#include "generator/char.h"

#ifndef RUNTIME_NS
#error "runtime code is compiled with -DRUNTIME_NS=<namespace>"
#endif

namespace RUNTIME_NS {

// Base attack and base save of a progression (1 good, 2 medium, 3 poor; saves 1 good,
// 2 poor) at a number of levels or hit dice.
int32_t BaseAttack(int type, int levels);
int32_t BaseSave(int type, int levels);

// Chooses the class of `slot`; *count (when given) receives the number of classes
// that had a weight, minus 1.
void RandClass(Char* c, int method, int slot, int* count);
void ChooseClasses(Char* c, int method);
void CalcBaseValues(Char* c);
void RollHitPoints(Char* c);
void RunRaceScripts(Char* c);
void RunClassScripts(Char* c);
// The feats classes, race and subrace grant outright (proficiencies and the like).
void ClassFeatScripts(Char* c);

}  // namespace RUNTIME_NS
