// The columns of every rule table, and the rules for what columns cannot say. The
// columns of a table are read in their order: the blocks a record owns are made in that
// order, and the dump's layout follows it.
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "source/reader.h"
#include "source/source_init.h"
#include "source/tables.h"

namespace RUNTIME_NS {

using namespace schema;

SourceStats gSourceStats;
TableTexts gTexts;

namespace {

const char* const kAttributeColumns[kAttributes] = {"St", "Ge", "Ko", "In", "We", "Ch"};

// Columns named after classes and races: their positions in the header being read (-1: none).
int32_t* gClassColumns = nullptr;
int32_t* gRaceColumns = nullptr;
int32_t* gDerriveColumns = nullptr;  // feats: per class, the column of the class its Derrive names

void Positions(int32_t*& positions, int count, const char* tag) {
  if (positions) freeloga(positions);
  positions = static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)(count + 1), tag));
}

void FindClassColumns(char** header, int count) {
  Positions(gClassColumns, gSource.classCount, "SourceInit-ClassPositions");
  for (int c = 0; c < gSource.classCount; ++c)
    gClassColumns[c] = FindColumn(header, gSource.classes[c].name.c_str(), count);
}

const char* Derrive(int cls) {
  const char* d = gTexts.classes[cls].derrive.c_str();
  return d[0] && d[0] != ';' ? d : nullptr;
}

// One int32 per class, from the class's column or by `absent`; owned by the record.
template <class Absent>
uint8_t* PerClass(const Row& row, const char* tag, Absent absent) {
  int32_t* values =
      static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)(gSource.classCount ? gSource.classCount : 1), tag));
  for (int c = 0; c < gSource.classCount; ++c)
    values[c] = gClassColumns[c] >= 0 ? FieldNumber(row.fields[gClassColumns[c]]) : absent(c, values);
  return reinterpret_cast<uint8_t*>(values);
}

// The row that last updated each record of an update table (Weapons.txt, Spells2.txt):
// a second row for the same record would silently replace the first.
int32_t* gUpdatedAt = nullptr;
void StartUpdates(int records) {
  if (gUpdatedAt) freeloga(gUpdatedAt);
  size_t n = (size_t)(records > 0 ? records : 1);
  gUpdatedAt = static_cast<int32_t*>(mallocloga(sizeof(int32_t) * n, "SourceInit-UpdatedAt"));
  memset(gUpdatedAt, 0, sizeof(int32_t) * n);
}
void Updated(int record, Table table, const char* name) {
  if (gUpdatedAt[record]) DuplicateRow(PathOf(table), name, gUpdatedAt[record], CurrentLine());
  gUpdatedAt[record] = CurrentLine();
}

// ---- minor tables ----

const Column kNamed[] = {Text("Name", &NamedSource::name)};

using Sz = SizeSource;
const Column kSizes[] = {Text("Name", &Sz::name), Number("St", &Sz::st), Number("Ge", &Sz::ge),
                         Number("Ko", &Sz::ko),   Number("AC", &Sz::ac), Number("SizeMod", &Sz::sizeMod)};

using Ty = MonsterTypeSource;
const Column kMonsterTypes[] = {
    Text("Name", &Ty::name),         Number("GA", &Ty::attackType),    Number("RWRef", &Ty::reflex),
    Number("RWWil", &Ty::will),      Number("RWZaeh", &Ty::fortitude), Number("Mixed", &Ty::mixed),
    Number("MixedEq", &Ty::mixedEq), Number("Skills", &Ty::skills),    Number("Feats", &Ty::feats),
    Number("CRDice", &Ty::crDice),   Number("HD", &Ty::hitDie)};

const Column kAbilities[] = {Text("Name", &AbilitySource::name), Text("Text", &AbilitySource::text),
                             Script("Script", &AbilitySource::script, "Error in Abbility Script %s\n")};

const Column kSpecials[] = {Text("Name", &SpecialSource::name), Number("Type", &SpecialSource::type),
                            Number("SpellLevel", &SpecialSource::spellLevel),
                            Script("Script", &SpecialSource::script, "Error in Special Script %s\n")};

const Column kBonuses[] = {Text("Name", &BonusSource::name), Number("Stack", &BonusSource::stack)};

using Tp = TemplateSource;
const Column kTemplates[] = {Text("Name", &Tp::name),
                             Number("Mixed", &Tp::mixed),
                             Text("NewType", &Tp::newType),
                             List("ForceType", &Tp::forceTypes),
                             List("ForbitType", &Tp::forbidTypes),
                             SixNumbers("AttrMod", &Tp::attributeMods),
                             Alignment("Gesinnung", &Tp::alignment),
                             Script("CRScript", &Tp::crScript, "Error in Template Script %s\n"),
                             Script("Script", &Tp::script, "Error in Template Script %s\n")};

