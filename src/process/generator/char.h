// The creature record: one generated creature. The fields the scripts address are
// named as the script variables name them.
#pragma once
#include <cstdint>

#include "launcher/process.h"
#include "random/types.h"

constexpr int kMaxClassSlots = 32;
constexpr int kMaxFeats = 512;
constexpr int kMaxSkillEntries = 512;
constexpr int kMaxSubjects = 8, kMaxEnemies = 16;
constexpr int kMaxSkillCodes = 128;
constexpr int kMaxItems = 64;
constexpr int kMaxSchools = 16;
constexpr int kDisciplines = 6;

struct CharSkill {
  int32_t skill = 0, ranks = 0, halfRank = 0, bonus = 0, ability = 0, penalty = 0, total = 0;
};

constexpr int kItemEffects = 24;

// An equipped item: one bought or found object.
struct CharItem {
  int32_t equipment = -1;  // index into the equipment table
  int32_t equipType = 0;   // kind: 0 weapon, 1 armour, 2 shield, 3 ring, 4 amulet, 5 cloak, 6 boots,
                           // 7 belt, 8 gloves, 9 helm, 10 goods, 11 ammunition, 12 bracers, 13 vest,
                           // 15 wand, 16 staff, 17 rod, 18 potion, 19 oil, 20 scroll, 21 slotless
  int32_t enhancement = 0;
  int32_t effects[kItemEffects] = {};
  int32_t strengths[kItemEffects] = {};
  int32_t effectCount = 0;
  int32_t secondEffect = 0;
  int32_t keptEnhancement = 0;
  int32_t damage[3] = {};
  int32_t size = 0;
  int32_t type = 0;
  int32_t critical = 0, criticalMultiplier = 0, criticalFurther = 0, criticalBonus = 0;
  int32_t attackType = 0;
  int32_t armor = 0, maxDex = 0, penalty = 0, spellFailure = 0, metal = 0;
  int32_t attackBonus = 0, attackBonusA = 0, twoWeapon = 0, twoWeaponSecond = 0, twoHanded = 0, bowStrength = 0;
  int32_t primary = 0, secondary = 0;
  int32_t value = 0, price = 0;
  int32_t masterwork = 0, mithril = 0, mercury = 0, magic = 0, handsConflict = 0, treasure = 0;
  int32_t charEnhancement = 0;
  int32_t finalAttack = 0, finalDamage = 0, finalPenalty = 0;  // after the combat values
  int32_t figured = 0;                                         // the combat values were computed for this item
  char label[64] = {};
  int32_t specific = 0;
  int32_t charges = 0;  // a wand's or staff's charges left
  int32_t spell = 0;    // the spell a scroll holds, index + 1 (0: none)
  // Detail text of each effect (what its script says it does), packed: effect k's
  // text starts at effectTextAt[k].
  int16_t effectTextAt[kItemEffects] = {};
  char effectTexts[512] = {};
};

constexpr int kMonsterOptions = 32;
constexpr int kMaxCompanions = 8;
constexpr int kNaturalAttacks = 6;

// A natural attack of a monster: the slot of its stat block, with totals.
struct CharAttack {
  char name[32] = {};
  int32_t attack = 0;      // bonus of the first attack
  int32_t number = 0;      // attacks of the slot
  int32_t step = 0;        // reduction per further attack (5 for iterative weapons)
  int32_t damage[3] = {};  // dice, die size, bonus
  int32_t category = 0;    // 0 primary routine, 1 to 3 alternatives
};

struct CharBonus {
  int32_t variable;  // byte offset of the raised field in the Char
  int32_t amount;
  int32_t bonusType;
  const char* source;
  CharBonus* next;
};

struct Char;

// One per worker thread: what survives the reset of a Char between creations.
struct CreationContext {
  int32_t* effectDone = nullptr;       // one mark per magic effect
  int32_t* againDependency = nullptr;  // one mark per feat
  int32_t* featNotAgain = nullptr;     // one mark per feat
  Char* classPart = nullptr;           // the class part of a mixed creature
  int32_t* spareRecord = nullptr;      // its reproduction record
  IsaacState* random = nullptr;        // the thread's random state
  TextBuffer* effectText = nullptr;    // scratch for the text of one item effect
  Char* treasureChar = nullptr;        // scratch creature and record a character's item
  int32_t* treasureRecord = nullptr;   // treasure is drawn with
  int32_t bonusDice = 0;               // a companion's bonus hit dice (SRD 3.5), which do not make it grow
};

// Bonus records a Char holds in itself before it takes them from the heap: most
// creatures need a few, and every heap record passes the tracker's lock twice.
constexpr int kKeptBonuses = 8;

struct Char {
  int32_t* record = nullptr;  // the reproduction record
  CharBonus* bonuses = nullptr;
  CharBonus keptBonuses[kKeptBonuses] = {};
  int32_t keptBonusCount = 0;  // the first records of the list, in keptBonuses

