// The class stages of a character: which classes it takes and with how many levels, the
// base attack, saves and hit points they give, and the class and race scripts run.
#include "generator/classes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "generator/attributes.h"
#include "generator/feats.h"
#include "generator/mixed.h"
#include "generator/rules.h"
#include "generator/scratch.h"
#include "generator/script_binding.h"
#include "launcher/process.h"
#include "random/decisions.h"
#include "random/settings.h"
#include "random/types.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

// One weight per class.
using ClassWeights = Scratch<int32_t, 256>;

// Rank 6 for the highest value down to 1; on ties the earlier index ranks higher.
void Ranks(const int32_t* values, int* ranks) {
  for (int i = 0; i < kAttributes; ++i) {
    int above = 0;
    for (int j = 0; j < kAttributes; ++j)
      if (values[j] > values[i] || (values[j] == values[i] && j < i)) ++above;
    ranks[i] = kAttributes - above;
  }
}

bool HasClass(const Char* c, int cls, int slots) {
  for (int i = 0; i < slots && i < kMaxClassSlots; ++i)
    if (c->classes[i] == cls) return true;
  return false;
}

int MostWeighted(const CharSource& k) {
  int best = 0;
  for (int i = 1; i < kAttributes; ++i)
    if (k.attributeWeights[i] > k.attributeWeights[best]) best = i;
  return best;
}

// A psionic class is one that can learn Psicraft: the psionic skills are 0 for every
// class without psionics (the soulknife and the pyrokineticist manifest nothing, yet
// count).
bool PsionicClass(int cls) {
  int psicraft = FindByName(gSource.skills, gSource.skillCount, "Psikunde");
  if (psicraft < 0 || cls < 0 || cls >= gSource.classCount) return false;
  const int32_t* per = gSource.skills[psicraft].ClassSkill();
  return per && per[cls] > 0;
}

// The race is drawn before the classes: a psionic race favours the psionic classes
// instead, which makes it likelier among psionic characters.
int32_t RaceClassFactor(const Char* c, int cls) {
  if (c->race < 0 || c->race >= gSource.raceCount) return 1;
  int32_t factor = gSource.races[c->race].psiFactor;
  return factor > 1 && PsionicClass(cls) ? factor : 1;
}

int Draw(Char* c, const ClassWeights& weights, const char* label) {
  return AdvancedRand(c->context.random, gSource.classCount, weights.data(), 4, &gSource.classes[0].name.text,
                      sizeof(CharSource), label, 0, true, 0, false);
}

}  // namespace

int32_t BaseAttack(int type, int levels) {
  switch (type) {
    case 1:
      return levels;
    case 2:
      return levels * 3 / 4;
    case 3:
      return levels / 2;
    default:
      return 0;
  }
}

int32_t BaseSave(int type, int levels) { return type == 1 ? levels / 2 + 2 : type == 2 ? levels / 3 : 0; }

int CharacterLevelForCR(const Char* c, int cr) {
  if (Srd35(c)) return c->npcClasses ? cr + 1 : std::max(cr, 1);
  int level = cr + 1;
  return c->npcClasses ? level / 5 + level + 1 : level;
}

void KeepLowestCharacterCR(Char* c) {
  if (Srd35(c) && !c->npcClasses && !c->mixedPart && c->cr < 1) c->cr = 1;
}

int SaveProgressionLevels(const Char* c, int slot, bool reflex) {
  if (Srd35(c) || !reflex) return c->preEpicLevels[slot];
  return c->classLevels[slot];
}

int ProfileLevelsLeft(const Char* c, int remaining) { return Srd35(c) ? remaining : 0; }

