// The classic stat block: every figure comes from the functions the sheet uses
// (shell/figures.h), so the two never disagree. The German block gives distances in metres
// like the sheet's movement, with squares of 1,5 m (5 Fuß); the English one is written as
// the SRD prints its blocks, in feet, with the SRD names the tables carry.
#include "shell/statblock.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <utility>

#include "generator/alignment.h"
#include "generator/combat.h"
#include "generator/details.h"
#include "generator/feats.h"
#include "generator/monster.h"
#include "generator/spells.h"
#include "shell/figures.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

// The labels and words of one language.
struct Words {
  bool english;
  const char *sizeType, *hitDice, *initiative, *speed, *armorClass, *baseAttack, *attack, *fullAttack, *spaceReach,
      *specialAttacks, *specialQualities, *saves, *abilities, *skills, *feats, *organization, *challenge, *treasure,
      *alignment, *advancement, *levelAdjustment, *environment;
  const char *die, *none, *and_, *or_, *size, *dex, *armor, *shield, *natural, *dodge, *other, *touch, *flatFooted;
  const char* abilityNames[kAttributes];
  const char *fort, *ref, *will;
};

constexpr Words kGerman{false,
                        "Größe/Typ",
                        "Trefferwürfel",
                        "Initiative",
                        "Bewegungsrate",
                        "Rüstungsklasse",
                        "Grundangriffsbonus/Ringkampf",
                        "Angriff",
                        "Vollständiger Angriff",
                        "Angriffsfläche/Reichweite",
                        "Besondere Angriffe",
                        "Besondere Eigenschaften",
                        "Rettungswürfe",
                        "Attribute",
                        "Fertigkeiten",
                        "Talente",
                        "Organisation",
                        "Herausforderungsgrad",
                        "Schätze",
                        "Gesinnung",
                        "Aufstieg",
                        "Stufenanpassung",
                        "Umgebung",
                        "W",
                        "—",
                        " und ",
                        " oder ",
                        "Größe",
                        "GE",
                        "Rüstung",
                        "Schild",
                        "natürlich",
                        "Ausweichen",
                        "sonstige",
                        "Berührung",
                        "auf dem falschen Fuß",
                        {"St", "Ge", "Ko", "In", "We", "Ch"},
                        "Zähigkeit",
                        "Reflex",
                        "Wille"};
constexpr Words kEnglish{true,
                         "Size/Type",
                         "Hit Dice",
                         "Initiative",
                         "Speed",
                         "Armor Class",
                         "Base Attack/Grapple",
                         "Attack",
                         "Full Attack",
                         "Space/Reach",
                         "Special Attacks",
                         "Special Qualities",
                         "Saves",
                         "Abilities",
                         "Skills",
                         "Feats",
                         "Organization",
                         "Challenge Rating",
                         "Treasure",
                         "Alignment",
                         "Advancement",
                         "Level Adjustment",
                         "Environment",
                         "d",
                         "—",
                         " and ",
                         " or ",
                         "size",
                         "Dex",
                         "armor",
                         "shield",
                         "natural",
                         "dodge",
                         "other",
                         "touch",
                         "flat-footed",
                         {"Str", "Dex", "Con", "Int", "Wis", "Cha"},
                         "Fort",
                         "Ref",
                         "Will"};

// The name of a table row in the block's language: the SRD's own name in English.
template <class R>
const char* NameOf(const R& row, const Words& w) {
  return w.english ? SrdName(row) : DisplayName(row);
}
template <class R>
const char* NameAt(const R* table, int count, int i, const Words& w) {
  return table && i >= 0 && i < count ? NameOf(table[i], w) : "";
}

// "claw" → "Claw": an entry that starts a line.
std::string Capitalised(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = (char)(text[0] - 'a' + 'A');
  return text;
}
// "Light Steel Shield" → "light steel shield": names inside an SRD line are written
// small, except proper names ("Mordenkainen's") and roman numerals.
std::string Small(std::string text) {
  bool start = true;
  for (size_t i = 0; i < text.size(); ++i) {
    if (start && text[i] >= 'A' && text[i] <= 'Z') {
      size_t end = text.find_first_of(" -,", i);
      std::string word = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
      bool numeral = word.find_first_not_of("IVX") == std::string::npos;
      if (!numeral && word.find('\'') == std::string::npos) text[i] = (char)(text[i] - 'A' + 'a');
    }
    start = text[i] == ' ' || text[i] == '-' || text[i] == '(';
  }
  return text;
}

// "claw" → "claws", "hoof" → "hooves", "touch" → "touches".
std::string Plural(const std::string& word) {
  auto ends = [&word](const char* tail) {
    size_t n = strlen(tail);
    return word.size() >= n && word.compare(word.size() - n, n, tail) == 0;
  };
  if (ends("s") || ends("x") || ends("ch") || ends("sh")) return ends("s") ? word : word + "es";
  if (ends("oof")) return word.substr(0, word.size() - 1) + "ves";
  return word + "s";
}

struct Dice {
  int count, faces;
};

// The hit dice by die size, in the order they come: the monster's own, then each class's.
// A monster's spell-casting classes give no dice; a mixed creature's class part does.
std::vector<Dice> HitDice(const Char* c) {
  std::vector<Dice> dice;
  auto add = [&dice](int count, int faces) {
    if (count <= 0 || faces <= 0) return;
    for (Dice& d : dice)
      if (d.faces == faces) {
        d.count += count;
        return;
      }
    dice.push_back({count, faces});
  };
  if (c->kind == 1) add(c->Level - c->classHitDice, c->MonsterTWType);
  if (c->kind == 0 || c->mixed)
    for (int s = c->kind == 1 ? SpellCharSlots(c) : 0; s < c->classCount && s < kMaxClassSlots; ++s)
      if (const CharSource* k = ClassAt(c->classes[s]))
        add(c->classLevels[s], c->kind == 0 && c->MonsterTWType ? c->MonsterTWType : k->hitDie);
  return dice;
}

// The fixed part: whatever of the hit points the dice did not roll.
int FixedHitPoints(const Char* c) { return c->hitPoints + c->TP - c->hitDieRolls; }

// The average of the expression, rounded down as the rule books do.
int AverageHitPoints(const Char* c) {
  int64_t halves = 0;
  for (const Dice& d : HitDice(c)) halves += (int64_t)d.count * (d.faces + 1);
  return (int)(halves / 2 + FixedHitPoints(c));
}

