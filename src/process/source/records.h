// The records of the rule database (the Source). Shared by all runtimes: one Source
// exists in the process, read-only once built.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "memory/tracker.h"

// The shared empty string of new texts: normally a static one; while the Source is
// built into the fixed region, the region's first byte, so that the image never points
// outside itself. Null selects the static one again.
void UseEmptyText(char* text);

// Text of a Source record. Empty texts share one empty string and own nothing.
struct String {
  uint32_t length = 0;
  uint32_t owned = 0;
  char* text;

  String();
  ~String();
  String(const String&) = delete;
  String& operator=(const String&) = delete;
  // Copies n bytes (which may hold NULs, as lists do) and a terminating NUL.
  void Assign(const char* bytes, size_t n);
  void Assign(const char* s);
  void Append(const char* bytes, size_t n);
  void Clear();
  const char* c_str() const { return text; }
  bool operator==(const char* s) const;
};

// Items of a list whose ";" the reader turned into NUL: up to the first empty one.
template <class Visit>
void ForItems(const String& list, Visit visit) {
  const char* p = list.c_str();
  const char* end = p + list.length;
  while (p < end && *p) {
    visit(p);
    p += strlen(p) + 1;
  }
}

// One heap block owned by a record: a compiled script or an integer code.
struct Owned {
  uint8_t* data = nullptr;
  Owned() = default;
  ~Owned() { Reset(); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  void Reset(uint8_t* p = nullptr) {
    if (data) freeloga(data);
    data = p;
  }
  // Integer codes: word 0 counts the words that follow.
  const int32_t* Code() const { return reinterpret_cast<const int32_t*>(data); }
  int32_t CodeLength() const { return data ? Code()[0] : 0; }
};

constexpr int kAttributes = 6;

// An alignment line of a table ("Meist:NG,NB"): how often a creature has one of the set's
// alignments, and the set as bits of the alignment codes (bit a = code a: RG NG CG RN N CN
// RB NB CB).
enum AlignmentFrequency : int32_t {
  kNoAlignmentLine,
  kAlignmentAlways,
  kAlignmentUsually,
  kAlignmentOften,
  kAlignmentAny
};
struct AlignmentLine {
  int32_t frequency = kNoAlignmentLine;
  int32_t set = 0;
};

// The name a person reads: the row's display name, or its key when it has none.
template <class R>
const char* DisplayName(const R& record) {
  return record.display.length ? record.display.c_str() : record.name.c_str();
}
// The row's English SRD name, or its key when it has none.
template <class R>
const char* SrdName(const R& record) {
  return record.srd.length ? record.srd.c_str() : record.name.c_str();
}

struct CharSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  int32_t hitDie = 0;
  int32_t attributeWeights[kAttributes] = {};
  int32_t probability = 0, attackType = 0, reflex = 0, will = 0, fortitude = 0;
  int32_t attack = 0, forceAttack = 0, skillPoints = 0, prestige = 0, maxLevel = 0;
  Owned effectScript, featScript;
  int32_t spellType = 0, spellType2 = 0, increaseSpellType = 0, spontaneous = 0, spontaneousMode = 0;
  int32_t domains = 0, specialise = 0, powerType = 0;
  Owned requirement, skillRequirement, featList;
  String bonusFeatTypes, bonusFeats;
  int32_t epicFeats = 0, spellFailure = 0, effects = 0, attachClass = -1, noEquipment = 0;
  int32_t psiDisciplines = 0, psiCrystals = 0, forceWeaponType = 0, naturalEnhance = 0, npc = 0;
  int32_t spellAttribute = 0, bonusClassSkills = 0, forceWeapon = -1, noMetal = 0;
};

struct CharTexts {
  String derrive, skillReq, req, copySpells, attachClass, forceWeapon, featReq;
};

struct RaceSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  int32_t probability = 0, size = 0, attackType = 0;
  Owned effectScript;
  int32_t modifiers[kAttributes] = {};
  int32_t range = 0, parent = -1, crModifier = 0;
  Owned featScript;
  AlignmentLine alignment;  // the race's tendency
  int32_t psiFactor = 1;    // weight factor of the psionic classes in the class draw
};

struct RaceTexts {
  String subRace;
};

struct FeatSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  Owned classWeights;   // one int32 per class
  int32_t multi = 0, epic = 0;
  Owned requirement;
  int32_t dependency = -1;
  Owned skillRequirement;
  int32_t dep = 0;
  Owned effectScript;
  int32_t attackDep = 0, featType = 0;
  String text;
  int32_t inborn = 0;
  Owned regions;
  int32_t regionCount = 0, standard = 0, exclusive = 0;
  const int32_t* Weights() const { return reinterpret_cast<const int32_t*>(classWeights.data); }
};

struct FeatTexts {
  String req, skillReq;
};

struct SkillSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  Owned classSkill;     // one int32 per class
  int32_t attribute = 0;
  Owned synergy;
  int32_t untrained = 0, armorPenalty = 0;
  const int32_t* ClassSkill() const { return reinterpret_cast<const int32_t*>(classSkill.data); }
};

