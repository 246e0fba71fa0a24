// Fighting: the style chosen before anything is bought, then with the gear in hand each
// weapon's attack and damage, the penalties, final values and what the treasure fetches.
#include "generator/combat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "generator/creature_ops.h"
#include "generator/feats.h"
#include "generator/scratch.h"
#include "generator/treasure.h"
#include "launcher/process.h"
#include "random/decisions.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

const char* StyleName(int style) {
  static const char* const kNames[] = {"-",          "Waffe und Schild", "Zwei Waffen",
                                       "Zweihänder", "Fernkampf",        "Monster: Natürlich"};
  return style >= 0 && style <= 5 ? kNames[style] : "";
}

void ChooseFightingStyle(Char* c) {
  IsaacState* state = c->context.random;
  int style = 0, second = 0;
  if (c->profileMode && c->profile >= 0) {
    style = gSource.profiles[c->profile].attackType[0];
    second = gSource.profiles[c->profile].attackType[1];
  } else {
    const CharSource* main = ClassAt(MainClass(c));
    int lowest = main && main->noEquipment ? 0 : 1;
    if (main && main->noEquipment == 1 && YesNo(state, "Mönch kämpft mit Fäusten?", 2, 1, 0)) {
      c->fightingStyle = c->fightingStyle2 = 0;
      c->handWish[0] = c->handWish[1] = 0;
      return;
    }
    const CharSource* forcing = nullptr;
    for (int i = 0; i < c->classCount && i < kMaxClassSlots && !forcing; ++i) {
      const CharSource* k = ClassAt(c->classes[i]);
      if (k && k->forceAttack) forcing = k;
    }
    if (forcing) {
      style = forcing->attack;
    } else {
      style = random(state, lowest, 11,
                     "Angriff Wählen:\n\t0\t: Use No Weapon\n\t1\t: Waffe und Schild\n\t2\t: Zwei Waffen\n\t3, 11\t: "
                     "Zweihänder\n\t4\t: Fernkampf\n\t5-6\t: Bevorzugter Angriff der Klasse\n\t7-8\t: Auswahl nach "
                     "Attributen\n\t9-10\t: Bevorzugter Angriff des Volkes\n",
                     0);
      if (style == 11) {
        style = 3;
      } else if (style >= 9) {
        style = c->race >= 0 && c->race < gSource.raceCount ? gSource.races[c->race].attackType : 1;
      } else if (style >= 7) {
        style = c->GE <= c->ST ? random(state, lowest, 3,
                                        "Angriff Wählen:\n\t1\t: Waffe und Schild\n\t2\t: Zwei Waffen\n\t3, 11\t: "
                                        "Zweihänder\n",
                                        0)
                               : 4;
      } else if (style >= 5) {
        // Without a class yet the class has no preference: one weapon and a shield.
        style = main ? main->attack : 1;
      }
    }
    if (style != 0 &&
        random(state, 0, 4, "SekundärAngriff Wählen: 1 = Sekundärer Angriff, 0 = Kein Sekundärer Angriff\n", 0) != 0)
      second = style != 4 ? 4
                          : random(state, 1, 3,
                                   "Sekundärangriff Wählen:\n\t1\t: Waffe und Schild\n\t2\t: Zwei Waffen\n\t3, "
                                   "11\t: Zweihäder\n",
                                   0);
  }
  c->fightingStyle = style;
  c->fightingStyle2 = style == 0 ? 0 : second;
  // The styles are the hand wishes: the first for the main hand, the second for the other.
  c->handWish[0] = style >= 0 && style <= 4 ? style : 0;
  c->handWish[1] = c->fightingStyle2 >= 0 && c->fightingStyle2 <= 4 ? c->fightingStyle2 : 0;
}

namespace {

void Line(Char* c, const char* text) {
  if (c->specialText) TextAppend(c->specialText, text, strlen(text));
}

template <class... Args>
void Linef(Char* c, const char* format, Args... args) {
  char line[512];
  snprintf(line, sizeof line, format, args...);
  Line(c, line);
}

}  // namespace

