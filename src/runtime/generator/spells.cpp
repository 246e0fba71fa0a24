// Spellcasting of a creature: domains and schools, spells known and per day from each
// class's progression and key ability, the spells drawn, and the save DCs the sheet shows.
#include "generator/spells.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "generator/alignment.h"
#include "generator/attributes.h"
#include "generator/extras.h"
#include "generator/powers.h"
#include "generator/scratch.h"
#include "generator/shared_table.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "random/decisions.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

int School(const char* name) { return FindByName(gSource.schools, gSource.schoolCount, name); }

int Domain(const char* name) { return FindByName(gSource.domains, gSource.domainCount, name); }

// A value of a progression: taken once L reaches `at`.
void At(int level, int at, int value, int32_t* slot) {
  if (level >= at) *slot = value;
}

int KeyScore(const Char* c, const CharSource& k) {
  if (k.spellAttribute < 0 || k.spellAttribute >= kAttributes) return 0;
  return (&c->ST)[k.spellAttribute];
}

int KeyModifier(const Char* c, const CharSource& k) {
  if (k.spellAttribute < 0 || k.spellAttribute >= kAttributes) return 0;
  return (&c->MST)[k.spellAttribute];
}

bool Forbidden(const Char* c, int school) { return school >= 0 && school < kMaxSchools && c->forbidden[school]; }

void Forbid(Char* c, int school) {
  if (school >= 0 && school < kMaxSchools) c->forbidden[school] = 1;
}

// One school drawn among `names` minus the specialist school (and, when asked, minus
// the schools already forbidden: the other lists may forbid a school twice).
int DrawSchool(Char* c, std::initializer_list<const char*> names, const char* label, bool skipForbidden = false) {
  int n = gSource.schoolCount;
  std::vector<int32_t> weights((size_t)std::max(n, 1), 0);
  for (const char* name : names) {
    int s = School(name);
    if (s >= 0 && s != c->specialistSchool && !(skipForbidden && Forbidden(c, s))) weights[(size_t)s] = 1;
  }
  return AdvancedRand(c->context.random, n, weights.data(), 4, &gSource.schools[0].name.text, sizeof(NamedSource),
                      label, 0, true, 0, false);
}

void ChooseDomains(Char* c) {
  int wanted = 0;
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s)
    if (const CharSource* k = ClassAt(c->classes[s])) wanted += k->domains;
  int n = gSource.domainCount;
  if (wanted <= 0 || n <= 0) return;
  std::vector<int32_t> weights((size_t)n, 1);
  int good = Domain("Gutes"), evil = Domain("Böses"), chaos = Domain("Chaos"), law = Domain("Ordnung");
  // A domain the classes' alignments rule out is not drawn (a lawful agent retriever's
  // cleric levels take no Chaos domain).
  int32_t allowed = AllowedAlignments(c);
  auto rule = [&](int d, int32_t set) {
    if (d >= 0 && (allowed & set) == 0) weights[(size_t)d] = 0;
  };
  rule(good, kGoodAlignments);
  rule(evil, kEvilAlignments);
  rule(chaos, kChaoticAlignments);
  rule(law, kLawfulAlignments);
  int count = 0;
  for (int i = 0; i < wanted && count < 16; ++i) {
    int d = AdvancedRand(c->context.random, n, weights.data(), 4, &gSource.domains[0].name.text, sizeof(NamedSource),
                         "Domäne wählen!", 0, true, 0, false);
    if (d < 0) break;
    c->domains[count++] = d;
    weights[(size_t)d] = 0;
    // Opposed alignments exclude each other.
    auto exclude = [&](int a, int b) {
      if (d == a && b >= 0) weights[(size_t)b] = 0;
      if (d == b && a >= 0) weights[(size_t)a] = 0;
    };
    exclude(good, evil);
    exclude(chaos, law);
  }
  c->domainCount = count;
}

