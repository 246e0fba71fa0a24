// The psionic stages of a creature: power points and powers known by the manifesting
// class tables, the powers drawn, psicrystals and psionic combat modes.
#include "generator/powers.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "generator/attributes.h"
#include "generator/scratch.h"
#include "generator/script_binding.h"
#include "launcher/process.h"
#include "random/decisions.h"
#include "source/reader.h"
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

namespace {

// A manifesting class's table: power points, powers known and the highest power level
// by class level; `list` 0 psion (with the discipline), 1 psion/wilder list, 2 psychic
// warrior list; epic levels learn `epicKnown` powers every `epicEvery` levels.
struct ManifesterTable {
  const char* name;
  int levels;
  int16_t points[20], known[20];
  int8_t highest[20];
  int list, epicKnown, epicEvery;
};

const ManifesterTable kManifesters[] = {
    {"Psion",
     20,
     {2, 6, 11, 17, 25, 35, 46, 58, 72, 88, 106, 126, 147, 170, 195, 221, 250, 280, 311, 343},
     {3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 22, 24, 25, 27, 28, 30, 31, 33, 34, 36},
     {1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 9, 9},
     0,
     2,
     1},
    {"Wilder",
     20,
     {2, 6, 11, 17, 25, 35, 46, 58, 72, 88, 106, 126, 147, 170, 195, 221, 250, 280, 311, 343},
     {1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11},
     {1, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 9},
     1,
     0,
     1},
    {"Psychokrieger",
     20,
     {0, 1, 3, 5, 7, 11, 15, 19, 23, 27, 35, 43, 51, 59, 67, 79, 91, 103, 115, 127},
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20},
     {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6, 6, 6},
     2,
     1,
     2},
    {"PsionischeFaust",
     10,
     {1, 3, 6, 10, 15, 23, 31, 43, 55, 71},
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
     {1, 1, 2, 2, 3, 3, 4, 4, 5, 5},
     2,
     0,
     1},
    {"Kriegsgeist",
     10,
     {2, 5, 9, 14, 20, 28, 37, 47, 58, 70},
     {1, 2, 2, 3, 3, 4, 4, 5, 5, 6},
     {1, 1, 1, 2, 2, 3, 3, 4, 4, 5},
     2,
     0,
     1},
};

// Prestige classes that add manifester levels to the manifesting class: bit l-1 set when
// their level l does.
struct ManifesterAdvance {
  const char* name;
  uint16_t levels;
};
const ManifesterAdvance kAdvances[] = {
    {"Zerebromant", 0x3FF},       {"Elokator", 0x36D},           {"Metageist", 0x2AA},
    {"EntkörperterPsion", 0x1B6}, {"Gedankenschlächter", 0x3FE}, {"Hörigenhirte", 0x1FE},
};

struct ManifesterClasses {
  uint32_t generation = ~0u;
  int table[std::size(kManifesters)] = {};
  int advance[std::size(kAdvances)] = {};
};

const ManifesterClasses& Manifesters() {
  thread_local ManifesterClasses m;
  if (m.generation != gSourceGeneration) {
    for (size_t i = 0; i < std::size(kManifesters); ++i)
      m.table[i] = FindByName(gSource.classes, gSource.classCount, kManifesters[i].name);
    for (size_t i = 0; i < std::size(kAdvances); ++i)
      m.advance[i] = FindByName(gSource.classes, gSource.classCount, kAdvances[i].name);
    m.generation = gSourceGeneration;
  }
  return m;
}

const ManifesterTable* TableOf(int cls) {
  const ManifesterClasses& m = Manifesters();
  for (size_t i = 0; i < std::size(kManifesters); ++i)
    if (cls >= 0 && m.table[i] == cls) return &kManifesters[i];
  return nullptr;
}

// Manifester levels a prestige class of `levels` adds; 0 for any other class.
int AdvancedLevels(int cls, int levels) {
  const ManifesterClasses& m = Manifesters();
  for (size_t i = 0; i < std::size(kAdvances); ++i)
    if (cls >= 0 && m.advance[i] == cls) {
      int n = 0;
      for (int l = 0; l < levels && l < 16; ++l) n += kAdvances[i].levels >> l & 1;
      return n;
    }
  return 0;
}

// The slot of the highest manifesting class (the first on a tie), -1 without one; its
// manifester level counts the levels prestige classes add.
int MainManifester(const Char* c, int* level) {
  int main = -1, slots = std::min(c->classCount, kMaxClassSlots);
  for (int s = 0; s < slots; ++s)
    if (TableOf(c->classes[s]) && (main < 0 || c->classLevels[s] > c->classLevels[main])) main = s;
  *level = 0;
  if (main < 0) return -1;
  *level = c->classLevels[main];
  for (int s = 0; s < slots; ++s) *level += AdvancedLevels(c->classes[s], c->classLevels[s]);
  return main;
}

int PowersKnownAt(const ManifesterTable& t, int level) {
  if (level <= 0) return 0;
  int known = t.known[std::min(level, t.levels) - 1];
  if (level > 20 && t.epicEvery > 0) known += t.epicKnown * (level / t.epicEvery - 20 / t.epicEvery);
  return known;
}

