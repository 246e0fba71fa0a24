// Classes of a character: the weighted class choice by ability fit, the split of the
// levels among classes, the class-derived base values and the hit points.
#pragma once

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Base attack and base save of a progression (1 good, 2 medium, 3 poor; saves 1 good,
// 2 poor) at a number of levels or hit dice.
int32_t BaseAttack(int type, int levels);
int32_t BaseSave(int type, int levels);

// A character's level for its challenge rating (`c->npcClasses` decides the kind).
// SRD 3.5: a PC-class character's CR is its level, an NPC-class character's its level
// - 1. The system's own rules: one level above the CR, NPC classes a fifth more again.
int CharacterLevelForCR(const Char* c, int cr);
// SRD 3.5 knows no PC-class character below CR 1: a drawn CR 0 makes a 1st-level one
// of CR 1 (the class part of a mixed creature keeps its share).
void KeepLowestCharacterCR(Char* c);
// The class levels of `slot` a base save counts. SRD 3.5 stops every progression at
// character level 20 (the epic save bonus takes over); the system's own rules let the
// Reflex base keep rising.
int SaveProgressionLevels(const Char* c, int slot, bool reflex);
// Of the levels a profile's class entries leave over, those that go to its first class:
// SRD 3.5 knows no level without a class; the system's own rules leave them empty.
int ProfileLevelsLeft(const Char* c, int remaining);

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