struct SkillTexts {
  String synergy;
};

struct SpellSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  int32_t probability = 0;
  Owned classLevels;  // one int32 per class, -1 = not on the class's list
  int32_t domainCount = 0, domainLevel = 0;
  // The domain spell level of domain entry e: one level for both domains.
  int32_t DomainLevel(int) const { return domainLevel; }
  int32_t domains[2] = {-1, -1};
  int32_t school = 0, convert = 0;
  int32_t* Levels() const { return reinterpret_cast<int32_t*>(classLevels.data); }
};

struct PowerSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  int32_t psion = 0, psychicWarrior = 0, attribute = 0;
  int32_t discipline = -1;  // the discipline whose psions alone learn it (0..5 as the abilities); -1 general
  String srdDiscipline;     // the power's discipline as the SRD names it ("Telepathy"); every power has one
};

struct EquipSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  int32_t equipType = 0, damageCount = 0, damageDie = 0, damageThird = 0, size = 0, type = 0;
  int32_t critical = 0, criticalMultiplier = 0, further = 0, attackType = 0;
  Owned classWeights, raceWeights;
  int32_t probability = 0, armor = 0, maxDex = 0, penalty = 0, spellFailure = 0, metal = 0;
  int32_t specialType = 0, minLevel = 0, rare = 0, price = 0;
  Owned script;
  int32_t forbidEffects = 0, amount = 0;
  int32_t smallDamageCount = 0, smallDamageDie = 0;  // the damage a Small wielder deals
};

constexpr int kEffectSlots = 10;

struct EffectSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  int32_t slots[kEffectSlots] = {};
  int32_t groups[4] = {};
  int32_t multi = 0, cost = 0, cost2 = 0;
  Owned effectScript, skillBonus, variableScript;
  int32_t ranged = 0;
};

struct ItemTexts {
  String skillBoost;
};

struct SpecificSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  int32_t base = -1, price = 0;
  Owned script, skillBonus;
  int32_t groups[4] = {};
  // The SRD random tables: the width of the item's d% range on its family's minor, medium
  // and major table (0: not on it).
  int32_t grades[3] = {};
  int32_t charges = 0;      // most charges (wands, staffs); a found one has 1 to this many
  int32_t spell = -1;       // the spell a potion, oil or wand holds
  int32_t spellLevel = -1;  // the spell level its price is reckoned by (scrolls: the level drawn)
  int32_t casterLevel = 0;
};

struct NamedSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
};

struct SizeSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  int32_t st = 0, ge = 0, ko = 0, ac = 0, sizeMod = 0;
};

struct MonsterTypeSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  int32_t attackType = 0, reflex = 0, will = 0, fortitude = 0, mixed = 0, mixedEq = 0, skills = 0, feats = 0;
  int32_t crDice = 0;  // SRD 3.5: added hit dice per +1 CR of an advanced monster of this type
  int32_t hitDie = 0;  // the type's hit die (d8, d10, d12, d6): a smaller die on one hit die is a fraction of it
};

struct AbilitySource {
  String name, text;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  Owned script;
};

struct SpecialSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  int32_t type = 0, spellLevel = 0;
  Owned script;
};

struct BonusSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  int32_t stack = 0;
};

struct TemplateSource {
  String name;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  Owned crScript;
  int32_t mixed = 0;
  String forceTypes, forbidTypes;
  Owned script;
  int32_t attributeMods[kAttributes] = {};
  String newType, description;
  AlignmentLine alignment;  // none: the base creature's
};

constexpr int kMonsterAttacks = 6;

struct MonsterAttack {
  int32_t attack = 0, number = 0, reduction = 0, damageA = 0, damageB = 0, damageC = 0;
};

struct MonsterSource {
  String name, description;
  String display, srd;  // what a person reads; the SRD's own name (empty: none)
  int32_t cr = 0, type = 0, size = 0, epic = 0, hd = 0, hdType = 0, tp = 0;
  int32_t reflex = 0, will = 0, fortitude = 0;
  int32_t abilities[kAttributes] = {};
  int32_t ac = 0, hdMin = 0, hdMax = 0, hdInc = 0, hdInc2 = 0, init = 0, speed = 0, orgMin = 0, orgMax = 0;
  int32_t mixed = 0, treasure = 0;
  MonsterAttack attacks[kMonsterAttacks];
  String attackNames[kMonsterAttacks];
  int32_t alternatives[kMonsterAttacks] = {};
  int32_t attackCount = 0;
  int32_t feats[6] = {}, featCount = 0;
  int32_t skills[7][2] = {}, skillCount = 0;
  Owned spellChar;
  int32_t clericSpells = 0;
  Owned familiar;
  Owned abilityCode;
  int32_t spellResistance = 0;
  int32_t saves[3] = {};  // progression of Reflex, Will, Fortitude (1 good, 2 poor); 0 = the type's
  // Spell-like abilities as the sheet lists them, one per line ("3/Tag: Dunkelheit"); empty: none
  String spellLike;
  int32_t reach = -1;  // natural reach in feet as the SRD gives it; -1: by size (tall)
  // The SRD's names of the attack slots ("Claw|Bite|Tail slap"), for the English block.
  String srdAttacks;
  // Where the creature lives, as a German reads it and as the SRD says it; empty: not given.
  String environment, srdEnvironment;
  // Further ways to move as the SRD's speed line gives them ("fly 40 good|climb 20"; a
  // leading "*" marks the mode of the speed itself: "*fly perfect"); empty: walking only.
  String movementModes;
  AlignmentLine alignment;
};