void ChooseSchools(Char* c) {
  IsaacState* state = c->context.random;
  bool anyMode = false, always = false;
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s)
    if (const CharSource* k = ClassAt(c->classes[s])) {
      anyMode = anyMode || k->specialise != 0;
      always = always || k->specialise == 2;
    }
  c->specialist = 0;
  if (!anyMode || gSource.schoolCount < 2) return;
  int general = gSource.schoolCount - 1;
  bool profileSchool = c->profileMode && c->profile >= 0 && c->profile < gSource.profileCount &&
                       gSource.profiles[c->profile].school >= 0 && gSource.profiles[c->profile].school != general;
  if (!profileSchool && !always &&
      random(state, 0, 1, "1: Spezialisierung auf Magierschule, 0 = Keine Spezialisierung\n", 0) == 0)
    return;
  c->specialist = 1;
  if (profileSchool) {
    c->specialistSchool = gSource.profiles[c->profile].school;
  } else {
    std::string label;
    char line[160];
    for (int s = 0; s < general; ++s) {
      snprintf(line, sizeof line, "%d: %s\n", s, gSource.schools[s].name.c_str());
      label += line;
    }
    label += "Schule wählen\n";
    c->specialistSchool = random(state, 0, general - 1, label.c_str(), 0);
  }
  const std::string special = gSource.schools[c->specialistSchool].name.c_str();
  int used[5] = {};
  for (int slot = 0; slot < c->classCount && slot < kMaxClassSlots; ++slot) {
    const CharSource* k = ClassAt(c->classes[slot]);
    if (!k || k->specialise == 0) continue;
    auto kindOf = [&](int most) {
      int kind = random(state, 1, most, "Art der zu Streichenden Schule Wählen\n", 0);
      if (used[kind]) kind = kind % most + 1;
      used[kind] = 1;
      return kind;
    };
    if (special == "Bannzauber" || special == "Illusion" || special == "Verzauberung") {
      if (kindOf(2) == 1) {
        // Enchantment is never on this list: an enchanter is the specialist, and the
        // other specialists of this group keep it.
        Forbid(c, DrawSchool(c, {"Bannzauber", "Beschwörung", "Hervorrufung", "Illusion", "Verwandlung"},
                             "Schule wählen!\n"));
      } else {
        Forbid(c, School("Erkenntnis"));
        Forbid(c, School("Nekromantie"));
      }
    } else if (special == "Beschwörung" || special == "Hervorrufung" || special == "Verwandlung") {
      switch (kindOf(4)) {
        case 1:
          Forbid(c, School(special == "Beschwörung" ? "Hervorrufung" : "Beschwörung"));
          break;
        case 2:
          for (int i = 0; i < 2; ++i)
            Forbid(c, DrawSchool(c, {"Bannzauber", "Illusion", "Verzauberung"}, "Verbotene Schule wählen!\n"));
          break;
        case 3:
          Forbid(c, School(special == "Verwandlung" ? "Hervorrufung" : "Verwandlung"));
          break;
        default:
          for (int i = 0; i < 3; ++i)
            Forbid(c, DrawSchool(c,
                                 {"Bannzauber", "Beschwörung", "Erkenntnis", "Verzauberung", "Hervorrufung", "Illusion",
                                  "Nekromantie", "Verwandlung"},
                                 "Verbotene Schule wählen!\n"));
      }
    } else if (special == "Erkenntnis" || special == "Nekromantie") {
      Forbid(c, DrawSchool(c,
                           {"Bannzauber", "Beschwörung", "Erkenntnis", "Verzauberung", "Hervorrufung", "Illusion",
                            "Nekromantie", "Verwandlung"},
                           "Verbotene Schule wählen!\n", true));
    } else {
      ConsolePrint("Error in School: %s\n", special.c_str());
      QuitOnError(true);
    }
  }
}

// A class slot's caster level from the levels counted for its spells (`counted`, with the
// levels other classes add) and its own: paladin and ranger half their own from the 4th;
// SRD 3.5 gives a class that casts no spells none (the system's own rules its levels).
int CasterLevel(const Char* c, const CharSource* k, int counted, int own) {
  if (k && k->spellType == 5) return own >= 4 ? own / 2 : 0;
  if (Srd35(c) && (!k || k->spellType == -1)) return 0;
  return counted;
}

// Whether a specialist prepares an extra spell of her school at this spell level: SRD 3.5
// at each level she can cast; the system's own rules at each level her key ability
// reaches, also one the class cannot cast yet.
bool SpecialistExtraSpell(const Char* c, const CharSource& k, int slot, int level) {
  if (!c->specialist || !k.specialise || k.spellAttribute < 0 || Forbidden(c, c->specialistSchool)) return false;
  if (Srd35(c)) return c->spellsPerDay[slot][level] > 0;
  return KeyScore(c, k) - 10 >= level;
}