// ---- classes ----

void Spontaneous(Row& row) {
  int32_t spontan = FieldNumber(row.Field("SpontanCast"));
  row.Record<CharSource>().spontaneous = spontan % 2;
  row.Record<CharSource>().spontaneousMode = spontan / 2;
}

// The progressions decide base attack, saves and hit points: a typo must not silently
// give a class no attack bonus or no hit die.
void CheckProgressions(Row& row) {
  const CharSource& r = row.Record<CharSource>();
  const char* progression = nullptr;
  if (r.attackType < 1 || r.attackType > 3)
    progression = "GAType (1 good, 2 medium, 3 poor)";
  else if (r.reflex < 1 || r.reflex > 2)
    progression = "Ref (1 good, 2 poor)";
  else if (r.will < 1 || r.will > 2)
    progression = "Wil (1 good, 2 poor)";
  else if (r.fortitude < 1 || r.fortitude > 2)
    progression = "Zäh (1 good, 2 poor)";
  else if (r.hitDie < 1)
    progression = "TW (a die such as W8)";
  else if (r.maxLevel < 1)
    progression = "MaxLvl (at least 1)";
  if (!progression) return;
  ConsolePrint("Invalid progression %s\n", progression);
  ConsolePrint("Invalid Number of Arguments in CharSource Database (%s)\n", row.fields[0]);
  TableFault();
}

using Ch = CharSource;
using CT = CharTexts;
const Column kClasses[] = {Text("Name", &Ch::name),
                           Die("TW", &Ch::hitDie),
                           Numbers(kAttributeColumns, &Ch::attributeWeights),
                           Number("Probability", &Ch::probability),
                           Number("GAType", &Ch::attackType),
                           Number("Ref", &Ch::reflex),
                           Number("Wil", &Ch::will),
                           Number("Zäh", &Ch::fortitude),
                           Number("Attack", &Ch::attack),
                           Number("ForceAttack", &Ch::forceAttack),
                           Number("Skills", &Ch::skillPoints),
                           Number("Prest", &Ch::prestige),
                           Number("MaxLvl", &Ch::maxLevel),
                           Number("SpellType", &Ch::spellType),
                           Number("SpellType2", &Ch::spellType2),
                           Number("IncreaseSpellType", &Ch::increaseSpellType),
                           Input("SpontanCast"),
                           Rule(Spontaneous),
                           Number("Domains", &Ch::domains),
                           Number("Specialize", &Ch::specialise),
                           Number("PowerType", &Ch::powerType),
                           List("BonusFeatType", &Ch::bonusFeatTypes),
                           List("BonusFeats", &Ch::bonusFeats, Kind::kColonList),
                           Number("EpicFeats", &Ch::epicFeats),
                           Number("SpellFailure", &Ch::spellFailure),
                           Number("Effects", &Ch::effects),
                           Number("NoEq", &Ch::noEquipment),
                           Number("PsiDisc", &Ch::psiDisciplines),
                           Number("PsiCrys", &Ch::psiCrystals),
                           Number("ForceWeaponType", &Ch::forceWeaponType),
                           Number("NaturalEnhence", &Ch::naturalEnhance),
                           Number("NPC", &Ch::npc),
                           Number("SpellAttr", &Ch::spellAttribute),
                           Number("BonusClassSkills", &Ch::bonusClassSkills),
                           Number("NoMetal", &Ch::noMetal),
                           Script("EffectScript", &Ch::effectScript, "Error in Character Script %s\n"),
                           Script("GiveFeats", &Ch::featScript, "Error in Character Script %s\n"),
                           Kept(Text("Derrive", &CT::derrive)),
                           Kept(List("SkillReq", &CT::skillReq, Kind::kCommaList)),
                           Kept(List("Req", &CT::req, Kind::kCommaList)),
                           Kept(Text("CopySpells", &CT::copySpells)),
                           Kept(Text("AttachClass", &CT::attachClass)),
                           Kept(Text("ForceWeapon", &CT::forceWeapon)),
                           Kept(List("FeatReq", &CT::featReq)),
                           Rule(CheckProgressions, Pass::kCheck)};

// ---- races ----

using Ra = RaceSource;
const Column kRaces[] = {Text("Name", &Ra::name),
                         Number("Prob", &Ra::probability),
                         Number("Size", &Ra::size),
                         Number("AttackType", &Ra::attackType),
                         SixNumbers("RaceMod", &Ra::modifiers),
                         Number("Range", &Ra::range),
                         Kept(Text("SubRace", &RaceTexts::subRace)),
                         Number("HGMod", &Ra::crModifier),
                         Number("PsiFactor", &Ra::psiFactor, Need::kOptional),
                         Alignment("Gesinnung", &Ra::alignment),
                         Script("EffectScript", &Ra::effectScript, "Error in Race Script %s\n"),
                         Script("GiveFeats", &Ra::featScript, "Error in Race Script %s\n")};

