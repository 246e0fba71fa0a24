// Spending a character's budget on gear in a fixed order: weapons, armour, shield and
// ammunition its class and race allow, then enhancements, materials and wondrous items.
#include "generator/equipment.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "generator/combat.h"
#include "generator/creature_ops.h"
#include "generator/scratch.h"
#include "generator/script_binding.h"
#include "generator/treasure.h"
#include "launcher/process.h"
#include "random/decisions.h"
#include "random/repro.h"
#include "random/settings.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

int32_t ArmsEnhancement(const Char* c, const CharItem& it, int32_t bonus, int32_t masterwork);

namespace {

constexpr int64_t kCeiling = 500000000;

template <class F>
bool AnyClass(const Char* c, F test) {
  for (int i = 0; i < c->classCount && i < kMaxClassSlots; ++i) {
    const CharSource* k = ClassAt(c->classes[i]);
    if (k && test(*k)) return true;
  }
  return false;
}

int RaceSize(const Char* c) { return c->race >= 0 && c->race <= gSource.raceCount ? gSource.races[c->race].size : 0; }

bool HasFeat(const Char* c, int feat) {
  if (feat < 0) return false;
  for (int i = 0; i < c->featCount; ++i)
    if (c->feats[i] == feat) return true;
  return false;
}

int Equipment(const char* name) { return EquipmentNamed(name); }

}  // namespace

int64_t GroupWeight(const Char* c, const int32_t groups[4]) {
  int64_t w = 0;
  for (int i = 0; i < c->classCount && i < kMaxClassSlots; ++i) {
    int cls = c->classes[i];
    if (cls < 0 || cls >= gSource.classCount) continue;
    for (int g = 0; g < 4; ++g)
      if (gSource.classes[cls].effects & (1 << g)) w += groups[g];
  }
  return w;
}