// The monk's belt: a monk's armour class bonus as five levels higher (one more), to
// anyone else that of a fifth-level monk (Wisdom bonus, if any, and 1); like the
// monk's own, only without armour and shield.
static int32_t MonkBeltBonus(const Char* c) {
  thread_local uint32_t generation = ~0u;
  thread_local int effect = -1, specific = -1, monk = -1;
  if (generation != gSourceGeneration) {
    effect = FindByName(gSource.effects, gSource.effectCount, "Mönchsgürtel");
    specific = FindByName(gSource.specifics, gSource.specificCount, "Mönchsgürtel");
    monk = FindByName(gSource.classes, gSource.classCount, "Mönch");
    generation = gSourceGeneration;
  }
  bool belt = false;
  for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
    const CharItem& it = c->items[i];
    if (it.treasure) continue;
    if ((it.equipType == 1 && it.armor + it.enhancement > 0) || (it.equipType == 2 && (it.primary || it.secondary)))
      return 0;
    if (it.specific > 0 && it.specific == specific) belt = true;
    for (int k = 0; k < it.effectCount && k < kItemEffects && effect >= 0; ++k) belt = belt || it.effects[k] == effect;
  }
  if (!belt) return 0;
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s)
    if (c->classes[s] == monk && c->classLevels[s] > 0) return 1;
  return std::max(c->MWE, 0) + 1;
}

namespace {

// Rows the weapon rules look up by name, once per Source build and thread.
struct WeaponRows {
  uint32_t generation = UINT32_MAX;
  int twoWeaponFighting, epicSpecialization, halfling, towerShield, towerShieldFeat;
};

const WeaponRows& Rows() {
  thread_local WeaponRows n;
  if (n.generation == gSourceGeneration) return n;
  n.twoWeaponFighting = FindByName(gSource.feats, gSource.featCount, "KampfMitZweiWaffen");
  n.epicSpecialization = FindByName(gSource.feats, gSource.featCount, "EpischeWaffenspezialisierung");
  n.halfling = FindByName(gSource.races, gSource.raceCount, "Halbling");
  n.towerShield = FindByName(gSource.equipment, gSource.equipmentCount, "Turmschild");
  n.towerShieldFeat = FindByName(gSource.feats, gSource.featCount, "Turmschilde");
  n.generation = gSourceGeneration;
  return n;
}

// Whether a feat bound to a weapon is owned for this one.
bool FeatFor(const Char* c, int feat, const CharItem& it) {
  for (int i = 0; i < c->featCount && feat >= 0; ++i)
    if (c->feats[i] == feat && (c->featParameters[i] == -1 || c->featParameters[i] == it.equipment)) return true;
  return false;
}

// The armour check penalty of worn armour or a shield (masterwork one less).
int32_t CheckPenalty(const CharItem& it) { return std::max(it.penalty - (it.masterwork ? 1 : 0), 0); }

bool InUse(const CharItem& it) { return !it.treasure && it.equipment >= 0; }

}  // namespace

void TwoWeaponPenalties(Char* c, bool featsKnown) {
  if (Srd35(c) != featsKnown) return;
  int n = std::min(c->itemCount, kMaxItems);
  if (!Srd35(c)) {
    // The system's own rules: −6 and −10, both 2 better when the two differ in size; the
    // other end of a double weapon 4 worse than the first.
    int first = -1;
    for (int i = 0; i < n; ++i) {
      CharItem& w = c->items[i];
      if (w.equipType != 0) continue;
      if (w.twoWeapon) {
        w.attackBonus -= 6;
        if (!w.twoWeaponSecond) {
          first = i;
        } else {
          w.attackBonus -= 4;
          if (first >= 0 && w.size != c->items[first].size) {
            w.attackBonus += 2;
            c->items[first].attackBonus += 2;
          }
        }
      }
      if (w.attackType == 2) {
        w.attackBonus -= 4;
        w.attackBonusA = 4;
      }
    }
    return;
  }
  // SRD 3.5: by whether the off-hand weapon is light (the other end of a double weapon
  // counts as light) and the Two-Weapon Fighting feat.
  bool feat = OwnsFeat(c, Rows().twoWeaponFighting);
  auto main = [&](bool light) { return feat ? (light ? -2 : -4) : (light ? -4 : -6); };
  auto off = [&](bool light) { return feat ? (light ? -2 : -4) : (light ? -8 : -10); };
  for (int i = 0; i < n; ++i) {
    CharItem& w = c->items[i];
    if (w.equipType != 0 || !InUse(w)) continue;
    if (w.attackType == 2) {
      w.attackBonus += main(true);
      w.attackBonusA = main(true) - off(true);
    }
    if (!w.twoWeapon || w.twoWeaponSecond) continue;
    for (int k = i + 1; k < n; ++k) {
      CharItem& o = c->items[k];
      if (o.equipType != 0 || !o.twoWeapon || !o.twoWeaponSecond || !InUse(o)) continue;
      bool light = gSource.equipment[o.equipment].size < 0;
      w.attackBonus += main(light);
      o.attackBonus += off(light);
      break;
    }
  }
}