// Metres with a decimal comma: "9 m", "1,5 m", "0,75 m".
std::string Metres(double metres) {
  long hundredths = std::lround(metres * 100);
  std::string text = Format("%ld", hundredths / 100);
  if (hundredths % 100) {
    std::string fraction = Format("%02ld", hundredths % 100);
    if (fraction.back() == '0') fraction.pop_back();
    text += "," + fraction;
  }
  return text + " m";
}

// Feet as the SRD writes them: "30 ft.", "2-1/2 ft.", "1/2 ft.".
std::string Feet(double feet) {
  long halves = std::lround(feet * 2);
  std::string whole = halves >= 2 || halves == 0 ? Format("%ld", halves / 2) : std::string();
  if (halves % 2) whole += whole.empty() ? "1/2" : "-1/2";
  return whole + " ft.";
}

// Size steps from Medium (-4 Fine ... +4 Colossal).
int SizeStep(const Char* c) {
  int size = c->kind == 1 ? MonsterSize(c) : RaceSize(c);
  int medium = -1;
  for (int i = 0; i < gSource.sizeCount; ++i)
    if (gSource.sizes[i].name == "Medium") medium = i;
  return medium < 0 ? 0 : std::clamp(size - medium, -4, 4);
}

// Space and the reach of a tall creature in feet, by size step.
constexpr double kSpaceFeet[9] = {0.5, 1, 2.5, 5, 5, 10, 15, 20, 30};
constexpr int kReachFeet[9] = {0, 0, 0, 5, 5, 10, 15, 20, 30};
constexpr double kMetresPerFoot = 0.3;

int BonusType(const char* name) {
  for (int i = 0; i < gSource.bonusCount; ++i)
    if (gSource.bonuses[i].name == name) return i;
  return -1;
}

// The armour class in the parts a stat block names; "other" is what no part explains.
struct ArmorParts {
  int total, size, dexterity, armor, shield, natural, dodge, other;
  int Touch() const { return total - armor - shield - natural; }
};

ArmorParts PartsOf(const Char* c) {
  ArmorClass ac = ArmorClassOf(c);
  ArmorParts p{ac.total, ac.size, ac.dexterity, ac.armor, ac.shield, 0, 0, 0};
  if (c->kind == 1) {
    p.size = SizeModifier(c->sizeIndex);
    if (!c->mixed) p.dexterity = c->absent[1] ? 0 : c->MGE;
    p.natural = c->NaturalAC;
  }
  // Typed bonuses on the armour class: the best natural one and every dodge one.
  const int natural = BonusType("Natürlich"), dodge = BonusType("Ausweichen");
  const int32_t offset = (int32_t)offsetof(Char, AC);
  int bestNatural = 0;
  for (const CharBonus* b = c->bonuses; b; b = b->next) {
    if (b->variable != offset) continue;
    if (b->bonusType == natural && b->amount > bestNatural) bestNatural = b->amount;
    if (b->bonusType == dodge) p.dodge += b->amount;
  }
  p.natural += bestNatural;
  p.other = p.total - 10 - p.size - p.dexterity - p.armor - p.shield - p.natural - p.dodge;
  return p;
}

// Caught flat-footed the creature loses its Dexterity bonus and its dodge bonuses,
// unless uncanny dodge keeps them.
int FlatFooted(const Char* c, const ArmorParts& p) {
  if (c->UncannyDodge) return p.total;
  return p.total - std::max(p.dexterity, 0) - std::max(p.dodge, 0);
}

std::string ArmorText(const Char* c, const Words& w) {
  ArmorParts p = PartsOf(c);
  std::string parts;
  auto part = [&parts](int value, const char* name) {
    if (value) parts += Format("%s%+d %s", parts.empty() ? "" : ", ", value, name);
  };
  part(p.size, w.size);
  part(p.dexterity, w.dex);
  part(p.armor, w.armor);
  part(p.shield, w.shield);
  part(p.natural, w.natural);
  part(p.dodge, w.dodge);
  part(p.other, w.other);
  return Format("%d", p.total) + (parts.empty() ? "" : " (" + parts + ")") +
         Format(", %s %d, %s %d", w.touch, p.Touch(), w.flatFooted, FlatFooted(c, p));
}

bool HasFeat(const Char* c, const char* name) {
  for (int i = 0; i < c->featCount; ++i)
    if (c->feats[i] >= 0 && c->feats[i] < gSource.featCount && gSource.feats[c->feats[i]].name == name) return true;
  return false;
}

int Grapple(const Char* c) {
  return AttackBase(c) + (c->absent[0] ? 0 : c->MST) + 4 * SizeStep(c) + (HasFeat(c, "VerbesserterRingkampf") ? 4 : 0);
}

// A monster ability the creature kept (a template may take a line away).
bool KeptAbility(const Char* c, const char* key) {
  for (const AbilitySource* x : KeptAbilities(c))
    if (x->name == key) return true;
  return false;
}

// Incorporeal creatures and swarms cannot grapple: the rule books write "—".
std::string GrappleText(const Char* c, const Words& w) {
  if (KeptAbility(c, "Körperlos") || KeptAbility(c, "Schwarm")) return w.none;
  return Format("%+d", Grapple(c));
}