void RandClass(Char* c, int method, int slot, int* count) {
  int n = gSource.classCount;
  bool saved = gDecide.chooseEverything;
  if (gSettings.ChooseClass) gDecide.chooseEverything = true;
  ClassWeights weights((size_t)n, 0);
  for (int k = 0; k < n; ++k)
    if (!HasClass(c, k, slot) && gSource.classes[k].npc == c->npcClasses)
      weights[(size_t)k] = gSource.classes[k].probability * RaceClassFactor(c, k);

  if (method == 1 && slot == 0 && !c->mixedPart) {
    for (int k = 0; k < n; ++k)
      if (gSource.classes[k].prestige) weights[(size_t)k] = 0;
    int chosen = Draw(c, weights, "Klasse wählen\n");
    if (count) *count = (int)std::count_if(weights.begin(), weights.end(), [](int32_t w) { return w > 0; }) - 1;
    if (chosen >= 0) {
      c->classes[0] = chosen;
      if (c->classCount < 1) c->classCount = 1;
      ArrangeAttributes(c);
      ComputeModifiers(c);
    }
    gDecide.chooseEverything = saved;
    return;
  }

  int32_t scores[kAttributes] = {c->ST, c->GE, c->KO, c->IN, c->WE, c->CH};
  int scoreRank[kAttributes];
  Ranks(scores, scoreRank);
  Scratch<int64_t, 256> fit((size_t)n, 0);
  int64_t least = INT64_MAX;
  for (int k = 0; k < n; ++k) {
    const int32_t* w = gSource.classes[k].attributeWeights;
    int classRank[kAttributes];
    Ranks(w, classRank);
    int32_t sum = 0;
    for (int i = 0; i < kAttributes; ++i) sum += w[i];
    int64_t f = 0;
    for (int i = 0; i < kAttributes; ++i) {
      int64_t share = sum > 0 ? (int64_t)w[i] * 100 / sum : 0;
      int64_t term = share * (5 - std::abs(classRank[i] - scoreRank[i]));
      f += term * term;
    }
    fit[(size_t)k] = f;
    least = std::min(least, f);
  }
  int levelsBefore = 0;
  for (int i = 0; i < slot && i < kMaxClassSlots; ++i) levelsBefore += c->classLevels[i];
  int slotsBefore = c->classCount;
  if (slot > 0) {
    // The prerequisites see the classes chosen so far, not the slot being chosen.
    c->classCount = std::min(slot, kMaxClassSlots);
    CalcBaseValues(c);
  }
  for (int k = 0; k < n; ++k) {
    const CharSource& x = gSource.classes[k];
    int64_t w = (fit[(size_t)k] - least + 1) * weights[(size_t)k];
    if (slot == 0) {
      if (x.prestige) w = 0;
    } else if (w > 0) {
      if (!ClassPrerequisitesMet(c, k, levelsBefore))
        w = 0;
      else if (x.prestige)
        w *= 100;
      if (c->mixedPart && x.attackType != 1) w /= 10;
    }
    weights[(size_t)k] = (int32_t)std::min<int64_t>(w, INT32_MAX);
  }
  c->classCount = slotsBefore;
  std::string label;
  if (LabelWanted()) {
    char line[96];
    for (int i = 0; i < kAttributes; ++i) {
      snprintf(line, sizeof line, "Attribut %d: %d\n", i, scores[i]);
      label += line;
    }
    for (int i = 0; i < slot; ++i) {
      const CharSource* k = ClassAt(c->classes[i]);
      snprintf(line, sizeof line, "Bisherige Klasse: %s\n", k ? k->name.c_str() : "");
      label += line;
    }
    label += "Klasse wählen!\n\n";
  }
  if (count) *count = (int)std::count_if(weights.begin(), weights.end(), [](int32_t w) { return w > 0; }) - 1;
  int chosen = Draw(c, weights, label.c_str());
  if (method == 2 && chosen >= 0) {
    for (int redraw = 0; redraw < 15 && c->KO > 14; ++redraw) {
      if (AbilityScore(c, MostWeighted(gSource.classes[chosen])) >= 14) break;
      chosen = Draw(c, weights, "Klasse wählen!\n");
      if (chosen < 0) break;
    }
  }
  if (chosen >= 0)
    c->classes[slot] = chosen;
  else
    c->classes[slot] = -1;
  gDecide.chooseEverything = saved;
}

