// The creation stages that settle a character's body: ability scores rolled and placed
// by class fit, race and its adjustments, the level increases and bought inherent bonuses.
#include "generator/attributes.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "generator/creature_ops.h"
#include "generator/scratch.h"
#include "generator/treasure.h"
#include "launcher/process.h"
#include "random/decisions.h"
#include "random/settings.h"
#include "random/types.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

const char* AbilityName(int i) { return gSource.attributeNames[i].name.c_str(); }

int32_t Die(IsaacState* state, const char* label) { return random(state, 1, 6, label, 0); }

// Three dice (a fourth replaces the lowest when the extra die is on and it is higher).
int32_t ThreeDice(IsaacState* state, int total, bool extra) {
  char label[64];
  int32_t d[3], lowest = 0;
  for (int k = 0; k < 3; ++k) {
    FormatLabel(label, sizeof label, "Attribut %d / Würfel %d\n", total + 1, k + 1);
    d[k] = Die(state, label);
    if (d[k] < d[lowest]) lowest = k;
  }
  if (extra) {
    FormatLabel(label, sizeof label, "Attribut %d / Würfel %d\n", total + 1, 4);
    int32_t fourth = Die(state, label);
    if (fourth > d[lowest]) d[lowest] = fourth;
  }
  return d[0] + d[1] + d[2];
}

bool TooWeak(Char* c) {
  int32_t sum = 0, best = 0;
  for (int i = 0; i < kAttributes; ++i) {
    sum += AbilityModifier(c, i);
    if (AbilityScore(c, i) > best) best = AbilityScore(c, i);
  }
  return sum < 1 || best < 14;
}

bool ProfileWeights(const Char* c, int32_t* weights) {
  if (!c->profileMode || c->profile < 0) return false;
  for (int i = 0; i < kAttributes; ++i) weights[i] = gSource.profiles[c->profile].attributes[i];
  return true;
}

// Class weights of slot 0, or the profile's in profile mode.
void PlacementWeights(const Char* c, int32_t* weights) {
  for (int i = 0; i < kAttributes; ++i) weights[i] = 0;
  if (!ProfileWeights(c, weights) && c->classCount > 0 && c->classes[0] >= 0 && c->classes[0] < gSource.classCount)
    for (int i = 0; i < kAttributes; ++i) weights[i] = gSource.classes[c->classes[0]].attributeWeights[i];
  for (int i = 0; i < kAttributes; ++i)
    if (c->absent[i]) weights[i] = 0;
}

// Summed class weights, or the profile's in profile mode.
void SummedWeights(const Char* c, int32_t* weights) {
  for (int i = 0; i < kAttributes; ++i) weights[i] = 0;
  if (ProfileWeights(c, weights)) return;
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    int cls = c->classes[s];
    if (cls < 0 || cls >= gSource.classCount) continue;
    for (int i = 0; i < kAttributes; ++i) weights[i] += gSource.classes[cls].attributeWeights[i];
  }
}

int ChooseAbility(Char* c, int32_t* weights, const char* label) {
  return AdvancedRand(c->context.random, kAttributes, weights, 4, &gSource.attributeNames[0].name.text,
                      sizeof(NamedSource), label, 0, true, 0, false);
}

}  // namespace

int32_t& AbilityScore(Char* c, int i) {
  int32_t* scores[kAttributes] = {&c->ST, &c->GE, &c->KO, &c->IN, &c->WE, &c->CH};
  return *scores[i];
}

int32_t& AbilityModifier(Char* c, int i) {
  int32_t* mods[kAttributes] = {&c->MST, &c->MGE, &c->MKO, &c->MIN, &c->MWE, &c->MCH};
  return *mods[i];
}

void ZeroAbsentAbilities(Char* c) {
  for (int i = 0; i < kAttributes; ++i)
    if (c->absent[i]) AbilityScore(c, i) = 0;
}

void ComputeModifiers(Char* c) {
  for (int i = 0; i < kAttributes; ++i) {
    int32_t s = AbilityScore(c, i);
    // Halved toward zero: a score of -1 (one lowered below 0) gives -5, as 0 and 1 do.
    AbilityModifier(c, i) = c->absent[i] ? 0 : s / 2 - 5;
  }
}