void ProficiencyPenalties(Char* c) {
  const KnownRows& names = Known();
  const int32_t* weaponFeats = gSource.proficiencyFeats[0];
  int n = std::min(c->itemCount, kMaxItems);
  if (Srd35(c)) {
    // SRD 3.5: −4 with a weapon of a kind (simple, martial, exotic) the creature is not
    // trained in; armour and shields it is not trained in put their armour check penalty
    // on every attack (on the skills it counts anyway).
    int32_t armourPenalty = 0;
    for (int i = 0; i < n; ++i) {
      const CharItem& item = c->items[i];
      if (!InUse(item) || (item.equipType != 1 && item.equipType != 2)) continue;
      int category = std::clamp<int>(gSource.equipment[item.equipment].type, 0, 2);
      int feat = gSource.proficiencyFeats[item.equipType][item.equipType == 2 ? 0 : category];
      if (item.equipType == 2 && item.equipment == Rows().towerShield) feat = Rows().towerShieldFeat;
      if (!Covers(c, feat, item.equipment)) armourPenalty += CheckPenalty(item);
    }
    for (int i = 0; i < n; ++i) {
      CharItem& item = c->items[i];
      if (!InUse(item) || item.equipType != 0) continue;
      int category = std::clamp<int>(gSource.equipment[item.equipment].type, 0, 2);
      if (!Covers(c, weaponFeats[category], item.equipment)) item.attackBonus -= 4;
      item.attackBonus -= armourPenalty;
    }
    return;
  }
  // The system's own rules: −4 with a weapon none of the three weapon feats covers (−2
  // with improvised weapons), −4 on every attack and check for a robe or a shield without
  // its feat.
  int armourPenalty = 0;
  int robeCategory = -1;
  bool shieldUnskilled = false;
  for (int i = 0; i < n; ++i) {
    const CharItem& item = c->items[i];
    if (!InUse(item)) continue;
    // Only the robe asks for an armour feat; other armour goes unchecked.
    if (item.equipType == 1 && item.equipment == names.robe)
      robeCategory = std::max(robeCategory, std::clamp<int>(gSource.equipment[item.equipment].type, 0, 2));
    if (item.equipType == 2 && !Covers(c, gSource.proficiencyFeats[2][0], item.equipment)) shieldUnskilled = true;
  }
  if (robeCategory >= 0 && !Covers(c, gSource.proficiencyFeats[1][robeCategory], -1)) armourPenalty += 4;
  if (shieldUnskilled) armourPenalty += 4;
  for (int i = 0; i < n; ++i) {
    CharItem& item = c->items[i];
    if (!InUse(item) || item.equipType != 0) continue;
    // Any of the three weapon feats, in general or for this very weapon.
    bool skilled = false;
    for (int k = 0; k < 3 && !skilled; ++k) skilled = Covers(c, weaponFeats[k], item.equipment);
    if (!skilled) {
      item.attackBonus -= 2;
      if (!OwnsFeat(c, names.improvised)) item.attackBonus -= 2;
    }
    item.attackBonus -= armourPenalty;
  }
  c->armorCheckPenalty += armourPenalty;
}

