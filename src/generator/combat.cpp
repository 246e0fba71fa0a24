#include "generator/combat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "generator/feats.h"
#include "generator/scratch.h"
#include "generator/treasure.h"
#include "launcher/process.h"
#include "random/decisions.h"
#include "script/functions.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

const char* StyleName(int style) {
  static const char* const kNames[] = {"-", "Waffe und Schild", "Zwei Waffen", "Zweihänder", "Fernkampf",
                                       "Monster: Natürlich"};
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
    effect = FindByName(gSource.effects, gSource.effectCount, "Mönchsgürtel", false, false);
    specific = FindByName(gSource.specifics, gSource.specificCount, "Mönchsgürtel", false, false);
    monk = FindByName(gSource.classes, gSource.classCount, "Mönch", false, false);
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

int32_t SaveTotal(const Char* c, int which) {
  switch (which) {
    case 0: return c->baseRef + c->epicSave + c->refMod + c->RWRefMage + c->RWRefRest;
    case 1: return c->baseWill + c->epicSave + c->willMod + c->RWWilMage + c->RWWilRest;
    default: return c->baseFort + c->epicSave + c->fortMod + c->RWZaehMage + c->RWZaehRest;
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
    bool second = it.secondary && !it.primary;
    if (e.attackType != 4) {
      it.finalAttack += melee + it.enhancement;
      it.finalDamage += it.enhancement;
      DebugPrint(2, "+%d Att (GA Melee) - +%d Att/Dmg (Enhence) - ", melee, it.enhancement);
      if (!second) {
        it.finalDamage += c->MST;
        DebugPrint(2, "+%d Dmg (Str) - ", c->MST);
        if (it.twoHanded) {
          it.finalDamage += c->MST / 2;
          DebugPrint(2, "+%d Dmg (Str Twohand) - ", c->MST / 2);
        }
      } else {
        it.finalDamage += c->MST / 2;
        DebugPrint(2, "+%d Dmg (Str 2nd Hand) - ", c->MST / 2);
      }
    } else {
      it.finalAttack += ranged + it.enhancement;
      it.finalDamage += it.enhancement;
      DebugPrint(2, "+%d Att (GA Range) - +%d Att/Dmg (Enhencement)", ranged, it.enhancement);
      if (e.specialType == 3) {
        // Crossbows add no Strength.
      } else if (e.specialType == 4 && c->MST >= 1) {
        it.finalDamage += c->MST / 2;
        DebugPrint(2, "+%d Dmg (Throw Str) - ", c->MST / 2);
      } else {
        int add = std::min(c->MST, it.bowStrength);
        it.finalDamage += add;
        DebugPrint(2, "+%d Dmg (Bow Str) - ", add);
      }
    }
    it.finalAttack += c->AttackMod;
    it.finalDamage += c->DmgMod;
    DebugPrint(2, "+%d Att +%d Dmg (CharBonus) - ", c->AttackMod, c->DmgMod);
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
  IsaacState* state = c->context.random;
  int32_t money = c->money;
  if (money <= 600) return;
  int n = EnhancementDraw(state, c->Level, -1);
  if (n <= 0) return;
  // SRD 3.5 brews no potion above the 3rd spell level: cure serious wounds at most, at the
  // SRD's prices and caster levels.
  if (Srd35(c)) {
    if (money >= 4201) {
      Linef(c, "%d Träkne schwere Wunden heilen (3W8 + %d)\n", n, 5);
      money -= 750 * n;
    } else if (money >= 2101) {
      Linef(c, "%d Träkne mittelschwere Wunden heilen (2W8 + %d)\n", n, 3);
      money -= 300 * n;
    } else {
      Linef(c, "%d Träkne kleinere Wunden heilen (1W8 + %d)\n", n, 1);
      money -= 50 * n;
    }
    c->money = std::max(money, 0);
    return;
  }
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
  if (c->Sneak) Linef(c, "Hinterhältiger Angriff: %dW%d Schaden\n", c->Sneak, OwnsFeat(c, Known().improvedSneak) ? 8 : 6);
  if (c->Evasion == 2) Line(c, "Verbessertes Entrinnen\n");
  else if (c->Evasion == 1) Line(c, "Entrinnen\n");
  if (c->Smite) {
    Line(c, "Einmal pro Tag");
    if (c->MCH > 0) Linef(c, " +%d auf Angriff und", c->MCH);
    Linef(c, " +%d Auf Schaden\n", c->Smite);
  }
  if (c->Dex2AC) Line(c, "Behält seinen Geschicklichtkeitsmodifikator auf die Rüstung auch wenn er überrascht ist.\n");
  if (c->UncannyDodge) Linef(c, "Kann nicht in die Zange genommen werden, außer von einem Schurken ab Stufe %d\n", c->UncannyDodge + 4);
  if (c->LowLightVision) Linef(c, "Dämmersicht: %d Meter\n", c->LowLightVision);
  if (c->DarkVision) Linef(c, "Dunkelsicht: %d Meter\n", c->DarkVision);
  if (c->TouchReach)
    Linef(c, "Kann Zauber die einen Berührungsangriff erfordern durch einen Berührungsangriff auf Entfernung mit Reichweite %d feet wirken",
          c->TouchReach * 30);
  FamiliarLines(c);
  if (c->Concealment) Linef(c, "%d%% Tarnung\n", c->Concealment);
  if (c->LayOnHands) Linef(c, "Hände auflegen: %d TP\n", c->LayOnHands * std::max(c->MCH, 1));
  if (c->SacretDefense)
    Linef(c, "+%d RW gegen Göttliche Zauber sowie Zauberähnliche und Übernatürliche Fähigkeiten von Outsidern", c->SacretDefense);
  if (c->PoisonUse) Line(c, "Riskiert beim Einsatz von Gift nicht sich selbst zu verletzen\n");
  if (c->SurpremeCleave) Line(c, "Kann vor einem Doppel/Rundumschlag einen 1,5 Meter schritt machen\n");
}

}  // namespace RUNTIME_NS