// An item's English name as the SRD writes it: "+1 flaming longsword", "ring of
// protection +2", "bracers of armor +3", "masterwork chain shirt".
std::string EnglishItem(const CharItem& it) {
  const EquipSource* e =
      it.equipment >= 0 && it.equipment < gSource.equipmentCount ? &gSource.equipment[it.equipment] : nullptr;
  const char* label = it.label;
  int bonus = 0;
  if (sscanf(label, "RK-Armbänder +%d", &bonus) == 1) return Format("bracers of armor +%d", bonus);
  for (auto [kind, power] : {std::pair{" Schutz", "protection"}, std::pair{" Widerstands", "resistance"}}) {
    size_t length = strlen(kind);
    const char* blank = strchr(label + length, ' ');
    if (strncmp(label, kind, length) != 0 || !blank) continue;
    int k = FindByName(gSource.equipment, gSource.equipmentCount, std::string(label + length, blank).c_str());
    if (k >= 0) return Small(SrdName(gSource.equipment[k])) + " of " + power + blank;
  }
  std::string name;
  if (it.specific > 0 && it.specific < gSource.specificCount)
    name = Small(NamedItem(it, true));
  else
    name = e ? Small(SrdName(*e)) : std::string(label);
  if (int pieces = 0; sscanf(label, "%d Stück", &pieces) == 1) return name + Format(" (%d)", pieces);
  if (it.specific > 0) return name;
  // A wondrous item is named by its effect ("amulet of natural armor +2"); an effect
  // without an SRD item name stays beside the item.
  const bool wondrous = it.equipType >= 3 && it.equipType != 10 && it.equipType != 11;
  std::string effects;
  for (int k = 0; k < it.effectCount && k < kItemEffects; ++k) {
    if (it.effects[k] < 0 || it.effects[k] >= gSource.effectCount) continue;
    const EffectSource& x = gSource.effects[it.effects[k]];
    if (wondrous)
      effects +=
          (effects.empty() ? "" : ", ") + (x.srd.length ? Small(x.srd.c_str()) : name + " (" + DisplayName(x) + ")");
    else
      effects += Small(SrdName(x)) + " ";
  }
  const std::string plus = it.enhancement > 0 ? Format(" +%d", it.enhancement) : "";
  if (wondrous) return (effects.empty() ? name : effects) + plus;
  if (it.enhancement > 0) return Format("+%d ", it.enhancement) + effects + name;
  return (it.masterwork && it.equipType <= 2 ? "masterwork " : "") + effects + name;
}

// An item's name without the blanks some labels carry.
std::string Label(const CharItem& it, const Words& w) {
  std::string text = w.english ? EnglishItem(it) : ItemLabel(it);
  size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// German: "1W8+3, 19-20/x2"; English as the SRD: "1d8+3/19-20", "1d8+3/x3".
std::string WeaponDamage(const Char* c, const CharItem& it, const Words& w) {
  std::string text = Format("%d%s%d", it.damage[0], w.die, it.damage[1]);
  if (int bonus = WeaponDamageBonus(it)) text += Format("%+d", bonus);
  int threat = ThreatLowest(c, it), times = it.criticalMultiplier;
  if (w.english) {
    if (threat < 20) text += Format("/%d-20", threat);
    return times != 2 ? text + Format("/x%d", times) : text;
  }
  return text + (threat < 20 ? Format(", %d-20/x%d", threat, times) : Format(", x%d", times));
}

// The row's SRD entry of an attack slot: "Claw|Light ray:ranged touch" gives "Light
// ray" and "ranged touch" for slot 1; empty when the row has none. A name may carry its
// plural after a slash ("Antenna/antennae").
std::pair<std::string, std::string> SrdAttackEntry(const Char* c, int slot) {
  const MonsterSource* m = MonsterOf(c);
  const char* names = m && slot >= 0 ? m->srdAttacks.c_str() : nullptr;
  for (int k = 0; k < slot && names; ++k) names = strchr(names, '|') ? strchr(names, '|') + 1 : nullptr;
  if (!names || !*names) return {};
  const char* end = strchr(names, '|');
  std::string entry(names, end ? (size_t)(end - names) : strlen(names));
  size_t colon = entry.find(':');
  if (colon == std::string::npos) return {entry, ""};
  return {entry.substr(0, colon), entry.substr(colon + 1)};
}

// The weapon row a monster's attack slot names (a longbow in a giant's hands); null for a
// natural attack.
const EquipSource* SlotWeapon(const CharAttack& a) {
  int e = FindByName(gSource.equipment, gSource.equipmentCount, a.name);
  return e >= 0 && gSource.equipment[e].equipType == 0 && gSource.equipment[e].criticalMultiplier > 0
             ? &gSource.equipment[e]
             : nullptr;
}

// The English name of a monster's attack, for one attack or for `number` of them: the
// SRD name its row gives for the slot, else its weapon's.
std::string EnglishAttack(const Char* c, const CharAttack& a, int slot, int number) {
  std::string name = SrdAttackEntry(c, slot).first;
  if (name.empty()) {
    int e = FindByName(gSource.equipment, gSource.equipmentCount, a.name);
    name = e >= 0 ? SrdName(gSource.equipment[e]) : DisplayKeys(a.name);
  }
  size_t slash = name.find('/');
  if (number == 1) return Small(name.substr(0, slash));
  return slash != std::string::npos ? name.substr(slash + 1) : Plural(Small(name));
}

// How the attack is made in the English block: as the row says, else by its weapon.
std::string AttackForm(const Char* c, const CharAttack& a, int slot) {
  std::string form = SrdAttackEntry(c, slot).second;
  if (!form.empty()) return " " + form;
  const EquipSource* weapon = SlotWeapon(a);
  return weapon && (weapon->attackType & 4) ? " ranged" : " melee";
}

// Improved Critical for the attack of a slot: the feat names its weapon or natural attack;
// a monster's feat that names none is its first attack's, as the rule books give it.
bool SlotImprovedCritical(const Char* c, const CharAttack& a, int slot) {
  for (int f = 0; f < c->featCount; ++f) {
    int feat = c->feats[f], p = c->featParameters[f];
    if (feat < 0 || feat >= gSource.featCount || gSource.feats[feat].name != "VerbesserterKritischerTreffer") continue;
    if (p == -1 || (p >= 0 && p < gSource.equipmentCount && gSource.equipment[p].name == a.name)) return true;
    if ((p < -1 || p >= gSource.equipmentCount) && slot == 0) return true;
  }
  return false;
}

// A slot's damage with the critical range and multiplier of its weapon (a natural attack
// threatens on 20 only, unless Improved Critical doubles its range), as the items show them.
std::string SlotDamage(const Char* c, const CharAttack& a, int slot, const Words& w) {
  std::string damage = AttackDamage(a, w.die);
  const EquipSource* weapon = SlotWeapon(a);
  int threat = weapon && weapon->critical > 0 && weapon->critical < 20 ? weapon->critical : 20;
  if (SlotImprovedCritical(c, a, slot)) threat = 21 - 2 * (21 - threat);
  if (!weapon && threat == 20) return damage;
  const int times = weapon ? weapon->criticalMultiplier : 2;
  if (w.english)
    return damage + (threat < 20 ? Format("/%d-20", threat) : "") + (times != 2 ? Format("/x%d", times) : "");
  return damage + (threat < 20 ? Format(", %d-20/x%d", threat, times) : Format(", x%d", times));
}

// The attack lines: a single attack of each way to fight, and the full attack (what is
// used together joined by "and", the ways by "or").
void Attacks(const Char* c, const Words& w, std::string* single, std::string* full) {
  std::vector<std::string> singles, fulls;
  std::string together;
  std::vector<std::string> others;
  // English entries say how the attack is made, as the SRD's "+9 melee".
  auto how = [&w](bool ranged) { return w.english ? (ranged ? " ranged" : " melee") : ""; };
  for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
    const CharItem& it = c->items[i];
    if (it.equipType != 0 || it.damage[0] <= 0) continue;
    std::vector<int> bonuses = WeaponAttackBonuses(c, it);
    if (bonuses.empty()) continue;
    std::string all;
    for (int b : bonuses) all += Format(all.empty() ? "%+d" : "/%+d", b);
    const std::string name = Label(it, w), damage = WeaponDamage(c, it, w), kind = how((it.attackType & 4) != 0);
    singles.push_back(Format("%s %+d%s (%s)", name.c_str(), bonuses[0], kind.c_str(), damage.c_str()));
    std::string entry = name + " " + all + kind + " (" + damage + ")";
    if (it.primary || it.secondary)
      together += (together.empty() ? "" : w.and_) + entry;
    else
      others.push_back(entry);
  }
  if (!together.empty()) fulls.push_back(together);
  for (const std::string& e : others) fulls.push_back(e);
  if (c->Unarmed1 > 0) {
    std::string damage = Format("%d%s%d", c->Unarmed1, w.die, c->Unarmed2) + (c->MST ? Format("%+d", c->MST) : "");
    const char* name = w.english ? "unarmed strike" : "Waffenloser Schlag";
    int bonus = MeleeAttack(c).Total(), attacks = c->Attacks + c->MonkAttacks;
    singles.push_back(Format("%s %+d%s (%s)", name, bonus, how(false), damage.c_str()));
    fulls.push_back(Format("%s %+d%s (%s, %d %s)", name, bonus, how(false), damage.c_str(), attacks,
                           w.english ? "attacks" : "Angriffe"));
  }
  if (c->kind == 1)
    for (int category = 0; category < 4; ++category) {
      std::string first, all;
      for (int i = 0; i < c->attackCount && i < kNaturalAttacks; ++i) {
        const CharAttack& a = c->naturals[i];
        if (a.category != category) continue;
        bool counted = a.number > 1 && a.step == 0;
        const std::string name = w.english ? EnglishAttack(c, a, i, 1) : AttackName(a);
        const std::string damage = SlotDamage(c, a, i, w), kind = w.english ? AttackForm(c, a, i) : "";
        // A swarm's attack hits every creature in its space: no roll, only damage.
        if (strcmp(a.name, "Schwarm") == 0) {
          std::string entry = Format("%s (%s)", name.c_str(), damage.c_str());
          if (first.empty()) first = entry;
          all += (all.empty() ? "" : w.and_) + entry;
          continue;
        }
        if (first.empty()) first = Format("%s %+d%s (%s)", name.c_str(), a.attack, kind.c_str(), damage.c_str());
        // Equal attacks read as a count, as the rule books write "7 bites +8".
        std::string bonuses = counted ? Format("%+d", a.attack) : AttackBonuses(a, "/", "%+d");
        std::string entry = !counted    ? name
                            : w.english ? Format("%d %s", a.number, EnglishAttack(c, a, i, a.number).c_str())
                                        : Format("%d × %s", a.number, name.c_str());
        all += (all.empty() ? "" : w.and_) + entry + " " + bonuses + kind + " (" + damage + ")";
      }
      if (!first.empty()) singles.push_back(first), fulls.push_back(all);
    }
  auto join = [&w](const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& p : parts) text += (text.empty() ? "" : w.english ? "; or " : w.or_) + p;
    return text.empty() ? std::string(w.none) : w.english ? Capitalised(text) : text;
  };
  // The single attack of each way to fight: "Claw +9 melee (1d6+6) or rock +3 ranged (2d6+6)".
  std::string one;
  for (const std::string& p : singles) one += (one.empty() ? "" : w.or_) + p;
  *single = one.empty() ? std::string(w.none) : w.english ? Capitalised(one) : one;
  *full = join(fulls);
}