namespace {

// The item stays within the gear ceiling with `more` gold on its price.
bool FitsCeiling(const Char* c, const CharItem& it, int64_t more) {
  return (int64_t)it.price + it.value + more <= ItemCeiling(c);
}

// A class of the creature wears no metal (druid); one risks arcane spell failure.
bool ShunsMetal(const Char* c) {
  return AnyClass(c, [](const CharSource& k) { return k.noMetal != 0; });
}
bool ArcaneCaster(const Char* c) {
  return AnyClass(c, [](const CharSource& k) { return k.spellFailure != 0; });
}

// SRD 3.5: a monk fights unarmoured, without armour or shield; the system's own rules
// decide by the main class and a draw.
bool ArmourForbidden(const Char* c) {
  return Srd35(c) && AnyClass(c, [](const CharSource& k) { return k.noEquipment == 1; });
}

// Armour a creature does not wear: none with metal for a class that shuns it; under SRD
// 3.5 also none an arcane caster is not proficient with and none above the gear ceiling.
bool ArmourUnfit(const Char* c, const EquipSource& x, bool noMetal, bool arcane) {
  if (noMetal && x.metal) return true;
  if (!Srd35(c)) return false;
  if (arcane && x.type >= 0 && x.type <= 2 && !HasFeat(c, gSource.proficiencyFeats[1][x.type])) return true;
  return x.price > ItemCeiling(c);
}

// Armour chosen outside the weighing: by the system's own rules anyone wears it, under SRD
// 3.5 only who may.
bool MayWear(const Char* c, int e) {
  if (!Srd35(c) || e < 0) return true;
  bool noMetal = ShunsMetal(c);
  bool arcane = ArcaneCaster(c);
  return !ArmourUnfit(c, gSource.equipment[e], noMetal, arcane);
}

// SRD 3.5: no shield for a monk, nor for an arcane caster not proficient with shields.
bool ShieldForbidden(const Char* c) {
  if (!Srd35(c)) return false;
  bool arcane = ArcaneCaster(c);
  return ArmourForbidden(c) || (arcane && !HasFeat(c, gSource.proficiencyFeats[2][0]));
}

// The ammunition a creature buys. The system's own rules: arrows for anyone. SRD 3.5:
// arrows, bolts or sling bullets for the bow, crossbow or sling it carries, none without.
const char* AmmunitionName(const Char* c) {
  if (!Srd35(c)) return "Pfeile";
  for (int i = 0; i < c->itemCount; ++i) {
    const CharItem& it = c->items[i];
    if (it.equipType != 0 || it.equipment < 0 || it.equipment >= gSource.equipmentCount) continue;
    switch (gSource.equipment[it.equipment].specialType) {
      case 2:
        return "Pfeile";
      case 3:
        return "Armbrustbolzen";
      case 6:
        return "Schleuderkugeln";
      default:
        break;
    }
  }
  return nullptr;
}

// The bonus of bracers of armour (1,000 gp times its square, +8 at most). Under SRD 3.5
// within the money and the gear ceiling, -1 when not even +1 fits.
int32_t BracersBonus(const Char* c, int32_t b) {
  if (!Srd35(c)) return b;
  int64_t limit = std::min<int64_t>(c->money, ItemCeiling(c));
  while (b >= 1 && (int64_t)b * b * 1000 > limit) --b;
  return b >= 1 ? b : -1;
}

int NewItem(Char* c) { return c->itemCount < kMaxItems ? c->itemCount++ : kMaxItems - 1; }

bool RareFails(IsaacState* state, int rare) { return rare > 0 && random(state, 0, rare, "", 0) != 0; }

// The first class whose own rules raise its ammunition; -1 for none.
int NaturalEnhancementClass(const Char* c) {
  for (int i = 0; i < c->classCount && i < kMaxClassSlots; ++i) {
    const CharSource* k = ClassAt(c->classes[i]);
    if (k && k->naturalEnhance != 0 && k->forceWeaponType == 2) return c->classes[i];
  }
  return -1;
}

// "1 Enhencement but Effects": the item's +1 carries the effects of its bonus, also on an
// unenhanced item by the system's own rules. SRD 3.5 enhances no arms that were not bought
// magic (they would lack their masterwork and the gear ceiling).
void OneEnhancementCarriesEffects(const Char* c, CharItem& it) {
  if (Srd35(c) && it.enhancement <= 0) return;
  it.keptEnhancement = it.enhancement - 1;
  it.enhancement = 1;
}

// The gold the bare enhancement of arms will cost (paid with their effects).
int64_t BareEnhancementPrice(const Char* c, const CharItem& it) {
  return (int64_t)it.enhancement * it.enhancement * EnhancementUnit(c, it.equipType) + SecondHeadPrice(c, it);
}

// The weight of one candidate weapon (kind, attack type and size already fit).
int32_t WeaponWeight(Char* c, int e, int firstSize, int forcedType) {
  IsaacState* state = c->context.random;
  const EquipSource& x = gSource.equipment[e];
  int raceSize = RaceSize(c);
  if (firstSize != -1000 && x.size == firstSize && !YesNo(state, "Beide Waffen gleich groß", 3, 1, 0) &&
      firstSize >= raceSize)
    return 0;
  if (x.minLevel > c->Level || RareFails(state, x.rare)) return 0;
  if (forcedType >= 0 && x.specialType != forcedType) return 0;
  bool debug = DebugOn(2);
  if (debug) DebugPrint(2, "%d/%d %20s: ", e, gSource.equipmentCount, x.name.c_str());
  int64_t w = 1;
  bool anyPositive = false;
  const int32_t* classWeights = reinterpret_cast<const int32_t*>(x.classWeights.data);
  for (int i = 0; i < c->classCount && classWeights; ++i) {
    int cls = c->classes[i];
    if (cls < 0 || cls >= gSource.classCount) continue;
    int32_t cw = classWeights[cls];
    if (cw > 0) anyPositive = true;
    w = std::min<int64_t>(kCeiling, w * std::max(1, cw));
    if (debug) DebugPrint(2, "%3d(%s) * ", cw, gSource.classes[cls].name.c_str());
  }
  w = std::min<int64_t>(w, 10000000);
  if (!anyPositive) w = 0;
  const int32_t* raceWeights = reinterpret_cast<const int32_t*>(x.raceWeights.data);
  int32_t race = raceWeights && c->race >= 0 && c->race < gSource.raceCount ? raceWeights[c->race] : 1;
  w *= race;
  w *= x.probability;
  w = std::min<int64_t>(w, kCeiling);
  if (debug) DebugPrint(2, "%3d(Race) * %3d(Standard) = %3d\n", race, x.probability, (int)w);
  return (int32_t)w;
}

// Weighted choice of a weapon for a hand wish; -1 when nothing fits.
int ChooseWeapon(Char* c, int wish, int firstSize) {
  IsaacState* state = c->context.random;
  int n = gSource.equipmentCount, raceSize = RaceSize(c);
  int forcedType = -1;
  for (int i = 0; i < c->classCount; ++i) {
    int cls = c->classes[i];
    if (cls >= 0 && cls < gSource.classCount && gSource.classes[cls].forceWeaponType) {
      forcedType = gSource.classes[cls].forceWeaponType;
      break;
    }
  }
  const ProfileSource* profile = c->profileMode && c->profile >= 0 ? &gSource.profiles[c->profile] : nullptr;
  Scratch<int32_t, 1024> weights((size_t)n, 0);
  for (int e = 0; e < n; ++e) {
    const EquipSource& x = gSource.equipment[e];
    if (x.equipType != 0) continue;
    if (wish != 3 && x.attackType != wish) continue;
    bool fits = wish == 3   ? (x.size == raceSize + 1 && x.attackType == 1)
                : wish == 4 ? x.size <= raceSize + 1
                            : x.size <= raceSize;
    if (!fits) continue;
    weights[(size_t)e] = WeaponWeight(c, e, firstSize, forcedType);
    // A profile's weapons gain the profile weight again after every candidate.
    if (profile)
      for (int k = 0; k < profile->weaponCount; ++k) {
        int p = profile->weapons[k];
        if (p >= 0 && p < n)
          weights[(size_t)p] = (int32_t)std::min<int64_t>(kCeiling, (int64_t)weights[(size_t)p] * c->profileWeight);
      }
  }
  return AdvancedRand(state, n, weights.data(), 4, &gSource.equipment[0].name.text, sizeof(EquipSource),
                      "Waffe wählen!\n", 0, true, 0, false);
}

void BuyWeapons(Char* c, int* lastDivisor) {
  IsaacState* state = c->context.random;
  int raceSize = RaceSize(c);
  int firstWeapon = -1;
  for (int hand = 0; hand < 2; ++hand) {
    int wish = c->handWish[hand];
    if (wish == 0) continue;
    int toBuy = 1;
    int forced = -1;
    if (hand == 0)
      for (int i = 0; i < c->classCount && forced < 0; ++i) {
        int cls = c->classes[i];
        if (cls >= 0 && cls < gSource.classCount && gSource.classes[cls].forceWeapon >= 0)
          forced = gSource.classes[cls].forceWeapon;
      }
    if (forced >= 0) {
      wish = gSource.equipment[forced].attackType;
      if (wish == 1 && gSource.equipment[forced].size > raceSize) wish = 3;
    } else if (wish == 2) {
      c->Attacks2 = 1;
      if (!YesNo(state, "Doppelklingenwaffe", 4, 1, 0)) {
        wish = 1;
        toBuy = 2;
      }
    }
    for (int k = 0; k < toBuy; ++k) {
      int e =
          forced >= 0 ? forced : ChooseWeapon(c, wish, k == 1 && firstWeapon >= 0 ? c->items[firstWeapon].size : -1000);
      if (e < 0) e = Equipment(wish == 4 ? "Kurzbogen" : "Dolch");
      int number = NewItem(c);
      EquipItem(c, e, number, true);
      CharItem& it = c->items[number];
      it.criticalFurther = 1;
      // A Small wielder carries the Small make of the weapon (the sizes above are relative).
      if (raceSize < 0) {
        it.damage[0] = gSource.equipment[e].smallDamageCount;
        it.damage[1] = gSource.equipment[e].smallDamageDie;
      }
      int main = MainClass(c);
      int divisor = main >= 0 && gSource.classes[main].noEquipment == 2
                        ? random(state, 1, 4, "Verbesserungsbonus der Waffe teilen durch...", 0)
                        : 1;
      *lastDivisor = divisor;
      BuyEnhancement(c, number, 300, hand, divisor);
      CharItem& w = c->items[number];
      int special = gSource.equipment[e].specialType;
      for (int i = 0; i < c->classCount && i < kMaxClassSlots && special != 2 && special != 3; ++i) {
        const CharSource* k = ClassAt(c->classes[i]);
        if (!k || k->naturalEnhance == 0 || k->forceWeaponType != special) continue;
        int mode = multirand(
            state, "Natürliche Verbesserung", 0, 0, -1,
            {{1, "No Enhencement, Char will Handle it"}, {5, "1 Enhencement but Effects"}, {1, "Keep Enhencement"}});
        if (mode == 0) {
          w.enhancement = 0;
        } else if (mode == 1) {
          OneEnhancementCarriesEffects(c, w);
        }
        w.charEnhancement = w.enhancement;
      }
      if (hand == 0)
        w.primary = 1;
      else
        w.secondary = 1;
      w.twoHanded = wish == 3;
      const char* name = gSource.equipment[e].name.c_str();
      int64_t enhancementPrice = BareEnhancementPrice(c, w);
      if (strstr(name, "MächtigerKomposit") && c->money >= 100 && FitsCeiling(c, w, enhancementPrice + 100)) {
        int limit = std::min(5, std::max(1, c->MST + c->Level / 2));
        int top = std::max(1, std::min(limit, c->money / 100));
        top = (int)std::min<int64_t>(top, (ItemCeiling(c) - w.price - w.value - enhancementPrice) / 100);
        w.bowStrength = random(state, 1, top, "Maximaler Stärkebonus von mächtigem bogen:", 0);
        w.price += 100 * w.bowStrength;
        Pay(c, 100 * w.bowStrength);
      }
      if (strstr(name, "Wurf")) c->throwing = 1;
      if (toBuy == 2) {
        w.twoWeapon = 1;
        if (k == 1) w.twoWeaponSecond = 1;
      }
      if (k == 0) firstWeapon = number;
    }
  }
  TwoWeaponPenalties(c, false);
}

void BuyBracers(Char* c) {
  IsaacState* state = c->context.random;
  int b = BracersBonus(c, std::min(8, EnhancementDraw(state, c->Level, 0) + EnhancementDraw(state, c->Level, 0)));
  if (b < 0) return;
  int number = NewItem(c);
  EquipItem(c, Equipment("Armreif"), number, false);
  CharItem& it = c->items[number];
  it.equipType = 12;
  it.value = b * b * 1000;
  Pay(c, it.value);
  snprintf(it.label, sizeof it.label, "RK-Armbänder +%d", b);
  c->bracerBonus += b;
}

// The enhancement of worn armour. SRD 3.5 enhances no clothing: a creature without armour
// buys bracers of armour instead.
void EnchantArmour(Char* c, int number) {
  if (Srd35(c) && c->items[number].armor <= 0) {
    BuyBracers(c);
    return;
  }
  BuyEnhancement(c, number, 150, 0, 1);
}

void BuyArmor(Char* c) {
  IsaacState* state = c->context.random;
  if (ArmourForbidden(c)) {
    BuyBracers(c);
    return;
  }
  int main = MainClass(c);
  int noEq = main >= 0 ? gSource.classes[main].noEquipment : 0;
  if (c->profileMode && c->profile >= 0) {
    int a = gSource.profiles[c->profile].armor;
    const char* name = a >= 0 ? gSource.equipment[a].name.c_str() : "None";
    if (strcmp(name, "None") == 0) return;
    if (strcmp(name, "Armreif") == 0) {
      BuyBracers(c);
      return;
    }
    if (strcmp(name, "Elfenkettenhemd") == 0 || strcmp(name, "Magierrobe") == 0) {
      int number = NewItem(c);
      EquipItem(c, a, number, true);
      c->items[number].equipType = 1;
      if (name[0] == 'E') BuyEnhancement(c, number, 150, 0, 1);
      return;
    }
  } else if (noEq == 1) {
    if (c->handWish[0] == 0 || YesNo(state, "Keine Rüstung", 1, 2, 0)) return;
  } else if (noEq == 2) {
    if (YesNo(state, "Keine Rüstung", 1, 6, 0)) {
      int s = (int)std::sqrt(10.0 * c->Level);
      if (!YesNo(state, "Magierrüstung/RK Armband?", std::max(1, 14 - s), s, 0)) return;
      int choice = multirand(state, "Ausrüstung wählen!", 0, 0, -1,
                             {{5, "Magierrobe"}, {3, "RK-Armbänder"}, {2, "Elfenkettenhemd"}});
      if (choice == 0 && c->money >= 75000 && ItemCeiling(c) >= 75000) {
        int number = NewItem(c);
        EquipItem(c, Equipment("Magierrobe"), number, true);
        c->items[number].equipType = 1;
        return;
      }
      bool elf = c->race >= 0 && (gSource.races[c->race].name == "Elf" || gSource.races[c->race].name == "Halbelf");
      if (choice == 2 && (elf || random(state, 0, 4, "4 = Elfenkettenhemd", 0) == 4) &&
          MayWear(c, Equipment("Elfenkettenhemd"))) {
        int number = NewItem(c);
        EquipItem(c, Equipment("Elfenkettenhemd"), number, true);
        c->items[number].equipType = 1;
        BuyEnhancement(c, number, 150, 0, 1);
        return;
      }
      BuyBracers(c);
      return;
    }
  }
  // The normal choice.
  bool noMetal = ShunsMetal(c);
  bool spellFailure = ArcaneCaster(c);
  int n = gSource.equipmentCount;
  // The best armour within reach counts only for a creature trained in medium armour.
  int32_t best = 0;
  if (HasFeat(c, gSource.proficiencyFeats[1][1]))
    for (int e = 0; e < n; ++e) {
      const EquipSource& x = gSource.equipment[e];
      if (x.equipType != 1 || x.rare != 0 || ArmourUnfit(c, x, noMetal, spellFailure)) continue;
      best = std::max(best, x.armor + std::min(x.maxDex, c->MGE));
    }
  best = std::min(best, c->Level);
  Scratch<int32_t, 1024> weights((size_t)n, 0);
  for (int e = 0; e < n; ++e) {
    const EquipSource& x = gSource.equipment[e];
    if (x.equipType != 1 || x.probability < 1 || ArmourUnfit(c, x, noMetal, spellFailure)) continue;
    int32_t value = x.armor + std::min(x.maxDex, c->MGE);
    if (value < best - 2 || x.minLevel > c->Level || RareFails(state, x.rare)) continue;
    int64_t w = x.probability;
    if (value < best) w /= std::max(1, c->Level);
    w *= (x.armor + std::max(0, std::min(x.maxDex, c->MGE))) * 100;
    if (spellFailure && x.spellFailure > 0) w = w / x.spellFailure / x.spellFailure;
    if (x.type == 0 && !HasFeat(c, gSource.proficiencyFeats[1][0])) w /= 2;
    if (x.type == 1 && !HasFeat(c, gSource.proficiencyFeats[1][1])) w /= 4;
    if (x.type == 2 && !HasFeat(c, gSource.proficiencyFeats[1][2])) w /= 6;
    weights[(size_t)e] = (int32_t)std::min<int64_t>(w, kCeiling);
  }
  if (c->profileMode && c->profile >= 0) {
    int a = gSource.profiles[c->profile].armor;
    // Under SRD 3.5 the profile cannot force armour the creature may not wear.
    if (a >= 0 && a < n && !(Srd35(c) && ArmourUnfit(c, gSource.equipment[a], noMetal, spellFailure)))
      weights[(size_t)a] = weights[(size_t)a] == 0
                               ? kCeiling
                               : (int32_t)std::min<int64_t>(kCeiling, (int64_t)weights[(size_t)a] * c->profileWeight);
  }
  int e = AdvancedRand(state, n, weights.data(), 4, &gSource.equipment[0].name.text, sizeof(EquipSource),
                       "Rüstung wählen!\n", 0, true, 0, false);
  if (e < 0) e = Equipment("Kleidung");
  int number = NewItem(c);
  EquipItem(c, e, number, true);
  if (c->items[number].type > 0 && !(c->race >= 0 && gSource.races[c->race].name == "Zwerg"))
    c->Range -= c->Range < 8 ? 1.5f : 3.0f;
  EnchantArmour(c, number);
}

void BuyShield(Char* c) {
  if (ShieldForbidden(c)) return;
  if (c->profileMode) {
    if (c->profile < 0) return;
    const ProfileSource& p = gSource.profiles[c->profile];
    if (p.shield < 0 || gSource.equipment[p.shield].name == "None") return;
    int number = NewItem(c);
    EquipItem(c, p.shield, number, true);
    BuyEnhancement(c, number, 150, 0, 1);
    c->items[number].primary = p.shieldNumbers[0];
    c->items[number].secondary = p.shieldNumbers[1];
    for (int i = 0; i < number; ++i) {
      CharItem& it = c->items[i];
      if (it.equipType != 1 && ((it.primary && p.shieldNumbers[0] == 1) || (it.secondary && p.shieldNumbers[1] == 1)))
        it.handsConflict = 1;
    }
    return;
  }
  IsaacState* state = c->context.random;
  bool noMetal = ShunsMetal(c);
  if (c->handWish[0] == 4 && !noMetal) {
    if (LinearChance(state, "Use Shield", 0, 6, c->Level, false, 0)) {
      int number = NewItem(c);
      EquipItem(c, Equipment("Tartsche"), number, true);
      CharItem& buckler = c->items[number];
      int32_t masterwork = MasterworkCost(c, buckler, 0);
      buckler.enhancement = ArmsEnhancement(c, buckler, EnhancementDraw(state, c->Level, 0), masterwork);
      if (buckler.enhancement > 0) {
        buckler.price += masterwork;
        Pay(c, masterwork);
      }
      c->items[number].primary = 1;
      c->items[number].secondary = c->handWish[1] == 1;
    }
    return;
  }
  if (c->handWish[0] != 1 && c->handWish[1] != 1) return;
  if (random(state, 0, 5, "Use Shield (<lvl = yes)", 0) >= c->Level) return;
  bool large = c->Level > 7 || random(state, 0, 1, "0 = Kleines Schild, 1 = Großes Schild", 0) == 1;
  bool metal = !noMetal && random(state, 0, 3, "0 = Holzschild", 0) != 0;
  const char* name = large ? (metal ? "GroßerMetallschild" : "GroßerHolzschild")
                           : (metal ? "KleinerMetallschild" : "KleinerHolzschild");
  int number = NewItem(c);
  EquipItem(c, Equipment(name), number, true);
  BuyEnhancement(c, number, 150, 0, 1);
  CharItem& shield = c->items[number];
  shield.primary = c->handWish[0] == 1;
  shield.secondary = c->handWish[1] == 1;
  for (int i = 0; i < number; ++i) {
    CharItem& it = c->items[i];
    if (it.equipType != 1 && ((it.primary && shield.primary) || (it.secondary && shield.secondary)))
      it.handsConflict = 1;
  }
}

void BuyAmmunition(Char* c, int lastDivisor) {
  IsaacState* state = c->context.random;
  const char* ammunition = AmmunitionName(c);
  if (!ammunition) return;
  int n = c->Level;
  int primary = 0, secondary = 0;
  if (c->handWish[0] == 4) {
    n *= 2;
    primary = 1;
  }
  if (c->handWish[1] == 4) {
    n = 0;
    primary = 0;
    secondary = 1;
  }
  if (c->throwing) n = 0;
  int natural = NaturalEnhancementClass(c);
  int mode = 2;
  if (natural >= 0) {
    mode = multirand(
        state, "Ammunition Enhencement?", 0, 0, -1,
        {{1, "No Enhencement, Char will Handle it"}, {5, "1 Enhencement but Effects"}, {1, "Standard Enhencement"}});
    if (mode == 0) n = 0;
  }
  if (!LinearChance(state, "Verzauberte Pfeile?", 0, 30, n, false, 0)) return;
  int number = NewItem(c);
  EquipItem(c, Equipment(ammunition), number, false);
  CharItem& it = c->items[number];
  it.equipType = 11;
  it.primary = primary || !secondary;
  it.secondary = secondary;
  int32_t masterwork = MasterworkCost(c, it, 0);
  it.enhancement =
      ArmsEnhancement(c, it, EnhancementDraw(state, c->Level / (2 * (lastDivisor - 1) + 1), 0), masterwork);
  if (it.enhancement > 0) {
    it.price += masterwork;
    Pay(c, masterwork);
  }
  if (mode == 1) OneEnhancementCarriesEffects(c, it);
  if (natural >= 0) it.charEnhancement = it.enhancement;
}

// Adamantine: masterwork metal that hardens armour and sharpens blades.
void MakeAdamantine(Char* c, CharItem& it) {
  int32_t cost = 0;
  if (it.equipType == 1) {
    cost = it.type <= 0 ? 2000 : it.type == 1 ? 5000 : 10000;
    if (c->money < cost || !FitsCeiling(c, it, cost)) return;
    it.armor += 1 + it.type - it.enhancement;
  } else if (it.equipType == 2) {
    cost = 2000;
    if (c->money < cost || !FitsCeiling(c, it, cost)) return;
    it.armor += 1;
  } else {
    bool large = it.damage[0] * it.damage[1] > 6;
    if (c->money < (large ? 9000 : 3000) || !FitsCeiling(c, it, large ? 9000 : 3000)) return;
    it.damage[2] += AdamantineDamage(c, large);
    cost = 3000;
    if (large) cost += 6000;
  }
  it.price += cost;
  Pay(c, cost);
  it.masterwork = 1;
}

// Mithril: lighter armour and shields, one armour type less.
void MakeMithril(Char* c, CharItem& it) {
  if (it.equipType != 1 && it.equipType != 2) return;
  bool shield = it.equipType == 2;
  int32_t need = shield ? 1000 : (it.type + 1) * (it.type + 1) * 1000;
  if (!gDecide.chooseEverything && (c->money < need || !FitsCeiling(c, it, need))) return;
  it.penalty = std::max(0, it.penalty - 3);
  it.maxDex += 2;
  it.spellFailure = std::max(0, it.spellFailure - 10);
  it.mithril = 1;
  if (!shield) {
    if (it.type == 1) c->Range += c->Range < 5 ? 1.5f : 3.0f;
    if (it.type == 1 || it.type == 2) it.type -= 1;
  }
  int32_t cost = shield ? 1000 : (it.type + 1) * (it.type + 1) * 1000;
  it.price += cost;
  Pay(c, cost);
}

void SpecialMaterials(Char* c) {
  IsaacState* state = c->context.random;
  int64_t cube = (int64_t)c->Level * c->Level * c->Level;
  for (int i = 0; i < c->itemCount; ++i) {
    CharItem& it = c->items[i];
    if (it.specific || !it.magic || it.equipType > 2 || !it.metal) continue;
    bool go = LinearChance(state, "Adamantine/Mithril/Mercury?", 0, 12000, (int32_t)std::min<int64_t>(cube, INT32_MAX),
                           false, 0);
    bool profileArmor = c->profileMode && c->profile >= 0 && it.equipType == 1;
    int armorNumber = profileArmor ? gSource.profiles[c->profile].armorNumber : 0;
    if (!go && !(profileArmor && armorNumber >= 1)) continue;
    if (profileArmor) {
      if (armorNumber == 1) {
        MakeMithril(c, it);
        continue;
      }
      if (armorNumber == 2) {
        MakeAdamantine(c, it);
        continue;
      }
      if (armorNumber != 0) {
        ConsolePrint("Invalid Armor Type in Profile %s\n", gSource.profiles[c->profile].name);
        QuitOnError(true);
      }
    }
    if (it.equipType == 0 && it.metal == 1 && random(state, 0, 1, "0 = Mercury", 0) == 0) {
      if ((c->money >= 500 && FitsCeiling(c, it, 500)) || gDecide.chooseEverything) {
        it.criticalMultiplier = 4;
        it.critical = 20;
        it.type = 2;
        it.mercury = 1;
        it.price += 500;
        Pay(c, 500);
      }
      continue;
    }
    if (random(state, 0, 1, "0 Adamantine, 1 Mithril", 0) == 1) {
      MakeMithril(c, it);
      continue;
    }
    bool adamantine = (it.equipType == 1 && it.enhancement <= it.type) || (it.equipType != 1 && it.enhancement == 0);
    if (adamantine)
      MakeAdamantine(c, it);
    else
      MakeMithril(c, it);
  }
}

}  // namespace

