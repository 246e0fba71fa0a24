// Tabletop actors: the creature's base values in the tabletop system's data model, every
// English name from the SRD name its table row carries (the display name where a row has
// none). Totals the tabletop recomputes are written as the sheet shows them, so the first
// view before its recalculation agrees with the sheet.
#include "shell/actor.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "generator/combat.h"
#include "generator/spells.h"
#include "shell/figures.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

using Json = nlohmann::ordered_json;

// The row's SRD name, else the name a person reads.
template <class R>
const char* English(const R& row) {
  return row.srd.length ? row.srd.c_str() : DisplayName(row);
}

// Objects merge key by key; any other value of `over` replaces the one in `base`.
void Merge(Json& base, const Json& over) {
  if (!base.is_object() || !over.is_object()) {
    base = over;
    return;
  }
  for (auto it = over.begin(); it != over.end(); ++it) {
    if (base.contains(it.key()))
      Merge(base[it.key()], it.value());
    else
      base[it.key()] = it.value();
  }
}

Json Merged(Json base, const Json& over) {
  Merge(base, over);
  return base;
}

// Skill keys of the tabletop by the SRD's skill names (compared in lower case).
struct SkillKey {
  const char* srd;
  const char* key;
  const char* ability;
  bool trained, armor;
};
constexpr SkillKey kSkillKeys[] = {
    {"appraise", "apr", "int", false, false},
    {"balance", "blc", "dex", false, true},
    {"bluff", "blf", "cha", false, false},
    {"climb", "clm", "str", false, true},
    {"concentration", "coc", "con", false, false},
    {"craft", "crf", "int", false, false},
    {"decipher script", "dsc", "int", true, false},
    {"diplomacy", "dip", "cha", false, false},
    {"disable device", "dev", "int", true, false},
    {"disguise", "dis", "cha", false, false},
    {"escape artist", "esc", "dex", false, true},
    {"forgery", "fog", "int", false, false},
    {"gather information", "gif", "cha", false, false},
    {"handle animal", "han", "cha", true, false},
    {"heal", "hea", "wis", false, false},
    {"hide", "hid", "dex", false, true},
    {"intimidate", "int", "cha", false, false},
    {"jump", "jmp", "str", false, true},
    {"knowledge (arcana)", "kar", "int", true, false},
    {"knowledge (dungeoneering)", "kdu", "int", true, false},
    {"knowledge (architecture and engineering)", "ken", "int", true, false},
    {"knowledge (geography)", "kge", "int", true, false},
    {"knowledge (history)", "khi", "int", true, false},
    {"knowledge (local)", "klo", "int", true, false},
    {"knowledge (nature)", "kna", "int", true, false},
    {"knowledge (nobility and royalty)", "kno", "int", true, false},
    {"knowledge (the planes)", "kpl", "int", true, false},
    {"knowledge (religion)", "kre", "int", true, false},
    {"knowledge (psionics)", "kps", "int", true, false},
    {"listen", "lis", "wis", false, false},
    {"move silently", "mos", "dex", false, true},
    {"open lock", "opl", "dex", true, false},
    {"perform", "prf", "cha", false, false},
    {"profession", "pro", "wis", true, false},
    {"ride", "rid", "dex", false, false},
    {"search", "src", "int", false, false},
    {"sense motive", "sen", "wis", false, false},
    {"sleight of hand", "slt", "dex", true, true},
    {"speak language", "spk", "", true, false},
    {"spellcraft", "spl", "int", true, false},
    {"spot", "spt", "wis", false, false},
    {"survival", "sur", "wis", false, false},
    {"swim", "swm", "str", false, true},
    {"tumble", "tmb", "dex", false, true},
    {"use magic device", "umd", "cha", true, false},
    {"use rope", "uro", "dex", false, false},
    {"autohypnosis", "aut", "wis", true, false},
    {"psicraft", "psi", "int", true, false},
    {"use psionic device", "upd", "cha", true, false},
};

constexpr const char* kAbilityKeys[kAttributes] = {"str", "dex", "con", "int", "wis", "cha"};
constexpr const char* kAbilityNames[kAttributes] = {"Strength",     "Dexterity", "Constitution",
                                                    "Intelligence", "Wisdom",    "Charisma"};

std::string Lower(std::string s) {
  for (char& ch : s)
    if (ch >= 'A' && ch <= 'Z') ch = (char)(ch - 'A' + 'a');
  return s;
}

// The tabletop's key of a skill row; "" for a skill it does not know.
const char* SkillKeyOf(int skill) {
  if (skill < 0 || skill >= gSource.skillCount) return "";
  std::string name = Lower(English(gSource.skills[skill]));
  for (const SkillKey& k : kSkillKeys)
    if (name == k.srd) return k.key;
  return "";
}