// Strength on a weapon's damage (traced at debug level 2). The system's own rules: the
// main hand full, two hands one and a half, the second hand half, thrown weapons half a
// bonus, bows up to their limit, crossbows none. SRD 3.5: the main hand, thrown weapons
// and slings full, the off hand (the second of two weapons) half a bonus, two hands one
// and a half of a bonus, bows up to their rating, crossbows none; a penalty in full with
// every weapon but a crossbow.
static int32_t StrengthDamage(const Char* c, const CharItem& it, const EquipSource& e) {
  int32_t st = c->MST;
  if (Srd35(c)) {
    int32_t add = st;
    if (e.attackType == 4 && e.specialType == 3)
      add = 0;
    else if (e.attackType == 4 && e.specialType == 2)
      add = std::min(st, it.bowStrength);
    else if (e.attackType != 4 && st > 0 && it.twoWeaponSecond)
      add = st / 2;
    else if (e.attackType != 4 && st > 0 && it.twoHanded)
      add = st * 3 / 2;
    DebugPrint(2, "%+d Dmg (Str) - ", add);
    return add;
  }
  if (e.attackType != 4) {
    if (it.secondary && !it.primary) {
      DebugPrint(2, "+%d Dmg (Str 2nd Hand) - ", st / 2);
      return st / 2;
    }
    DebugPrint(2, "+%d Dmg (Str) - ", st);
    if (!it.twoHanded) return st;
    DebugPrint(2, "+%d Dmg (Str Twohand) - ", st / 2);
    return st + st / 2;
  }
  if (e.specialType == 3) return 0;  // Crossbows add no Strength.
  if (e.specialType == 4 && st >= 1) {
    DebugPrint(2, "+%d Dmg (Throw Str) - ", st / 2);
    return st / 2;
  }
  int add = std::min(st, it.bowStrength);
  DebugPrint(2, "+%d Dmg (Bow Str) - ", add);
  return add;
}

// What the feats and the race add to a weapon's attack and damage (traced at debug level
// 2). The system's own rules: nothing, the breakdown has no such step. SRD 3.5: Weapon
// Focus +1, Greater Weapon Focus +1, Epic Weapon Focus +2 on attacks, Weapon
// Specialization +2, Greater +2, Epic +4 on damage with the weapon they name; Weapon
// Finesse the Dexterity modifier instead of the Strength modifier with a light weapon
// (less a shield's check penalty) where it is better; halflings +1 with thrown weapons
// and slings.
static void WeaponFeatsAndRace(const Char* c, CharItem& it, const EquipSource& e) {
  if (!Srd35(c)) return;
  const KnownRows& n = Known();
  const WeaponRows& r = Rows();
  int32_t attack = FeatFor(c, n.weaponFocus, it) + FeatFor(c, n.greaterFocus, it) + 2 * FeatFor(c, n.epicFocus, it);
  int32_t damage = 2 * FeatFor(c, n.specialization, it) + 2 * FeatFor(c, n.greaterSpecialization, it) +
                   4 * FeatFor(c, r.epicSpecialization, it);
  if (e.attackType != 4 && OwnsFeat(c, n.finesse) && FinesseWeapon(it)) {
    int32_t shield = 0;
    for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
      const CharItem& s = c->items[i];
      if (s.equipType == 2 && InUse(s) && (s.primary || s.secondary)) shield += CheckPenalty(s);
    }
    attack += std::max(c->MGE - c->MST - shield, 0);
  }
  int race = c->race >= 0 && c->race < gSource.raceCount ? c->race : -1;
  bool halfling = race >= 0 && r.halfling >= 0 && (race == r.halfling || gSource.races[race].parent == r.halfling);
  if (halfling && e.attackType == 4 && (e.specialType == 4 || e.specialType == 6 || e.specialType == 1)) ++attack;
  it.finalAttack += attack;
  it.finalDamage += damage;
  DebugPrint(2, "%+d Att %+d Dmg (Feats, Race) - ", attack, damage);
}