// Monster abilities that act on a foe: the special attacks; every other is a quality.
bool AttackAbility(const std::string& key) {
  static const char* const kAttacks[] = {"Gift",
                                         "VerbessertesErgreifen",
                                         "Umschlingen",
                                         "Verschlingen",
                                         "Anspringen",
                                         "Zerfleischen",
                                         "Zerreißen",
                                         "Zertrampeln",
                                         "SchreckenerregendePräsenz",
                                         "Blickangriff",
                                         "Lähmung",
                                         "Energieentzug",
                                         "Attributsentzug",
                                         "Krankheit",
                                         "ZauberähnlicheFähigkeiten",
                                         "Herbeirufen",
                                         "Netz",
                                         "Festsaugen",
                                         "Blutsaugen",
                                         "Säure",
                                         "Zermalmen",
                                         "Schwanzfegen",
                                         "Versteinerung",
                                         "Einhüllen",
                                         "Hitze",
                                         "Furchtaura",
                                         "HinterhältigerAngriff",
                                         "HöllischeWunde",
                                         "Raserei",
                                         "PsiähnlicheFähigkeiten",
                                         "PsionischeKräfte",
                                         "Gestank",
                                         "Gebell",
                                         "Abscheulichkeit",
                                         "Todeszuckungen"};
  if (key.rfind("Odemwaffe", 0) == 0) return true;
  for (const char* a : kAttacks)
    if (key == a) return true;
  return false;
}

bool HasSpells(const Char* c, bool powers) {
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s)
    for (int level = 0; level < 10; ++level)
      if (c->spellsToDraw[s][level] >= 0 && Psionic(c, s) == powers) return true;
  return false;
}