  int32_t profileMode = 0, profileWeight = 0, profile = -1, mixed = 0, crShare = 0, templateIndex = 0;
  int32_t region = 0, npcClasses = 0;
  int64_t creationTime = 0;
  int32_t cr = 0;
  RuleSet rules = kRulesOwn;  // from the reproduction record; sub-creatures take their master's
  int32_t alignment = -1;     // generator/alignment.h: 0..8, -1 while not drawn

  int32_t ST = 0, GE = 0, KO = 0, IN = 0, WE = 0, CH = 0;
  int32_t MST = 0, MGE = 0, MKO = 0, MIN = 0, MWE = 0, MCH = 0;
  int32_t absent[6] = {};

  int32_t classCount = 0;
  int32_t classes[kMaxClassSlots] = {};
  int32_t Level = 0;
  int32_t classLevels[kMaxClassSlots] = {};
  int32_t preEpicLevels[kMaxClassSlots] = {};

  int32_t hitPoints = 0, TP = 0, shownHitPoints = 0, GA = 0;
  // What the hit dice rolled of `hitPoints` (a maximised die at its maximum): the rest of
  // hitPoints + TP is the fixed part of the dice expression "6W8+36".
  int32_t hitDieRolls = 0;
  int32_t RWRefMage = 0, RWWilMage = 0, RWZaehMage = 0, RWRefRest = 0, RWWilRest = 0, RWZaehRest = 0;
  // Class-derived base values (scripts add to the RW* bonuses above, not to these).
  int32_t baseRef = 0, baseWill = 0, baseFort = 0, epicAttack = 0, epicSave = 0;
  int32_t meleeMod = 0, rangedMod = 0, sizeMod = 0, refMod = 0, willMod = 0, fortMod = 0;

  int32_t featCount = 0;
  int32_t feats[kMaxFeats] = {};
  int32_t featParameters[kMaxFeats] = {};
  int32_t featListed[kMaxFeats] = {};
  int32_t groupCounters[5] = {};
  int32_t getAllRequired = 0, limitedFeats = 1, BonusFeats = 0, fightingStyle = 0, fightingStyle2 = 0;
  int32_t Attacks = 1, Attacks2 = 0, BonusAttacks = 0, AttacksOpportunity = 1, MonkAttacks = 0;
  int32_t* secondCounter = nullptr;  // the counter a feat stage designates for script additions

  int32_t itemCount = 0;
  CharItem items[kMaxItems] = {};
  int32_t RingMax = 2;

  CharSkill skills[kMaxSkillEntries] = {};
  int32_t skillCount = 0, skillPoints = 0;
  int32_t requiredRanks[kMaxSkillCodes] = {};  // per skill code: the rank feats and classes demand
  int32_t BonusSkillPoints = 0;

  int32_t race = -1, subRace = -1;
  int32_t Size = 0;  // the negated size of the race: positive for small creatures

  // Spells per class slot and spell level: known, per day, to draw (-1 = none).
  int32_t spellsKnown[kMaxClassSlots][10];
  int32_t spellsPerDay[kMaxClassSlots][10];
  int32_t spellsToDraw[kMaxClassSlots][10];
  int32_t domains[16];
  int32_t domainCount = 0;
  int32_t domainSpells[10];  // per spell level 1 to 9: the domain spell, -1 none
  // The spells drawn per class slot and spell level (-1 = none could be drawn).
  int32_t spellsChosen[kMaxClassSlots][10][10];
  int32_t spellsChosenCount[kMaxClassSlots][10] = {};
  int32_t mainCastingSlot = -1;
  int32_t spellBonus[3] = {};  // bonus spells per day and the spell levels (lowest, highest) they apply to
  int32_t SpellFailure = 0;
  int32_t ArcaneDC = 0, DivineDC = 0, GeneralDC = 0;
  int32_t schoolDC[kMaxSchools] = {};
  int32_t disciplineDC[kDisciplines] = {};
  int32_t specialist = 0, specialistSchool = -1;
  int32_t highestSpellLevel = -1;  // highest castable spell level, -1 without spells
  int32_t knownSpellCount = 0;     // spells known over all class slots
  int32_t knownSpells[256] = {};
  int32_t forbidden[kMaxSchools] = {};  // one flag per school
  int32_t casterLevel[kMaxClassSlots] = {};

  TextBuffer* specialText = nullptr;
  TextBuffer* texts[3] = {};