// ---- feats ----

void FindFeatColumns(char** header, int count) {
  FindClassColumns(header, count);
  Positions(gDerriveColumns, gSource.classCount, "SourceInit-DerrivePositions");
  for (int c = 0; c < gSource.classCount; ++c)
    gDerriveColumns[c] = Derrive(c) ? FindColumn(header, Derrive(c), count) : -1;
}

// A class without a column takes the weight of the class its Derrive names, unless the
// feat is exclusive.
void FeatWeights(Row& row) {
  FeatSource& r = row.Record<FeatSource>();
  r.classWeights.Reset(PerClass(row, "SetFeatSource-Probability", [&](int c, const int32_t*) {
    return r.exclusive == 0 && gDerriveColumns[c] >= 0 ? FieldNumber(row.fields[gDerriveColumns[c]]) : 0;
  }));
}

// The regions, made here and filled by FeatRegionNames: a list of one character names none.
void FeatRegions(Row& row) {
  FeatSource& r = row.Record<FeatSource>();
  char* rel = row.Field("Rel");
  size_t n = strlen(rel);
  if (n <= 1) return;
  int items = 0;
  for (char* p = rel; *p; ++p) items += *p == ';';
  int32_t* regions =
      static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)(items ? items : 1), "SetFeatSource-Rel"));
  for (size_t i = 0; i < n; ++i)
    if (rel[i] == ';') rel[i] = 0;
  int k = 0;
  for (const char* p = rel; p < rel + n && k < items; p += strlen(p) + 1) k += *p != 0;
  r.regions.Reset(reinterpret_cast<uint8_t*>(regions));
  r.regionCount = k;
}

void FeatRegionNames(Row& row) {
  FeatSource& r = row.Record<FeatSource>();
  int32_t* regions = reinterpret_cast<int32_t*>(r.regions.data);
  const char* p = row.Field("Rel");
  for (int k = 0; k < r.regionCount; p += strlen(p) + 1)
    if (*p) regions[k++] = RowNamed<Table::kRegions>(p).value;
}

using Ft = FeatSource;
const Column kFeats[] = {Text("Name", &Ft::name),
                         Number("Multi", &Ft::multi),
                         Number("Epic", &Ft::epic),
                         Number("Dep", &Ft::dep),
                         Number("AttackDep", &Ft::attackDep),
                         Number("FeatType", &Ft::featType),
                         Number("Inborn", &Ft::inborn),
                         Number("Standard", &Ft::standard),
                         Number("Exclusive", &Ft::exclusive),
                         Text("Text", &Ft::text, Kind::kProse),
                         Rule(FeatWeights),
                         Input("Rel"),
                         Rule(FeatRegions),
                         Script("EffectScript", &Ft::effectScript, "Error in Feat Script %s\n"),
                         Kept(List("Req", &FeatTexts::req, Kind::kCommaList)),
                         Kept(List("SkillReq", &FeatTexts::skillReq, Kind::kCommaList)),
                         Rule(FeatRegionNames, Pass::kResolve)};

// ---- skills ----

// A class without a column has the skill as a class skill until a class before it has not.
void ClassSkills(Row& row) {
  row.Record<SkillSource>().classSkill.Reset(PerClass(row, "SetSkillSource-Prob", [](int c, const int32_t* values) {
    for (int k = 0; k < c; ++k)
      if (values[k] == 0) return 0;
    return 1;
  }));
}

const Column kSkills[] = {Text("Name", &SkillSource::name),
                          Number("Attr", &SkillSource::attribute),
                          Number("Untrained", &SkillSource::untrained),
                          Number("ArmorMalus", &SkillSource::armorPenalty),
                          Rule(ClassSkills),
                          Kept(List("Synergy", &SkillTexts::synergy))};

// ---- spells ----

void ClassLevels(Row& row) {
  row.Record<SpellSource>().classLevels.Reset(
      PerClass(row, "SetSpellSource-ClassLevels", [](int, const int32_t*) { return -1; }));
}

// "-" ends the domains; a second domain counts only after a first.
void SpellDomains(Row& row) {
  SpellSource& r = row.Record<SpellSource>();
  const char* d1 = row.Field("Domäne");
  const char* d2 = row.Field("Domäne2");
  r.domainCount = strcmp(d1, "-") == 0 ? 0 : strcmp(d2, "-") == 0 ? 1 : 2;
  if (r.domainCount >= 1) r.domains[0] = RowNamed<Table::kDomains>(d1).value;
  if (r.domainCount >= 2) r.domains[1] = RowNamed<Table::kDomains>(d2).value;
}