void Special(const Char* c, const Words& w, std::string* attacks, std::string* qualities) {
  std::vector<std::string> a, q;
  auto add = [&w](std::vector<std::string>& list, const std::string& name) {
    // The SRD starts the list with a capital and writes the rest small ("Darkvision 60 ft., low-light vision").
    std::string shown = w.english ? (list.empty() ? Capitalised(Small(name)) : Small(name)) : name;
    if (!name.empty() && std::find(list.begin(), list.end(), shown) == list.end()) list.push_back(shown);
  };
  const bool en = w.english;
  if (c->Sneak > 0) add(a, Format(en ? "Sneak attack +%dd6" : "Hinterhältiger Angriff +%dW6", c->Sneak));
  if (!SpellLikeLines(c).empty()) add(a, en ? "Spell-like abilities" : "Zauberähnliche Fähigkeiten");
  if (HasSpells(c, false)) add(a, en ? "Spells" : "Zauber");
  if (HasSpells(c, true)) add(a, en ? "Psionics" : "Psionische Kräfte");
  if (c->DarkVision > 0)
    add(q, en ? "Darkvision " + Feet(c->DarkVision / kMetresPerFoot) : "Dunkelsicht " + Metres(c->DarkVision));
  if (c->LowLightVision) add(q, en ? "Low-light vision" : "Dämmersicht");
  if (c->Evasion > 0)
    add(q, c->Evasion > 1 ? (en ? "Improved evasion" : "Verbessertes Entrinnen") : (en ? "Evasion" : "Entrinnen"));
  if (c->UncannyDodge) add(q, en ? "Uncanny dodge" : "Reflexbewegung");
  if (c->MR > 0) add(q, Format(en ? "Spell resistance %d" : "Zauberresistenz %d", c->MR));
  // A monster's abilities whose lines the creature kept (a skeleton loses them).
  for (const AbilitySource* x : KeptAbilities(c)) {
    std::string key = x->name.c_str();
    // Named above with their figures.
    if ((key.rfind("Dunkelsicht", 0) == 0 && c->DarkVision > 0) || (key == "Dämmersicht" && c->LowLightVision) ||
        (key == "Zauberresistenz" && c->MR > 0) || (key == "Entrinnen" && c->Evasion > 0) ||
        (key == "Reflexbewegung" && c->UncannyDodge) || (key == "HinterhältigerAngriff" && c->Sneak > 0))
      continue;
    add(AttackAbility(key) ? a : q, NameOf(*x, w));
  }
  auto join = [&w](const std::vector<std::string>& list) {
    std::string t;
    for (const std::string& s : list) t += (t.empty() ? "" : ", ") + s;
    return t.empty() ? std::string(w.none) : t;
  };
  *attacks = join(a);
  *qualities = join(q);
}

// Entries joined by commas; the English block orders them alphabetically, as the SRD does.
std::string Listed(std::vector<std::string> entries, const Words& w) {
  if (w.english) std::sort(entries.begin(), entries.end());
  std::string text;
  for (const std::string& e : entries) text += (text.empty() ? "" : ", ") + e;
  return text.empty() ? w.none : text;
}

std::string Skills(const Char* c, const Words& w) {
  std::vector<std::string> entries;
  for (int s = 0; s < c->skillCount; ++s) {
    const CharSkill& k = c->skills[s];
    if (k.skill < 0 || k.skill >= gSource.skillCount) continue;
    std::string name = SkillLabel(c, s);
    if (w.english) {
      name = SrdName(gSource.skills[k.skill]);
      if (const char* subject = SkillSubject(c, s, true); *subject) name += std::string(" (") + subject + ")";
    }
    entries.push_back(Format("%s %+d", name.c_str(), k.total));
  }
  return Listed(entries, w);
}

// A feat's parameter in the block's language: the weapon, school, skill or ability.
std::string FeatParameter(const Char* c, int entry, const Words& w) {
  if (!w.english) return FeatParameterName(c, entry);
  int feat = c->feats[entry], p = c->featParameters[entry];
  if (p == -1) return "all";
  if (p < 0 || feat < 0 || feat >= gSource.featCount) return "";
  switch (gSource.feats[feat].dep) {
    case 1:
      return Small(NameAt(gSource.equipment, gSource.equipmentCount, p, w));
    case 2:
      return Small(NameAt(gSource.schools, gSource.schoolCount, p, w));
    case 3:
      return NameAt(gSource.skills, gSource.skillCount, p, w);
    case 4:
      return p < kAttributes ? w.abilityNames[p] : "";
    default:
      return "";
  }
}

// Feats with their parameters, one entry per feat; the weapon, armour and shield
// proficiencies stay out as the rule books leave them out.
std::string Feats(const Char* c, const Words& w) {
  auto proficiency = [](int feat) {
    for (int i = 0; i < 3; ++i)
      for (int k = 0; k < 3; ++k)
        if (gSource.proficiencyFeats[i][k] == feat) return true;
    return gSource.feats[feat].name == "Turmschilde";
  };
  std::vector<std::pair<int, std::string>> shown;
  for (int f = 0; f < c->featCount; ++f) {
    int feat = c->feats[f];
    if (feat < 0 || feat >= gSource.featCount || proficiency(feat)) continue;
    const std::string parameter = FeatParameter(c, f, w);
    auto at = std::find_if(shown.begin(), shown.end(), [&](const auto& e) { return e.first == feat; });
    if (at == shown.end())
      shown.emplace_back(feat, parameter);
    else if (!parameter.empty())
      at->second += (at->second.empty() ? "" : ", ") + parameter;
  }
  std::vector<std::string> entries;
  for (const auto& [feat, parameters] : shown)
    entries.push_back(std::string(NameOf(gSource.feats[feat], w)) +
                      (parameters.empty() ? "" : " (" + parameters + ")"));
  return Listed(entries, w);
}

std::string Organisation(const MonsterSource& m, const Words& w) {
  int low = std::max(m.orgMin, 1), high = std::max(m.orgMax, low);
  const char *solitary = w.english ? "Solitary" : "Einzelgänger", *group = w.english ? "group" : "Gruppe";
  // The SRD writes its ranges with a hyphen, the German block with a dash.
  const char* dash = w.english ? "-" : "–";
  if (high == 1) return solitary;
  if (low == 1 && high == 2) return Format("%s%s%s", solitary, w.or_, w.english ? "pair" : "Paar");
  if (low == 1) return Format("%s%s%s (2%s%d)", solitary, w.or_, group, dash, high);
  return Format("%s (%d%s%d)", Capitalised(group).c_str(), low, dash, high);
}

std::string Treasure(const Char* c, const Words& w) {
  const MonsterSource* m = MonsterOf(c);
  if (!m) return w.english ? "NPC gear" : "NSC-Ausrüstung";
  static const char* const kFactors[] = {"Keine", "Standard", "Doppelter Standard", "Dreifacher Standard",
                                         "Vierfacher Standard"};
  static const char* const kEnglish[] = {"None", "Standard", "Double standard", "Triple standard",
                                         "Quadruple standard"};
  if (m->treasure >= 0 && m->treasure < 5) return (w.english ? kEnglish : kFactors)[m->treasure];
  return Format(w.english ? "%d times standard" : "%dfacher Standard", m->treasure);
}