void ChooseClasses(Char* c, int method) {
  IsaacState* state = c->context.random;
  DebugPrint(1, "\nKlasse wird festgelegt\n");
  int remaining = c->Level, preEpic = std::min(c->Level, 20);
  if (c->profileMode && c->profile >= 0) {
    const ProfileSource& p = gSource.profiles[c->profile];
    c->classCount = 0;
    for (int e = 0; e < p.classCount && remaining > 0; ++e) {
      int cls = p.classes[e][0];
      int levels = p.classes[e][1] < 0 ? remaining : std::min(p.classes[e][1], remaining);
      int pre = std::min(levels, preEpic);
      int slot = 0;
      while (slot < c->classCount && c->classes[slot] != cls) ++slot;
      if (slot == c->classCount) {
        if (slot >= kMaxClassSlots) break;
        c->classes[slot] = cls;
        c->classLevels[slot] = c->preEpicLevels[slot] = 0;
        ++c->classCount;
      }
      c->classLevels[slot] += levels;
      c->preEpicLevels[slot] += pre;
      remaining -= levels;
      preEpic -= pre;
    }
    // Levels the profile leaves without a class go to its first class.
    if (int rest = ProfileLevelsLeft(c, remaining); rest > 0 && c->classCount > 0) {
      c->classLevels[0] += rest;
      c->preEpicLevels[0] += std::min(rest, preEpic);
    }
    if (!c->mixedPart && !gDecide.chooseEverything) ArrangeAttributes(c);
    return;
  }
  int count = 1;
  c->classCount = 1;
  RandClass(c, method, 0, &count);
  DebugPrint(1, "\nKlassenkombinationen werden festgelegt\n");
  int positive = 0;
  for (int i = 0; i < kAttributes; ++i) positive += AbilityModifier(c, i) > 0;
  int slot = 0;
  bool force = false;
  while (slot + 2 < kMaxClassSlots) {
    if (remaining < 3 || count <= 0) break;
    if (!force && !YesNo(state, "Weitere Klasse hinzufügen", 20 - positive, positive, gSettings.ChooseClass)) break;
    const CharSource* k = ClassAt(c->classes[slot]);
    auto cap = [&](const CharSource* x) {
      if (!x) return 0;
      return x->maxLevel == 20 ? std::min(std::max(c->Level - 20, 0) + 10, 20) : x->maxLevel;
    };
    char label[96];
    FormatLabel(label, sizeof label, "Level der Klasse %s\n", k ? k->name.c_str() : "");
    int levels = random(state, std::min(remaining - 1, 2), remaining - 1, label, gSettings.ChooseClass);
    int limit = cap(k);
    if (limit > 0 && levels > limit) levels = limit;
    c->classLevels[slot] = levels;
    c->preEpicLevels[slot] = std::min(levels, preEpic);
    remaining -= levels;
    preEpic -= c->preEpicLevels[slot];
    ++slot;
    c->classCount = slot + 1;
    RandClass(c, method, slot, &count);
    const CharSource* added = ClassAt(c->classes[slot]);
    if (added && added->prestige && added->attachClass >= 0 && !HasClass(c, added->attachClass, slot)) {
      c->classes[slot + 1] = c->classes[slot];
      c->classes[slot] = added->attachClass;
      c->classLevels[slot] = 1;
      c->preEpicLevels[slot] = std::min(preEpic, 1);
      remaining -= 1;
      preEpic -= c->preEpicLevels[slot];
      ++slot;
      c->classCount = slot + 1;
    }
    int limitNew = cap(ClassAt(c->classes[slot]));
    force = limitNew > 0 && limitNew < remaining;
  }
  c->classLevels[slot] = remaining;
  c->preEpicLevels[slot] = std::min(remaining, preEpic);
  c->classCount = slot + 1;
  while (c->classCount > 0 && (!ClassAt(c->classes[c->classCount - 1]) || c->classLevels[c->classCount - 1] < 1))
    --c->classCount;
}

void CalcBaseValues(Char* c) {
  c->GA = 0;
  c->baseRef = c->baseWill = c->baseFort = 0;
  for (int i = 0; i < c->classCount && i < kMaxClassSlots; ++i) {
    const CharSource* k = ClassAt(c->classes[i]);
    if (!k) continue;
    c->GA += BaseAttack(k->attackType, c->preEpicLevels[i]);
    c->baseRef += BaseSave(k->reflex, SaveProgressionLevels(c, i, true));
    c->baseWill += BaseSave(k->will, SaveProgressionLevels(c, i, false));
    c->baseFort += BaseSave(k->fortitude, SaveProgressionLevels(c, i, false));
  }
  int epic = std::max(c->Level - 20, 0);
  c->epicAttack = (epic + 1) / 2;
  c->epicSave = epic / 2;
  c->Attacks = std::min((c->GA - 1) / 5 + 1, 4);
  c->meleeMod = c->MST;
  c->sizeMod = c->Size;
  c->rangedMod = c->MGE;
  c->refMod = c->MGE;
  c->willMod = c->MWE;
  c->fortMod = c->MKO;
  int paladin = FindByName(gSource.classes, gSource.classCount, "Paladin");
  if (paladin >= 0 && HasClass(c, paladin, c->classCount) && c->MCH > 0) {
    c->refMod += c->MCH;
    c->willMod += c->MCH;
    c->fortMod += c->MCH;
  }
}