// The class tables where they differ from the progressions: the bard's spells per day
// and known (spell levels 0-6), the paladin's and ranger's per day (levels 1-4), the
// assassin's known (levels 1-4); -1 none.
constexpr int8_t kBardPerDay[20][7] = {
    {2, -1, -1, -1, -1, -1, -1}, {3, 0, -1, -1, -1, -1, -1}, {3, 1, -1, -1, -1, -1, -1}, {3, 2, 0, -1, -1, -1, -1},
    {3, 3, 1, -1, -1, -1, -1},   {3, 3, 2, -1, -1, -1, -1},  {3, 3, 2, 0, -1, -1, -1},   {3, 3, 3, 1, -1, -1, -1},
    {3, 3, 3, 2, -1, -1, -1},    {3, 3, 3, 2, 0, -1, -1},    {3, 3, 3, 3, 1, -1, -1},    {3, 3, 3, 3, 2, -1, -1},
    {3, 3, 3, 3, 2, 0, -1},      {4, 3, 3, 3, 3, 1, -1},     {4, 4, 3, 3, 3, 2, -1},     {4, 4, 4, 3, 3, 2, 0},
    {4, 4, 4, 4, 3, 3, 1},       {4, 4, 4, 4, 4, 3, 2},      {4, 4, 4, 4, 4, 4, 3},      {4, 4, 4, 4, 4, 4, 4}};
constexpr int8_t kBardKnown[20][7] = {
    {4, -1, -1, -1, -1, -1, -1}, {5, 2, -1, -1, -1, -1, -1}, {6, 3, -1, -1, -1, -1, -1}, {6, 3, 2, -1, -1, -1, -1},
    {6, 4, 3, -1, -1, -1, -1},   {6, 4, 3, -1, -1, -1, -1},  {6, 4, 4, 2, -1, -1, -1},   {6, 4, 4, 3, -1, -1, -1},
    {6, 4, 4, 3, -1, -1, -1},    {6, 4, 4, 4, 2, -1, -1},    {6, 4, 4, 4, 3, -1, -1},    {6, 4, 4, 4, 3, -1, -1},
    {6, 4, 4, 4, 4, 2, -1},      {6, 4, 4, 4, 4, 3, -1},     {6, 4, 4, 4, 4, 3, -1},     {6, 5, 4, 4, 4, 4, 2},
    {6, 5, 5, 4, 4, 4, 3},       {6, 5, 5, 5, 4, 4, 3},      {6, 5, 5, 5, 5, 4, 4},      {6, 5, 5, 5, 5, 5, 4}};
constexpr int8_t kHolyWarriorPerDay[20][4] = {{-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}, {0, -1, -1, -1},
                                              {0, -1, -1, -1},  {1, -1, -1, -1},  {1, -1, -1, -1},  {1, 0, -1, -1},
                                              {1, 0, -1, -1},   {1, 1, -1, -1},   {1, 1, 0, -1},    {1, 1, 1, -1},
                                              {1, 1, 1, -1},    {2, 1, 1, 0},     {2, 1, 1, 1},     {2, 2, 1, 1},
                                              {2, 2, 2, 1},     {3, 2, 2, 1},     {3, 3, 3, 2},     {3, 3, 3, 3}};
constexpr int8_t kAssassinKnown[10][4] = {{2, -1, -1, -1}, {3, -1, -1, -1}, {3, 2, -1, -1}, {4, 3, -1, -1},
                                          {4, 3, 2, -1},   {4, 4, 3, -1},   {4, 4, 3, 2},   {4, 4, 4, 3},
                                          {4, 4, 4, 3},    {4, 4, 4, 4}};