// Advancement: the hit-dice ranges of the row with the size each one grows to.
std::string Advancement(const MonsterSource& m, const Words& w) {
  std::string text;
  const char* dash = w.english ? "-" : "–";
  const char* dice = w.english ? "HD" : "TW";
  auto range = [&](int low, int high, int grow) {
    if (low < 1 || high < low) return;
    std::string span = low == high ? Format("%d %s", low, dice) : Format("%d%s%d %s", low, dash, high, dice);
    const int size = std::min(m.size + grow, gSource.sizeCount - 1);
    text += (text.empty() ? "" : "; ") + span + " (" + NameAt(gSource.sizes, gSource.sizeCount, size, w) + ")";
  };
  if (m.hdMax > 0) {
    int firstEnd = m.hdInc >= 1 ? m.hdInc - 1 : m.hdMax;
    range(m.hdMin, firstEnd, 0);
    if (m.hdInc >= 1) range(m.hdInc, m.hdInc2 >= 1 ? m.hdInc2 - 1 : m.hdMax, 1);
    if (m.hdInc2 >= 1) range(m.hdInc2, m.hdMax, 2);
  }
  // Rows that may take class levels advance by them, if they are clever enough to learn.
  if (text.empty())
    return m.mixed && m.abilities[3] >= 3 ? (w.english ? "By character class" : "Nach Charakterklasse") : w.none;
  return text;
}

// The block's title: the monster or race, template and classes.
std::string Title(const Char* c, const Words& w) {
  std::string title;
  const RaceSource* race = RaceOf(c);
  if (const MonsterSource* m = MonsterOf(c))
    title = NameOf(*m, w);
  else
    title = !w.english ? RaceName(c) : race ? SrdName(*race) : "";
  if (c->templateIndex > 0)
    title += " (" + std::string(NameAt(gSource.templates, gSource.templateCount, c->templateIndex, w)) + ")";
  const int first = c->kind == 1 ? SpellCharSlots(c) : 0;
  for (int s = first; s < c->classCount && s < kMaxClassSlots; ++s)
    if (const CharSource* k = ClassAt(c->classes[s]))
      title += (s == first ? (w.english && c->kind != 1 ? " " : ", ") : "/") +
               Format("%s %d", NameOf(*k, w), c->classLevels[s]);
  return title;
}

struct Out {
  std::vector<std::string>* lines;
  size_t width;
  const Words& w;
  // A long entry wraps at word boundaries, its continuation lines indented; a word wider
  // than the line is broken.
  // `lead` blanks go before the first line, `indent` before each further one.
  void Add(const std::string& text, size_t indent = 2, size_t lead = 0) {
    std::vector<std::string> words = Wrap(text, width - lead);
    if (words.empty()) {
      lines->push_back("");
      return;
    }
    std::string rest;
    for (size_t i = 1; i < words.size(); ++i) rest += (rest.empty() ? "" : " ") + words[i];
    Push(std::string(lead, ' ') + words[0]);
    if (!rest.empty())
      for (const std::string& line : Wrap(rest, width - indent)) Push(std::string(indent, ' ') + line);
  }
  void Push(std::string line) {
    while (CodePoints(line) > width) {
      std::string head = Cut(line, width);
      lines->push_back(head);
      line = "  " + line.substr(head.size());
    }
    lines->push_back(line);
  }
  void Entry(const char* label, const std::string& value) { Add(std::string(label) + ": " + value); }
};

void Possessions(const Char* c, Out& out);

// A way to move and a manoeuvrability in the block's language.
std::string MoveWord(const std::string& english, const Words& w) {
  static const std::pair<const char*, const char*> kWords[] = {
      {"fly", "Fliegen"},       {"swim", "Schwimmen"}, {"climb", "Klettern"},           {"burrow", "Graben"},
      {"clumsy", "unbeholfen"}, {"poor", "schlecht"},  {"average", "durchschnittlich"}, {"good", "gut"},
      {"perfect", "perfekt"}};
  if (w.english) return english;
  for (auto [en, de] : kWords)
    if (english == en) return de;
  return english;
}

// "Speed: 30 ft. (6 squares), fly 40 ft. (good)"; German in metres. The row's further
// ways to move follow the speed; a flyer's or swimmer's speed is named by its way.
std::string Speed(const Char* c, const Words& w) {
  const int squares = (int)std::floor(c->Range / 1.5 + 1e-6);
  auto distance = [&w](double metres) { return w.english ? Feet(metres / kMetresPerFoot) : Metres(metres); };
  std::string own = distance(c->Range), more;
  for (const MoveMode& m : MovementModes(c)) {
    const std::string manoeuvre = m.manoeuvre.empty() ? "" : " (" + MoveWord(m.manoeuvre, w) + ")";
    if (m.own)
      own = Capitalised(MoveWord(m.mode, w)) + " " + own + manoeuvre;
    else
      more += ", " + MoveWord(m.mode, w) + " " + distance(m.feet * kMetresPerFoot) + manoeuvre;
  }
  if (w.english) return own + Format(" (%d square%s)", squares, squares == 1 ? "" : "s") + more;
  return own + Format(" (%d %s)", squares, squares == 1 ? "Feld" : "Felder") + more;
}

std::string SpaceReach(const Char* c, const Words& w) {
  const MonsterSource* m = MonsterOf(c);
  const int step = SizeStep(c);
  const double space = kSpaceFeet[step + 4];
  const int reach = m && m->reach >= 0 ? m->reach : kReachFeet[step + 4];
  if (w.english) return Feet(space) + "/" + Feet(reach);
  return Metres(space * kMetresPerFoot) + "/" + Metres(reach * kMetresPerFoot);
}

std::string SizeAndType(const Char* c, const Words& w) {
  const MonsterSource* m = MonsterOf(c);
  if (m) {
    int t = c->creatureType >= 0 && c->creatureType < gSource.monsterTypeCount ? c->creatureType : m->type;
    const char* size = NameAt(gSource.sizes, gSource.sizeCount, MonsterSize(c), w);
    const char* type = NameAt(gSource.monsterTypes, gSource.monsterTypeCount, t, w);
    return w.english ? Format("%s %s", size, type) : Format("%s, %s", size, type);
  }
  const RaceSource* race = RaceOf(c);
  const char* size = NameAt(gSource.sizes, gSource.sizeCount, RaceSize(c), w);
  if (w.english) return Format("%s Humanoid (%s)", size, race ? SrdName(*race) : "");
  return Format("%s, Humanoid (%s)", size, RaceName(c));
}

