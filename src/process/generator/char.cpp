// The creature record's shared plumbing: the names scripts use for its fields, a cheap
// fresh record, and the release of its bonus lists and companions.
#include "generator/char.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "memory/tracker.h"

namespace {

struct VariableField {
  const char* name;
  size_t offset;
};

#define FIELD(x) \
  { #x, offsetof(Char, x) }
const VariableField kVariables[] = {
    FIELD(GA),
    FIELD(TP),
    FIELD(Attacks),
    FIELD(Attacks2),
    FIELD(BonusAttacks),
    FIELD(MonkAttacks),
    FIELD(Init),
    FIELD(RWRefRest),
    FIELD(RWWilRest),
    FIELD(RWZaehRest),
    FIELD(RWRefMage),
    FIELD(RWWilMage),
    FIELD(RWZaehMage),
    FIELD(Level),
    FIELD(ClassLevel),
    FIELD(ST),
    FIELD(GE),
    FIELD(KO),
    FIELD(IN),
    FIELD(WE),
    FIELD(CH),
    FIELD(MST),
    FIELD(MGE),
    FIELD(MKO),
    FIELD(MIN),
    FIELD(MWE),
    FIELD(MCH),
    FIELD(AC),
    FIELD(BeatMR),
    FIELD(MR),
    FIELD(MRBonus),
    FIELD(AttacksOpportunity),
    FIELD(PowerPoints),
    FIELD(Crystals),
    FIELD(Range),
    FIELD(Evasion),
    FIELD(Sneak),
    FIELD(Smite),
    FIELD(Unarmed1),
    FIELD(Unarmed2),
    FIELD(UncannyDodge),
    FIELD(Dex2AC),
    FIELD(CombatModes),
    FIELD(LowLightVision),
    FIELD(DarkVision),
    FIELD(AttackMod),
    FIELD(DmgMod),
    FIELD(RingMax),
    FIELD(MonsterTWType),
    FIELD(SpecialAbilities),
    FIELD(Lores),
    FIELD(SpellFailure),
    FIELD(TouchReach),
    FIELD(BonusFeats),
    FIELD(BonusSkillPoints),
    FIELD(Arcanas),
    FIELD(Familiar),
    FIELD(AnimalCompanion),
    FIELD(Mount),
    FIELD(Servant),
    FIELD(GeneralDC),
    FIELD(ArcaneDC),
    FIELD(DivineDC),
    FIELD(Concealment),
    FIELD(LayOnHands),
    FIELD(SacretDefense),
    FIELD(HierophantAbilities),
    FIELD(PoisonUse),
    FIELD(SurpremeCleave),
    FIELD(Size),
    FIELD(NaturalAC),
    {"HG", offsetof(Char, cr)},
};
#undef FIELD

}  // namespace

int MainClass(const Char* c) {
  if (c->classCount <= 0) return -1;
  int best = 0;
  for (int i = 1; i < c->classCount && i < kMaxClassSlots; ++i)
    if (c->classLevels[i] > c->classLevels[best]) best = i;
  return c->classes[best];
}

namespace {

constexpr int kVariableCount = (int)(sizeof kVariables / sizeof kVariables[0]);
constexpr uint32_t kVariableSlots = 256;  // a power of two, well above the variable count
static_assert(kVariableCount < (int)kVariableSlots / 2);

uint32_t NameHash(const char* name) {
  uint32_t h = 2166136261u;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) h = (h ^ *p) * 16777619u;
  return h;
}

// Scripts name creature fields at every run: an open-addressing table instead of a
// search through all names.
struct VariableIndex {
  int8_t slots[kVariableSlots];
  VariableIndex() {
    memset(slots, -1, sizeof slots);
    for (int i = 0; i < kVariableCount; ++i) {
      uint32_t at = NameHash(kVariables[i].name) & (kVariableSlots - 1);
      while (slots[at] >= 0) at = (at + 1) & (kVariableSlots - 1);
      slots[at] = (int8_t)i;
    }
  }
};

}  // namespace

int CharVariableOffset(const char* name, bool* isFloat) {
  static const VariableIndex index;
  for (uint32_t at = NameHash(name) & (kVariableSlots - 1); index.slots[at] >= 0;
       at = (at + 1) & (kVariableSlots - 1)) {
    const VariableField& v = kVariables[index.slots[at]];
    if (strcmp(v.name, name) == 0) {
      *isFloat = v.offset == offsetof(Char, Range);
      return (int)v.offset;
    }
  }
  return -1;
}