const Column kSpells[] = {Text("Name", &SpellSource::name),
                          Number("Probability", &SpellSource::probability),
                          Rule(ClassLevels),
                          Input("Domäne"),
                          Input("Domäne2"),
                          Number("DomäneL", &SpellSource::domainLevel),
                          Rule(SpellDomains, Pass::kResolve),
                          Reference("Schule", &SpellSource::school, Table::kSchools),
                          Number("Convert", &SpellSource::convert)};

// Spells2.txt: per class, the spells of each level ("0" to "9") added to its list.
const char* const kSpellLevels[10] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};

void SpellListRow(Row& row) {
  const char* name = row.Field("Name");
  int cls = RowNamed<Table::kClasses>(name).value;
  Updated(cls, Table::kSpellLists, name);
  for (int l = 0; l < 10; ++l) {
    char* list = row.Field("0", l);
    size_t n = strlen(list);
    for (size_t i = 0; i < n; ++i)
      if (list[i] == ';') list[i] = 0;
    for (const char* p = list; p < list + n && *p; p += strlen(p) + 1)
      gSource.spells[RowNamed<Table::kSpells>(p).value].Levels()[cls] = l;
  }
}

const Column kSpellLists[] = {Input("Name"), Inputs(kSpellLevels, 10), Rule(SpellListRow)};

// ---- powers ----

// The disciplines in the order of the abilities they go with; "Allgemein" powers are on
// the general list.
const char* const kDisciplineNames[6] = {"Psychometabolismus", "Psychoportation", "Psychokinese",
                                         "Metakreation",       "Hellsicht",       "Telepathie"};

void Discipline(Row& row) {
  PowerSource& r = row.Record<PowerSource>();
  const char* discipline = row.Field("Discipline");
  r.discipline = strcmp(discipline, "Allgemein") == 0 ? -1 : -2;
  for (int d = 0; d < 6; ++d)
    if (strcmp(discipline, kDisciplineNames[d]) == 0) r.discipline = d;
  if (r.discipline != -2) return;
  ConsolePrint("Unknown discipline %s of power %s\n", discipline, row.Key());
  TableFault();
}

const Column kPowers[] = {Text("Name", &PowerSource::name),
                          Number("Psion", &PowerSource::psion),
                          Number("PsychicW", &PowerSource::psychicWarrior),
                          Number("Attribute", &PowerSource::attribute),
                          Input("Discipline"),
                          Text("Disziplin-SRD", &PowerSource::srdDiscipline, Need::kBlankable),
                          Rule(Discipline)};

// ---- effects ----

const char* const kSlotColumns[kEffectSlots] = {"Weapon", "Armor", "Shield", "Helmet", "Gloves",
                                                "Boots",  "Belt",  "Cloak",  "Ring",   "Amulet"};
const char* const kEffectGroups[4] = {"Fight", "Mage", "Shadow", "Cleric"};

using Ef = EffectSource;
const Column kEffects[] = {Text("Effect", &Ef::name),
                           Numbers(kSlotColumns, &Ef::slots),
                           Numbers(kEffectGroups, &Ef::groups),
                           Number("Multi", &Ef::multi),
                           Number("Cost", &Ef::cost),
                           Number("Cost2", &Ef::cost2),
                           Number("Ranged", &Ef::ranged),
                           Script("EffectScript", &Ef::effectScript, "Error in Effect Script %s\n"),
                           Script("Variable", &Ef::variableScript, "Error in Effect Script %s\n"),
                           Kept(List("SkillBoost", &ItemTexts::skillBoost, Kind::kCommaList))};

// ---- equipment ----

using Eq = EquipSource;
const Column kEquipment[] = {Text("Name", &Eq::name),
                             Number("EquipType", &Eq::equipType),
                             Number("Damage1", &Eq::damageCount),
                             Die("Damage2", &Eq::damageDie),
                             Number("SmallDamage1", &Eq::smallDamageCount),
                             Die("SmallDamage2", &Eq::smallDamageDie),
                             Number("Size", &Eq::size),
                             Number("Type", &Eq::type),
                             Number("Critical", &Eq::critical),
                             Number("CriticalM", &Eq::criticalMultiplier),
                             Number("AttackType", &Eq::attackType),
                             Number("Prob", &Eq::probability),
                             Number("Armor", &Eq::armor),
                             Number("MaxDex", &Eq::maxDex),
                             Number("Malus", &Eq::penalty),
                             Number("SpellF", &Eq::spellFailure),
                             Number("Metal", &Eq::metal),
                             Number("MinLevel", &Eq::minLevel),
                             Number("Rare", &Eq::rare),
                             Number("Price", &Eq::price),
                             Number("ForbidEffects", &Eq::forbidEffects),
                             Number("Amount", &Eq::amount),
                             Script("Script", &Eq::script, "Error in Character Script %s\n")};