int32_t AdamantineDamage(const Char* c, bool large) { return Srd35(c) ? 0 : large ? 2 : 1; }

int WeaponAttackCount(const Char* c, const CharItem& it) {
  if (Srd35(c)) return std::max(it.twoWeaponSecond ? c->Attacks2 : c->Attacks, 1);
  return it.secondary && !it.primary ? 1 : std::max(c->Attacks, 1);
}

int32_t SaveTotal(const Char* c, int which) {
  switch (which) {
    case 0:
      return c->baseRef + c->epicSave + c->refMod + c->RWRefMage + c->RWRefRest;
    case 1:
      return c->baseWill + c->epicSave + c->willMod + c->RWWilMage + c->RWWilRest;
    default:
      return c->baseFort + c->epicSave + c->fortMod + c->RWZaehMage + c->RWZaehRest;
  }
}

int32_t ThreatLowest(const Char* c, const CharItem& it) {
  int32_t lowest = it.critical >= 2 && it.critical <= 20 ? it.critical : 20;
  const KnownRows& n = Known();
  bool doubled = it.criticalBonus != 0;
  for (int k = 0; k < it.effectCount && k < kItemEffects && !doubled; ++k) doubled = it.effects[k] == n.keen;
  for (int i = 0; i < c->featCount && it.figured && !doubled; ++i)
    doubled = c->feats[i] == n.improvedCritical && n.improvedCritical >= 0 &&
              (c->featParameters[i] == -1 || c->featParameters[i] == it.equipment);
  return doubled ? std::max(21 - 2 * (21 - lowest), 2) : lowest;
}

void CalcWeapons(Char* c, bool finish) {
  c->snapshot[0] = c->armorCheckPenalty;
  c->snapshot[1] = c->Attacks;
  c->snapshot[2] = c->hitPoints;
  c->snapshot[3] = c->MR;
  c->snapshot[4] = c->SpellFailure;
  c->shownCheckPenalty = c->armorCheckPenalty;
  c->shownSpellFailure = c->SpellFailure;
  int32_t melee = c->GA + c->epicAttack + c->meleeMod + c->sizeMod;
  int32_t ranged = c->GA + c->epicAttack + c->rangedMod + c->sizeMod;
  c->armorAC = c->shieldAC = 0;
  c->maxDex = 1024;
  for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
    CharItem& it = c->items[i];
    if (it.treasure || it.equipment < 0) continue;
    it.finalAttack = it.attackBonus;
    it.finalDamage = it.damage[2];
    it.finalPenalty = it.penalty;
    if (it.equipType == 1 || it.equipType == 2) {
      c->shownSpellFailure += it.spellFailure;
      if (it.masterwork && it.finalPenalty > 0) --it.finalPenalty;
      if (it.equipType == 1) {
        c->armorAC = it.armor + it.enhancement;
        c->maxDex = std::min(c->maxDex, it.maxDex);
      } else {
        c->shieldAC = std::max(c->shieldAC, it.armor + it.enhancement);
      }
      c->shownCheckPenalty += std::max(it.finalPenalty, 0);
      continue;
    }
    if (it.equipType != 0) continue;
    const EquipSource& e = gSource.equipment[it.equipment];
    DebugPrint(2, "Doing Weapon %s (Att %d Dmg %d): - ", e.name.c_str(), it.finalAttack, it.finalDamage);
    if (it.masterwork && it.enhancement == 0) {
      ++it.finalAttack;
      DebugPrint(2, "+1 Att (Masterwork) - ");
    }
    if (e.attackType != 4) {
      it.finalAttack += melee + it.enhancement;
      it.finalDamage += it.enhancement;
      DebugPrint(2, "+%d Att (GA Melee) - +%d Att/Dmg (Enhence) - ", melee, it.enhancement);
      it.finalDamage += StrengthDamage(c, it, e);
    } else {
      it.finalAttack += ranged + it.enhancement;
      it.finalDamage += it.enhancement;
      DebugPrint(2, "+%d Att (GA Range) - +%d Att/Dmg (Enhencement)", ranged, it.enhancement);
      it.finalDamage += StrengthDamage(c, it, e);
    }
    it.finalAttack += c->AttackMod;
    it.finalDamage += c->DmgMod;
    DebugPrint(2, "+%d Att +%d Dmg (CharBonus) - ", c->AttackMod, c->DmgMod);
    WeaponFeatsAndRace(c, it, e);
    for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
      const CharSource* k = ClassAt(c->classes[s]);
      if (!k || !k->naturalEnhance || k->forceWeaponType != e.specialType) continue;
      int enh = (c->classLevels[s] + 1) / 2;
      if (enh > it.charEnhancement) {
        it.finalAttack += enh - it.charEnhancement;
        it.finalDamage += enh - it.charEnhancement;
        DebugPrint(2, "+%d Att/Dmg (CharEnh) - ", enh - it.charEnhancement);
      }
    }
    DebugPrint(2, "= %d/%d\n", it.finalAttack, it.finalDamage);
    it.figured = 1;
  }
  // Bracers give an armour bonus too: it does not stack with worn armour, the higher counts.
  c->armorAC = std::max(c->armorAC, c->bracerBonus);
  c->AC += MonkBeltBonus(c);
  c->dexToAC = std::min(c->maxDex, c->MGE);
  c->totalAC = c->armorAC + c->dexToAC + 10 + c->AC + c->shieldAC + c->sizeMod;
  c->shownHitPoints = c->hitPoints + c->TP;
  c->MR += c->MRBonus;
  if (c->money < 0) c->money = 0;
  if (finish) {
    BuyPotions(c);
    DoFinalVals(c);
  }
}