// Spells known (K) and per day (D) of a class of caster `type` at level L for spell level
// s, before bonus spells. SRD 3.5 takes the bard's, paladin's, ranger's and assassin's
// tables as printed (the other classes' agree with the progression); a spell level the
// table first opens with 0 per day is known only with a bonus spell of it (key modifier
// `mod` at least s).
void ClassSpellProgression(const Char* c, int type, int L, int s, int mod, int32_t* K, int32_t* D) {
  SpellProgression(type, L, s, K, D);
  if (!Srd35(c) || L <= 0) return;
  int row = std::min(L, 20) - 1;
  if (type == 4 && s <= 6) {
    *D = kBardPerDay[row][s];
    *K = kBardKnown[row][s];
  } else if (type == 5 && s >= 1 && s <= 4) {
    *D = kHolyWarriorPerDay[row][s - 1];
  } else if (type == 8 && s >= 1 && s <= 4) {
    *K = kAssassinKnown[std::min(row, 9)][s - 1];
  }
  if ((type == 4 || type == 8) && *D == 0 && mod < s) *K = 0;
}

// The levels of a class that advances another's spellcasting which count for it: SRD 3.5
// counts the eldritch knight's from his 2nd level on; a class of IncreaseSpellType 2
// every second level under both rule sets.
int AddedCasterLevels(const Char* c, int cls, int levels) {
  // IncreaseSpellType 2: every second level counts (cosmic descryer, high proselytizer).
  if (const CharSource* k = ClassAt(cls); k && k->increaseSpellType == 2) return levels / 2;
  if (!Srd35(c)) return levels;
  thread_local uint32_t generation = ~0u;
  thread_local int eldritchKnight = -1;
  if (generation != gSourceGeneration) {
    eldritchKnight = FindByName(gSource.classes, gSource.classCount, "MystischerRitter");
    generation = gSourceGeneration;
  }
  return cls >= 0 && cls == eldritchKnight ? std::max(levels - 1, 0) : levels;
}

// One pass of the counts; `epicLevels` says whether the real pre-epic levels count.
void CountPass(Char* c, bool realPreEpic, const int32_t* levels, const int32_t* preEpic) {
  for (int s = 0; s < kMaxClassSlots; ++s)
    for (int l = 0; l < 10; ++l) c->spellsKnown[s][l] = c->spellsPerDay[s][l] = c->spellsToDraw[s][l] = -1;
  int slots = std::min(c->classCount, kMaxClassSlots);
  for (int s = 0; s < slots; ++s) {
    c->classLevels[s] = levels[s];
    c->preEpicLevels[s] = realPreEpic ? preEpic[s] : levels[s];
  }
  // The main casting slot collects the levels of classes that advance spellcasting.
  int main = -1;
  for (int s = 0; s < slots; ++s) {
    const CharSource* k = ClassAt(c->classes[s]);
    if (k && k->spellType != -1 && (main < 0 || c->classLevels[s] > c->classLevels[main])) main = s;
  }
  c->mainCastingSlot = main;
  if (main >= 0)
    for (int s = 0; s < slots; ++s) {
      const CharSource* k = ClassAt(c->classes[s]);
      if (!k || !k->increaseSpellType || s == main) continue;
      c->classLevels[main] += AddedCasterLevels(c, c->classes[s], c->classLevels[s]);
      c->preEpicLevels[main] += AddedCasterLevels(c, c->classes[s], c->preEpicLevels[s]);
    }
  for (int s = 0; s < slots; ++s) {
    const CharSource* k = ClassAt(c->classes[s]);
    int L = c->preEpicLevels[s];
    if (!k || k->spellType == -1 || L <= 0) continue;
    int score = KeyScore(c, *k), mod = KeyModifier(c, *k);
    bool fromKnown = CastsFromKnown(c, *k);
    for (int l = 0; l < 10; ++l) {
      int32_t K = -1, D = -1;
      if (score >= 10 + l) ClassSpellProgression(c, k->spellType, L, l, mod, &K, &D);
      if (l >= 1 && D != -1 && mod >= l) D += (mod - l) / 4 + 1;
      if (D != -1 && c->spellBonus[0] && l >= c->spellBonus[1] && l <= c->spellBonus[2]) D += c->spellBonus[0];
      if (score < 10 + l) K = D = -1;
      c->spellsKnown[s][l] = K;
      c->spellsPerDay[s][l] = D;
      c->spellsToDraw[s][l] = fromKnown ? K : D;
      if (c->spellsToDraw[s][l] >= 0) c->highestSpellLevel = std::max(c->highestSpellLevel, l);
    }
  }
}