// A custom skill's tag: lower-case letters and digits of its name.
std::string CustomSkillTag(int skill) {
  std::string tag;
  for (char ch : Lower(English(gSource.skills[skill])))
    if ((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9')) tag += ch;
  return tag.empty() ? Format("skill%d", skill) : tag;
}

// "Magical Beast" → "magicalBeast", "Psion (Telepath)" → "psionTelepath".
std::string CamelTag(const std::string& name) {
  std::string tag;
  bool upper = false;
  for (char ch : name) {
    bool alnum = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
    if (!alnum) {
      upper = !tag.empty();
      continue;
    }
    if (tag.empty())
      tag += (ch >= 'A' && ch <= 'Z') ? (char)(ch - 'A' + 'a') : ch;
    else
      tag += upper && ch >= 'a' && ch <= 'z' ? (char)(ch - 'a' + 'A') : ch;
    upper = false;
  }
  return tag;
}

const char* kAlignmentNames[9] = {"Lawful Good",     "Neutral Good", "Chaotic Good", "Lawful Neutral", "True Neutral",
                                  "Chaotic Neutral", "Lawful Evil",  "Neutral Evil", "Chaotic Evil"};

// The text as HTML paragraphs, one per line. The JSON library escapes the JSON; the
// markup's own special characters (&, <, >) are escaped here.
std::string Paragraphs(const std::string& text) {
  std::string html, line;
  auto flush = [&]() {
    size_t first = line.find_first_not_of(" \t\r");
    if (first != std::string::npos) {
      std::string escaped;
      for (char ch : line.substr(first)) {
        if (ch == '&')
          escaped += "&amp;";
        else if (ch == '<')
          escaped += "&lt;";
        else if (ch == '>')
          escaped += "&gt;";
        else if (ch != '\r')
          escaped += ch;
      }
      html += "<p>" + escaped + "</p>";
    }
    line.clear();
  };
  for (char ch : text) {
    if (ch == '\n')
      flush();
    else
      line += ch;
  }
  flush();
  return html;
}

bool Hoard(const Char* c) { return c->kind == 0 && c->classCount == 0 && c->race < 0; }
int FirstClassSlot(const Char* c) { return c->kind == 1 ? SpellCharSlots(c) : 0; }
// Class slots with hit dice of their own: a character's classes, a mixed creature's class part.
bool ClassItems(const Char* c) { return c->kind == 0 || c->mixed; }

int SizeIndex(const Char* c) { return c->kind == 1 ? MonsterSize(c) : RaceSize(c); }

const char* SizeCode(const Char* c) {
  static const char* const kNames[] = {"Fine",  "Diminutive", "Tiny",       "Small",   "Medium",
                                       "Large", "Huge",       "Gargantuan", "Colossal"};
  static const char* const kCodes[] = {"fine", "dim", "tiny", "sm", "med", "lg", "huge", "grg", "col"};
  int s = SizeIndex(c);
  if (s >= 0 && s < gSource.sizeCount)
    for (int i = 0; i < 9; ++i)
      if (gSource.sizes[s].name == kNames[i]) return kCodes[i];
  return "med";
}

int MonsterTypeOf(const Char* c) {
  const MonsterSource* m = MonsterOf(c);
  int t = c->creatureType >= 0 && c->creatureType < gSource.monsterTypeCount ? c->creatureType : m ? m->type : -1;
  return t >= 0 && t < gSource.monsterTypeCount ? t : -1;
}

std::string ClassTitle(const Char* c) {
  std::string text;
  for (int s = FirstClassSlot(c); s < c->classCount && s < kMaxClassSlots; ++s)
    if (const CharSource* k = ClassAt(c->classes[s]))
      text += (text.empty() ? "" : "/") + Format("%s %d", English(*k), c->classLevels[s]);
  return text;
}

// The actor's name: monster or race, template, classes ("Human Fighter 5", "Troll (Zombie), Fighter 2").
std::string Title(const Char* c) {
  if (Hoard(c)) return "Treasure";
  std::string title;
  if (const MonsterSource* m = MonsterOf(c))
    title = English(*m);
  else if (const RaceSource* r = RaceOf(c))
    title = English(*r);
  if (const TemplateSource* t = TemplateOf(c)) title += std::string(" (") + English(*t) + ")";
  std::string classes = ClassTitle(c);
  if (!classes.empty()) title += (c->kind == 1 ? ", " : " ") + classes;
  return title.empty() ? "Creature" : title;
}

// Where a creature stands in the file and who belongs to it.
struct Link {
  const Char* c;
  std::string name;
  std::string masterRole;  // "Familiar", ... ; empty for a creature of the batch
  std::string masterName;
  std::vector<std::pair<std::string, std::string>> companions;  // role, name
};

// An item's English name: the specific item's, else the equipment's with its enhancement
// and the SRD names of its effects ("+1 Longsword (Flaming)").
std::string ItemName(const CharItem& it) {
  std::string name;
  if (it.specific > 0 && it.specific < gSource.specificCount) return NamedItem(it, true);
  if (it.equipment >= 0 && it.equipment < gSource.equipmentCount) name = English(gSource.equipment[it.equipment]);
  if (name.empty()) name = ItemLabel(it);
  if (it.enhancement > 0)
    name = Format("+%d ", it.enhancement) + name;
  else if (it.masterwork)
    name = "Masterwork " + name;
  std::string effects;
  for (int k = 0; k < it.effectCount && k < kItemEffects; ++k)
    if (it.effects[k] >= 0 && it.effects[k] < gSource.effectCount)
      effects += (effects.empty() ? "" : ", ") + std::string(English(gSource.effects[it.effects[k]]));
  return effects.empty() ? name : name + " (" + effects + ")";
}

// What the item's effects do, one paragraph each (the sheet's own lines).
std::string ItemDescription(const CharItem& it) {
  std::string text;
  for (int k = 0; k < it.effectCount && k < kItemEffects; ++k)
    if (*EffectText(it, k)) text += std::string(EffectText(it, k)) + "\n";
  if (it.label[0]) text += ItemLabel(it) + "\n";
  return Paragraphs(text);
}

const EquipSource* EquipmentOf(const CharItem& it) {
  return it.equipment >= 0 && it.equipment < gSource.equipmentCount ? &gSource.equipment[it.equipment] : nullptr;
}

bool Ranged(const CharItem& it) {
  const EquipSource* e = EquipmentOf(it);
  return e && (e->attackType & 4) && !(e->attackType & 1);
}

// The SRD weapon table's damage type (B, P, S; "PS" piercing or slashing, "BP" bludgeoning
// and piercing) and range increment in feet, by the name's words in alphabetical order.
struct WeaponFacts {
  const char* words;
  const char* type;
  int range;
};
constexpr WeaponFacts kWeaponFacts[] = {{"gauntlet", "B", 0},
                                        {"strike unarmed", "B", 0},
                                        {"dagger", "PS", 10},
                                        {"dagger punching", "P", 0},
                                        {"gauntlet spiked", "P", 0},
                                        {"light mace", "B", 0},
                                        {"sickle", "S", 0},
                                        {"club", "B", 10},
                                        {"heavy mace", "B", 0},
                                        {"morningstar", "BP", 0},
                                        {"shortspear", "P", 20},
                                        {"longspear", "P", 0},
                                        {"quarterstaff", "B", 0},
                                        {"spear", "P", 20},
                                        {"crossbow heavy", "P", 120},
                                        {"crossbow light", "P", 80},
                                        {"dart", "P", 20},
                                        {"javelin", "P", 30},
                                        {"sling", "B", 50},
                                        {"axe throwing", "S", 10},
                                        {"hammer light", "B", 20},
                                        {"handaxe", "S", 0},
                                        {"kukri", "S", 0},
                                        {"light pick", "P", 0},
                                        {"sap", "B", 0},
                                        {"light shield", "B", 0},
                                        {"armor spiked", "P", 0},
                                        {"light shield spiked", "P", 0},
                                        {"short sword", "P", 0},
                                        {"battleaxe", "S", 0},
                                        {"flail", "B", 0},
                                        {"longsword", "S", 0},
                                        {"heavy pick", "P", 0},
                                        {"rapier", "P", 0},
                                        {"scimitar", "S", 0},
                                        {"heavy shield", "B", 0},
                                        {"heavy shield spiked", "P", 0},
                                        {"trident", "P", 10},
                                        {"warhammer", "B", 0},
                                        {"falchion", "S", 0},
                                        {"glaive", "S", 0},
                                        {"greataxe", "S", 0},
                                        {"greatclub", "B", 0},
                                        {"flail heavy", "B", 0},
                                        {"greatsword", "S", 0},
                                        {"guisarme", "S", 0},
                                        {"halberd", "PS", 0},
                                        {"lance", "P", 0},
                                        {"ranseur", "P", 0},
                                        {"scythe", "PS", 0},
                                        {"longbow", "P", 100},
                                        {"composite longbow", "P", 110},
                                        {"shortbow", "P", 60},
                                        {"composite shortbow", "P", 70},
                                        {"kama", "S", 0},
                                        {"nunchaku", "B", 0},
                                        {"sai", "B", 10},
                                        {"siangham", "P", 0},
                                        {"bastard sword", "S", 0},
                                        {"dwarven waraxe", "S", 0},
                                        {"whip", "S", 0},
                                        {"axe double orc", "S", 0},
                                        {"chain spiked", "P", 0},
                                        {"dire flail", "B", 0},
                                        {"gnome hammer hooked", "BP", 0},
                                        {"sword two-bladed", "S", 0},
                                        {"dwarven urgrosh", "PS", 0},
                                        {"bolas", "B", 10},
                                        {"crossbow hand", "P", 30},
                                        {"crossbow heavy repeating", "P", 120},
                                        {"crossbow light repeating", "P", 80},
                                        {"shuriken", "P", 10}};

// A weapon's facts by its SRD name ("Short Sword" finds "Sword, short"); null for none.
const WeaponFacts* WeaponFactsOf(const std::string& srd) {
  std::vector<std::string> words;
  std::string word;
  for (char ch : Lower(srd) + " ") {
    if ((ch >= 'a' && ch <= 'z') || ch == '-') {
      word += ch;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  std::sort(words.begin(), words.end());
  std::string key;
  for (const std::string& w : words) key += (key.empty() ? "" : " ") + w;
  for (const WeaponFacts& f : kWeaponFacts)
    if (key == f.words) return &f;
  return nullptr;
}

// Label and uid of a damage type code of the table above.
std::pair<const char*, const char*> DamageType(const WeaponFacts* f) {
  const std::string type = f ? f->type : "";
  if (type == "B") return {"B", "damage-bludg"};
  if (type == "P") return {"P", "damage-piercing"};
  if (type == "S") return {"S", "damage-slashing"};
  if (type == "PS") return {"P or S", "damage-piercing-or-slashing"};
  if (type == "BP") return {"B and P", "damage-piercing-bludgeoning"};
  return {"", "damage-untyped"};
}

// Damage type of a natural attack by the key of its row.
const char* NaturalDamageType(const std::string& key) {
  static const char* const kBludgeoning[] = {"Hieb",     "Flügel",   "Huf",      "Schwanzhieb", "Slap",
                                             "Tentakel", "Kopfstoß", "Stampfen", "Felsbrocken", "Schwanz"};
  static const char* const kPiercing[] = {"Stachel", "Horn", "Stich"};
  static const char* const kSlashing[] = {"Klaue", "Krallen", "Kralle", "Zange"};
  if (key == "Biss") return "damage-piercing-or-bludgeoning";
  for (const char* k : kBludgeoning)
    if (key == k) return "damage-bludg";
  for (const char* k : kPiercing)
    if (key == k) return "damage-piercing";
  for (const char* k : kSlashing)
    if (key == k) return "damage-piercing-or-slashing";
  return "damage-untyped";
}

// The equipment row a stat-block attack names (weapons and the common natural attacks
// have one); null for none.
const EquipSource* AttackRow(const CharAttack& a) {
  for (int e = 0; e < gSource.equipmentCount; ++e)
    if (gSource.equipment[e].name == a.name) return &gSource.equipment[e];
  return nullptr;
}

// A natural attack's English name: the SRD name the monster's row gives its slot
// ("Claw|Bite|Tail slap"), else the equipment row's, else the name the sheet shows.
std::string NaturalName(const Char* c, const CharAttack& a, int slot) {
  const MonsterSource* m =
      c->kind == 1 && c->monster >= 0 && c->monster < gSource.monsterCount ? &gSource.monsters[c->monster] : nullptr;
  // Only while the slot still holds the row's attack: a template may replace it (a
  // skeleton's claws instead of a sting).
  if (m && (slot >= kMonsterAttacks || !(m->attackNames[slot] == a.name))) m = nullptr;
  const char* names = m ? m->srdAttacks.c_str() : nullptr;
  for (int k = 0; k < slot && names; ++k) names = strchr(names, '|') ? strchr(names, '|') + 1 : nullptr;
  if (names && *names && *names != '|') {
    const char* end = strchr(names, '|');
    std::string name(names, end ? (size_t)(end - names) : strlen(names));
    // The stat block's notation: "name:form" and "name/plural" give the name first.
    name = name.substr(0, name.find_first_of(":/"));
    if (!name.empty()) name[0] = (char)toupper((unsigned char)name[0]);
    return name;
  }
  const EquipSource* row = AttackRow(a);
  return row ? std::string(English(*row)) : AttackName(a);
}

const char* SchoolCode(int school) {
  if (school < 0 || school >= gSource.schoolCount) return "uni";
  std::string name = Lower(English(gSource.schools[school]));
  static const char* const kCodes[][2] = {{"abjuration", "abj"},  {"conjuration", "con"},   {"divination", "div"},
                                          {"enchantment", "enc"}, {"evocation", "evo"},     {"illusion", "ill"},
                                          {"necromancy", "nec"},  {"transmutation", "trs"}, {"universal", "uni"}};
  for (const auto& code : kCodes)
    if (name == code[0]) return code[1];
  return "uni";
}

// A power's discipline by the SRD's name of it.
const char* DisciplineCode(const PowerSource& p) {
  static const char* const kCodes[][2] = {{"Clairsentience", "cla"},  {"Metacreativity", "met"},
                                          {"Psychokinesis", "kin"},   {"Psychometabolism", "bol"},
                                          {"Psychoportation", "por"}, {"Telepathy", "tel"}};
  for (const auto& code : kCodes)
    if (p.srdDiscipline == code[0]) return code[1];
  return "";
}

class Builder {
 public:
  Builder(const Char* c, int actor) : c_(c), actor_(actor) {}
  Json Build(const Link& link);

 private:
  std::string NextId() { return Format("Ks%05dIt%07d", actor_ % 100000, ++item_ % 10000000); }
  Json& Add(const std::string& name, const char* type, const char* img, const Json& system);
  Json System(const Link& link);
  void Classes();
  void BaseChanges();
  void ArmorBalance();
  void Feats();
  void Skills(Json& system);
  void Possessions();
  std::string WeaponAttack(const CharItem& it, const std::string& weaponId, const std::string& name);
  void NaturalAttacks();
  void Spells(Json& system);
  void SpellLike(Json& system);
  void MonsterAbilities();

  const Char* c_;
  int actor_;
  int item_ = 0;
  Json items_ = Json::array();
  std::vector<bool> classSkill_ = std::vector<bool>(gSource.skillCount > 0 ? gSource.skillCount : 0, false);
};

Json ItemDefaults(const char* type) {
  Json d = {{"description", {{"value", ""}, {"chat", ""}, {"unidentified", ""}}},
            {"tags", Json::array()},
            {"source", ""},
            {"customAttributes", Json::object()},
            {"uniqueId", ""}};
  bool physical =
      !strcmp(type, "weapon") || !strcmp(type, "equipment") || !strcmp(type, "consumable") || !strcmp(type, "loot");
  if (physical)
    Merge(d, {{"quantity", 1},
              {"weight", 0},
              {"price", 0},
              {"identified", true},
              {"carried", true},
              {"hp", {{"max", 10}, {"value", 10}}},
              {"hardness", 0},
              {"containerId", ""}});
  if (!strcmp(type, "weapon") || !strcmp(type, "equipment"))
    Merge(d, {{"equipped", true}, {"masterwork", false}, {"melded", false}});
  if (strcmp(type, "spell") && strcmp(type, "loot"))
    Merge(d, {{"changes", Json::array()}, {"changeFlags", Json::object()}, {"contextNotes", Json::array()}});
  return d;
}

Json& Builder::Add(const std::string& name, const char* type, const char* img, const Json& system) {
  Json item;
  item["_id"] = NextId();
  item["name"] = name;
  item["type"] = type;
  item["img"] = img;
  item["system"] = Merged(ItemDefaults(type), system);
  item["effects"] = Json::array();
  item["sort"] = item_ * 100;
  item["flags"] = Json::object();
  items_.push_back(std::move(item));
  return items_.back();
}

const char* Progression(int code, bool attack) {
  if (attack) return code == 1 ? "high" : code == 2 ? "med" : "low";
  return code == 1 ? "high" : "low";
}

// The rolled dice of the creature shared by its class items in proportion to their
// average, each within what its dice can roll; what rounding or a full share leaves goes
// to the others, the last taking what none can hold.
void SplitDice(Json& items, const std::vector<size_t>& at, const std::vector<std::pair<int, int>>& dice, int rolled) {
  const size_t n = at.size();
  if (n == 0) return;
  int64_t weight = 0;
  for (auto& d : dice) weight += (int64_t)d.first * (d.second + 1);
  std::vector<int> hp(n);
  int left = rolled;
  for (size_t i = 0; i < n; ++i) {
    const int low = dice[i].first, high = dice[i].first * dice[i].second;
    hp[i] = weight == 0 ? 0 : (int)((int64_t)rolled * dice[i].first * (dice[i].second + 1) / weight);
    hp[i] = std::clamp(hp[i], std::min(low, high), std::max(low, high));
    left -= hp[i];
  }
  for (size_t i = 0; i < n && left != 0; ++i) {
    const int low = dice[i].first, high = dice[i].first * dice[i].second;
    const int move = left > 0 ? std::min(left, std::max(high - hp[i], 0)) : std::max(left, std::min(low - hp[i], 0));
    hp[i] += move;
    left -= move;
  }
  hp[n - 1] += left;
  for (size_t i = 0; i < n; ++i) items[at[i]]["system"]["hp"] = hp[i];
}

void Builder::Classes() {
  std::vector<size_t> withDice;
  std::vector<std::pair<int, int>> dice;
  const MonsterSource* m = MonsterOf(c_);
  const int type = MonsterTypeOf(c_);
  const std::string creatureType = type >= 0 ? CamelTag(English(gSource.monsterTypes[type])) : std::string("humanoid");
  if (m) {
    const MonsterTypeSource& t = gSource.monsterTypes[type >= 0 ? type : m->type];
    // A 1-HD creature with class levels has given up its racial die: the item stays for
    // the creature type, with no level.
    const int levels = std::max(c_->Level - c_->classHitDice, 0);
    const bool none = levels == 0;
    // A row's own save progression (1 good, 2 poor per save) overrides its type's.
    int ref = m->saves[0] ? m->saves[0] : t.reflex, will = m->saves[1] ? m->saves[1] : t.will,
        fort = m->saves[2] ? m->saves[2] : t.fortitude;
    Json classSkills = Json::object();
    Json flags = Json::object();
    if (c_->absent[2]) flags["noCon"] = true;
    if (c_->absent[3]) flags["noInt"] = true;
    Add(English(gSource.monsterTypes[type >= 0 ? type : m->type]), "class", "icons/svg/mystery-man.svg",
        {{"classType", "racial"},
         {"levels", levels},
         // A fractional hit die (a d4 for ½ d8) is written as the type's die, its roll kept.
         {"hd", std::clamp(c_->MonsterTWType < 4 && t.hitDie > 0 ? t.hitDie : c_->MonsterTWType, 4, 12)},
         {"hp", 0},
         {"bab", Progression(none ? 3 : t.attackType, true)},
         {"skillsPerLevel", t.skills},
         {"creatureType", creatureType},
         {"savingThrows",
          {{"fort", {{"value", Progression(none ? 2 : fort, false)}}},
           {"ref", {{"value", Progression(none ? 2 : ref, false)}}},
           {"will", {{"value", Progression(none ? 2 : will, false)}}}}},
         {"classSkills", classSkills},
         {"changeFlags", flags},
         {"spellcastingType", "none"},
         {"automaticFeatures", false},
         {"maxLevel", 999}});
    if (!none) {
      withDice.push_back(items_.size() - 1);
      dice.emplace_back(levels, std::max(c_->MonsterTWType, 1));
    }
  }
  if (ClassItems(c_))
    for (int s = FirstClassSlot(c_); s < c_->classCount && s < kMaxClassSlots; ++s) {
      const CharSource* k = ClassAt(c_->classes[s]);
      if (!k || c_->classLevels[s] <= 0) continue;
      int die = c_->kind == 0 && c_->MonsterTWType ? c_->MonsterTWType : k->hitDie;
      Json classSkills = Json::object();
      for (int sk = 0; sk < gSource.skillCount; ++sk) {
        const int32_t* table = gSource.skills[sk].ClassSkill();
        if (!table || table[c_->classes[s]] < 2) continue;
        classSkill_[sk] = true;
        const char* key = SkillKeyOf(sk);
        classSkills[*key ? std::string(key) : CustomSkillTag(sk)] = true;
      }
      const char* casting = k->spellType < 0     ? "none"
                            : k->powerType       ? "psionic"
                            : k->spellType2 == 2 ? "divine"
                                                 : "arcane";
      Add(English(*k), "class", "icons/svg/mystery-man.svg",
          {{"classType", k->prestige ? "prestige" : "base"},
           {"levels", c_->classLevels[s]},
           {"hd", std::clamp(die, 4, 12)},
           {"hp", 0},
           {"bab", Progression(k->attackType, true)},
           {"skillsPerLevel", k->skillPoints},
           {"creatureType", creatureType},
           {"savingThrows",
            {{"fort", {{"value", Progression(k->fortitude, false)}}},
             {"ref", {{"value", Progression(k->reflex, false)}}},
             {"will", {{"value", Progression(k->will, false)}}}}},
           {"classSkills", classSkills},
           {"spellcastingType", casting},
           {"spellcastingAbility",
            k->spellAttribute >= 0 && k->spellAttribute < kAttributes ? kAbilityKeys[k->spellAttribute] : ""},
           {"automaticFeatures", false},
           {"maxLevel", k->maxLevel > 0 ? k->maxLevel : 20}});
      withDice.push_back(items_.size() - 1);
      dice.emplace_back(c_->classLevels[s], die);
    }
  SplitDice(items_, withDice, dice, c_->hitDieRolls);
  BaseChanges();
}

// The tabletop sums base attack and base saves over the class items by their progressions;
// where the sheet's base values differ (a template kept the base creature's progressions,
// a familiar has its master's, a companion bonus saves), a "base" change makes up for it.
void Builder::BaseChanges() {
  int attack = 0, saves[3] = {};  // Reflex, Will, Fortitude as Save() counts them
  Json* first = nullptr;
  for (Json& item : items_) {
    if (item["type"] != "class") continue;
    if (!first) first = &item;
    const Json& sys = item["system"];
    int l = sys["levels"].get<int>();
    std::string bab = sys["bab"];
    attack += bab == "high" ? l : bab == "med" ? l * 3 / 4 : l / 2;
    const char* keys[3] = {"ref", "will", "fort"};
    for (int i = 0; i < 3; ++i)
      if (l > 0) saves[i] += sys["savingThrows"][keys[i]]["value"] == "high" ? 2 + l / 2 : l / 3;
  }
  if (!first) return;
  Json& changes = (*first)["system"]["changes"];
  if (int d = AttackBase(c_) - attack) changes.push_back({std::to_string(d), "attack", "babattack", "base"});
  const char* targets[3] = {"ref", "will", "fort"};
  for (int i = 0; i < 3; ++i)
    if (int d = Save(c_, i).base - saves[i]) changes.push_back({std::to_string(d), "savingThrows", targets[i], "base"});
}

std::string FeatParameter(const Char* c, int entry) {
  int feat = c->feats[entry], p = c->featParameters[entry];
  if (p == -1) return "all";
  if (p < 0 || feat < 0 || feat >= gSource.featCount) return "";
  switch (gSource.feats[feat].dep) {
    case 1:
      return p < gSource.equipmentCount ? English(gSource.equipment[p]) : "";
    case 2:
      return p < gSource.schoolCount ? English(gSource.schools[p]) : "";
    case 3:
      return p < gSource.skillCount ? English(gSource.skills[p]) : "";
    case 4:
      return p < kAttributes ? kAbilityNames[p] : "";
    default:
      return "";
  }
}

// The figures a feat changes that the tabletop computes itself (initiative, saves, armour
// class, skills); hit points are in the actor's own figures already.
Json FeatChanges(const std::string& feat) {
  static const struct {
    const char* feat;
    const char* changes[2][4];
  } kChanges[] = {
      {"Improved Initiative", {{"4", "misc", "init", "untyped"}}},
      {"Iron Will", {{"2", "savingThrows", "will", "untyped"}}},
      {"Great Fortitude", {{"2", "savingThrows", "fort", "untyped"}}},
      {"Lightning Reflexes", {{"2", "savingThrows", "ref", "untyped"}}},
      {"Alertness", {{"2", "skill", "skill.lis", "untyped"}, {"2", "skill", "skill.spt", "untyped"}}},
  };
  Json changes = Json::array();
  for (const auto& row : kChanges)
    if (feat == row.feat)
      for (const auto& c : row.changes)
        if (c[0]) changes.push_back({c[0], c[1], c[2], c[3]});
  return changes;
}

void Builder::Feats() {
  for (int f = 0; f < c_->featCount && f < kMaxFeats; ++f) {
    int feat = c_->feats[f];
    if (feat < 0 || feat >= gSource.featCount) continue;
    const FeatSource& row = gSource.feats[feat];
    std::string parameter = FeatParameter(c_, f);
    std::string name = std::string(English(row)) + (parameter.empty() ? "" : " (" + parameter + ")");
    Json system = {{"featType", "feat"}, {"abilityType", ""}, {"changes", FeatChanges(English(row))}};
    if (row.text.length) system["description"]["value"] = Paragraphs(row.text.c_str());
    if (!strcmp(English(row), "Weapon Focus") && !parameter.empty()) {
      // The tabletop's own way: the feat names the weapon, attacks of that weapon get +1.
      system["customAttributes"]["_wfweapon"] = {{"id", "_wfweapon"}, {"name", "Weapon Name"}, {"value", parameter}};
      system["combatChanges"] = Json::array(
          {{"attack", "", "'@item.baseWeaponType' === '@self.custom.weaponname'", "featAttackBonus", "1", ""}});
    }
    Add(name, "feat", "icons/svg/mystery-man.svg", system);
  }
}

Json SkillDefaults() {
  Json skills = Json::object();
  for (const SkillKey& k : kSkillKeys) {
    Json s = {{"value", 0}, {"ability", k.ability}, {"rt", k.trained}, {"acp", k.armor},
              {"rank", 0},  {"notes", ""},          {"mod", 0},        {"cs", false}};
    if (!strcmp(k.key, "crf") || !strcmp(k.key, "prf") || !strcmp(k.key, "pro")) s["subSkills"] = Json::object();
    skills[k.key] = s;
  }
  return skills;
}

void Builder::Skills(Json& system) {
  Json& skills = system["skills"];
  const MonsterSource* m = MonsterOf(c_);
  Json* racialSkills = nullptr;
  if (m)
    for (Json& item : items_)
      if (item["type"] == "class" && item["system"]["classType"] == "racial")
        racialSkills = &item["system"]["classSkills"];
  std::map<std::string, int> subCount;
  for (int e = 0; e < c_->skillCount && e < kMaxSkillEntries; ++e) {
    const CharSkill& k = c_->skills[e];
    if (k.skill < 0 || k.skill >= gSource.skillCount) continue;
    const char* known = SkillKeyOf(k.skill);
    std::string key = *known ? known : CustomSkillTag(k.skill);
    // A monster's stat-block ranks are full ranks: its skills are its racial class skills.
    bool cs = classSkill_[k.skill];
    if (!cs && racialSkills && !k.halfRank) {
      (*racialSkills)[key] = true;
      cs = true;
    }
    int points = cs ? k.ranks : 2 * k.ranks + (k.halfRank ? 1 : 0);
    const SkillSource& row = gSource.skills[k.skill];
    const char* ability = row.attribute >= 0 && row.attribute < kAttributes ? kAbilityKeys[row.attribute] : "";
    std::string label = SkillLabel(c_, e);
    size_t open = label.find(" (");
    bool sub = (key == "crf" || key == "prf" || key == "pro") && open != std::string::npos;
    if (sub) {
      std::string subKey = key + std::to_string(++subCount[key]);
      skills[key]["subSkills"][subKey] = {{"name", label.substr(open + 2, label.size() - open - 3)},
                                          {"ability", ability},
                                          {"rank", points},
                                          {"notes", ""},
                                          {"mod", k.total},
                                          {"rt", key == "pro"},
                                          {"cs", cs},
                                          {"acp", false}};
      continue;
    }
    if (!*known) {
      skills[key] = {{"name", English(row)},
                     {"ability", ability},
                     {"rank", points},
                     {"mod", k.total},
                     {"rt", !row.untrained},
                     {"cs", cs},
                     {"acp", row.armorPenalty != 0},
                     {"background", false},
                     {"custom", true}};
      continue;
    }
    skills[key]["rank"] = skills[key]["rank"].get<int>() + points;
    skills[key]["mod"] = k.total;
    skills[key]["cs"] = cs;
  }
}

std::string Builder::WeaponAttack(const CharItem& it, const std::string& weaponId, const std::string& name) {
  const EquipSource* e = EquipmentOf(it);
  const WeaponFacts* facts = e ? WeaponFactsOf(English(*e)) : nullptr;
  bool ranged = Ranged(it);
  std::vector<int> bonuses = WeaponAttackBonuses(c_, it);
  Json parts = Json::array();
  for (size_t i = 1; i < bonuses.size(); ++i)
    parts.push_back({std::to_string(bonuses[i] - bonuses[0]), Format("Attack %zu", i + 1)});
  const char* subtype = ranged ? "ranged" : !e ? "1h" : e->size < 0 ? "light" : e->size > 0 ? "2h" : "1h";
  Json system = {
      {"attackType", "weapon"},
      {"actionType", ranged ? "rwak" : "mwak"},
      {"activation", {{"cost", 1}, {"type", "attack"}}},
      {"baseWeaponType", e ? English(*e) : name},
      {"weaponSubtype", subtype},
      {"proficient", true},
      {"primaryAttack", !it.secondary},
      {"masterwork", it.masterwork != 0},
      {"enh", it.enhancement},
      {"attackBonus", ""},
      {"attackParts", parts},
      {"ability",
       {{"attack", ranged ? "dex" : "str"},
        {"damage", ranged && it.bowStrength <= 0 ? "" : "str"},
        {"damageMult", it.twoHanded && !ranged ? 1.5
                       : it.secondary          ? 0.5
                                               : 1},
        {"critRange", ThreatLowest(c_, it)},
        {"critMult", it.criticalMultiplier}}},
      {"damage",
       {{"parts", Json::array({Json::array({Format("%dd%d", it.damage[0], it.damage[1]), DamageType(facts).first,
                                            DamageType(facts).second})})}}},
      {"range", {{"value", facts && facts->range ? Json(facts->range) : Json(nullptr)}, {"units", ranged ? "ft" : ""}}},
      {"originalWeaponCreated", true},
      {"originalWeaponId", weaponId},
      {"originalWeaponName", name}};
  return Add(name, "attack", "icons/svg/sword.svg", system)["_id"].get<std::string>();
}

// The armour (type 1) or shield (type 2) the sheet counts: the one whose bonus is the
// sheet's armour or shield part, the own equipment before the treasure; -1 for none.
int WornItem(const Char* c, int type) {
  ArmorClass ac = ArmorClassOf(c);
  int part = type == 1 ? ac.armor : ac.shield, found = -1;
  for (int i = 0; part > 0 && i < c->itemCount && i < kMaxItems; ++i) {
    const CharItem& it = c->items[i];
    if (it.equipType != type || it.armor + it.enhancement != part) continue;
    if (found < 0 || (i < c->treasureIndex && !it.treasure)) found = i;
    if (i < c->treasureIndex && !it.treasure) break;
  }
  return found;
}

// The armour class the tabletop computes from what the actor holds (10, worn armour and
// shield, Dexterity up to the armour's limit, size, natural armour, armour changes); what
// the sheet counts beyond it (rings, bracers, robes, class abilities) is one untyped
// change on the first class item.
void Builder::ArmorBalance() {
  static const char* const kCodes[] = {"fine", "dim", "tiny", "sm", "med", "lg", "huge", "grg", "col"};
  static const int kSize[] = {8, 4, 2, 1, 0, -1, -2, -4, -8};
  // The tabletop's Dexterity modifier comes from the written score (an absent score too).
  const int dex = Abilities(c_)[1];
  int total = 10, dexterity = (dex >= 10 ? dex - 10 : dex - 11) / 2, size = 0;
  for (int i = 0; i < 9; ++i)
    if (!strcmp(SizeCode(c_), kCodes[i])) size = kSize[i];
  Json* first = nullptr;
  for (Json& item : items_) {
    const Json& sys = item["system"];
    if (item["type"] == "class" && !first) first = &item;
    if (sys.contains("changes"))
      for (const Json& change : sys["changes"])
        if (change[1] == "ac" && (item["type"] != "equipment" || sys.value("equipped", false)))
          total += atoi(change[0].get<std::string>().c_str());
    if (item["type"] != "equipment" || !sys.value("equipped", false) || sys["equipmentType"] == "misc") continue;
    total += sys["armor"]["value"].get<int>() + sys["armor"]["enh"].get<int>();
    if (sys["armor"]["dex"].is_number()) dexterity = std::min(dexterity, sys["armor"]["dex"].get<int>());
  }
  if (!first) return;
  total += dexterity + size + (c_->kind == 1 ? c_->NaturalAC : 0);
  if (int d = ArmorClassOf(c_).total - total)
    (*first)["system"]["changes"].push_back({std::to_string(d), "ac", "ac", "untyped"});
}

void Builder::Possessions() {
  static const char* const kSlots[] = {"",     "armor", "shield", "ring", "neck", "shoulders", "feet",
                                       "belt", "hands", "head",   "",     "",     "wrists",    "chest"};
  const int armor = WornItem(c_, 1), shield = WornItem(c_, 2);
  for (int i = 0; i < c_->itemCount && i < kMaxItems; ++i) {
    const CharItem& it = c_->items[i];
    const EquipSource* e = EquipmentOf(it);
    const std::string name = ItemName(it);
    const bool treasure = i >= c_->treasureIndex || it.treasure;
    Json system = {{"price", it.value + it.price}, {"description", {{"value", ItemDescription(it)}}}};
    if (it.equipType == 0) {
      bool ranged = Ranged(it);
      const WeaponFacts* facts = e ? WeaponFactsOf(English(*e)) : nullptr;
      Merge(system, {{"equipped", !treasure},
                     {"weaponType", !e             ? "misc"
                                    : e->type == 0 ? "simple"
                                    : e->type == 1 ? "martial"
                                                   : "exotic"},
                     {"weaponSubtype", ranged        ? "ranged"
                                       : !e          ? "1h"
                                       : e->size < 0 ? "light"
                                       : e->size > 0 ? "2h"
                                                     : "1h"},
                     {"masterwork", it.masterwork != 0},
                     {"enh", it.enhancement > 0 ? Json(it.enhancement) : Json(nullptr)},
                     {"weaponData",
                      {{"damageRoll", e ? Format("%dd%d", e->damageCount, e->damageDie) : ""},
                       {"damageType", DamageType(facts).first},
                       {"damageTypeId", DamageType(facts).second},
                       {"critRange", std::to_string(ThreatLowest(c_, it))},
                       {"critMult", it.criticalMultiplier},
                       {"range", facts && facts->range ? Json(facts->range) : Json(nullptr)},
                       {"size", SizeCode(c_)}}}});
      std::string id = Add(name, "weapon", "icons/svg/sword.svg", system)["_id"].get<std::string>();
      if (it.damage[0] > 0 && !treasure) WeaponAttack(it, id, name);
    } else if (it.equipType == 1 || it.equipType == 2) {
      bool isShield = it.equipType == 2;
      std::string lower = Lower(name);
      const char* subtype = !isShield                                  ? (e && e->type == 1   ? "mediumArmor"
                                                                          : e && e->type == 2 ? "heavyArmor"
                                                                                              : "lightArmor")
                            : lower.find("tower") != std::string::npos ? "towerShield"
                            : lower.find("light") != std::string::npos || lower.find("buckler") != std::string::npos
                                ? "lightShield"
                            : lower.find("heavy") != std::string::npos ? "heavyShield"
                                                                       : "other";
      Merge(system, {{"equipped", i == (it.equipType == 2 ? shield : armor)},
                     {"equipmentType", isShield ? "shield" : "armor"},
                     {"equipmentSubtype", subtype},
                     {"slot", isShield ? "shield" : "armor"},
                     {"masterwork", it.masterwork != 0},
                     {"armor",
                      {{"value", it.armor},
                       {"dex", isShield || it.maxDex >= 99 ? Json(nullptr) : Json(it.maxDex)},
                       {"acp", std::abs(it.penalty)},
                       {"enh", it.enhancement}}},
                     {"spellFailure", it.spellFailure}});
      Add(name, "equipment", "icons/svg/shield.svg", system);
    } else if (it.equipType >= 3 && it.equipType <= 13 && *kSlots[it.equipType]) {
      Merge(system, {{"equipped", !treasure},
                     {"equipmentType", "misc"},
                     {"equipmentSubtype", "wondrous"},
                     {"slot", kSlots[it.equipType]},
                     {"armor", {{"value", 0}, {"dex", nullptr}, {"acp", 0}, {"enh", 0}}}});
      Add(name, "equipment", "icons/svg/item-bag.svg", system);
    } else {
      Merge(system, {{"subType", it.equipType == 11 ? "ammo" : "gear"}});
      Add(name, "loot", "icons/svg/item-bag.svg", system);
    }
  }
  if (c_->Unarmed1 > 0)
    Add("Unarmed Strike", "attack", "icons/svg/mystery-man.svg",
        {{"attackType", "weapon"},
         {"actionType", "mwak"},
         {"activation", {{"cost", 1}, {"type", "attack"}}},
         {"baseWeaponType", "Unarmed Strike"},
         {"proficient", true},
         {"primaryAttack", true},
         {"attackBonus", ""},
         {"attackParts", Json::array()},
         {"ability", {{"attack", "str"}, {"damage", "str"}, {"damageMult", 1}, {"critRange", 20}, {"critMult", 2}}},
         {"damage",
          {{"parts", Json::array({Json::array({Format("%dd%d", c_->Unarmed1, c_->Unarmed2), "", "damage-bludg"})})}}}});
}

// Natural attacks: one attack item per row of the stat block (a lone row of several equal
// attacks as that many items, since a single natural attack would deal 1.5 × Strength),
// and a full attack per way of attacking.
void Builder::NaturalAttacks() {
  if (c_->kind != 1) return;
  int rows = 0;
  for (int i = 0; i < c_->attackCount && i < kNaturalAttacks; ++i) rows += c_->naturals[i].category >= 0;
  for (int category = 0; category < 4; ++category) {
    int best = INT32_MIN;
    for (int i = 0; i < c_->attackCount && i < kNaturalAttacks; ++i)
      if (c_->naturals[i].category == category) best = std::max(best, c_->naturals[i].attack);
    if (best == INT32_MIN) continue;
    Json full = Json::object();
    int entry = 0;
    for (int i = 0; i < c_->attackCount && i < kNaturalAttacks; ++i) {
      const CharAttack& a = c_->naturals[i];
      if (a.category != category) continue;
      const std::string name = NaturalName(c_, a, i);
      // Secondary attacks are 5 (2 with Multiattack) below the primary ones.
      bool primary = a.attack >= best - 1;
      // Natural attacks have rows without a price; a priced row is a manufactured weapon.
      const EquipSource* row = AttackRow(a);
      bool weapon = row && row->price > 0;
      Json system = {
          {"attackType", weapon ? "weapon" : "natural"},
          {"actionType", "mwak"},
          {"activation", {{"cost", 1}, {"type", "attack"}}},
          {"primaryAttack", primary},
          {"proficient", true},
          {"attackBonus", ""},
          {"attackParts", Json::array()},
          {"ability", {{"attack", "str"}, {"damage", "str"}, {"damageMult", 1}, {"critRange", 20}, {"critMult", 2}}},
          {"damage", {{"parts", Json::array()}}}};
      // An attack without dice (a touch) deals no damage of its own.
      if (a.damage[0] > 0 && a.damage[1] > 0)
        system["damage"]["parts"].push_back(
            {Format("%dd%d", a.damage[0], a.damage[1]), "",
             weapon ? DamageType(WeaponFactsOf(name)).second : NaturalDamageType(a.name)});
      if (a.step > 0)
        for (int k = 1; k < a.number; ++k)
          system["attackParts"].push_back({std::to_string(-k * a.step), Format("Attack %d", k + 1)});
      int copies = category == 0 && rows == 1 && a.number > 1 && a.step == 0 ? a.number : 1;
      for (int k = 0; k < copies; ++k) {
        std::string id = Add(name, "attack", "icons/svg/claw.svg", system)["_id"].get<std::string>();
        if (entry < 5 && k == 0) {
          ++entry;
          full[Format("attack%d", entry)] = {{"_id", entry},
                                             {"id", id},
                                             {"name", name},
                                             {"img", ""},
                                             {"count", a.step > 0   ? 1
                                                       : copies > 1 ? 1
                                                                    : std::max(a.number, 1)},
                                             {"attackMode", "primary"},
                                             {"primary", primary},
                                             {"isWeapon", weapon}};
        } else if (entry < 5) {
          ++entry;
          full[Format("attack%d", entry)] = full[Format("attack%d", entry - 1)];
          full[Format("attack%d", entry)]["_id"] = entry;
          full[Format("attack%d", entry)]["id"] = id;
        }
      }
    }
    Add(category == 0 ? std::string("Full Attack") : Format("Full Attack (alternative %d)", category), "full-attack",
        "icons/svg/combat.svg", {{"attackType", "full"}, {"attacks", full}});
  }
}

// Spells and powers: a spell book per casting class slot (primary, secondary, tertiary),
// its slots per day written out, each chosen spell once with the times it is prepared.
void Builder::Spells(Json& system) {
  static const char* const kBooks[] = {"primary", "secondary", "tertiary"};
  int book = 0;
  for (int s = 0; s < c_->classCount && s < kMaxClassSlots && book < 3; ++s) {
    const CharSource* k = ClassAt(c_->classes[s]);
    if (!k || !CastsAnything(c_, s)) continue;
    const char* key = kBooks[book++];
    Json& b = system["attributes"]["spells"]["spellbooks"][key];
    const bool own = s >= FirstClassSlot(c_) && ClassItems(c_);
    const bool psionic = Psionic(c_, s);
    const char* ability =
        k->spellAttribute >= 0 && k->spellAttribute < kAttributes ? kAbilityKeys[k->spellAttribute] : "int";
    const bool spontaneous = CastsFromKnown(c_, *k);
    b["name"] = English(*k);
    b["class"] = own ? CamelTag(English(*k)) : "_hd";
    b["cl"]["base"] = c_->casterLevel[s] - (own ? c_->classLevels[s] : c_->Level);
    b["cl"]["total"] = c_->casterLevel[s];
    b["ability"] = ability;
    b["spellslotAbility"] = ability;
    b["spontaneous"] = psionic || spontaneous;
    b["spellcastingType"] = psionic ? "psionic" : k->spellType2 == 2 ? "divine" : "arcane";
    b["arcaneSpellFailure"] = !psionic && k->spellType2 != 2;
    if (psionic) {
      b["usePowerPoints"] = true;
      b["powerPoints"] = c_->PowerPoints;
      b["dailyPowerPointsFormula"] = "@attributes.powerPointsTotal";
      system["attributes"]["powerPointsTotal"] = c_->PowerPoints;
    }
    for (int level = 0; level < 10; ++level) {
      int perDay = std::max(c_->spellsPerDay[s][level], 0);
      Json& slot = b["spells"][Format("spell%d", level)];
      slot["base"] = psionic ? 0 : perDay;
      slot["max"] = psionic ? 0 : perDay;
      slot["value"] = psionic ? 0 : perDay;
      std::vector<int> chosen = ChosenAt(c_, s, level, psionic ? gSource.powerCount : gSource.spellCount);
      std::vector<std::pair<int, int>> counted;
      for (int x : chosen) {
        auto at = std::find_if(counted.begin(), counted.end(), [x](const auto& p) { return p.first == x; });
        if (at == counted.end())
          counted.emplace_back(x, 1);
        else
          ++at->second;
      }
      for (const auto& [x, times] : counted) {
        Json item = {{"spellbook", key},
                     {"level", level},
                     {"learnedAt", {{"class", Json::array({Json::array({English(*k), level})})}}},
                     {"preparation",
                      {{"maxAmount", spontaneous || psionic ? 0 : times},
                       {"preparedAmount", spontaneous || psionic ? 0 : times},
                       {"mode", "prepared"}}},
                     {"atWill", false}};
        if (psionic) {
          const PowerSource& p = gSource.powers[x];
          Merge(item, {{"isPower", true},
                       {"powerPointsCost", level > 0 ? 2 * level - 1 : 0},
                       {"school", DisciplineCode(p)},
                       {"display", ""}});
          Add(English(p), "spell", "icons/svg/daze.svg", item);
        } else {
          const SpellSource& sp = gSource.spells[x];
          item["school"] = SchoolCode(sp.school);
          Add(English(sp), "spell", "icons/svg/daze.svg", item);
        }
      }
    }
    if (!psionic && k->domains > 0) {
      b["hasSpecialSlot"] = true;
      for (int level = 1; level <= 9; ++level) {
        int sp = c_->domainSpells[level];
        if (sp < 0 || sp >= gSource.spellCount || c_->spellsPerDay[s][level] < 0) continue;
        Add(English(gSource.spells[sp]), "spell", "icons/svg/daze.svg",
            {{"spellbook", key},
             {"level", level},
             {"school", SchoolCode(gSource.spells[sp].school)},
             {"isDomainSpell", true},
             {"specialPrepared", true},
             {"preparation", {{"maxAmount", 1}, {"preparedAmount", 1}, {"mode", "prepared"}}},
             {"atWill", false}});
      }
    }
  }
}

// A monster's spell-like abilities in the book "spelllike": "3/Tag: Segnen, Furcht{4}|ZS 4"
// gives each spell its uses per day (at will: unlimited), the level in braces, the caster level.
void Builder::SpellLike(Json& system) {
  const MonsterSource* m = MonsterOf(c_);
  if (!m || !m->spellLike.length) return;
  const std::string text = m->spellLike.c_str();
  Json& b = system["attributes"]["spells"]["spellbooks"]["spelllike"];
  b["name"] = "Spell-like Abilities";
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('|', start);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(start, end - start);
    start = end + 1;
    if (part.compare(0, 3, "ZS ") == 0) {
      b["cl"]["base"] = atoi(part.c_str() + 3) - c_->Level;
      b["cl"]["total"] = atoi(part.c_str() + 3);
      continue;
    }
    size_t colon = part.find(": ");
    if (colon == std::string::npos) continue;
    std::string frequency = part.substr(0, colon);
    bool atWill = frequency == "Nach Belieben" || frequency == "Immer aktiv" || frequency == "Dauerhaft";
    int uses = atoi(frequency.c_str());
    // The names, split at commas outside parentheses.
    std::vector<std::string> names;
    std::string name;
    int depth = 0;
    for (size_t i = colon + 2; i <= part.size(); ++i) {
      char ch = i < part.size() ? part[i] : ',';
      if (ch == '(') ++depth;
      if (ch == ')') --depth;
      if (ch == ',' && depth <= 0) {
        size_t first = name.find_first_not_of(' ');
        if (first != std::string::npos) names.push_back(name.substr(first));
        name.clear();
        continue;
      }
      name += ch;
    }
    for (std::string spell : names) {
      int level = 0;
      size_t brace = spell.find('{');
      if (brace != std::string::npos) {
        level = atoi(spell.c_str() + brace + 1);
        spell.erase(brace, spell.find('}', brace) - brace + 1);
      }
      std::string remark;
      size_t paren = spell.find(" (");
      if (paren != std::string::npos) remark = spell.substr(paren), spell.resize(paren);
      // The row's SRD name; without braces the level is the lowest on any class's list.
      std::string english = spell;
      for (int x = 0; x < gSource.spellCount; ++x) {
        if (spell != DisplayName(gSource.spells[x])) continue;
        english = English(gSource.spells[x]);
        const int32_t* levels = gSource.spells[x].Levels();
        for (int k = 0; brace == std::string::npos && levels && k < gSource.classCount; ++k)
          if (levels[k] >= 0 && (level == 0 || levels[k] < level)) level = levels[k];
        break;
      }
      Add(english, "spell", "icons/svg/daze.svg",
          {{"spellbook", "spelllike"},
           {"level", level},
           {"school", "uni"},
           {"atWill", atWill},
           {"preparation",
            {{"maxAmount", atWill ? 0 : std::max(uses, 1)},
             {"preparedAmount", atWill ? 0 : std::max(uses, 1)},
             {"mode", "prepared"}}},
           {"shortDescription", Paragraphs(frequency + ": " + spell + remark)}});
    }
  }
}

// A monster's special abilities as racial feats: the SRD's name, the table's line as its text.
void Builder::MonsterAbilities() {
  std::vector<std::string> done;
  for (const AbilitySource* x : KeptAbilities(c_)) {
    std::string name = English(*x);
    if (std::find(done.begin(), done.end(), name) != done.end()) continue;
    done.push_back(name);
    Add(name, "feat", "icons/svg/aura.svg",
        {{"featType", "racial"}, {"abilityType", ""}, {"description", {{"value", Paragraphs(x->text.c_str())}}}});
  }
}

Json ActorDefaults() {
  Json abilities = Json::object();
  for (const char* a : kAbilityKeys)
    abilities[a] = {{"value", 10}, {"damage", 0}, {"drain", 0}, {"userPenalty", 0}, {"total", 10}, {"mod", 0}};
  Json book = {{"name", ""},
               {"class", ""},
               {"autoSetup", false},
               {"autoSpellLevels", false},
               {"cl", {{"base", 0}, {"formula", ""}, {"total", 0}}},
               {"ability", "int"},
               {"spellslotAbility", "int"},
               {"spontaneous", false},
               {"spellcastingType", "arcane"},
               {"baseDCFormula", "10 + @sl + @ablMod"},
               {"concentrationFormula", ""},
               {"showOnlyPrepared", false},
               {"usePowerPoints", false},
               {"powerPoints", 0},
               {"dailyPowerPointsFormula", ""},
               {"arcaneSpellFailure", true},
               {"hasSpecialSlot", false},
               {"spells", Json::object()}};
  for (int l = 0; l < 10; ++l) book["spells"][Format("spell%d", l)] = {{"value", 0}, {"base", 0}, {"max", 0}};
  Json spelllike = book;
  spelllike["class"] = "_hd";
  spelllike["ability"] = "cha";
  spelllike["spellslotAbility"] = "cha";
  spelllike["spellcastingType"] = "other";
  spelllike["arcaneSpellFailure"] = false;
  Json speed = Json::object();
  for (const char* mode : {"land", "climb", "swim", "burrow", "fly"}) speed[mode] = {{"base", 0}, {"total", 0}};
  speed["fly"]["maneuverability"] = "average";
  return {
      {"abilities", abilities},
      {"attributes",
       {{"hp", {{"value", 0}, {"min", -100}, {"base", 0}, {"max", 0}, {"temp", 0}, {"nonlethal", 0}}},
        {"naturalAC", 0},
        {"speed", speed},
        {"senses",
         {{"darkvision", 0},
          {"blindsight", 0},
          {"tremorsense", 0},
          {"truesight", 0},
          {"lowLight", false},
          {"special", ""}}},
        {"sr", {{"formula", ""}, {"total", 0}}},
        {"pr", {{"formula", ""}, {"total", 0}}},
        {"hardness", {{"formula", ""}, {"total", 0}}},
        {"fortification", {{"value", 0}}},
        {"concealment", {{"value", 0}}},
        {"energyDrain", 0},
        {"psionicFocus", false},
        {"init", {{"value", 0}, {"total", 0}}},
        {"bab", {{"value", 0}, {"total", 0}}},
        {"cmb", {{"total", 0}}},
        {"ac", {{"normal", {{"total", 10}}}, {"touch", {{"total", 10}}}, {"flatFooted", {{"total", 10}}}}},
        {"savingThrows",
         {{"fort", {{"base", 0}, {"total", 0}}},
          {"ref", {{"base", 0}, {"total", 0}}},
          {"will", {{"base", 0}, {"total", 0}}}}},
        {"spells",
         {{"spellbooks", {{"primary", book}, {"secondary", book}, {"tertiary", book}, {"spelllike", spelllike}}}}},
        {"powerPointsTotal", 0}}},
      {"details",
       {{"cr", 0},
        {"type", ""},
        {"alignment", ""},
        {"environment", ""},
        {"biography", {{"value", ""}, {"public", ""}}},
        {"notes", {{"value", ""}, {"public", ""}}},
        {"xp", {{"value", 0}}}}},
      {"traits",
       {{"size", "med"},
        {"languages", {{"value", Json::array()}, {"custom", ""}}},
        {"senses", ""},
        {"regen", ""},
        {"fastHealing", ""},
        {"ci", {{"value", Json::array()}, {"custom", ""}}},
        {"dr", ""},
        {"eres", ""},
        {"cres", ""}}},
      {"skills", SkillDefaults()},
      {"currency", {{"pp", 0}, {"gp", 0}, {"sp", 0}, {"cp", 0}}},
      {"staticBonus", {{"hp", 0}, {"ac", 0}}},
      {"damageReduction", {{"any", 0}, {"types", Json::array()}}},
      {"energyResistance", Json::array()},
  };
}

// Touch and flat-footed armour class as the stat block reads them: touch without armour,
// shield and natural armour; flat-footed without Dexterity and dodge bonuses (unless
// uncanny dodge keeps them).
std::pair<int, int> TouchAndFlatFooted(const Char* c) {
  ArmorClass ac = ArmorClassOf(c);
  int dexterity = ac.dexterity, natural = c->kind == 1 ? c->NaturalAC : 0, dodge = 0, bestNatural = 0;
  if (c->kind == 1 && !c->mixed) dexterity = c->absent[1] ? 0 : c->MGE;
  int naturalType = -1, dodgeType = -1;
  for (int i = 0; i < gSource.bonusCount; ++i) {
    if (gSource.bonuses[i].name == "Natürlich") naturalType = i;
    if (gSource.bonuses[i].name == "Ausweichen") dodgeType = i;
  }
  for (const CharBonus* b = c->bonuses; b; b = b->next) {
    if (b->variable != (int32_t)offsetof(Char, AC)) continue;
    if (b->bonusType == naturalType) bestNatural = std::max(bestNatural, b->amount);
    if (b->bonusType == dodgeType) dodge += b->amount;
  }
  int touch = ac.total - ac.armor - ac.shield - natural - bestNatural;
  int flat = c->UncannyDodge ? ac.total : ac.total - std::max(dexterity, 0) - std::max(dodge, 0);
  return {touch, flat};
}

// The drawn alignment; a creature without one (an animal, a companion) has its row's when
// that allows one alignment only ("Always neutral").
std::string AlignmentOf(const Char* c) {
  if (c->alignment >= 0 && c->alignment < 9) return kAlignmentNames[c->alignment];
  AlignmentLine line;
  if (const TemplateSource* t = TemplateOf(c)) line = t->alignment;
  if (const MonsterSource* m = MonsterOf(c); m && line.frequency == kNoAlignmentLine) line = m->alignment;
  if (const RaceSource* r = RaceOf(c); r && c->kind == 0 && line.frequency == kNoAlignmentLine) line = r->alignment;
  if (line.frequency == kNoAlignmentLine || __builtin_popcount((unsigned)line.set) != 1) return "";
  return kAlignmentNames[__builtin_ctz((unsigned)line.set)];
}

int Feet(double metres) { return (int)std::lround(metres / 0.3); }

Json Builder::System(const Link& link) {
  Json system = ActorDefaults();
  for (int a = 0; a < kAttributes; ++a) {
    Json& ab = system["abilities"][kAbilityKeys[a]];
    // An absent score keeps the sheet's figure; the racial item's noCon/noInt flags tell
    // the tabletop to ignore it.
    int score = Abilities(c_)[a];
    ab["value"] = score;
    ab["total"] = score;
    ab["mod"] = c_->absent[a] ? 0 : Modifiers(c_)[a];
  }
  Json& at = system["attributes"];
  at["hp"]["value"] = c_->shownHitPoints;
  at["hp"]["max"] = c_->shownHitPoints;
  at["naturalAC"] = c_->kind == 1 ? c_->NaturalAC : 0;
  at["speed"]["land"]["base"] = Feet(c_->Range);
  at["speed"]["land"]["total"] = Feet(c_->Range);
  // The monster's further ways to move; a flyer's own speed leaves it no land speed.
  for (const MoveMode& mode : MovementModes(c_)) {
    int feet = mode.own ? Feet(c_->Range) : mode.feet;
    at["speed"][mode.mode]["base"] = feet;
    at["speed"][mode.mode]["total"] = feet;
    if (mode.mode == "fly" && !mode.manoeuvre.empty()) at["speed"]["fly"]["maneuverability"] = mode.manoeuvre;
    if (mode.own) at["speed"]["land"] = {{"base", 0}, {"total", 0}};
  }
  at["senses"]["darkvision"] = Feet(c_->DarkVision);
  at["senses"]["lowLight"] = c_->LowLightVision != 0;
  if (c_->MR > 0) {
    at["sr"]["formula"] = std::to_string(c_->MR);
    at["sr"]["total"] = c_->MR;
  }
  at["init"]["total"] = c_->Init + c_->MGE;
  at["bab"]["total"] = AttackBase(c_);
  ArmorClass ac = ArmorClassOf(c_);
  at["ac"]["normal"]["total"] = ac.total;
  auto [touch, flat] = TouchAndFlatFooted(c_);
  at["ac"]["touch"]["total"] = touch;
  at["ac"]["flatFooted"]["total"] = flat;
  const char* saveKeys[3] = {"ref", "will", "fort"};
  for (int i = 0; i < 3; ++i) {
    Breakdown b = Save(c_, i);
    at["savingThrows"][saveKeys[i]] = {{"base", b.base}, {"total", b.Total()}};
  }
  Json& details = system["details"];
  details["cr"] = c_->cr + c_->crShare;
  details["alignment"] = AlignmentOf(c_);
  std::string size =
      SizeIndex(c_) >= 0 && SizeIndex(c_) < gSource.sizeCount ? English(gSource.sizes[SizeIndex(c_)]) : "";
  int type = MonsterTypeOf(c_);
  if (MonsterOf(c_))
    details["type"] = size + " " + (type >= 0 ? English(gSource.monsterTypes[type]) : "");
  else if (!Hoard(c_))
    details["type"] = size + " Humanoid (" + (RaceOf(c_) ? English(*RaceOf(c_)) : "") + ")";
  std::string biography;
  if (const MonsterSource* m = MonsterOf(c_)) biography += m->description.c_str();
  if (const TemplateSource* t = TemplateOf(c_)) biography += std::string("\n") + t->description.c_str();
  details["biography"]["value"] = Paragraphs(biography);
  std::string notes;
  for (const auto& [role, name] : link.companions) notes += role + ": " + name + "\n";
  if (!link.masterRole.empty()) notes += link.masterRole + " of: " + link.masterName + "\n";
  for (const std::string& line : NoteLines(c_)) notes += line + "\n";
  details["notes"]["value"] = Paragraphs(notes);
  system["traits"]["size"] = SizeCode(c_);
  system["currency"]["gp"] = c_->money;
  return system;
}

Json Builder::Build(const Link& link) {
  Json system = System(link);
  if (!Hoard(c_)) {
    Classes();
    Feats();
    MonsterAbilities();
    Skills(system);
  }
  // The tabletop adds the Constitution modifier per hit die to the class items' dice; the
  // rest of the sheet's hit points (feats, templates) is a flat extra.
  int dice = 0;
  for (const Json& item : items_)
    if (item["type"] == "class") dice += item["system"]["levels"].get<int>();
  if (!Hoard(c_)) {
    int base = c_->shownHitPoints - c_->hitDieRolls - (c_->absent[2] ? 0 : Modifiers(c_)[2] * dice);
    // Fewer hit points than dice and Constitution give (a monster's scaled dice): the dice
    // of the last class items give way, down to 1 per level.
    for (size_t i = items_.size(); base < 0 && i-- > 0;) {
      Json& item = items_[i];
      if (item["type"] != "class") continue;
      int hp = item["system"]["hp"].get<int>(), floor = item["system"]["levels"].get<int>();
      int less = std::min(-base, std::max(hp - floor, 0));
      item["system"]["hp"] = hp - less;
      base += less;
    }
    system["attributes"]["hp"]["base"] = base;
  }
  Possessions();
  ArmorBalance();
  NaturalAttacks();
  Spells(system);
  SpellLike(system);
  Json actor;
  actor["_id"] = Format("Ks%05dActor0000", actor_ % 100000);
  actor["name"] = link.name;
  actor["type"] = "npc";
  actor["img"] = "icons/svg/mystery-man.svg";
  actor["system"] = std::move(system);
  // Squares a token covers by size (a static table: a static map would outlive the
  // allocation tracker's leak check).
  static const char* const kCodes[] = {"fine", "dim", "tiny", "sm", "med", "lg", "huge", "grg", "col"};
  static const double kSquares[] = {0.5, 0.5, 0.5, 1, 1, 2, 3, 4, 6};
  double tokenSize = 1;
  for (int i = 0; i < 9; ++i)
    if (!strcmp(SizeCode(c_), kCodes[i])) tokenSize = kSquares[i];
  actor["prototypeToken"] = {{"name", link.name},
                             {"img", "icons/svg/mystery-man.svg"},
                             {"width", tokenSize},
                             {"height", tokenSize},
                             {"disposition", -1},
                             {"actorLink", false},
                             {"bar1", {{"attribute", "attributes.hp"}}}};
  actor["items"] = std::move(items_);
  actor["effects"] = Json::array();
  actor["folder"] = nullptr;
  actor["sort"] = 0;
  actor["ownership"] = {{"default", 0}};
  actor["flags"] = Json::object();
  return actor;
}

// The creatures and their companions in file order: each creature, then its familiar,
// mount, servant and animal companions; repeated names get a number so that the links
// by name stay unique within the file.
std::vector<Link> Links(const std::vector<const Char*>& creatures, bool withCompanions) {
  std::vector<Link> links;
  std::map<std::string, int> seen;
  auto unique = [&seen](const std::string& name) {
    int n = ++seen[name];
    return n == 1 ? name : Format("%s (%d)", name.c_str(), n);
  };
  for (const Char* c : creatures) {
    if (!c) continue;
    size_t master = links.size();
    links.push_back({c, unique(Title(c)), "", "", {}});
    std::vector<std::pair<std::string, const Char*>> own;
    if (c->familiarChar) own.emplace_back("Familiar", c->familiarChar);
    if (c->mountChar) own.emplace_back("Mount", c->mountChar);
    if (c->servantChar) own.emplace_back("Fiendish Servant", c->servantChar);
    for (int i = 0; i < c->companionCount && i < kMaxCompanions; ++i)
      if (c->companionChars[i]) own.emplace_back("Animal Companion", c->companionChars[i]);
    for (const auto& [role, k] : own) {
      std::string name = unique(Title(k));
      links[master].companions.emplace_back(role, name);
      if (withCompanions) links.push_back({k, name, role, links[master].name, {}});
    }
  }
  return links;
}

}  // namespace

std::string ActorJson(const Char* c) {
  std::vector<Link> links = Links({c}, false);
  if (links.empty()) return "{}";
  return Builder(c, 1).Build(links[0]).dump(2, ' ', false, Json::error_handler_t::replace);
}

std::vector<std::string> ActorFiles(const Char* c) {
  std::vector<std::string> files;
  int index = 0;
  for (const Link& link : Links({c}, true))
    files.push_back(Builder(link.c, ++index).Build(link).dump(2, ' ', false, Json::error_handler_t::replace));
  return files;
}

std::string ActorsJson(const std::vector<const Char*>& creatures) {
  Json all = Json::array();
  int index = 0;
  for (const Link& link : Links(creatures, true)) all.push_back(Builder(link.c, ++index).Build(link));
  return all.dump(2, ' ', false, Json::error_handler_t::replace);
}

}  // namespace RUNTIME_NS