struct ProfileSource {
  char name[256] = {};
  int32_t classes[32][2] = {}, classCount = 0;
  int32_t weapons[32] = {}, weaponCount = 0;
  int32_t feats[64] = {}, featCount = 0;
  int32_t skills[64][3] = {}, skillCount = 0;
  int32_t spells[256][2] = {}, spellCount = 0;
  int32_t effects[256] = {}, effectCount = 0;
  int32_t specials[128] = {}, specialCount = 0;
  int32_t armor = -1, shield = -1, armorNumber = 0, shieldNumbers[2] = {};
  int32_t attackType[2] = {};
  int32_t race = -1, school = -1;
  int32_t attributes[kAttributes] = {};
  int32_t minLevel = 0;
};

// The root of the Source: every table with its count.
struct Source {
  CharSource* classes = nullptr;
  int32_t classCount = 0;
  FeatSource* feats = nullptr;
  int32_t featCount = 0;
  EquipSource* equipment = nullptr;
  int32_t equipmentCount = 0;
  SkillSource* skills = nullptr;
  int32_t skillCount = 0;
  RaceSource* races = nullptr;  // raceCount + 1 records: the last is "Monster"
  int32_t raceCount = 0;
  SpellSource* spells = nullptr;
  int32_t spellCount = 0;
  PowerSource* powers = nullptr;
  int32_t powerCount = 0;
  EffectSource* effects = nullptr;
  int32_t effectCount = 0;
  SpecificSource* specifics = nullptr;
  int32_t specificCount = 0;
  MonsterSource* monsters = nullptr;
  int32_t monsterCount = 0;
  // (rules × monsters × templates + monster × templates + template) × 4 + variant: low, high;
  // the system's own rules first, then SRD 3.5
  int32_t* monsterCR = nullptr;
  ProfileSource* profiles = nullptr;
  int32_t profileCount = 0;
  NamedSource* schools = nullptr;
  int32_t schoolCount = 0;
  SizeSource* sizes = nullptr;
  int32_t sizeCount = 0;
  MonsterTypeSource* monsterTypes = nullptr;
  int32_t monsterTypeCount = 0;
  NamedSource* domains = nullptr;
  int32_t domainCount = 0;
  TemplateSource* templates = nullptr;
  int32_t templateCount = 0;
  NamedSource* regions = nullptr;
  int32_t regionCount = 0;
  AbilitySource* abilities = nullptr;
  int32_t abilityCount = 0;
  SpecialSource* specials = nullptr;
  int32_t specialCount = 0;
  BonusSource* bonuses = nullptr;
  int32_t bonusCount = 0;
  NamedSource* attributeNames = nullptr;  // six
  int32_t startMoney[51] = {};
  int32_t treasure[51] = {};
  int32_t proficiencyFeats[3][3] = {};
  const char* symbolNames = nullptr;
  bool initialised = false;
};

extern Source gSource;

// Fingerprint of the record layouts and of the meaning of their fields; a dump made by
// a build with another fingerprint is refused. Raise kSourceFormat whenever a record
// field changes its meaning or the compiled script format changes.
constexpr uint32_t kSourceFormat = 6;
uint32_t SourceLayoutStamp();
// Counts the builds of the Source, so that lookups cached by name know when to renew.
extern uint32_t gSourceGeneration;

// The class record of a class code; null for none (-1) or an invalid code.
inline const CharSource* ClassAt(int cls) {
  return cls >= 0 && cls < gSource.classCount ? &gSource.classes[cls] : nullptr;
}

// Arrays of records with their element count in front (so they can be destroyed).
template <class T>
T* NewRecords(int count, const char* tag) {
  size_t n = count > 0 ? (size_t)count : 0;
  void* block = mallocloga(sizeof(size_t) * 2 + sizeof(T) * (n ? n : 1), tag);
  *static_cast<size_t*>(block) = n;
  T* records = reinterpret_cast<T*>(static_cast<char*>(block) + sizeof(size_t) * 2);
  for (size_t i = 0; i < n; ++i) new (&records[i]) T();
  return records;
}

template <class T>
void DeleteRecords(T*& records) {
  if (!records) return;
  char* block = reinterpret_cast<char*>(records) - sizeof(size_t) * 2;
  size_t n = *reinterpret_cast<size_t*>(block);
  for (size_t i = 0; i < n; ++i) records[i].~T();
  freeloga(block);
  records = nullptr;
}