// The spells of each class and spell level, in table order: a caster's weights are set
// for these instead of looking at every spell for every level. Built once per rule
// database (threads share it), released with the other creation caches.
struct SpellLists {
  uint32_t generation = 0;
  const SpellSource* spells = nullptr;
  int classes = 0;
  int32_t* start = nullptr;  // classes * 10 + 1 offsets into spell
  int32_t* spell = nullptr;
};
SharedBuild gSpellListBuild;
SpellLists gSpellLists;

void FreeSpellLists() {
  if (gSpellLists.start) freeloga(gSpellLists.start);
  if (gSpellLists.spell) freeloga(gSpellLists.spell);
  gSpellLists = SpellLists{};
}

void BuildSpellLists() {
  SpellLists& l = gSpellLists;
  FreeSpellLists();
  int classes = std::max(gSource.classCount, 0), n = gSource.spellCount;
  l.start = static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)(classes * 10 + 1), "SpellLists-Start"));
  memset(l.start, 0, sizeof(int32_t) * (size_t)(classes * 10 + 1));
  for (int sp = 0; sp < n; ++sp)
    if (const int32_t* per = gSource.spells[sp].Levels())
      for (int k = 0; k < classes; ++k)
        if (per[k] >= 0 && per[k] < 10) ++l.start[k * 10 + per[k] + 1];
  for (int i = 0; i < classes * 10; ++i) l.start[i + 1] += l.start[i];
  int total = l.start[classes * 10];
  l.spell = static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)std::max(total, 1), "SpellLists-Spells"));
  Scratch<int32_t, 1024> fill((size_t)std::max(classes * 10, 1), 0);
  for (int sp = 0; sp < n; ++sp)
    if (const int32_t* per = gSource.spells[sp].Levels())
      for (int k = 0; k < classes; ++k)
        if (per[k] >= 0 && per[k] < 10) {
          int list = k * 10 + per[k];
          l.spell[l.start[list] + fill[(size_t)list]++] = sp;
        }
  l.generation = gSourceGeneration;
  l.spells = gSource.spells;
  l.classes = classes;
}

const SpellLists& SpellListsNow() {
  SpellLists& l = gSpellLists;
  gSpellListBuild.Ensure(
      [&] {
        return l.start && l.generation == gSourceGeneration && l.spells == gSource.spells &&
               l.classes == gSource.classCount;
      },
      BuildSpellLists);
  return l;
}

}  // namespace

// A caster who casts from the spells she knows: SRD 3.5 casts the assassin's spells as a
// bard does.
bool CastsFromKnown(const Char* c, const CharSource& k) {
  if (Srd35(c) && k.spellType == 8) return true;
  return k.spontaneous != 0;
}