// Weapons.txt: per equipment, its special type and the weights of classes and races. A
// class reads the column of the class its Derrive names; a subrace without a column of
// its own reads its main race's.
void FindWeaponColumns(char** header, int count) {
  StartUpdates(gSource.equipmentCount);
  Positions(gClassColumns, gSource.classCount, "SourceInit-ClassPositions");
  Positions(gRaceColumns, gSource.raceCount, "SourceInit-RacePositions");
  for (int c = 0; c < gSource.classCount; ++c)
    gClassColumns[c] = FindColumnOrFault(header, Derrive(c) ? Derrive(c) : gSource.classes[c].name.c_str(), count);
  for (int r = 0; r < gSource.raceCount; ++r) {
    const char* sub = gTexts.races[r].subRace.c_str();
    bool mainRace = sub[0] == ';' || sub[0] == 0;
    const char* race = gSource.races[r].name.c_str();
    gRaceColumns[r] = mainRace ? FindColumnOrFault(header, race, count) : FindColumn(header, race, count);
    if (gRaceColumns[r] < 0) gRaceColumns[r] = FindColumnOrFault(header, sub, count);
  }
}

void WeaponRow(Row& row) {
  const char* name = row.Field("Name");
  int e = FindByName(gSource.equipment, gSource.equipmentCount, name);
  if (e < 0) {
    ConsolePrint("Could not find Equipment %s\n", name);
    TableFault();
  }
  Updated(e, Table::kWeapons, name);
  EquipSource& r = gSource.equipment[e];
  r.specialType = FieldNumber(row.Field("SpecialType"));
  r.classWeights.Reset(PerClass(row, "SetWProbSource-Prob", [](int, const int32_t*) { return 0; }));
  int32_t* races = static_cast<int32_t*>(
      mallocloga(sizeof(int32_t) * (size_t)(gSource.raceCount ? gSource.raceCount : 1), "SetWProbSource-RaceProb"));
  for (int x = 0; x < gSource.raceCount; ++x) races[x] = FieldNumber(row.fields[gRaceColumns[x]]);
  r.raceWeights.Reset(reinterpret_cast<uint8_t*>(races));
}

const Column kWeapons[] = {Input("Name"), Input("SpecialType"), Rule(WeaponRow)};

// ---- specific items ----

// The SRD random tables: the d% widths on the family's minor, medium and major tables.
const char* const kGrades[3] = {"Minor", "Medium", "Major"};
const char* const kItemGroups[4] = {"Fight", "Mage", "Shadow", "Divine"};

using Sp = SpecificSource;
const Column kSpecifics[] = {Text("Name", &Sp::name),
                             Reference("On", &Sp::base, Table::kEquipment),
                             Number("Price", &Sp::price),
                             Numbers(kItemGroups, &Sp::groups),
                             Numbers(kGrades, &Sp::grades, Need::kOptional),
                             Number("Charges", &Sp::charges, Need::kOptional),
                             Number("SpellLevel", &Sp::spellLevel, Need::kOptional),
                             Number("CL", &Sp::casterLevel, Need::kOptional),
                             Reference("Spell", &Sp::spell, Table::kSpells, Need::kOptional),
                             Script("Script", &Sp::script, "Error in Specific Script %s\n"),
                             Kept(List("SkillBoost", &ItemTexts::skillBoost, Kind::kCommaList))};

// ---- monsters ----

// The attack slots end at the first type starting with "0"; slots 1 and 2 take their
// alternatives from Altern1 and Altern2, a later slap has alternative 3.
void MonsterAttacks(Row& row) {
  MonsterSource& r = row.Record<MonsterSource>();
  int32_t alternatives[2] = {FieldNumber(row.Field("Altern1")), FieldNumber(row.Field("Altern2"))};
  int slots = 0;
  for (int s = 0; s < kMonsterAttacks; ++s) {
    const char* type = row.Field("Type%d", s);
    if (type[0] == '0') break;
    MonsterAttack& a = r.attacks[s];
    a.attack = FieldNumber(row.Field("Attack%d", s));
    a.number = FieldNumber(row.Field("Number%d", s));
    a.reduction = FieldNumber(row.Field("AttRed%d", s));
    a.damageA = FieldNumber(row.Field("Dmg%dA", s));
    a.damageB = FieldNumber(row.Field("Dmg%dB", s));
    a.damageC = FieldNumber(row.Field("Dmg%dC", s));
    r.attackNames[s].Assign(type);
    r.alternatives[s] = s < 2 ? alternatives[s] : (strcmp(type, "Slap") == 0 ? 3 : 0);
    ++slots;
  }
  r.attackCount = slots;
}