std::string AlignmentText(const Char* c, const Words& w) {
  std::string alignment = AlignmentName(c->alignment, w.english);
  std::string tendency = MonsterOf(c) ? AlignmentTendency(c, w.english) : "";
  if (alignment.empty()) alignment = w.none;
  // The SRD names a monster's line ("Usually chaotic evil"), the German block both.
  if (w.english) return tendency.empty() ? alignment : tendency;
  return tendency.empty() ? alignment : alignment + " (" + tendency + ")";
}

// One hit die smaller than its type's is a fraction of that die, as the SRD writes it:
// "1d4" of an animal reads "1/2 d8".
std::string FractionalDie(const Char* c, const std::string& expression) {
  const MonsterSource* m = MonsterOf(c);
  std::vector<Dice> dice = HitDice(c);
  if (!m || dice.size() != 1 || dice[0].count != 1) return expression;
  int t = c->creatureType >= 0 && c->creatureType < gSource.monsterTypeCount ? c->creatureType : m->type;
  int typeDie = t >= 0 && t < gSource.monsterTypeCount ? gSource.monsterTypes[t].hitDie : 0;
  int faces = dice[0].faces;
  if (typeDie <= faces || (typeDie != 2 * faces && typeDie != 4 * faces)) return expression;
  std::string fixed = expression.substr(Format("1d%d", faces).size());
  return Format("1/%d d%d", typeDie / faces, typeDie) + fixed;
}

// The figures of the block's head, in the order of the rule books.
void Head(const Char* c, Out& out) {
  const Words& w = out.w;
  const MonsterSource* m = MonsterOf(c);
  out.Entry(w.sizeType, SizeAndType(c, w));
  std::string expression = HitDiceExpression(c, w.die);
  if (w.english) expression = FractionalDie(c, expression);
  if (w.english)
    out.Entry(w.hitDice, Format("%s (%d hp)", expression.c_str(), c->shownHitPoints));
  else
    out.Entry(w.hitDice,
              Format("%s (%d TP, Durchschnitt %d)", expression.c_str(), c->shownHitPoints, AverageHitPoints(c)));
  out.Entry(w.initiative, Format("%+d", c->Init + c->MGE));
  out.Entry(w.speed, Speed(c, w));
  out.Entry(w.armorClass, ArmorText(c, w));
  out.Entry(w.baseAttack, Format("%+d/", c->GA + c->epicAttack) + GrappleText(c, w));
  std::string single, full;
  Attacks(c, w, &single, &full);
  out.Entry(w.attack, single);
  out.Entry(w.fullAttack, full);
  out.Entry(w.spaceReach, SpaceReach(c, w));
  std::string attacks, qualities;
  Special(c, w, &attacks, &qualities);
  out.Entry(w.specialAttacks, attacks);
  out.Entry(w.specialQualities, qualities);
  // Without a Dexterity score there is no Reflex save: the SRD writes "—", the German
  // block keeps the sheet's figure.
  const std::string reflex = c->absent[1] && w.english ? std::string(w.none) : Format("%+d", Save(c, 0).Total());
  out.Entry(w.saves, Format("%s %+d, %s %s, %s %+d", w.fort, Save(c, 2).Total(), w.ref, reflex.c_str(), w.will,
                            Save(c, 1).Total()));
  std::string abilities;
  for (int a = 0; a < kAttributes; ++a)
    abilities += (a ? ", " : "") + std::string(w.abilityNames[a]) + " " +
                 (c->absent[a] ? std::string(w.none) : Format("%d", Abilities(c)[a]));
  out.Entry(w.abilities, abilities);
  out.Entry(w.skills, Skills(c, w));
  out.Entry(w.feats, Feats(c, w));
  if (m) {
    const char* environment = w.english ? m->srdEnvironment.c_str() : m->environment.c_str();
    if (*environment || w.english) out.Entry(w.environment, *environment ? environment : w.none);
    out.Entry(w.organization, Organisation(*m, w));
  }
  out.Entry(w.challenge, c->mixed ? Format("%d (%d/%d)", c->cr + c->crShare, c->cr, c->crShare) : Format("%d", c->cr));
  out.Entry(w.treasure, Treasure(c, w));
  out.Entry(w.alignment, AlignmentText(c, w));
  if (m) out.Entry(w.advancement, Advancement(*m, w));
  const RaceSource* race = c->kind == 0 ? RaceOf(c) : nullptr;
  out.Entry(w.levelAdjustment, race ? Format("%+d", race->crModifier) : w.none);
}

// A monster's spell-like abilities in English: the SRD names of the spells its line names.
std::vector<std::string> EnglishSpellLike(const Char* c) {
  std::vector<std::string> lines;
  for (std::string line : SpellLikeLines(c)) {
    for (auto [german, english] :
         {std::pair{"Nach Belieben", "At will"}, std::pair{"/Tag", "/day"}, std::pair{"/Woche", "/week"},
          std::pair{"Zauberstufe", "Caster level"}, std::pair{"(SG ", "(DC "}})
      for (size_t at; (at = line.find(german)) != std::string::npos;) line.replace(at, strlen(german), english);
    // Each spell between the colon and the commas, looked up by its German name.
    size_t colon = line.find(": ");
    if (colon == std::string::npos) {
      lines.push_back(line);
      continue;
    }
    std::string out = line.substr(0, colon + 2), rest = line.substr(colon + 2);
    size_t start = 0;
    while (start <= rest.size()) {
      size_t comma = rest.find(", ", start);
      std::string entry = rest.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      size_t paren = entry.find(" (");
      std::string name = entry.substr(0, paren), tail = paren == std::string::npos ? "" : entry.substr(paren);
      int sp = -1;
      for (int i = 0; i < gSource.spellCount && sp < 0; ++i)
        if (name == DisplayName(gSource.spells[i])) sp = i;
      out += (start ? ", " : "") + (sp >= 0 ? Small(SrdName(gSource.spells[sp])) : name) + tail;
      if (comma == std::string::npos) break;
      start = comma + 2;
    }
    lines.push_back(out);
  }
  return lines;
}