void RunSpecificScript(Char* c, CharItem& it) {
  const SpecificSource& s = gSource.specifics[it.specific];
  if (!s.script.data) return;
  size_t before = c->specialText ? c->specialText->length : 0;
  RunScript(c, &it, c->specialText, s.script.data, s.name.c_str(), -1, c->specialText);
  // The item texts write their line without its end; the next text starts a line of its own.
  TextBuffer* t = c->specialText;
  if (t && t->length > before && t->data[t->length - 1] != '\n') TextAppend(t, "\n", 1);
}

namespace {

void RunSpecificScripts(Char* c, int count) {
  for (int i = 0; i < count; ++i) {
    CharItem& it = c->items[i];
    if (it.specific) RunSpecificScript(c, it);
    // An equipment record's own rules (the robe's spell resistance and saves) belong to
    // the one who wears it.
    if (it.equipment >= 0 && it.equipment < gSource.equipmentCount) {
      const EquipSource& e = gSource.equipment[it.equipment];
      if (e.script.data) RunScript(c, &it, c->specialText, e.script.data, e.name.c_str(), -1, c->specialText);
    }
  }
}

// Bracers bought instead of armour, whatever their bonus.
bool HasBracers(const Char* c) {
  for (int i = 0; i < c->itemCount; ++i)
    if (c->items[i].equipType == 12) return true;
  return false;
}

// An item's effects, unless its record forbids them or it is a specific item.
void ItemEffects(Char* c, int number) {
  CharItem& it = c->items[number];
  if (it.specific || (it.equipment >= 0 && gSource.equipment[it.equipment].forbidEffects)) {
    it.effectCount = it.secondEffect = 0;
    return;
  }
  DoEffects2(c, number);
}

void EffectsOnItems(Char* c, int count) {
  IsaacState* state = c->context.random;
  for (int i = 0; i < count; ++i) {
    CharItem& it = c->items[i];
    const EquipSource* e = it.equipment >= 0 ? &gSource.equipment[it.equipment] : nullptr;
    if (it.specific || it.enhancement <= 0 || (e && e->forbidEffects)) {
      it.effectCount = 0;
    } else if (it.keptEnhancement) {
      it.effectCount = it.keptEnhancement;
    } else {
      int budget = it.enhancement;
      char label[160] = "Mehr Effeckte als Verbesserungsbonus bei ";
      if (gRandom.labelFlag && e)
        snprintf(label, sizeof label, "Mehr Effeckte als Verbesserungsbonus bei %s", e->name.c_str());
      if (YesNo(state, label, 5, 2, 0)) {
        int old = it.enhancement;
        it.enhancement = random(state, 1, old, "Neue Verbesserung wählen!", 0);
        budget = 2 * old - it.enhancement;
      }
      const char* countLabel = "Anzahl der Effeckte auf %s wählen!";
      if (gRandom.labelFlag && e) {
        snprintf(label, sizeof label, "Anzahl der Effeckte auf %s wählen!", e->name.c_str());
        countLabel = label;
      }
      it.effectCount = random(state, 0, budget, countLabel, 0);
      if (!gDecide.chooseEverything && LinearChance(state, "Mehr Effeckte", 0, 19, c->Level, false, 0))
        it.effectCount = random(state, it.effectCount, budget, "Anzahl der Effeckte wählen!", 0);
    }
    if (it.equipType != 0 || it.primary) ItemEffects(c, i);
  }
}

}  // namespace