// Feats and skills: up to the first name starting with "0"; a name is found within the
// names of the table.
void MonsterFeatsAndSkills(Row& row) {
  MonsterSource& r = row.Record<MonsterSource>();
  for (int i = 0; i < 6 && row.Field("Feat%d", i)[0] != '0'; ++i)
    r.feats[r.featCount++] = RowContaining<Table::kFeats>(row.Field("Feat%d", i)).value;
  for (int i = 0; i < 7 && row.Field("Skill%d", i)[0] != '0'; ++i) {
    r.skills[r.skillCount][0] = RowContaining<Table::kSkills>(row.Field("Skill%d", i)).value;
    r.skills[r.skillCount++][1] = FieldNumber(row.Field("SkillL%d", i));
  }
}

// The spell-casting code: ":" read as a blank, ";" ends an item.
void MonsterSpellChar(Row& row) {
  const char* spellChar = row.Field("SpellChar");
  size_t n = strlen(spellChar);
  uint8_t* copy = static_cast<uint8_t*>(mallocloga(n + 1, "SetMonsterSource-SpellChar"));
  for (size_t i = 0; i <= n; ++i) {
    char c = spellChar[i];
    copy[i] = (uint8_t)(c == ':' ? ' ' : c == ';' ? 0 : c);
  }
  row.Record<MonsterSource>().spellChar.Reset(copy);
}

// Saves: "0" keeps the type's progressions, else one digit each for Reflex, Will and
// Fortitude, 1 good and 2 poor (an air elemental: "122").
void MonsterSaves(MonsterSource& r, const char* saves, const char* monster) {
  if (strcmp(saves, "0") == 0) return;
  bool valid = strlen(saves) == 3;
  for (int i = 0; i < 3 && valid; ++i) {
    valid = saves[i] == '1' || saves[i] == '2';
    r.saves[i] = saves[i] - '0';
  }
  if (valid) return;
  ConsolePrint("Invalid saves %s of %s (0, or three digits 1 good and 2 poor: Reflex, Will, Fortitude)\n", saves,
               monster);
  TableFault();
}

void CheckMonster(Row& row) {
  MonsterSource& r = row.Record<MonsterSource>();
  const char* monster = row.Key();
  if (r.hdMin > 0 && r.hdMin < r.hd) {
    ConsolePrint("HDMin < HD: %s: %d < %d\n", monster, r.hdMin, r.hd);
    TableFault();
  }
  std::string path = MonsterTextPath(monster);
  FILE* text = path.empty() ? nullptr : fopen(path.c_str(), "r");
  if (!text) {
    ConsolePrint("Monster Description not found%s\n", monster);
    // The line above runs message and name together; say it plainly as well.
    ConsolePrint("The monster %s has no text file under Build/MonsterText\n", monster);
    TableFault();
  }
  fclose(text);
  MonsterSaves(r, row.Field("Saves"), monster);
}

using Mo = MonsterSource;
const Column kMonsters[] = {Text("Zauberähnlich", &Mo::spellLike, Need::kBlankable),
                            Number("Reichweite", &Mo::reach, Need::kBlankable),
                            Text("Angriffe-SRD", &Mo::srdAttacks, Need::kBlankable),
                            Text("Umgebung", &Mo::environment, Need::kBlankable),
                            Text("Umgebung-SRD", &Mo::srdEnvironment, Need::kBlankable),
                            Text("Bewegungsarten", &Mo::movementModes, Need::kBlankable),
                            Text("Name", &Mo::name),
                            Alignment("Gesinnung", &Mo::alignment),
                            Number("CR", &Mo::cr),
                            PartReference("Type", &Mo::type, Table::kMonsterTypes),
                            PartReference("Size", &Mo::size, Table::kSizes),
                            Number("Epic", &Mo::epic),
                            Number("HD", &Mo::hd),
                            Number("HDT", &Mo::hdType),
                            Number("TP", &Mo::tp),
                            Number("Ref", &Mo::reflex),
                            Number("Wil", &Mo::will),
                            Number("Zaeh", &Mo::fortitude),
                            Numbers(kAttributeColumns, &Mo::abilities),
                            Number("AC", &Mo::ac),
                            Number("HDMin", &Mo::hdMin),
                            Number("HDMax", &Mo::hdMax),
                            Number("HDInc", &Mo::hdInc),
                            Number("HDInc2", &Mo::hdInc2),
                            Number("Init", &Mo::init),
                            Number("Speed", &Mo::speed),
                            Number("OrgMin", &Mo::orgMin),
                            Number("OrgMax", &Mo::orgMax),
                            Number("Mixed", &Mo::mixed),
                            Number("Treasur", &Mo::treasure),
                            Input("Saves"),
                            Input("Altern1"),
                            Input("Altern2"),
                            Input("Attack%d", kMonsterAttacks),
                            Input("Number%d", kMonsterAttacks),
                            Input("AttRed%d", kMonsterAttacks),
                            Input("Dmg%dA", kMonsterAttacks),
                            Input("Dmg%dB", kMonsterAttacks),
                            Input("Dmg%dC", kMonsterAttacks),
                            Input("Type%d", kMonsterAttacks),
                            Rule(MonsterAttacks),
                            Input("Feat%d", 6),
                            Input("Skill%d", 7),
                            Input("SkillL%d", 7),
                            Rule(MonsterFeatsAndSkills, Pass::kResolve),
                            Input("SpellChar"),
                            Rule(MonsterSpellChar),
                            Number("ClericSpells", &Mo::clericSpells),
                            Kept(List("Abbilities", &MonsterTexts::abilities)),
                            Script("Familiar", &Mo::familiar, "Error in Monster Familiar Script %s\n"),
                            Rule(CheckMonster, Pass::kCheck)};