// The special abilities, one per line: the German block as the sheet's notes read them,
// the English one with the spell-like abilities (the notes' prose is German only).
void AbilityLines(const Char* c, Out& out) {
  std::vector<std::string> abilityLines;
  if (out.w.english) {
    abilityLines = EnglishSpellLike(c);
  } else {
    for (const std::string& line : NoteLines(c))
      if (!line.empty() && line.rfind("Template: ", 0) != 0) abilityLines.push_back(line);
  }
  if (abilityLines.empty()) return;
  out.lines->push_back("");
  out.Add(out.w.english ? "Spell-Like Abilities:" : "Besondere Fähigkeiten:");
  for (const std::string& line : abilityLines) out.Add(line, 4, 2);
}

// Spells and powers by level with their save DCs.
void Spells(const Char* c, Out& out) {
  const Words& w = out.w;
  bool spellsHead = false;
  for (int slot = 0; slot < c->classCount && slot < kMaxClassSlots; ++slot) {
    const CharSource* k = ClassAt(c->classes[slot]);
    if (!k) continue;
    if (!CastsAnything(c, slot)) continue;
    if (!spellsHead) {
      out.lines->push_back("");
      bool spells = HasSpells(c, false), powers = HasSpells(c, true);
      if (w.english)
        out.Add(spells ? (powers ? "Spells and Powers:" : "Spells:") : "Powers:");
      else
        out.Add(spells ? (powers ? "Zauber und Kräfte:" : "Zauber:") : "Kräfte:");
      spellsHead = true;
    }
    if (k->powerType != 0) {
      out.Add(Format(w.english ? "%s (power points %d):" : "%s (Kraftpunkte %d):", NameOf(*k, w), c->PowerPoints), 4,
              2);
      for (int level = 0; level < 10; ++level) {
        if (c->spellsToDraw[slot][level] <= 0) continue;
        std::string names;
        for (int p : ChosenAt(c, slot, level, gSource.powerCount))
          names += (names.empty() ? "" : ", ") + Format(w.english ? "%s (DC %d)" : "%s (SG %d)",
                                                        NameAt(gSource.powers, gSource.powerCount, p, w),
                                                        PowerDC(c, slot, p, level));
        out.Add(
            Format(w.english ? "Level %d (%d known): " : "Grad %d (%d bekannt): ", level, c->spellsKnown[slot][level]) +
                (names.empty() ? w.none : names),
            6, 4);
      }
      continue;
    }
    out.Add(Format(w.english ? "%s (caster level %d):" : "%s (Zauberstufe %d):", NameOf(*k, w), c->casterLevel[slot]),
            4, 2);
    for (int level = 0; level < 10; ++level) {
      if (c->spellsToDraw[slot][level] < 0) continue;
      std::string names;
      for (int sp : ChosenAt(c, slot, level, gSource.spellCount))
        names += (names.empty() ? "" : ", ") +
                 (w.english ? Small(NameAt(gSource.spells, gSource.spellCount, sp, w)) : std::string(SpellName(sp)));
      out.Add(SpellLevelHead(c, slot, level, w.english) + (names.empty() ? w.none : names), 6, 4);
    }
    if (k->domains > 0) {
      std::string names = DomainSpellList(c, w.english);
      if (!names.empty()) out.Add((w.english ? "Domain spells: " : "Domänenzauber: ") + names, 6, 4);
    }
  }
}

void Block(const Char* c, Out& out, const std::string& heading) {
  const Words& w = out.w;
  // A hoard (treasure only) is no creature: its items and their value.
  if (c->kind == 0 && c->classCount == 0 && c->race < 0) {
    out.Add(heading + (w.english ? "Treasure" : "Schatz"));
    Possessions(c, out);
    return;
  }
  out.Add(heading + Title(c, w));
  Head(c, out);
  AbilityLines(c, out);
  Spells(c, out);
  Possessions(c, out);

  // Companions: blocks of their own.
  auto companion = [&out](const std::string& heading, const Char* k) {
    if (!k) return;
    out.lines->push_back("");
    Block(k, out, heading);
  };
  companion(w.english ? "Familiar: " : "Vertrauter: ", c->familiarChar);
  companion(w.english ? "Special mount: " : "Reittier: ", c->mountChar);
  companion(w.english ? "Fiendish servant: " : "Teuflischer Diener: ", c->servantChar);
  for (int i = 0; i < c->companionCount && i < kMaxCompanions; ++i)
    companion(Format(w.english ? "Animal companion (%d / %d): " : "Tiergefährte (%d / %d): ", i + 1, c->companionCount),
              c->companionChars[i]);
}

// Possessions with their prices: the own equipment, then the treasure.
void Possessions(const Char* c, Out& out) {
  const Words& w = out.w;
  std::string own, treasure;
  for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
    const CharItem& it = c->items[i];
    std::string& list = i >= c->treasureIndex ? treasure : own;
    list +=
        (list.empty() ? "" : ", ") + Label(it, w) + Format(w.english ? " (%d gp)" : " (%d GM)", it.value + it.price);
  }
  if (!own.empty() || !treasure.empty() || c->money) {
    out.lines->push_back("");
    if (!own.empty()) out.Entry(w.english ? "Possessions" : "Besitz", own);
    if (!treasure.empty()) out.Entry(w.english ? "Treasure" : "Schatz", treasure);
    out.Entry(w.english ? "Value" : "Wert",
              Format(w.english ? "%d gp, of which %d gp in coin" : "%d GM, davon Geld %d GM", c->wealth, c->money));
  }
}

}  // namespace

std::string HitDiceExpression(const Char* c, const char* die) {
  std::string text;
  for (const Dice& d : HitDice(c)) {
    if (!text.empty()) text += '+';
    text += Format("%d%s%d", d.count, die, d.faces);
  }
  int fixed = FixedHitPoints(c);
  if (text.empty()) return Format("%d", fixed);
  return fixed ? text + Format("%+d", fixed) : text;
}

std::vector<std::string> StatBlock(const Char* c, int width, BlockLanguage language) {
  std::vector<std::string> lines;
  Out out{&lines, (size_t)std::max(width, 20), language == BlockLanguage::kEnglish ? kEnglish : kGerman};
  Block(c, out, "");
  return lines;
}

}  // namespace RUNTIME_NS