// Items are looked up by name at every purchase: each thread keeps the last positions it
// found by the name's address, checked against the record's name before use.
int EquipmentNamed(const char* name) {
  struct Memo {
    const char* name;
    uint32_t generation;
    int index;
  };
  constexpr int kMemos = 32;
  thread_local Memo memo[kMemos] = {};
  thread_local int next = 0;
  for (const Memo& m : memo)
    if (m.name == name && m.generation == gSourceGeneration && m.index < gSource.equipmentCount &&
        gSource.equipment[m.index].name == name)
      return m.index;
  int index = FindByNameOrFault(gSource.equipment, gSource.equipmentCount, name);
  if (index >= 0) {
    memo[next] = Memo{name, gSourceGeneration, index};
    next = (next + 1) % kMemos;
  }
  return index;
}

// Every magic weapon, armour, shield and bundle of ammunition is masterwork: SRD 3.5 charges
// 300 gp a weapon (each head of a double weapon), 150 gp armour or a shield and 6 gp a
// missile of a bundle of fifty; the system's own rules charge what the buyer passes.
int32_t MasterworkCost(const Char* c, const CharItem& it, int32_t own) {
  if (!Srd35(c)) return own;
  switch (it.equipType) {
    case 0:
      return it.attackType == 2 ? 600 : 300;
    case 1:
    case 2:
      return 150;
    case 11:
      return 50 * 6;
    default:
      return 0;
  }
}

