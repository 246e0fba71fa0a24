#include "generator/char.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "memory/tracker.h"

namespace {

struct VariableField {
  const char* name;
  size_t offset;
};

#define FIELD(x) {#x, offsetof(Char, x)}
// In the order the lookup tries them.
const VariableField kVariables[] = {
    FIELD(GA),           FIELD(TP),           FIELD(Attacks),       FIELD(Attacks2),
    FIELD(BonusAttacks), FIELD(MonkAttacks),  FIELD(Init),          FIELD(RWRefRest),
    FIELD(RWWilRest),    FIELD(RWZaehRest),   FIELD(RWRefMage),     FIELD(RWWilMage),
    FIELD(RWZaehMage),   FIELD(Level),        FIELD(ClassLevel),    FIELD(ST),
    FIELD(GE),           FIELD(KO),           FIELD(IN),            FIELD(WE),
    FIELD(CH),           FIELD(MST),          FIELD(MGE),           FIELD(MKO),
    FIELD(MIN),          FIELD(MWE),          FIELD(MCH),           FIELD(AC),
    FIELD(BeatMR),       FIELD(MR),           FIELD(MRBonus),       FIELD(AttacksOpportunity),
    FIELD(PowerPoints),  FIELD(Crystals),     FIELD(Range),         FIELD(Evasion),
    FIELD(Sneak),        FIELD(Smite),        FIELD(Unarmed1),      FIELD(Unarmed2),
    FIELD(UncannyDodge), FIELD(Dex2AC),       FIELD(CombatModes),   FIELD(LowLightVision),
    FIELD(DarkVision),   FIELD(AttackMod),    FIELD(DmgMod),        FIELD(RingMax),
    FIELD(MonsterTWType), FIELD(SpecialAbilities), FIELD(Lores),    FIELD(SpellFailure),
    FIELD(TouchReach),   FIELD(BonusFeats),   FIELD(BonusSkillPoints), FIELD(Arcanas),
    FIELD(Familiar),     FIELD(AnimalCompanion), FIELD(Mount),      FIELD(Servant),
    FIELD(GeneralDC),    FIELD(ArcaneDC),     FIELD(DivineDC),      FIELD(Concealment),
    FIELD(LayOnHands),   FIELD(SacretDefense), FIELD(HierophantAbilities), FIELD(PoisonUse),
    FIELD(SurpremeCleave),
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

int CharVariableOffset(const char* name, bool* isFloat) {
  for (const VariableField& v : kVariables)
    if (strcmp(v.name, name) == 0) {
      *isFloat = v.offset == offsetof(Char, Range);
      return (int)v.offset;
    }
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

void MakeFreshChar(Char* c) {
  static const Char fresh{};
  memcpy(static_cast<void*>(c), &fresh, sizeof(Char));
}

void FreeCharBonuses(Char* c) {
  for (CharBonus* b = c->bonuses; b;) {
    CharBonus* next = b->next;
    freeloga(b);
    b = next;
  }
  c->bonuses = nullptr;
  FreeCompanion(c->familiarChar);
  FreeCompanion(c->mountChar);
  FreeCompanion(c->servantChar);
  for (int i = 0; i < c->companionCount && i < kMaxCompanions; ++i) FreeCompanion(c->companionChars[i]);
  c->companionCount = 0;
}