void SpellProgression(int type, int L, int s, int32_t* K, int32_t* D) {
  *K = *D = -1;
  switch (type) {
    case 1:
    case 2:
      if (s == 0) {
        At(L, 1, 3, D);
        At(L, 2, 4, D);
        if (type == 2) {
          At(L, 4, 5, D);
          At(L, 7, 6, D);
        }
      } else {
        int f = 2 * s - 1;
        At(L, f, 1, D);
        At(L, f + 1, 2, D);
        At(L, f + 3, 3, D);
        At(L, f + 6, 4, D);
        if (type == 2) At(L, f + 10, 5, D);
        if (s == 9) At(L, 19, 3, D);
        if (s >= 8) At(L, 20, 4, D);
      }
      break;
    case 0:
      if (s == 0) {
        *K = std::min(L / 2 + 4, 9);
        *D = L >= 2 ? 6 : 5;
      } else {
        int f = s == 1 ? 0 : 2 * s;
        At(L, f, 1, K);
        At(L, f + 1, 2, K);
        At(L, f + 3, 3, K);
        if (s <= 5) At(L, f + 5, 4, K);
        if (s <= 2) At(L, f + 7, 5, K);
        if (s == 9) At(L, 20, 3, K);
        int g = s == 1 ? 1 : f;
        At(L, g, 3, D);
        At(L, g + 1, 4, D);
        At(L, g + 2, 5, D);
        At(L, g + 3, 6, D);
        if (s == 9) {
          At(L, 19, 4, D);
          At(L, 20, 6, D);
        }
      }
      break;
    case 4:
      if (s == 0) {
        *K = std::min(L + 3, 6);
        *D = 2;
        At(L, 2, 3, D);
        At(L, 14, 4, D);
      } else if (s <= 6) {
        int f = 2 * s + (s > 2 ? 1 : 0);
        At(L, f, 2, K);
        At(L, f + 1, 3, K);
        At(L, f + 3, 4, K);
        At(L, s + 14, 4, K);
        At(L, s + 15, 5, K);
        At(L, f, 0, D);
        At(L, f + 1, 1, D);
        At(L, f + 2, 2, D);
        At(L, f + 4, 3, D);
        if (s == 6) At(L, 19, 3, D);
      }
      break;
    case 5: {
      static const int table[4][4] = {{4, 6, 14, 18}, {8, 10, 16, 19}, {11, 12, 18, 19}, {14, 15, 19, 20}};
      if (s >= 1 && s <= 4)
        for (int v = 0; v < 4; ++v) At(L, table[s - 1][v], v, D);
      break;
    }
    case 7: {
      static const int table[4][3] = {{1, 2, 7}, {3, 4, 9}, {5, 6, 10}, {7, 8, 99}};
      if (s >= 1 && s <= 4)
        for (int v = 0; v < 3; ++v) At(L, table[s - 1][v], v, D);
      break;
    }
    case 8:  // the assassin's: each spell level two class levels after the one before
      if (s >= 1 && s <= 4)
        for (int v = 0; v < 4; ++v) At(L, 2 * s - 1 + v, v, D);
      break;
    case 9:
      if (s == 0) {
        *D = 3;
      } else if (s <= 5) {
        int f = 4 * s - 4;
        At(L, f, 0, D);
        At(L, f + 1, 1, D);
        At(L, f + 3, 2, D);
        At(L, f + 7, 3, D);
      }
      break;
    case 10:
      if (s == 1) {
        *D = 0;
        At(L, 2, 1, D);
      } else if (s == 2) {
        At(L, 3, 0, D);
        At(L, 4, 1, D);
      } else if (s == 3) {
        At(L, 5, 1, D);
      }
      break;
    default:
      break;
  }
}

void DoDomainsSpecial(Char* c) {
  ChooseDomains(c);
  ChooseSchools(c);
}

void CalculateSpellCount(Char* c) {
  int slots = std::min(c->classCount, kMaxClassSlots);
  int32_t levels[kMaxClassSlots] = {}, preEpic[kMaxClassSlots] = {};
  for (int s = 0; s < slots; ++s) {
    levels[s] = c->classLevels[s];
    preEpic[s] = c->preEpicLevels[s];
  }
  CountPass(c, false, levels, preEpic);
  if (c->kind != 1) CountPass(c, true, levels, preEpic);
  for (int s = 0; s < slots; ++s) {
    int counted = c->classLevels[s];
    c->classLevels[s] = levels[s];
    c->preEpicLevels[s] = preEpic[s];
    c->casterLevel[s] = CasterLevel(c, ClassAt(c->classes[s]), counted, levels[s]);
  }
}