int ItemVariableOffset(const char* name) {
  struct ItemField {
    const char* name;
    size_t offset;
  };
  static const ItemField kItemFields[] = {
      {"Enhencement", offsetof(CharItem, enhancement)},
      {"Damage1", offsetof(CharItem, damage)},
      {"Damage2", offsetof(CharItem, damage) + sizeof(int32_t)},
      {"Damage3", offsetof(CharItem, damage) + 2 * sizeof(int32_t)},
      {"Critical1", offsetof(CharItem, criticalMultiplier)},
      {"Critical2", offsetof(CharItem, criticalFurther)},
      {"CriticalBonus", offsetof(CharItem, criticalBonus)},
      {"eAttackType", offsetof(CharItem, attackType)},
      {"EqAC", offsetof(CharItem, armor)},
      {"EqMaxDex", offsetof(CharItem, maxDex)},
      {"eMalus", offsetof(CharItem, penalty)},
      {"eSpellFailure", offsetof(CharItem, spellFailure)},
      {"eAttackBonus", offsetof(CharItem, attackBonus)},
      {"eAttackBonusA", offsetof(CharItem, attackBonusA)},
      {"eTwoWeapon", offsetof(CharItem, twoWeapon)},
      {"eTwoWeaponSecond", offsetof(CharItem, twoWeaponSecond)},
      {"Primary", offsetof(CharItem, primary)},
      {"Secondary", offsetof(CharItem, secondary)},
  };
  for (const ItemField& f : kItemFields)
    if (strcmp(f.name, name) == 0) return (int)f.offset;
  return -1;
}

namespace {

void FreeCompanion(Char*& companion) {
  if (!companion) return;
  FreeCharBonuses(companion);
  if (companion->specialText) TextDestroy(companion->specialText);
  companion->~Char();
  freeloga(companion);
  companion = nullptr;
}

}  // namespace

static_assert(std::is_trivially_copyable_v<Char> && std::is_trivially_destructible_v<Char>,
              "a Char is copied and reset byte for byte");

namespace {

// A fresh Char is nearly all zero bytes: the words that are not, found once (kept in
// fixed arrays: this lives until the very end, after the leak check).
struct FreshWords {
  static constexpr size_t kWords = sizeof(Char) / sizeof(uint64_t);
  static_assert(sizeof(Char) % sizeof(uint64_t) == 0);
  static constexpr int kMost = 1024;
  uint32_t at[kMost];
  uint64_t value[kMost];
  int count = 0;
  bool many = false;  // more than kMost: a fresh Char is copied instead
  FreshWords() {
    static const Char fresh{};
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&fresh);
    for (size_t i = 0; i < kWords; ++i) {
      uint64_t w;
      memcpy(&w, bytes + i * sizeof w, sizeof w);
      if (!w) continue;
      if (count == kMost) {
        many = true;
        break;
      }
      at[count] = (uint32_t)i;
      value[count++] = w;
    }
  }
};

}  // namespace

// Clearing the 100 KB writes only; copying a fresh one would also read as much.
void MakeFreshChar(Char* c) {
  static const FreshWords fresh;
  unsigned char* bytes = reinterpret_cast<unsigned char*>(c);
  if (fresh.many) {
    static const Char copy{};
    memcpy(bytes, &copy, sizeof(Char));
    return;
  }
  memset(bytes, 0, sizeof(Char));
  for (int i = 0; i < fresh.count; ++i)
    memcpy(bytes + (size_t)fresh.at[i] * sizeof(uint64_t), &fresh.value[i], sizeof(uint64_t));
}

CharBonus* NewCharBonus(Char* c) {
  if (c->keptBonusCount < kKeptBonuses) return &c->keptBonuses[c->keptBonusCount++];
  return static_cast<CharBonus*>(mallocloga(sizeof(CharBonus), "AddBonus-Record"));
}

void FreeBonusRecords(const Char* c, CharBonus* list) {
  for (CharBonus* b = list; b;) {
    CharBonus* next = b->next;
    if (b < c->keptBonuses || b >= c->keptBonuses + kKeptBonuses) freeloga(b);
    b = next;
  }
}

void FreeCharBonuses(Char* c) {
  FreeBonusRecords(c, c->bonuses);
  c->bonuses = nullptr;
  memset(c->keptBonuses, 0, sizeof c->keptBonuses);
  c->keptBonusCount = 0;
  FreeCompanion(c->familiarChar);
  FreeCompanion(c->mountChar);
  FreeCompanion(c->servantChar);
  for (int i = 0; i < c->companionCount && i < kMaxCompanions; ++i) FreeCompanion(c->companionChars[i]);
  c->companionCount = 0;
}