// SRD 3.5 spends at most half of an NPC's gear value (the table's value for its level, or
// the drawn budget when that is lower) on one item; the system's own rules know no such
// limit. Treasure is not worn gear.
int64_t ItemCeiling(const Char* c) {
  constexpr int64_t kNone = INT64_MAX / 4;
  if (!Srd35(c) || c->drawnBudget <= 0 || (c->record && c->record[rec::kTreasureOnly])) return kNone;
  int level = std::clamp(c->Level, 0, 50);
  return std::min<int64_t>(c->drawnBudget, gSource.startMoney[level]) / 2;
}

int ChooseSpecificItem(Char* c, int number) {
  IsaacState* state = c->context.random;
  if (!YesNo(state, "Spezifischen Gegenstand?", 10, 1, 0)) return 0;
  CharItem& it = c->items[number];
  int n = gSource.specificCount;
  Scratch<int32_t, 1024> weights((size_t)(n ? n : 1), 0);
  const int64_t ceiling = ItemCeiling(c);
  for (int s = 0; s < n; ++s) {
    const SpecificSource& x = gSource.specifics[s];
    if (x.base != it.equipment || x.price > c->money || x.price > ceiling) continue;
    weights[(size_t)s] = (int32_t)std::min<int64_t>(GroupWeight(c, x.groups), kCeiling);
  }
  int chosen = n ? AdvancedRand(state, n, weights.data(), 4, &gSource.specifics[0].name.text, sizeof(SpecificSource),
                                "Gegenstand wählen!", 0, true, 0, false)
                 : -1;
  if (chosen <= 0) return 0;
  it.specific = chosen;
  it.value = gSource.specifics[chosen].price - it.price;
  Pay(c, it.value);
  return 1;
}