void CalculateSpells(Char* c) {
  IsaacState* state = c->context.random;
  int n = gSource.spellCount;
  if (n <= 0) return;
  int cleric = FindByName(gSource.classes, gSource.classCount, "Kleriker");
  Scratch<int32_t, 2048> weights((size_t)n, 0);
  const SpellLists& lists = SpellListsNow();
  std::vector<int32_t> profileDone;
  const ProfileSource* profile =
      c->profileMode && c->profile >= 0 && c->profile < gSource.profileCount ? &gSource.profiles[c->profile] : nullptr;
  if (profile) profileDone.assign((size_t)std::max(profile->spellCount, 1), 0);
  c->knownSpellCount = 0;
  auto remember = [&](int spell) {
    if (spell < 0) return;
    for (int i = 0; i < c->knownSpellCount; ++i)
      if (c->knownSpells[i] == spell) return;
    if (c->knownSpellCount < 256) c->knownSpells[c->knownSpellCount++] = spell;
  };
  for (int slot = 0; slot < c->classCount && slot < kMaxClassSlots; ++slot) {
    const CharSource* k = ClassAt(c->classes[slot]);
    if (!k || k->spellType == -1) continue;
    int cls = c->classes[slot];
    bool monsterSlot = c->kind == 1 && c->monsterCaster, fromKnown = CastsFromKnown(c, *k);
    for (int level = 0; level < 10; ++level) {
      int toDraw = c->spellsToDraw[slot][level];
      c->spellsChosenCount[slot][level] = 0;
      if (toDraw > 0) {
        // Only the spells of the class's list (and, for a monster caster with cleric spells,
        // the cleric's list) at this level have a weight.
        std::fill(weights.begin(), weights.end(), 0);
        auto weigh = [&](int list) {
          for (int32_t i = lists.start[list]; i < lists.start[list + 1]; ++i) {
            int sp = lists.spell[i];
            const SpellSource& x = gSource.spells[sp];
            int64_t w = 0;
            if (!(k->specialise && Forbidden(c, x.school))) {
              int64_t base = x.probability + 1;
              w = base * std::min<int64_t>(base, 10);
              if (c->specialist && x.school == c->specialistSchool) w *= 2;
              if (k->spontaneousMode && !monsterSlot && x.convert) w = (int64_t)x.probability * x.probability / 4;
            }
            weights[(size_t)sp] = (int32_t)std::min<int64_t>(w, 1 << 28);
          }
        };
        if (cls >= 0 && cls < lists.classes) weigh(cls * 10 + level);
        if (monsterSlot && c->clericSpells && cleric >= 0 && cleric < lists.classes) weigh(cleric * 10 + level);
        if (profile)
          for (int i = 0; i < profile->spellCount; ++i) {
            int sp = profile->spells[i][0];
            if (sp >= 0 && sp < n)
              weights[(size_t)sp] =
                  (int32_t)std::min<int64_t>((int64_t)weights[(size_t)sp] * c->profileWeight, 1 << 28);
          }
        WeightedTable table(weights.data(), n);
        for (int d = 0; d < toDraw; ++d) {
          int sp = table.Pick(state, &gSource.spells[0].name.text, sizeof(SpellSource), "Zauberspruch wählen!\n", 0,
                              true, 0, false);
          int& count = c->spellsChosenCount[slot][level];
          if (count < 10) c->spellsChosen[slot][level][count++] = sp;
          if (sp < 0) continue;
          remember(sp);
          if (profile)
            for (int i = 0; i < profile->spellCount; ++i)
              if (profile->spells[i][0] == sp && ++profileDone[(size_t)i] >= profile->spells[i][1]) table.Set(sp, 0);
          if (fromKnown) table.Set(sp, 0);
          table.Set(sp, weights[(size_t)sp] * 2 / 3);
        }
      }
      // A specialist's extra spell of the specialist school.
      if (SpecialistExtraSpell(c, *k, slot, level)) {
        // By the own rules also at a spell level the class cannot cast yet (its counts
        // rise from -1 to 0).
        for (int sp = 0; sp < n; ++sp) {
          const SpellSource& x = gSource.spells[sp];
          const int32_t* per = x.Levels();
          bool fits = per && per[cls] == level && x.school == c->specialistSchool;
          weights[(size_t)sp] = fits ? std::max(x.probability, 1) : 0;
        }
        int sp = AdvancedRand(state, n, weights.data(), 4, &gSource.spells[0].name.text, sizeof(SpellSource),
                              "Zauberspruch (Spezialisierte Schule) wählen!\n", 0, true, 0, false);
        int& count = c->spellsChosenCount[slot][level];
        if (count < 10) c->spellsChosen[slot][level][count++] = sp;
        remember(sp);
        ++c->spellsToDraw[slot][level];
        ++c->spellsPerDay[slot][level];
      }
    }
    // Domain spells: one per spell level the class reaches.
    if (k->domains > 0 && !(c->kind == 1 && c->monsterCaster)) {
      for (int level = 1; level < c->classLevels[slot] / 2 + 2 && level <= 9 && level <= c->WE - 10; ++level) {
        for (int sp = 0; sp < n; ++sp) {
          const SpellSource& x = gSource.spells[sp];
          bool ours = false;
          for (int e = 0; e < x.domainCount && e < 2; ++e)
            if (x.DomainLevel(e) == level)
              for (int d = 0; d < c->domainCount && d < 16; ++d)
                ours = ours || (x.domains[e] >= 0 && x.domains[e] == c->domains[d]);
          int64_t w = x.probability;
          weights[(size_t)sp] = ours ? (int32_t)std::min<int64_t>(w * w, 1 << 28) : 0;
        }
        int sp = AdvancedRand(state, n, weights.data(), 4, &gSource.spells[0].name.text, sizeof(SpellSource),
                              "Domänenzauber wählen!\n", 0, true, 0, false);
        c->domainSpells[level] = sp;
        remember(sp);
      }
    }
  }
}