void RollAttributes(Char* c, int method) {
  IsaacState* state = c->context.random;
  char label[96];
  if (gDecide.chooseEverything) {
    for (int i = 0; i < kAttributes; ++i) {
      FormatLabel(label, sizeof label, "Wert für Attribut %s (%d) eingeben!", AbilityName(i), i);
      AbilityScore(c, i) = random(state, 3, 18, label, 0);
    }
    ComputeModifiers(c);
    return;
  }
  bool extra = c->record && c->record[rec::kDrawType] == 1;
  for (;;) {
    if (method == 1) {
      DebugPrint(2, "Doing 3W6 With Rearrange\n");
      int32_t totals[7];
      for (int t = 0; t < 7; ++t) totals[t] = ThreeDice(state, t, extra);
      for (int i = 0; i < kAttributes; ++i) AbilityScore(c, i) = totals[i];
      int lowest = 0;
      for (int t = 1; t < 7; ++t)
        if (totals[t] < totals[lowest]) lowest = t;
      if (lowest < 6) {
        DebugPrint(2, "Removed %d from Attributes\n", totals[lowest]);
        AbilityScore(c, lowest) = totals[6];
      }
      // An absent ability hands its roll to the weakest present ability below it.
      for (int a = 0; a < kAttributes; ++a) {
        if (!c->absent[a]) continue;
        int target = -1;
        for (int i = 0; i < kAttributes; ++i) {
          if (i == a || c->absent[i]) continue;
          int32_t s = AbilityScore(c, i);
          if (s < AbilityScore(c, a) && s < 18 && (target < 0 || s < AbilityScore(c, target))) target = i;
        }
        if (target >= 0) AbilityScore(c, target) = AbilityScore(c, a);
        AbilityScore(c, a) = 0;
      }
    } else if (method == 2) {
      DebugPrint(2, "Doing 4w6\n");
      for (int i = 0; i < kAttributes; ++i) {
        int32_t d[4], lowest = 0, sum = 0;
        for (int k = 0; k < 4; ++k) {
          FormatLabel(label, sizeof label, "%s: Würfel %d\n", AbilityName(i), k + 1);
          d[k] = Die(state, label);
          sum += d[k];
          if (d[k] < d[lowest]) lowest = k;
        }
        sum -= d[lowest];
        if (extra) {
          // The fifth die replaces the lowest die that was kept.
          int kept = -1;
          for (int k = 0; k < 4; ++k)
            if (k != lowest && (kept < 0 || d[k] < d[kept])) kept = k;
          FormatLabel(label, sizeof label, "%s: Würfel %d\n", AbilityName(i), 5);
          int32_t fifth = Die(state, label);
          if (fifth > d[kept]) sum += fifth - d[kept];
        }
        AbilityScore(c, i) = sum;
      }
    } else {
      DebugPrint(2, "Doing 3W6\n");
      for (int i = 0; i < kAttributes; ++i) {
        int32_t sum = 0;
        for (int k = 0; k < 3; ++k) {
          FormatLabel(label, sizeof label, "%s: Würfel %d\n", AbilityName(i), k + 1);
          sum += Die(state, label);
        }
        AbilityScore(c, i) = sum;
      }
    }
    ZeroAbsentAbilities(c);
    ComputeModifiers(c);
    if ((method == 1 || method == 2) && TooWeak(c)) {
      DebugPrint(2, "\nAttributes too bad, restarting...\n\n");
      continue;
    }
    break;
  }
  DebugPrint(2, "\n\nAttributes:\n");
  for (int i = 0; i < kAttributes; ++i) DebugPrint(2, "\t%d: %d\n", i, AbilityScore(c, i));
}

void ArrangeAttributes(Char* c) {
  int32_t weights[kAttributes], pool[kAttributes];
  PlacementWeights(c, weights);
  for (int i = 0; i < kAttributes; ++i) pool[i] = AbilityScore(c, i);
  bool placed[kAttributes] = {};
  char label[64];
  for (int round = 0; round < kAttributes; ++round) {
    int best = 0;
    for (int i = 1; i < kAttributes; ++i)
      if (pool[i] > pool[best]) best = i;
    if (pool[best] == 0) break;
    FormatLabel(label, sizeof label, "Attribut für Wert %d wählen!\n", pool[best]);
    int chosen = ChooseAbility(c, weights, label);
    if (chosen < 0) {
      // Only abilities the class does not care about are left: they share the rest
      // evenly, so no rolled value is lost and none is placed twice.
      for (int i = 0; i < kAttributes; ++i) weights[i] = !placed[i] && !c->absent[i];
      chosen = ChooseAbility(c, weights, label);
      if (chosen < 0) break;
    }
    placed[chosen] = true;
    AbilityScore(c, chosen) = pool[best];
    pool[best] = 0;
    weights[chosen] = 0;
  }
  ZeroAbsentAbilities(c);
}

void SetRace(Char* c, int race) {
  if (race < 0 || race >= gSource.raceCount) return;
  int parent = gSource.races[race].parent;
  if (parent >= 0) {
    c->subRace = race;
    c->race = parent;
  } else {
    c->race = race;
  }
}