// The enhancement a creature buys for its arms: SRD 3.5 keeps it at +5 and the item within
// the gear ceiling; the system's own rules take the draw.
int32_t ArmsEnhancement(const Char* c, const CharItem& it, int32_t bonus, int32_t masterwork) {
  if (!Srd35(c)) return bonus;
  bonus = std::min(bonus, EnhancementCeiling(c));
  for (; bonus > 0; --bonus) {
    CharItem priced = it;
    priced.enhancement = bonus;
    int64_t price = (int64_t)it.price + masterwork + (int64_t)bonus * bonus * EnhancementUnit(c, it.equipType) +
                    SecondHeadPrice(c, priced);
    if (price <= ItemCeiling(c)) break;
  }
  return bonus;
}

void BuyEnhancement(Char* c, int number, int32_t base, int hand, int divisor) {
  IsaacState* state = c->context.random;
  if (ChooseSpecificItem(c, number)) return;
  CharItem& it = c->items[number];
  int32_t masterwork = MasterworkCost(c, it, base);
  if (it.specific || c->money < masterwork) return;
  if (divisor < 1) divisor = 1;
  int32_t bonus = EnhancementDraw(state, (c->Level - 4 * hand) / divisor, 0);
  if (bonus == 0) bonus = EnhancementDraw(state, (c->Level + 2 - 4 * hand) / divisor, 0);
  bonus = ArmsEnhancement(c, it, bonus, masterwork);
  if (bonus <= 0) return;
  it.enhancement = bonus;
  it.magic = 1;
  it.price += masterwork;
  Pay(c, masterwork);
}