// Whether the first class level's hit die counts in full. SRD 3.5: for the class part of
// a mixed creature only when its class levels replace the monster hit die. The system's
// own rules: always.
bool FirstHitDieMaximised(const Char* c) {
  if (Srd35(c) && c->mixedPart && c->mixedMonster) return ClassLevelsReplaceHitDice(c->mixedMonster);
  return true;
}

void RollHitPoints(Char* c) {
  IsaacState* state = c->context.random;
  const CharSource* first = ClassAt(c->classCount > 0 ? c->classes[0] : -1);
  const bool full = FirstHitDieMaximised(c);
  int32_t start = full ? std::max((first ? first->hitDie : 0) + c->MKO, 1) : 0;
  int64_t total = start, maximum = 0, rolls = full && first ? first->hitDie : 0, dice = full ? 1 : 0, faces = 0;
  char label[96];
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    const CharSource* k = ClassAt(c->classes[s]);
    if (!k) continue;
    int die = c->MonsterTWType ? c->MonsterTWType : k->hitDie;
    for (int level = s == 0 && full ? 1 : 0; level < c->classLevels[s]; ++level) {
      ++dice;
      faces += std::max(die, 1);
      if (gDecide.chooseEverything) {
        maximum += std::max(die + c->MKO, 1);
        continue;
      }
      FormatLabel(label, sizeof label, "Class %s Level %d TW\n", k->name.c_str(), level);
      int32_t roll = random(state, 1, std::max(die, 1), label, 0);
      rolls += roll;
      total += std::max(roll + c->MKO, 1);
    }
  }
  if (gDecide.chooseEverything) {
    int64_t low = start + (int64_t)(c->Level - (full ? 1 : 0)) * std::max(c->MKO + 1, 1);
    total = random(state, (int32_t)low, (int32_t)(start + maximum), "Trefferpunkte", 0);
    // One draw for all dice: their share is what the draw gave beyond Constitution.
    rolls = std::clamp<int64_t>(total - (int64_t)dice * c->MKO, dice, (full && first ? first->hitDie : 0) + faces);
  }
  c->hitPoints = (int32_t)std::min<int64_t>(total, INT32_MAX);
  c->hitDieRolls = (int32_t)std::min<int64_t>(rolls, INT32_MAX);
}

void RunRaceScripts(Char* c) {
  for (int r : {c->race, c->subRace}) {
    if (r < 0 || r >= gSource.raceCount) continue;
    const RaceSource& x = gSource.races[r];
    DebugPrint(2, "\nRunning Script for %s\n", x.name.c_str());
    if (x.effectScript.data)
      RunScript(c, nullptr, c->specialText, x.effectScript.data, x.name.c_str(), -1, c->specialText);
  }
}

void RunClassScripts(Char* c) {
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    const CharSource* k = ClassAt(c->classes[s]);
    if (!k) continue;
    c->ClassLevel = c->classLevels[s];
    DebugPrint(2, "\nRunning Script for %s\n", k->name.c_str());
    if (k->effectScript.data)
      RunScript(c, nullptr, c->specialText, k->effectScript.data, k->name.c_str(), -1, c->specialText);
  }
  c->ClassLevel = 0;
}

void ClassFeatScripts(Char* c) {
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    const CharSource* k = ClassAt(c->classes[s]);
    if (!k) continue;
    c->ClassLevel = c->classLevels[s];
    DebugPrint(2, "\nRunning ClassFeat - Script for %s\n", k->name.c_str());
    if (k->featScript.data)
      RunScript(c, nullptr, c->specialText, k->featScript.data, k->name.c_str(), -1, c->specialText);
  }
  for (int r : {c->race, c->subRace}) {
    if (r < 0 || r >= gSource.raceCount) continue;
    const RaceSource& x = gSource.races[r];
    if (x.featScript.data) RunScript(c, nullptr, c->specialText, x.featScript.data, x.name.c_str(), -1, c->specialText);
  }
  c->ClassLevel = 0;
}

}  // namespace RUNTIME_NS