void ChooseRace(Char* c) {
  IsaacState* state = c->context.random;
  DebugPrint(1, "\nRasse wird festgelegt\n");
  int fixed = c->record ? c->record[rec::kFixedRace] : -1;
  if (c->mixedPart) {
    SetRace(c, FindByNameOrFault(gSource.races, gSource.raceCount, "Mensch"));
  } else if (c->profileMode && c->profile >= 0 && gSource.profiles[c->profile].race >= 0) {
    SetRace(c, gSource.profiles[c->profile].race);
  } else if (fixed >= 0 && fixed < gSource.raceCount) {
    SetRace(c, fixed);
  } else {
    int n = gSource.raceCount;
    Scratch<int32_t, 256> weights((size_t)n);
    auto choose = [&](int parent) {
      for (int r = 0; r < n; ++r) {
        const RaceSource& x = gSource.races[r];
        weights[(size_t)r] = x.parent == parent && x.crModifier < c->Level ? x.probability : 0;
      }
      return AdvancedRand(state, n, weights.data(), 4, &gSource.races[0].name.text, sizeof(RaceSource),
                          "Volk wählen!\n", gSettings.ChooseClass, true, 0, false);
    };
    // Level 0 (a batch's spread of CRs can give CR -1) leaves no race: a human then.
    int race = choose(-1);
    if (race < 0) race = FindByNameOrFault(gSource.races, gSource.raceCount, "Mensch");
    c->race = race;
    if (YesNo(state, "Subrace?", 10, 1, gSettings.ChooseClass)) {
      int sub = choose(race);
      if (sub >= 0) c->subRace = sub;
    }
  }
  if (c->race < 0) return;
  const RaceSource& r = gSource.races[c->race];
  c->Range = (float)r.range;
  c->Size = -r.size;
  c->Level -= RaceCRModifier(c, c->subRace >= 0 ? gSource.races[c->subRace].crModifier : r.crModifier);
}

int RaceCRModifier(const Char* c, int levelAdjustment) {
  // The races of the table with a level adjustment (duergar, drow, svirfneblin, dromite,
  // half-giant) are the SRD's that add +1 to the CR of a character with class levels, PC
  // or NPC classes.
  if (Srd35(c)) return levelAdjustment > 0 ? 1 : 0;
  return levelAdjustment;
}

void ApplyRaceAdjustments(Char* c) {
  int index = c->subRace >= 0 ? c->subRace : c->race;
  if (index < 0 || index >= gSource.raceCount) return;
  const RaceSource& r = gSource.races[index];
  for (int i = 0; i < kAttributes; ++i) {
    if (c->absent[i]) continue;
    int32_t& s = AbilityScore(c, i);
    s += r.modifiers[i];
    if (i == 3 && s <= 2)
      s = 3;
    else if (s <= 0)
      s = 1;
  }
}

void IncreaseAttributes(Char* c) {
  for (int level = 4; level <= c->Level; level += 4) {
    int32_t weights[kAttributes] = {};
    if (!ProfileWeights(c, weights)) {
      for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
        int cls = c->classes[s];
        if (cls < 0 || cls >= gSource.classCount) continue;
        const int32_t* w = gSource.classes[cls].attributeWeights;
        int32_t sum = 0;
        for (int i = 0; i < kAttributes; ++i) sum += w[i];
        if (sum > 0)
          for (int i = 0; i < kAttributes; ++i) weights[i] += w[i] * 100 / sum;
      }
    }
    std::string label;
    char line[64];
    bool labelled = LabelWanted();
    for (int i = 0; i < kAttributes; ++i) {
      if (AbilityScore(c, i) % 2) weights[i] = weights[i] * 3 / 2;
      weights[i] = c->absent[i] ? 0 : weights[i] * weights[i];
      if (!labelled) continue;
      snprintf(line, sizeof line, "%20s: %d\n", AbilityName(i), AbilityScore(c, i));
      label += line;
    }
    if (labelled) label += "Zu erhöhendes Attribut wählen!\n\n";
    int chosen = ChooseAbility(c, weights, label.c_str());
    if (chosen < 0) continue;
    AbilityScore(c, chosen) += 1;
    DebugPrint(2, "Increasing %s (%d) \n", AbilityName(chosen), AbilityScore(c, chosen));
  }
}

// The gold a tome or manual asks per point of inherent bonus: 27,500 gp under SRD 3.5,
// 27,000 by the system's own rules. Either way an ability gains +5 at most.
namespace {
int32_t InherentPointPrice(const Char* c) { return Srd35(c) ? 27500 : 27000; }
}  // namespace

void InherentBonus(Char* c) {
  int cr = c->cr < 0 ? 0 : c->cr > 50 ? 50 : c->cr;
  const int32_t unit = InherentPointPrice(c);
  int64_t spendable = std::min<int64_t>((int64_t)c->budget - gSource.treasure[cr], c->money);
  int32_t points = spendable > 0 ? (int32_t)(spendable / unit) : 0;
  if (points <= 0) return;
  c->budget -= points * unit;
  c->money -= points * unit;
  int32_t weights[kAttributes];
  SummedWeights(c, weights);
  int done = 0;
  for (int i = 0; i < kAttributes; ++i) {
    if (weights[i] < 1) weights[i] = 1;
    if (c->absent[i]) {
      weights[i] = 0;
      ++done;
    }
  }
  while (done < kAttributes && points > 0) {
    int chosen = ChooseAbility(c, weights, "Attribut für innewohnenden Bonus wählen!");
    if (chosen < 0) break;
    int32_t amount = std::max(1, EnhancementDraw(c->context.random, c->Level, 0));
    int32_t bonus = std::min(amount, std::min(5, points));
    AbilityScore(c, chosen) += bonus;
    points -= bonus;
    weights[chosen] = 0;
    ++done;
  }
  c->budget += points * unit;
  c->money += points * unit;
}

}  // namespace RUNTIME_NS