void BuyWondrousItem(Char* c, int divisor, int tries, const char* equipment, int kind) {
  IsaacState* state = c->context.random;
  bool buy = gDecide.chooseEverything;
  char label[128];
  if (!buy && c->money > c->budget / divisor) {
    FormatLabel(label, sizeof label, "%s vorhanden? (1 = Ja, 0 = Nein)", equipment);
    buy = random(state, 0, 1, label, 0) == 1;
    if (!buy) {
      // As the label says, a low draw is a yes: any draw below the level's threshold
      // buys, so higher levels carry more wondrous items.
      // A race whose level adjustment exceeds the CR leaves a level below 0 (a replayed
      // file can fix such a race): no wondrous item for it.
      int threshold = c->Level > 0 ? (int)std::sqrt(10.0 * c->Level) : 0;
      FormatLabel(label, sizeof label, "%s? 0 = Ja, 14 = Nein", equipment);
      for (int t = 0; t < tries && !buy; ++t)
        if (random(state, 0, 14, label, 0) < threshold) buy = true;
    }
  }
  if (!buy || c->itemCount >= kMaxItems) return;
  int number = c->itemCount;
  EquipItem(c, Equipment(equipment), number, false);
  c->items[number].equipType = kind;
  if (!ChooseSpecificItem(c, number))
    ProtectiveItem(c);
  else
    RunSpecificScript(c, c->items[number]);
  ++c->itemCount;
}