  int32_t maxDex = 1024;
  int32_t armorCheckPenalty = 0;
  // Combat values: armour class parts and total, the penalty and spell failure shown.
  int32_t armorAC = 0, shieldAC = 0, dexToAC = 0, totalAC = 10, shownCheckPenalty = 0,
          shownSpellFailure = 0;  // from missing armour and shield proficiency; items add theirs
  int32_t AC = 0;
  float Range = 0;
  int32_t MR = 0, MRBonus = 0, BeatMR = 0;
  int32_t SpecialAbilities = 0, Lores = 0, Arcanas = 0, HierophantAbilities = 0;
  int32_t Init = 0, AttackMod = 0, DmgMod = 0;
  int32_t Unarmed1 = 0, Unarmed2 = 0, PowerPoints = 0, Crystals = 0, CombatModes = 0;
  int32_t mainPsionic = -1;  // the main psionic ability, -1 without powers
  int32_t kind = 0, monster = -1, creatureType = -1, MonsterTWType = 0;
  // Monster options the choice found (variant, template, lowest CR), and the build.
  int32_t optionCount = 0;
  int32_t optionVariant[kMonsterOptions] = {}, optionTemplate[kMonsterOptions] = {}, optionCR[kMonsterOptions] = {};
  int32_t attackCount = 0;
  CharAttack naturals[kNaturalAttacks] = {};
  int32_t sizeIndex = -1;       // monsters: row of the size table
  int32_t NaturalAC = 0;        // monsters: the natural armour part of AC (templates replace or drop it)
  int32_t monsterBase[4] = {};  // base attack, Reflex, Will, Fortitude of the type at the built hit dice
  int32_t snapshot[5] = {};
  int32_t casterSlots = 0;  // monsters: the class slots of their own spell casting (before a class part's)
  int32_t monsterCaster = 0,
          clericSpells = 0;  // spell-list settings of a casting monster's classes   // attacks, armour class, hit
                             // points, spell resistance, spell failure after the build
  int32_t Sneak = 0, Evasion = 0, Smite = 0, Dex2AC = 0, UncannyDodge = 0, LowLightVision = 0, DarkVision = 0;
  int32_t Concealment = 0, LayOnHands = 0, SacretDefense = 0, PoisonUse = 0, TouchReach = 0, ClassLevel = 0;
  int32_t SurpremeCleave = 0;

  uint8_t assignmentLock = 0;

  int32_t mixedPart = 0;         // this Char is the class part of a mixed creature
  Char* mixedMonster = nullptr;  // the monster it belongs to
  int32_t noEquipment = 0;
  int32_t wealth = 0, money = 0, budget = 0, saleValue = 0, treasureIndex = 0;
  int32_t drawnBudget = 0;       // the equipment budget as drawn, before any overspending
  int32_t equipmentFollows = 0;  // more of the character's own equipment is still to be bought
  int32_t treasureBudget = 0, treasureMoney = 0, itemArmorBonus = 0, protectiveItems = 0;
  int32_t handWish[2] = {};  // per hand: 0 none, 1 one-handed, 2 double or two weapons, 3 two-handed, 4 ranged
  int32_t throwing = 0, bracerBonus = 0;
  int32_t diceMethod = 0;
  // Mixed creatures: the class levels counted in `Level`; in the class part, the hit
  // points that the feats taken over from the monster added (its stat block has them).
  int32_t classHitDice = 0, inheritedTP = 0;
  int64_t classPartTime = 0;

  CreationContext context;

  int32_t Familiar = 0, AnimalCompanion = 0, Mount = 0, Servant = 0;
  // Companions, built as creatures of their own and owned by this one.
  Char* familiarChar = nullptr;
  Char* companionChars[kMaxCompanions] = {};
  int32_t companionCount = 0;
  Char* mountChar = nullptr;
  Char* servantChar = nullptr;
  int32_t familiarFlags[3] = {};  // share spells, empathic link, speaks with its master

  // generator/details.h, drawn last: subjects of craft and profession entries (skill
  // entry, subject code + 1) and favoured enemies (enemy code + 1, bonus).
  int32_t subjectCount = 0;
  int32_t subjectEntries[kMaxSubjects] = {}, subjects[kMaxSubjects] = {};
  int32_t enemyCount = 0;
  int32_t enemies[kMaxEnemies] = {}, enemyBonuses[kMaxEnemies] = {};
};

// Frees what the creature owns: its bonus records and its companions.
void FreeCharBonuses(Char* c);
// A new bonus record for the Char's list: one of its own while they last.
CharBonus* NewCharBonus(Char* c);
// Gives back the records of a list of the Char's that are not its own.
void FreeBonusRecords(const Char* c, CharBonus* list);
// Turns *c into a freshly constructed Char by copying one made once: constructing the
// record member by member costs far more than copying its bytes.
void MakeFreshChar(Char* c);

// The class of the slot with the most levels (the first on a tie, slot 0 when no slot
// has a level); -1 for a creature without classes.
int MainClass(const Char* c);

// Whether the creature is built by the SRD 3.5 rules (command 701) instead of the system's
// own. Each rule that differs keeps both ways side by side in one function named after it.
inline bool Srd35(const Char* c) { return c->rules == kRulesSrd35; }

// The integer field a script variable names (the float `Range` aside); -1 when none.
int CharVariableOffset(const char* name, bool* isFloat);
// The integer field of an equipment entry that a script variable names; -1 when none.
// `CriticalBonus` set doubles the weapon's threat range (keen).
int ItemVariableOffset(const char* name);
