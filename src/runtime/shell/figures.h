// Names and figures of a creature as a person reads them, shared by the sheet, the
// summary row and the stat block.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "generator/char.h"
#include "source/records.h"

#include "runtime.h"

namespace RUNTIME_NS {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// UTF-8 text: its length in code points; cut after `width` code points; right-aligned in
// at least `width` code points (longer text stays whole).
size_t CodePoints(const std::string& s);
std::string Cut(const std::string& s, size_t width);
std::string Widened(const std::string& s, size_t width);
// Text wrapped at `width` characters on word boundaries; "\n" starts a new line.
std::vector<std::string> Wrap(const std::string& text, size_t width = 110);

// The rows a creature is made of: a monster's row (null for characters), a character's
// subrace or race, its template (null without one).
const MonsterSource* MonsterOf(const Char* c);
const RaceSource* RaceOf(const Char* c);
const TemplateSource* TemplateOf(const Char* c);

// A monster's further way to move as its row gives it: "fly" 40 "good"; `own` marks the
// way of its speed itself (an air elemental's flight), whose feet are the speed's.
struct MoveMode {
  std::string mode, manoeuvre;
  int feet = 0;
  bool own = false;
};
std::vector<MoveMode> MovementModes(const Char* c);
// The monster abilities the creature kept (a template such as the skeleton's takes
// lines away), each once, in the row's order.
std::vector<const AbilitySource*> KeptAbilities(const Char* c);

// Names as a person reads them (display names); the *Key variants give the table keys
// that the export and lookups use.
const char* SizeName(int size);
const char* SizeKey(int size);
int MonsterSize(const Char* c);
const char* RaceName(const Char* c);
const char* RaceKey(const Char* c);
// A character's size: the race's size relative to "Medium".
int RaceSize(const Char* c);
const char* TemplateName(const Char* c);
const char* TemplateKey(const Char* c);
// Display names of table rows by code, "" for a code outside the table.
const char* ClassName(int cls);
const char* MonsterName(int monster);
const char* MonsterTypeName(int type);
const char* FeatName(int feat);
const char* SkillName(int skill);
const char* SpellName(int spell);
const char* PowerName(int power);
const char* SchoolName(int school);
const char* DomainName(int domain);
const char* EffectName(int effect);
// A feat's parameter as a person reads it: "Langschwert", "alle" for every weapon.
std::string FeatParameterName(const Char* c, int entry);
// A skill entry's name with its subject: "Handwerk (Schmied)".
std::string SkillLabel(const Char* c, int entry);
// The head row's creature: "Gallertwürfel (Schlick), riesig", "Gnom (Humanoid), klein".
std::string CreatureHead(const Char* c);
// The notes as a person reads them, one ability per line: favoured enemies named,
// spell-like abilities listed, run-together lines parted.
std::vector<std::string> NoteLines(const Char* c);
const int32_t* Abilities(const Char* c);
const int32_t* Modifiers(const Char* c);

// A specific magic item is shown by its own name, everything else by its equipment's.
const char* EquipmentName(const CharItem& it);
const char* EquipmentKey(const CharItem& it);
const char* EffectText(const CharItem& it, int k);
// The shown name: label or equipment name, enhancement, effects.
std::string ItemLabel(const CharItem& it);
// The spell a scroll holds, null for none.
const SpellSource* ScrollSpell(const CharItem& it);
// A named item with what was drawn when it was made: "Schriftrolle: Feuerball (Grad 3,
// ZS 5)", "Scroll of Fireball", "Zauberstab: Blitz (ZS 5) (37 Ladungen)", "... (37 charges)".
std::string NamedItem(const CharItem& it, bool english);
// Attack bonuses of a weapon the character fights with: iterative attacks in the main
// hand, one attack in the other; none for a weapon not in use.
std::vector<int> WeaponAttackBonuses(const Char* c, const CharItem& it);
// The damage bonus shown: final for a weapon in use, else base and enhancement.
int WeaponDamageBonus(const CharItem& it);
// Attack, damage and critical of a weapon, armour bonus of armour and shields.
std::string ItemFigures(const Char* c, const CharItem& it);
// Item flags: 1 magic, 2 mithril, 4 masterwork (adamantine), 8 mercury.
int MaterialBits(const CharItem& it);
// The sheet's mark of an item: the first of masterwork, mithril, mercury and magic.
char MaterialMark(const CharItem& it);

// Attack and save breakdowns: base (with the epic bonus), ability, size or magic, other.
struct Breakdown {
  int32_t base, ability, third, other;
  int32_t Total() const { return base + ability + third + other; }
};
int32_t AttackBase(const Char* c);
Breakdown MeleeAttack(const Char* c);
Breakdown RangedAttack(const Char* c);
Breakdown Save(const Char* c, int which);  // 0 Reflex, 1 Will, 2 Fortitude

// Armour class with its parts: a character's and a mixed creature's from the combat
// values, a monster's stat block gives it whole (all of it "other").
struct ArmorClass {
  int32_t total, armor, shield, dexterity, size, other;
};
ArmorClass ArmorClassOf(const Char* c);

// Save DC of a power: 10 + level + the key ability's modifier and DC bonuses.
int PowerDC(const Char* c, int slot, int power, int level);

extern const char* const kAttackCategories[4];
// Bonuses of a natural attack: one per attack, each `step` below the one before; a
// long row of equal attacks as "count * bonus".
std::string AttackBonuses(const CharAttack& a, const char* separator, const char* format);
std::string AttackDamage(const CharAttack& a, const char* die = "W");
// A natural attack's name as a person reads it (a weapon's by its display name).
std::string AttackName(const CharAttack& a);
// Table keys inside a rule text ("WissenEbenen") replaced by their display names.
std::string DisplayKeys(const std::string& text);

// Class slots a monster's spell-casting text made: they come first, before the slots of
// a mixed creature's class part. The export names them "Spellchar".
int SpellCharSlots(const Char* c);
bool Psionic(const Char* c, int slot);

// Whether a class slot has spells or powers to show (a level with slots drawn).
bool CastsAnything(const Char* c, int slot);
// The chosen spells (or powers) of a slot at one level: valid indices of `count` records.
std::vector<int> ChosenAt(const Char* c, int slot, int level, int count);
// The head of a spell level's row: "Grad 1 (5 bekannt, 7/Tag, SG 14): ".
std::string SpellLevelHead(const Char* c, int slot, int level, bool english = false);
// The domain spells by level: "1: Schutz vor Bösem, 2: …"; empty when none.
std::string DomainSpellList(const Char* c, bool english = false);

// A monster's spell-like abilities, one line each ("3/Tag: Feuerball (SG 15)",
// "Zauberstufe 12"): a spell marked "{n}" in the row is of level n and shows its save DC,
// 10 + n + the creature's Charisma modifier. Empty for creatures without any.
std::vector<std::string> SpellLikeLines(const Char* c);

}  // namespace RUNTIME_NS