void GenerateEquipment(Char* c) {
  IsaacState* state = c->context.random;
  int level = c->Level < 0 ? 0 : c->Level > 50 ? 50 : c->Level;
  int64_t base = gSource.startMoney[level];
  int32_t p = random(state, 75, 175, "Ausrüstungswert in ProZent", 0);
  if (gSettings.DrawType == 1) p = p * 3 / 2;
  int64_t budget = base * p / 100;
  if (budget > INT32_MAX) budget = INT32_MAX;
  DebugPrint(2, "Level %d Ausrüstungswert %d (%d%% von %d)\n", c->Level, (int)budget, p, (int)base);
  c->budget = c->money = c->drawnBudget = (int32_t)budget;
  c->itemCount = 0;
  int lastDivisor = 1;
  c->equipmentFollows = 1;
  BuyWeapons(c, &lastDivisor);
  BuyArmor(c);
  BuyShield(c);
  BuyAmmunition(c, lastDivisor);
  EffectsOnItems(c, c->itemCount);
  SpecialMaterials(c);
  RunSpecificScripts(c, c->itemCount);
  BuyWondrousItem(c, 2, 1, "Amulett", 4);
  for (int r = 0; r < c->RingMax; ++r) BuyWondrousItem(c, 2, 2, "Ring", 3);
  if (!HasBracers(c)) BuyWondrousItem(c, 2, 2, "Handschuhe", 8);
  BuyWondrousItem(c, 3, 2, "Stiefel", 6);
  BuyWondrousItem(c, 3, 2, "Umhang", 5);
  BuyWondrousItem(c, 4, 2, "Gürtel", 7);
  BuyWondrousItem(c, 4, 2, "Helm", 9);
  if (random(state, 0, 1, "Weste und Armreif?", 0) == 1) {
    if (!HasBracers(c)) BuyWondrousItem(c, 4, 2, "Armreif", 12);
    BuyWondrousItem(c, 4, 2, "Weste", 13);
  }
  c->equipmentFollows = 0;
  for (int i = 0; i < c->itemCount; ++i)
    if (c->items[i].equipType == 0 && c->items[i].secondary && !c->items[i].primary) ItemEffects(c, i);
}

}  // namespace RUNTIME_NS