// ---- reading ----

// The columns each table was read by, for the walks over its fields after the reading.
struct Declared {
  const Column* columns = nullptr;
  int count = 0;
  size_t recordSize = 0;
};
Declared gDeclared[(int)Table::kCount];

template <class R>
const char* NameOf(void* records, int i) {
  return static_cast<R*>(records)[i].name.c_str();
}

template <class R>
void* Make(int count) {
  return NewRecords<R>(count, "SourceInit-Source");
}

// Specials may share a name across kinds: the lookups ask for a kind.
int32_t SpecialKind(void* records, int i) { return static_cast<SpecialSource*>(records)[i].type; }

template <size_t N>
Schema Columns(Table table, const Column (&columns)[N], const char* countMessage) {
  return Schema{PathOf(table), columns, (int)N, countMessage};
}

// Reads one table into records (and texts); the wrapper counts rows.
template <class R, class T = R, size_t N>
int Read(Table table, const Column (&columns)[N], const char* countMessage, R** records, int32_t* count,
         void (*atHeader)(char**, int) = nullptr, T** texts = nullptr, int extra = 0) {
  Schema s = Columns(table, columns, countMessage);
  for (const Column& c : columns)
    if (c.kind == Kind::kText && !c.kept && c.offset == OffsetOf(&R::name)) s.key = c.header;
  s.atHeader = atHeader;
  s.recordSize = sizeof(R);
  s.makeRecords = Make<R>;
  s.nameOf = NameOf<R>;
  if (texts) {
    s.textsSize = sizeof(T);
    s.makeTexts = Make<T>;
  }
  s.extra = extra;
  if constexpr (std::is_same_v<R, SpecialSource>) s.groupOf = SpecialKind;
  gDeclared[(int)table] = {columns, (int)N, sizeof(R)};
  s.displayOffset = (int32_t)OffsetOf(&R::display);
  s.srdOffset = (int32_t)OffsetOf(&R::srd);
  void* r = nullptr;
  void* t = nullptr;
  int result = ReadTable(s, &r, texts ? &t : nullptr, count);
  *records = static_cast<R*>(r);
  if (texts) *texts = static_cast<T*>(t);
  gSourceStats.rows += *count;
  return result;
}

template <size_t N>
int Update(Table table, const Column (&columns)[N], const char* countMessage, void (*atHeader)(char**, int)) {
  Schema s = Columns(table, columns, countMessage);
  s.atHeader = atHeader;
  int32_t rows = 0;
  return ReadTable(s, nullptr, nullptr, &rows);
}

void CopySpellLists() {
  for (int c = 0; c < gSource.classCount; ++c) {
    const char* from = gTexts.classes[c].copySpells.c_str();
    if (!from[0] || from[0] == ';') continue;
    WhereRow(PathOf(Table::kClasses), c);
    int source = FindByNameOrFault(gSource.classes, gSource.classCount, from);
    for (int s = 0; s < gSource.spellCount; ++s) gSource.spells[s].Levels()[c] = gSource.spells[s].Levels()[source];
  }
}

}  // namespace