// Power points and powers known by the class tables: the powers a level brings are of
// the highest power level it reaches (fewer fitting powers fall to the level below);
// no powers of level 0; a psion learns discipline powers of his own discipline only, a
// wilder only general ones. The key ability's bonus points follow once the scores are
// final (BonusPowerPoints).
void ManifesterPowers(Char* c) {
  IsaacState* state = c->context.random;
  int n = gSource.powerCount;
  Scratch<char, 1024> present((size_t)std::max(n, 1), 0);
  Scratch<int32_t, 1024> weights((size_t)std::max(n, 1), 0);
  int mainLevel = 0, main = MainManifester(c, &mainLevel);
  for (int slot = 0; slot < c->classCount && slot < kMaxClassSlots; ++slot) {
    const CharSource* k = ClassAt(c->classes[slot]);
    const ManifesterTable* t = TableOf(c->classes[slot]);
    if (!k || !t) continue;
    int L = slot == main ? mainLevel : c->classLevels[slot];
    c->PowerPoints += t->points[std::min(L, t->levels) - 1];
    int key = k->spellAttribute >= 0 && k->spellAttribute < kAttributes ? k->spellAttribute : 3;
    if (t->list == 0) {
      int32_t scores[kAttributes];
      for (int a = 0; a < kAttributes; ++a) scores[a] = std::max(AbilityScore(c, a), 0);
      int discipline = AdvancedRand(state, kAttributes, scores, 4, &gSource.attributeNames[0].name.text,
                                    sizeof(NamedSource), "Psionische Disziplin", 0, true, 0, false);
      if (discipline >= 0) c->mainPsionic = discipline;
    } else if (c->mainPsionic < 0) {
      c->mainPsionic = key;
    }
    int wanted[10] = {};
    for (int l = 1; l <= L; ++l)
      wanted[t->highest[std::min(l, t->levels) - 1]] += PowersKnownAt(*t, l) - PowersKnownAt(*t, l - 1);
    int score = AbilityScore(c, key), carry = 0;
    for (int s = 9; s >= 0; --s) {
      int toDraw = s == 0 ? 0 : std::min(wanted[s] + carry, 10);
      carry = s == 0 ? 0 : wanted[s] + carry - toDraw;
      int drawn = 0, available = 0;
      bool learns = score >= 10 + s;
      for (int p = 0; p < n && learns && toDraw > 0; ++p) {
        const PowerSource& x = gSource.powers[p];
        int level = t->list == 2 ? x.psychicWarrior : x.psion;
        bool fits = level == s && !present[(size_t)p];
        if (t->list == 0) fits = fits && (x.discipline < 0 || x.discipline == c->mainPsionic);
        if (t->list == 1) fits = fits && x.discipline < 0;
        weights[(size_t)p] = fits ? 1 : 0;
        available += fits;
      }
      for (; drawn < toDraw && drawn < available && learns; ++drawn) {
        int p = AdvancedRand(state, n, weights.data(), 4, &gSource.powers[0].name.text, sizeof(PowerSource),
                             "Power wählen", 0, true, 0, false);
        if (p < 0 || weights[(size_t)p] == 0) break;
        weights[(size_t)p] = 0;
        present[(size_t)p] = 1;
        c->spellsChosen[slot][s][drawn] = p;
      }
      carry += toDraw - drawn;
      c->spellsChosenCount[slot][s] = drawn;
      c->spellsKnown[slot][s] = c->spellsToDraw[slot][s] = s == 0 ? -1 : drawn;
    }
  }
}

}  // namespace

bool KeyManifestingAbilityReaches(Char* c, int score) {
  if (!Srd35(c)) return c->IN >= score;
  int level = 0, main = MainManifester(c, &level);
  const CharSource* k = main >= 0 ? ClassAt(c->classes[main]) : nullptr;
  return k && k->spellAttribute >= 0 && k->spellAttribute < kAttributes && AbilityScore(c, k->spellAttribute) >= score;
}

void BonusPowerPoints(Char* c) {
  int level = 0, main = MainManifester(c, &level);
  const CharSource* k = main >= 0 ? ClassAt(c->classes[main]) : nullptr;
  if (!k || k->spellAttribute < 0 || k->spellAttribute >= kAttributes) return;
  int mod = AbilityModifier(c, k->spellAttribute);
  if (mod > 0) c->PowerPoints += mod * std::min(level, 20) / 2;
}

void DoPowers(Char* c) {
  if (Srd35(c)) {
    ManifesterPowers(c);
    return;
  }
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
    for (int i = 0; i < n; ++i)
      weights[(size_t)i] = gSource.specials[i].type == 3 ? std::max(gSource.specials[i].spellLevel, 0) : 0;
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
      weights[(size_t)i] =
          x.spellLevel == 6
              ? average
              : std::max(x.spellLevel >= 0 && x.spellLevel < kAttributes ? AbilityScore(c, x.spellLevel) : 1, 1);
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