void SpellFocusSchoolWeights(const Char* c, int32_t* w, int schools) {
  for (int s = 0; s < schools; ++s) w[s] = 0;
  auto count = [&](int spell) {
    if (spell < 0 || spell >= gSource.spellCount) return;
    int school = gSource.spells[spell].school;
    if (school >= 0 && school < schools) ++w[school];
  };
  if (!Srd35(c) || c->knownSpellCount > 0) {
    for (int i = 0; i < c->knownSpellCount && i < 256; ++i) count(c->knownSpells[i]);
    return;
  }
  const SpellLists& lists = SpellListsNow();
  for (int slot = 0; slot < c->classCount && slot < kMaxClassSlots; ++slot) {
    const CharSource* k = ClassAt(c->classes[slot]);
    int cls = c->classes[slot];
    if (!k || k->spellType == -1 || cls < 0 || cls >= lists.classes) continue;
    for (int level = 0; level < 10; ++level)
      if (c->spellsToDraw[slot][level] > 0)
        for (int32_t i = lists.start[cls * 10 + level]; i < lists.start[cls * 10 + level + 1]; ++i)
          count(lists.spell[i]);
  }
}

void SpellsBeforeFeats(Char* c) {
  CalculateSpellCount(c);
  if (Srd35(c)) return;
  DoArcanas(c);
  CalculateSpells(c);
}

void SpellsAfterAbilities(Char* c) {
  if (!Srd35(c)) return;
  // The count clears every slot: the powers' slots keep what the powers stage set.
  int slots = std::min(c->classCount, kMaxClassSlots);
  std::vector<int32_t> powers;
  auto keep = [&](bool back) {
    size_t at = 0;
    for (int s = 0; s < slots; ++s)
      if (const CharSource* k = ClassAt(c->classes[s]); k && k->powerType != 0)
        for (int32_t* row : {c->spellsKnown[s], c->spellsPerDay[s], c->spellsToDraw[s]})
          for (int l = 0; l < 10; ++l, ++at) {
            if (!back)
              powers.push_back(row[l]);
            else
              row[l] = powers[at];
          }
  };
  keep(false);
  CalculateSpellCount(c);
  keep(true);
  DoArcanas(c);
  CalculateSpells(c);
  BonusPowerPoints(c);
}

void ApplyEffectExtras(Char* c, int effect) {
  thread_local uint32_t generation = ~0u;
  thread_local int extraSpells = -1;
  if (generation != gSourceGeneration) {
    extraSpells = FindByName(gSource.effects, gSource.effectCount, "ZusatzZauber");
    generation = gSourceGeneration;
  }
  if (effect < 0 || effect != extraSpells) return;
  const CharSource* main = ClassAt(MainClass(c));
  if (main && main->powerType != 0) {
    c->PowerPoints += 10;
    return;
  }
  c->spellBonus[0] = 1;
  c->spellBonus[1] = 0;
  c->spellBonus[2] = 4;
}

int SpellDC(const Char* c, int slot, int spell, int level) {
  const CharSource* k = ClassAt(slot >= 0 && slot < c->classCount ? c->classes[slot] : -1);
  int dc = 10 + level + c->GeneralDC;
  if (k) {
    dc += KeyModifier(c, *k);
    dc += k->spellType2 == 2 ? c->DivineDC : c->ArcaneDC;
  }
  if (spell >= 0 && spell < gSource.spellCount) {
    int school = gSource.spells[spell].school;
    if (school >= 0 && school < kMaxSchools) dc += c->schoolDC[school];
  }
  return dc;
}

void ReleaseSpellLists() { gSpellListBuild.Release(FreeSpellLists); }

}  // namespace RUNTIME_NS