void BuyPotions(Char* c) {
  // SRD 3.5 characters carry real potions among their carried items.
  if (Srd35(c)) return;
  IsaacState* state = c->context.random;
  int32_t money = c->money;
  if (money <= 600) return;
  int n = EnhancementDraw(state, c->Level, -1);
  if (n <= 0) return;
  if (money >= 30001 && c->Level >= 15) {
    Linef(c, "%d Träkne Heilung\n", n);
    money -= 5000 * n;
  } else if (money >= 6901) {
    Linef(c, "%d Träkne kritische Wunden heilen (4W8 + %d)\n", n, random(state, 1, 6, "Heiltrank +?", 0) + 7);
    money -= 1150 * n;
  } else if (money >= 4201) {
    Linef(c, "%d Träkne schwere Wunden heilen (3W8 + %d)\n", n, random(state, 1, 5, "Heiltrank +?", 0) + 5);
    money -= 700 * n;
  } else if (money >= 2101) {
    Linef(c, "%d Träkne mittelschwere Wunden heilen (2W8 + %d)\n", n, random(state, 1, 4, "Heiltrank +?", 0) + 3);
    money -= 350 * n;
  } else {
    Linef(c, "%d Träkne kleinere Wunden heilen (1W8 + %d)\n", n, 1);
    money -= 100 * n;
  }
  c->money = std::max(money, 0);
}

void DoFinalVals(Char* c) {
  IsaacState* state = c->context.random;
  int32_t budget = c->wealth;
  int n = std::min(c->itemCount, kMaxItems);
  Scratch<char, kMaxItems> done((size_t)std::max(n, 1), 0);
  for (int k = 0; k < n; ++k) {
    int i = random(state, 0, n - 1, "Ausrütung in Treasure...", -1);
    for (int tries = 0; tries < n && done[(size_t)i]; ++tries) i = (i + 1) % n;
    done[(size_t)i] = 1;
    CharItem& it = c->items[i];
    int32_t cost = it.price + it.value;
    if (cost < budget) {
      it.treasure = 1;
      budget -= cost;
    }
  }
  c->treasureBudget = budget;
}

