#include "generator/powers.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "generator/attributes.h"
#include "generator/scratch.h"
#include "launcher/process.h"
#include "random/decisions.h"
#include "script/interp.h"
#include "source/records.h"

namespace RUNTIME_NS {

int BasePowerPoints(int type, int L) {
  int points = 0;
  if (type == 1) {
    points = 2;
    int step = -1;
    for (int l = 2; l <= L; ++l) {
      if (l % 2 == 0) step += 2;
      points += step;
    }
  } else if (type == 2) {
    int step = 1;
    for (int l = 2; l <= L; ++l) {
      if ((l - 1) % 3 == 0) step += 2;
      points += step;
    }
    if (L == 1) points += 2;
  }
  return points;
}

int PowersKnown(int type, int L, int s) {
  if (type == 1) {
    if (s == 0) {
      int known = 3;
      for (int l = 4; l <= std::min(L, 12); l += 2) ++known;
      return known;
    }
    int known = 0;
    if (L >= 2 * s) known = 1;
    if (L - 1 >= 2 * s) known = 2;
    if (L - 3 >= 2 * s) known = 3;
    if (L - 7 >= 2 * s) known = 4;
    if (L - 12 >= 2 * s) known = 5;
    if (L == 12 && s == 1) known = 4;
    if (L == 19 && s == 8) known = 2;
    if ((L == 3 || L == 4) && s == 1) known = 3;
    return known;
  }
  if (type == 2) {
    if (s == 0) return L > 1 ? 3 : 2;
    if (s > 6) return -1;  // a partial psionic class has no powers above level 6
    int known = 0;
    if (s > 2) {
      if (L > 3 * s - 2) known = 1;
      if (L > 3 * s) known = 2;
    }
    if (L == 3 && s == 1) known = 1;
    if (L == 4 && s == 1) known = 2;
    if (L == 5 && s == 2) known = 1;
    if ((L == 6 || L == 7) && s == 2) known = 2;
    if (L >= 3 * s + 2) known = 3;
    return known;
  }
  return 0;
}

void DoPowers(Char* c) {
  IsaacState* state = c->context.random;
  int n = gSource.powerCount;
  Scratch<char, 1024> present((size_t)std::max(n, 1), 0);
  for (int slot = 0; slot < c->classCount && slot < kMaxClassSlots; ++slot) {
    const CharSource* k = ClassAt(c->classes[slot]);
    if (!k || k->powerType == 0) continue;
    int type = k->powerType, L = c->classLevels[slot];
    c->PowerPoints += BasePowerPoints(type, L);
    if (type == 1) {
      int32_t weights[kAttributes];
      for (int a = 0; a < kAttributes; ++a) weights[a] = std::max(AbilityScore(c, a), 0);
      int main = AdvancedRand(state, kAttributes, weights, 4, &gSource.attributeNames[0].name.text, sizeof(NamedSource),
                              "Haupt-Psion-Attribut", 0, true, 0, false);
      if (main >= 0) c->mainPsionic = main;
      if (main >= 0 && AbilityModifier(c, main) > 0) {
        int score = AbilityScore(c, main);
        for (int l = 1; l <= L; ++l) {
          int t = l % 2 == 0 ? l - 1 : l;
          t += (score - t - 19) / 8;
          if (score < l + 11) t = 0;
          c->PowerPoints += t;
        }
      }
    }
    for (int s = 0; s < 10; ++s) {
      int known = PowersKnown(type, L, s);
      c->spellsKnown[slot][s] = c->spellsToDraw[slot][s] = known;
      c->spellsChosenCount[slot][s] = 0;
    }
    for (int s = 0; s < 10; ++s) {
      int toDraw = c->spellsToDraw[slot][s];
      for (int d = 0; d < toDraw && d < 10; ++d) {
        Scratch<int32_t, 1024> weights((size_t)std::max(n, 1), 0);
        bool any = false;
        bool last = type == 1 && d == toDraw - 1;
        for (int p = 0; p < n; ++p) {
          const PowerSource& x = gSource.powers[p];
          int level = type == 1 ? x.psion : x.psychicWarrior;
          bool fits = level == s && !present[(size_t)p] && x.attribute >= 0 && x.attribute < kAttributes &&
                      AbilityScore(c, x.attribute) >= s + 10;
          if (fits && last && x.attribute != c->mainPsionic) fits = false;
          weights[(size_t)p] = fits ? 1 : 0;
          any = any || fits;
        }
        if (!any) {
          c->spellsToDraw[slot][s] = d;
          break;
        }
        int p = AdvancedRand(state, n, weights.data(), 4, &gSource.powers[0].name.text, sizeof(PowerSource),
                             "Power wählen", 0, true, 0, false);
        if (p < 0) break;
        present[(size_t)p] = 1;
        c->spellsChosen[slot][s][c->spellsChosenCount[slot][s]++] = p;
      }
    }
  }
}

void DoCrystal(Char* c) {
  IsaacState* state = c->context.random;
  int n = gSource.specialCount;
  if (n <= 0) return;
  if (c->Crystals > 0) {
    Scratch<int32_t, 1024> weights((size_t)n, 0);
    for (int i = 0; i < n; ++i) weights[(size_t)i] = gSource.specials[i].type == 3 ? std::max(gSource.specials[i].spellLevel, 0) : 0;
    std::string line = "Psicrystal (" + std::to_string(c->Crystals) + ") ";
    for (int k = 0; k < c->Crystals; ++k) {
      int i = AdvancedRand(state, n, weights.data(), 4, &gSource.specials[0].name.text, sizeof(SpecialSource),
                           "Psi Crystall wählen!", 0, true, 0, false);
      if (i < 0) break;
      line += std::string(gSource.specials[i].name.c_str()) + " ";
      if (gSource.specials[i].script.data)
        RunScript(c, nullptr, c->specialText, gSource.specials[i].script.data, gSource.specials[i].name.c_str(), -1,
                  c->specialText);
      weights[(size_t)i] = 0;
    }
    line += "\n";
    if (c->specialText) TextAppend(c->specialText, line.data(), line.size());
  }
  if (c->CombatModes > 0) {
    Scratch<int32_t, 1024> weights((size_t)n, 0);
    int average = 0;
    for (int a = 0; a < kAttributes; ++a) average += AbilityScore(c, a);
    average /= kAttributes;
    for (int i = 0; i < n; ++i) {
      const SpecialSource& x = gSource.specials[i];
      if (x.type != 4) continue;
      weights[(size_t)i] = x.spellLevel == 6 ? average
                                             : std::max(x.spellLevel >= 0 && x.spellLevel < kAttributes
                                                            ? AbilityScore(c, x.spellLevel)
                                                            : 1,
                                                        1);
    }
    std::string line = "Psionic Combat Modes (" + std::to_string(c->CombatModes) + "): ";
    for (int k = 0; k < c->CombatModes; ++k) {
      int i = AdvancedRand(state, n, weights.data(), 4, &gSource.specials[0].name.text, sizeof(SpecialSource),
                           "Combat Mode wählen!", 0, true, 0, false);
      if (i < 0) break;
      line += std::string(gSource.specials[i].name.c_str()) + " ";
      weights[(size_t)i] = 0;
    }
    // The last two characters are cut; the line takes no line end of its own.
    if (line.size() >= 2) line.resize(line.size() - 2);
    if (c->specialText) TextAppend(c->specialText, line.data(), line.size());
  }
}

}  // namespace RUNTIME_NS