int ReadMinorTables() {
  return Read(Table::kDomains, kNamed, "Invalid Number of Arguments in DomainSource Database (%s)\n", &gSource.domains,
              &gSource.domainCount) ||
         Read(Table::kMonsterTypes, kMonsterTypes, "Invalid Number of Arguments in MonsterTypeSource Database (%s)\n",
              &gSource.monsterTypes, &gSource.monsterTypeCount) ||
         Read(Table::kRegions, kNamed, "Invalid Number of Arguments in RegionSource Database (%s)\n", &gSource.regions,
              &gSource.regionCount) ||
         Read(Table::kSchools, kNamed, "Invalid Number of Arguments in SchoolSource Database (%s)\n", &gSource.schools,
              &gSource.schoolCount) ||
         Read(Table::kSizes, kSizes, "Invalid Number of Arguments in SizeSource Database (%s)\n", &gSource.sizes,
              &gSource.sizeCount) ||
         Read(Table::kAbilities, kAbilities, "Invalid Number of Arguments in AbbilitySource Database (%s)\n",
              &gSource.abilities, &gSource.abilityCount) ||
         Read(Table::kTemplates, kTemplates, "Invalid Number of Arguments in TemplateSource Database (%s)\n",
              &gSource.templates, &gSource.templateCount) ||
         Read(Table::kSpecials, kSpecials, "Invalid Number of Arguments in SpezialSource Database (%s)\n",
              &gSource.specials, &gSource.specialCount) ||
         Read(Table::kBonuses, kBonuses, "Invalid Number of Arguments in BonusSource Database (%s)\n", &gSource.bonuses,
              &gSource.bonusCount);
}

int ReadClassTables() {
  if (Read(Table::kClasses, kClasses, "Invalid Number of Arguments in CharSource Database (%s)\n", &gSource.classes,
           &gSource.classCount, nullptr, &gTexts.classes) ||
      Read(Table::kRaces, kRaces, "Invalid Number of Arguments in Race Source Database (%s)\n", &gSource.races,
           &gSource.raceCount, nullptr, &gTexts.races, 1) ||
      Read(Table::kFeats, kFeats, "Invalid Number of Arguments in FeatSource Database (%s)\n", &gSource.feats,
           &gSource.featCount, FindFeatColumns, &gTexts.feats) ||
      Read(Table::kSkills, kSkills, "Invalid Number of Arguments in SkillSource Database (%s)\n", &gSource.skills,
           &gSource.skillCount, FindClassColumns, &gTexts.skills) ||
      Read(Table::kSpells, kSpells, "Invalid Number of Arguments in Spell Source Database (%s)\n", &gSource.spells,
           &gSource.spellCount, FindClassColumns) ||
      Update(Table::kSpellLists, kSpellLists, "Invalid Number of Arguments in Spell Source Database (%s)\n",
             [](char**, int) { StartUpdates(gSource.classCount); }))
    return 1;
  CopySpellLists();  // classes that copy another class's spell list
  return Read(Table::kPowers, kPowers, "Invalid Number of Arguments in Power Source Database (%s)\n", &gSource.powers,
              &gSource.powerCount) ||
         Read(Table::kEffects, kEffects, "Invalid Number of Arguments in EffectSource Database (%s)\n",
              &gSource.effects, &gSource.effectCount, nullptr, &gTexts.effects) ||
         Read(Table::kMonsters, kMonsters, "Invalid Number of Arguments in MonsterSource Database (%s)\n",
              &gSource.monsters, &gSource.monsterCount, nullptr, &gTexts.monsters);
}

int ReadItemTables() {
  if (Read(Table::kEquipment, kEquipment, "Invalid Number of Arguments in Equipment Source Database (%s)\n",
           &gSource.equipment, &gSource.equipmentCount))
    return 1;
  for (int e = 0; e < gSource.equipmentCount; ++e) {
    gSource.equipment[e].classWeights.Reset();
    gSource.equipment[e].raceWeights.Reset();
  }
  return Update(Table::kWeapons, kWeapons, "Invalid Number of Arguments in Equipment Source Database\n",
                FindWeaponColumns) ||
         Read(Table::kSpecifics, kSpecifics, "Invalid Number of Arguments in SpecificSource Database (%s)\n",
              &gSource.specifics, &gSource.specificCount, nullptr, &gTexts.specifics);
}

void ForEachScript(Table table, void (*visit)(Owned& script)) {
  const Declared& d = gDeclared[(int)table];
  char* rows = static_cast<char*>(InfoOf(table).rows());
  for (int i = 0, n = InfoOf(table).count(); i < n; ++i) {
    WhereRow(PathOf(table), i);
    for (int c = 0; c < d.count; ++c)
      if (d.columns[c].kind == Kind::kScript)
        visit(*reinterpret_cast<Owned*>(rows + (size_t)i * d.recordSize + d.columns[c].offset));
  }
}

void FreeReadingState() {
  if (gUpdatedAt) freeloga(gUpdatedAt);
  gUpdatedAt = nullptr;
  for (int32_t** positions : {&gClassColumns, &gRaceColumns, &gDerriveColumns}) {
    if (*positions) freeloga(*positions);
    *positions = nullptr;
  }
  DeleteRecords(gTexts.classes);
  DeleteRecords(gTexts.races);
  DeleteRecords(gTexts.feats);
  DeleteRecords(gTexts.skills);
  DeleteRecords(gTexts.effects);
  DeleteRecords(gTexts.specifics);
  DeleteRecords(gTexts.monsters);
}

}  // namespace RUNTIME_NS