// What the treasure fetches when sold. SRD 3.5: coins, gems, art objects and trade goods
// at their full value, every other item at half its price. The system's own rules: the rest
// of the budget, goods at a drawn share, effects at half, less 100 per magic item.
void SaleValue(Char* c) {
  if (Srd35(c)) {
    int64_t full = std::max(c->treasureMoney, 0), items = 0;
    for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
      const CharItem& it = c->items[i];
      if (it.treasure) (SellsAtFullValue(it) ? full : items) += (int64_t)it.price + it.value;
    }
    c->saleValue = (int32_t)std::clamp<int64_t>(full + items / 2, INT32_MIN, INT32_MAX);
    return;
  }
  int64_t prices = 0, effects = 0, magic = 0;
  for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
    const CharItem& it = c->items[i];
    if (!it.treasure) continue;
    prices += it.price;
    effects += it.value;
    magic += it.enhancement > 0 || it.effectCount > 0 || it.magic;
  }
  int32_t share = random(c->context.random, 85, 95, "Ergebnis beim Verkauf in %", 0);
  int64_t value = (int64_t)std::max(c->treasureBudget, 0) + share * prices / 100 + effects / 2 - 100 * magic;
  c->saleValue = (int32_t)std::clamp<int64_t>(value, INT32_MIN, INT32_MAX);
}

// The lines of the familiar flags that a master sets on its companion.
void FamiliarLines(Char* c) {
  static const char* const kFamiliarLines[3] = {
      "Der Meister kann jeden Zauber der ihn selbst betreffen kann auf seinen Vertrauten wirken, sofern dieser nicht "
      "weiter als 1,5 Meter entfernt ist. Der Zauber endet wenn der Vertraute sich weiter entfernt\n",
      "Hat über eine Entfernung von einer Meile eine Empatische Verbindung mit dem Meister über die Sie Telepatisch "
      "komminitueren können\n",
      "Kann mit seinem Meister sprechen\n"};
  for (int i = 0; i < 3; ++i)
    if (c->familiarFlags[i]) Line(c, kFamiliarLines[i]);
}

void SpecialTexts(Char* c) {
  if (c->Sneak)
    Linef(c, "Hinterhältiger Angriff: %dW%d Schaden\n", c->Sneak, OwnsFeat(c, Known().improvedSneak) ? 8 : 6);
  if (c->Evasion == 2)
    Line(c, "Verbessertes Entrinnen\n");
  else if (c->Evasion == 1)
    Line(c, "Entrinnen\n");
  if (c->Smite) {
    Line(c, "Einmal pro Tag");
    if (c->MCH > 0) Linef(c, " +%d auf Angriff und", c->MCH);
    Linef(c, " +%d Auf Schaden\n", c->Smite);
  }
  if (c->Dex2AC) Line(c, "Behält seinen Geschicklichtkeitsmodifikator auf die Rüstung auch wenn er überrascht ist.\n");
  if (c->UncannyDodge)
    Linef(c, "Kann nicht in die Zange genommen werden, außer von einem Schurken ab Stufe %d\n", c->UncannyDodge + 4);
  if (c->LowLightVision) Linef(c, "Dämmersicht: %d Meter\n", c->LowLightVision);
  if (c->DarkVision) Linef(c, "Dunkelsicht: %d Meter\n", c->DarkVision);
  if (c->TouchReach)
    Linef(c,
          "Kann Zauber die einen Berührungsangriff erfordern durch einen Berührungsangriff auf Entfernung mit "
          "Reichweite %d feet wirken",
          c->TouchReach * 30);
  FamiliarLines(c);
  if (c->Concealment) Linef(c, "%d%% Tarnung\n", c->Concealment);
  if (c->LayOnHands) Linef(c, "Hände auflegen: %d TP\n", c->LayOnHands * std::max(c->MCH, 1));
  if (c->SacretDefense)
    Linef(c, "+%d RW gegen Göttliche Zauber sowie Zauberähnliche und Übernatürliche Fähigkeiten von Outsidern",
          c->SacretDefense);
  if (c->PoisonUse) Line(c, "Riskiert beim Einsatz von Gift nicht sich selbst zu verletzen\n");
  if (c->SurpremeCleave) Line(c, "Kann vor einem Doppel/Rundumschlag einen 1,5 Meter schritt machen\n");
}

}  // namespace RUNTIME_NS
