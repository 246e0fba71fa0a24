// Row handlers of every rule table.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "generator/alignment.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "random/repro.h"
#include "script/compile.h"
#include "source/reader.h"
#include "source/source_init.h"
#include "source/tables.h"

namespace RUNTIME_NS {

SourceStats gSourceStats;
TableTexts gTexts;
int32_t* gClassPositions = nullptr;
int32_t* gRacePositions = nullptr;

namespace {

// Replaces ";" by NUL (and "," or ":" by blanks where asked) and stores the list.
void StoreList(String& out, char* field, bool comma, bool colon) {
  size_t n = strlen(field);
  for (size_t i = 0; i < n; ++i) {
    if (field[i] == ';')
      field[i] = 0;
    else if ((comma && field[i] == ',') || (colon && field[i] == ':'))
      field[i] = ' ';
  }
  out.Assign(field, n);
}

void Compile(Owned& out, const char* text, const char* errorFormat, const char* name) {
  uint8_t* script = nullptr;
  ++gSourceStats.scripts;
  if (bnfparse(text, &script) != 0) {
    ConsolePrint(errorFormat, name);
    TableFault();
  }
  out.Reset(script);
}

int32_t DieOf(const char* field) {
  int32_t v = 0;
  if (sscanf(field, "W%d", &v) != 1) return 0;
  return v;
}

// Field count check of a row against its header.
void CheckCount(int count, int expected, const char* message, const char* first) {
  if (count != expected) {
    ConsolePrint(message, first);
    TableFault();
  }
}

// The optional alignment column "Gesinnung" of monsters, templates and races.
void ReadAlignment(char** f, int column, AlignmentLine& out, const char* name) {
  std::string bad;
  if (column < 0 || ParseAlignmentLine(f[column], &out, &bad)) return;
  ConsolePrint(
      "Invalid alignment code \"%s\" in %s of %s (Immer, Meist, Oft or Beliebig, a colon, then codes RG NG "
      "CG RN N CN RB NB CB, groups R C G B nR nC nG nB or * separated by commas)\n",
      bad.c_str(), f[column], name);
  TableFault();
}

const char* kAttributeColumns[kAttributes] = {"St", "Ge", "Ko", "In", "We", "Ch"};

// Class position list: entry c = column of class c, or -1.
void FillClassPositions(char** fields, int count) {
  for (int c = 0; c < gSource.classCount; ++c)
    gClassPositions[c] = FindColumn(fields, gSource.classes[c].name.c_str(), count, false);
}

void ReadSixNumbers(char* field, int32_t* out) {
  size_t n = strlen(field);
  for (size_t i = 0; i < n; ++i)
    if (field[i] == ';') field[i] = 0;
  const char* p = field;
  const char* end = field + n;
  for (int i = 0; i < kAttributes; ++i) {
    out[i] = p < end ? FieldNumber(p) : 0;
    if (p < end) p += strlen(p) + 1;
  }
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
void Updated(int record, const char* path, const char* name) {
  if (gUpdatedAt[record]) DuplicateRow(path, name, gUpdatedAt[record], CurrentLine());
  gUpdatedAt[record] = CurrentLine();
}

// ---- minor tables ----

int gNamedColumns[2];
const char* gNamedMessage = "";

int NamedRow(char** f, void* record, void*, int count, bool header) {
  if (header) {
    gNamedColumns[0] = FindColumn(f, "Name", count, true);
    gNamedColumns[1] = count;
    return 0;
  }
  CheckCount(count, gNamedColumns[1], gNamedMessage, f[0]);
  static_cast<NamedSource*>(record)->name.Assign(f[gNamedColumns[0]]);
  return 0;
}

int gSize[7];
int SizeRow(char** f, void* record, void*, int count, bool header) {
  const char* names[] = {"Name", "St", "Ge", "Ko", "AC", "SizeMod"};
  if (header) {
    for (int i = 0; i < 6; ++i) gSize[i] = FindColumn(f, names[i], count, true);
    gSize[6] = count;
    return 0;
  }
  CheckCount(count, gSize[6], "Invalid Number of Arguments in SizeSource Database (%s)\n", f[0]);
  SizeSource& r = *static_cast<SizeSource*>(record);
  r.name.Assign(f[gSize[0]]);
  r.st = FieldNumber(f[gSize[1]]);
  r.ge = FieldNumber(f[gSize[2]]);
  r.ko = FieldNumber(f[gSize[3]]);
  r.ac = FieldNumber(f[gSize[4]]);
  r.sizeMod = FieldNumber(f[gSize[5]]);
  return 0;
}

int gType[12];
int MonsterTypeRow(char** f, void* record, void*, int count, bool header) {
  const char* names[] = {"Name",    "GA",     "RWRef", "RWWil",  "RWZaeh", "Mixed",
                         "MixedEq", "Skills", "Feats", "CRDice", "HD"};
  if (header) {
    for (int i = 0; i < 11; ++i) gType[i] = FindColumn(f, names[i], count, true);
    gType[11] = count;
    return 0;
  }
  CheckCount(count, gType[11], "Invalid Number of Arguments in MonsterTypeSource Database (%s)\n", f[0]);
  MonsterTypeSource& r = *static_cast<MonsterTypeSource*>(record);
  r.name.Assign(f[gType[0]]);
  r.attackType = FieldNumber(f[gType[1]]);
  r.reflex = FieldNumber(f[gType[2]]);
  r.will = FieldNumber(f[gType[3]]);
  r.fortitude = FieldNumber(f[gType[4]]);
  r.mixed = FieldNumber(f[gType[5]]);
  r.mixedEq = FieldNumber(f[gType[6]]);
  r.skills = FieldNumber(f[gType[7]]);
  r.feats = FieldNumber(f[gType[8]]);
  r.crDice = FieldNumber(f[gType[9]]);
  r.hitDie = FieldNumber(f[gType[10]]);
  return 0;
}

int gAbility[4];
int AbilityRow(char** f, void* record, void*, int count, bool header) {
  if (header) {
    gAbility[0] = FindColumn(f, "Name", count, true);
    gAbility[1] = FindColumn(f, "Text", count, true);
    gAbility[2] = FindColumn(f, "Script", count, true);
    gAbility[3] = count;
    return 0;
  }
  CheckCount(count, gAbility[3], "Invalid Number of Arguments in AbbilitySource Database (%s)\n", f[0]);
  AbilitySource& r = *static_cast<AbilitySource*>(record);
  r.name.Assign(f[gAbility[0]]);
  r.text.Assign(f[gAbility[1]]);
  Compile(r.script, f[gAbility[2]], "Error in Abbility Script %s\n", r.name.c_str());
  return 0;
}

int gSpecial[5];
int SpecialRow(char** f, void* record, void*, int count, bool header) {
  if (header) {
    gSpecial[0] = FindColumn(f, "Name", count, true);
    gSpecial[1] = FindColumn(f, "Type", count, true);
    gSpecial[2] = FindColumn(f, "SpellLevel", count, true);
    gSpecial[3] = FindColumn(f, "Script", count, true);
    gSpecial[4] = count;
    return 0;
  }
  CheckCount(count, gSpecial[4], "Invalid Number of Arguments in SpezialSource Database (%s)\n", f[0]);
  SpecialSource& r = *static_cast<SpecialSource*>(record);
  r.name.Assign(f[gSpecial[0]]);
  r.type = FieldNumber(f[gSpecial[1]]);
  r.spellLevel = FieldNumber(f[gSpecial[2]]);
  Compile(r.script, f[gSpecial[3]], "Error in Special Script %s\n", r.name.c_str());
  return 0;
}

int gBonus[3];
int BonusRow(char** f, void* record, void*, int count, bool header) {
  if (header) {
    gBonus[0] = FindColumn(f, "Name", count, true);
    gBonus[1] = FindColumn(f, "Stack", count, true);
    gBonus[2] = count;
    return 0;
  }
  CheckCount(count, gBonus[2], "Invalid Number of Arguments in BonusSource Database (%s)\n", f[0]);
  BonusSource& r = *static_cast<BonusSource*>(record);
  r.name.Assign(f[gBonus[0]]);
  r.stack = FieldNumber(f[gBonus[1]]);
  return 0;
}

int gTemplate[10];
int TemplateRow(char** f, void* record, void*, int count, bool header) {
  const char* names[] = {"Name", "CRScript", "Mixed", "ForceType", "ForbitType", "Script", "AttrMod", "NewType"};
  if (header) {
    for (int i = 0; i < 8; ++i) gTemplate[i] = FindColumn(f, names[i], count, true);
    gTemplate[8] = count;
    gTemplate[9] = FindColumn(f, "Gesinnung", count, false);
    return 0;
  }
  CheckCount(count, gTemplate[8], "Invalid Number of Arguments in TemplateSource Database (%s)\n", f[0]);
  TemplateSource& r = *static_cast<TemplateSource*>(record);
  r.name.Assign(f[gTemplate[0]]);
  r.mixed = FieldNumber(f[gTemplate[2]]);
  r.newType.Assign(f[gTemplate[7]]);
  StoreList(r.forceTypes, f[gTemplate[3]], false, false);
  StoreList(r.forbidTypes, f[gTemplate[4]], false, false);
  ReadSixNumbers(f[gTemplate[6]], r.attributeMods);
  ReadAlignment(f, gTemplate[9], r.alignment, r.name.c_str());
  Compile(r.crScript, f[gTemplate[1]], "Error in Template Script %s\n", r.name.c_str());
  Compile(r.script, f[gTemplate[5]], "Error in Template Script %s\n", r.name.c_str());
  return 0;
}

// ---- classes ----

enum CharColumn {
  cName,
  cTW,
  cProbability,
  cGAType,
  cRef,
  cWil,
  cZaeh,
  cAttack,
  cForceAttack,
  cSkills,
  cPrest,
  cMaxLvl,
  cEffectScript,
  cGiveFeats,
  cSpellType,
  cSpellType2,
  cIncreaseSpellType,
  cSpontanCast,
  cDomains,
  cSpecialize,
  cPowerType,
  cReq,
  cSkillReq,
  cFeatReq,
  cBonusFeatType,
  cBonusFeats,
  cEpicFeats,
  cSpellFailure,
  cEffects,
  cAttachClass,
  cNoEq,
  cPsiDisc,
  cPsiCrys,
  cForceWeaponType,
  cNaturalEnhence,
  cNPC,
  cSpellAttr,
  cBonusClassSkills,
  cForceWeapon,
  cNoMetal,
  cDerrive,
  cCopySpells,
  cCharColumns
};
const char* kCharColumns[cCharColumns] = {"Name",
                                          "TW",
                                          "Probability",
                                          "GAType",
                                          "Ref",
                                          "Wil",
                                          "Zäh",
                                          "Attack",
                                          "ForceAttack",
                                          "Skills",
                                          "Prest",
                                          "MaxLvl",
                                          "EffectScript",
                                          "GiveFeats",
                                          "SpellType",
                                          "SpellType2",
                                          "IncreaseSpellType",
                                          "SpontanCast",
                                          "Domains",
                                          "Specialize",
                                          "PowerType",
                                          "Req",
                                          "SkillReq",
                                          "FeatReq",
                                          "BonusFeatType",
                                          "BonusFeats",
                                          "EpicFeats",
                                          "SpellFailure",
                                          "Effects",
                                          "AttachClass",
                                          "NoEq",
                                          "PsiDisc",
                                          "PsiCrys",
                                          "ForceWeaponType",
                                          "NaturalEnhence",
                                          "NPC",
                                          "SpellAttr",
                                          "BonusClassSkills",
                                          "ForceWeapon",
                                          "NoMetal",
                                          "Derrive",
                                          "CopySpells"};
int gChar[cCharColumns + 1];
int gCharAttr[kAttributes];

int CharRow(char** f, void* record, void* temporary, int count, bool header) {
  if (header) {
    for (int i = 0; i < cCharColumns; ++i) gChar[i] = FindColumn(f, kCharColumns[i], count, true);
    for (int i = 0; i < kAttributes; ++i) gCharAttr[i] = FindColumn(f, kAttributeColumns[i], count, true);
    gChar[cCharColumns] = count;
    return 0;
  }
  CheckCount(count, gChar[cCharColumns], "Invalid Number of Arguments in CharSource Database (%s)\n", f[0]);
  CharSource& r = *static_cast<CharSource*>(record);
  CharTexts& t = *static_cast<CharTexts*>(temporary);
  auto col = [&](int c) { return f[gChar[c]]; };
  r.name.Assign(col(cName));
  r.hitDie = DieOf(col(cTW));
  for (int i = 0; i < kAttributes; ++i) r.attributeWeights[i] = FieldNumber(f[gCharAttr[i]]);
  r.probability = FieldNumber(col(cProbability));
  r.attackType = FieldNumber(col(cGAType));
  r.reflex = FieldNumber(col(cRef));
  r.will = FieldNumber(col(cWil));
  r.fortitude = FieldNumber(col(cZaeh));
  r.attack = FieldNumber(col(cAttack));
  r.forceAttack = FieldNumber(col(cForceAttack));
  r.skillPoints = FieldNumber(col(cSkills));
  r.prestige = FieldNumber(col(cPrest));
  r.maxLevel = FieldNumber(col(cMaxLvl));
  r.spellType = FieldNumber(col(cSpellType));
  r.spellType2 = FieldNumber(col(cSpellType2));
  r.increaseSpellType = FieldNumber(col(cIncreaseSpellType));
  int32_t spontan = FieldNumber(col(cSpontanCast));
  r.spontaneous = spontan % 2;
  r.spontaneousMode = spontan / 2;
  r.domains = FieldNumber(col(cDomains));
  r.specialise = FieldNumber(col(cSpecialize));
  r.powerType = FieldNumber(col(cPowerType));
  StoreList(r.bonusFeatTypes, col(cBonusFeatType), false, false);
  StoreList(r.bonusFeats, col(cBonusFeats), false, true);
  r.epicFeats = FieldNumber(col(cEpicFeats));
  r.spellFailure = FieldNumber(col(cSpellFailure));
  r.effects = FieldNumber(col(cEffects));
  r.noEquipment = FieldNumber(col(cNoEq));
  r.psiDisciplines = FieldNumber(col(cPsiDisc));
  r.psiCrystals = FieldNumber(col(cPsiCrys));
  r.forceWeaponType = FieldNumber(col(cForceWeaponType));
  r.naturalEnhance = FieldNumber(col(cNaturalEnhence));
  r.npc = FieldNumber(col(cNPC));
  r.spellAttribute = FieldNumber(col(cSpellAttr));
  r.bonusClassSkills = FieldNumber(col(cBonusClassSkills));
  r.noMetal = FieldNumber(col(cNoMetal));
  // The progressions decide base attack, saves and hit points: a typo must not
  // silently give a class no attack bonus or no hit die.
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
  if (progression) {
    ConsolePrint("Invalid progression %s\n", progression);
    ConsolePrint("Invalid Number of Arguments in CharSource Database (%s)\n", f[0]);
    TableFault();
  }
  Compile(r.effectScript, col(cEffectScript), "Error in Character Script %s\n", r.name.c_str());
  Compile(r.featScript, col(cGiveFeats), "Error in Character Script %s\n", r.name.c_str());
  t.derrive.Assign(col(cDerrive));
  StoreList(t.skillReq, col(cSkillReq), true, false);
  StoreList(t.req, col(cReq), true, false);
  t.copySpells.Assign(col(cCopySpells));
  t.attachClass.Assign(col(cAttachClass));
  t.forceWeapon.Assign(col(cForceWeapon));
  StoreList(t.featReq, col(cFeatReq), false, false);
  return 0;
}

// ---- races ----

enum { rName, rProb, rSize, rAttackType, rEffectScript, rRaceMod, rRange, rSubRace, rHGMod, rGiveFeats, rColumns };
const char* kRaceColumns[rColumns] = {"Name",    "Prob",  "Size",    "AttackType", "EffectScript",
                                      "RaceMod", "Range", "SubRace", "HGMod",      "GiveFeats"};
int gRace[rColumns + 1];
int gRaceAlignment = -1;  // optional column
int gRacePsiFactor = -1;  // optional column

int RaceRow(char** f, void* record, void* temporary, int count, bool header) {
  if (header) {
    for (int i = 0; i < rColumns; ++i) gRace[i] = FindColumn(f, kRaceColumns[i], count, true);
    gRace[rColumns] = count;
    gRaceAlignment = FindColumn(f, "Gesinnung", count, false);
    gRacePsiFactor = FindColumn(f, "PsiFactor", count, false);
    return 0;
  }
  CheckCount(count, gRace[rColumns], "Invalid Number of Arguments in Race Source Database (%s)\n", f[0]);
  RaceSource& r = *static_cast<RaceSource*>(record);
  RaceTexts& t = *static_cast<RaceTexts*>(temporary);
  r.name.Assign(f[gRace[rName]]);
  r.probability = FieldNumber(f[gRace[rProb]]);
  r.size = FieldNumber(f[gRace[rSize]]);
  r.attackType = FieldNumber(f[gRace[rAttackType]]);
  ReadSixNumbers(f[gRace[rRaceMod]], r.modifiers);
  r.range = FieldNumber(f[gRace[rRange]]);
  t.subRace.Assign(f[gRace[rSubRace]]);
  r.crModifier = FieldNumber(f[gRace[rHGMod]]);
  r.psiFactor = gRacePsiFactor >= 0 ? FieldNumber(f[gRacePsiFactor]) : 1;
  ReadAlignment(f, gRaceAlignment, r.alignment, r.name.c_str());
  Compile(r.effectScript, f[gRace[rEffectScript]], "Error in Race Script %s\n", r.name.c_str());
  Compile(r.featScript, f[gRace[rGiveFeats]], "Error in Race Script %s\n", r.name.c_str());
  return 0;
}

// ---- feats ----

enum {
  fName,
  fMulti,
  fEpic,
  fReq,
  fSkillReq,
  fDep,
  fEffectScript,
  fAttackDep,
  fFeatType,
  fText,
  fInborn,
  fRel,
  fStandard,
  fExclusive,
  fColumns
};
const char* kFeatColumns[fColumns] = {"Name",      "Multi",    "Epic", "Req",    "SkillReq", "Dep",      "EffectScript",
                                      "AttackDep", "FeatType", "Text", "Inborn", "Rel",      "Standard", "Exclusive"};
int gFeat[fColumns + 1];
int32_t* gFeatDerriveColumns = nullptr;  // per class: column of the class its Derrive names, or -1

int FeatRow(char** f, void* record, void* temporary, int count, bool header) {
  if (header) {
    for (int i = 0; i < fColumns; ++i) gFeat[i] = FindColumn(f, kFeatColumns[i], count, true);
    gFeat[fColumns] = count;
    FillClassPositions(f, count);
    for (int c = 0; c < gSource.classCount; ++c) {
      const char* d = gTexts.classes[c].derrive.c_str();
      gFeatDerriveColumns[c] = (d[0] && d[0] != ';') ? FindColumn(f, d, count, false) : -1;
    }
    return 0;
  }
  CheckCount(count, gFeat[fColumns], "Invalid Number of Arguments in FeatSource Database (%s)\n", f[0]);
  FeatSource& r = *static_cast<FeatSource*>(record);
  FeatTexts& t = *static_cast<FeatTexts*>(temporary);
  r.name.Assign(f[gFeat[fName]]);
  r.multi = FieldNumber(f[gFeat[fMulti]]);
  r.epic = FieldNumber(f[gFeat[fEpic]]);
  r.dep = FieldNumber(f[gFeat[fDep]]);
  r.attackDep = FieldNumber(f[gFeat[fAttackDep]]);
  r.featType = FieldNumber(f[gFeat[fFeatType]]);
  r.inborn = FieldNumber(f[gFeat[fInborn]]);
  r.standard = FieldNumber(f[gFeat[fStandard]]);
  r.exclusive = FieldNumber(f[gFeat[fExclusive]]);
  std::string text = f[gFeat[fText]];
  for (char& c : text)
    if (c == '_') c = ' ';
  r.text.Assign(text.c_str());
  int32_t* weights = static_cast<int32_t*>(
      mallocloga(sizeof(int32_t) * (size_t)(gSource.classCount ? gSource.classCount : 1), "SetFeatSource-Probability"));
  for (int c = 0; c < gSource.classCount; ++c) {
    if (gClassPositions[c] >= 0)
      weights[c] = FieldNumber(f[gClassPositions[c]]);
    else if (r.exclusive == 0 && gFeatDerriveColumns[c] >= 0)
      weights[c] = FieldNumber(f[gFeatDerriveColumns[c]]);
    else
      weights[c] = 0;
  }
  r.classWeights.Reset(reinterpret_cast<uint8_t*>(weights));
  char* rel = f[gFeat[fRel]];
  if (strlen(rel) > 1) {
    int items = 0;
    for (char* p = rel; *p; ++p) items += *p == ';';
    int32_t* regions =
        static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)(items ? items : 1), "SetFeatSource-Rel"));
    size_t n = strlen(rel);
    for (size_t i = 0; i < n; ++i)
      if (rel[i] == ';') rel[i] = 0;
    int k = 0;
    for (const char* p = rel; p < rel + n && k < items; p += strlen(p) + 1)
      if (*p) regions[k++] = FindByName(gSource.regions, gSource.regionCount, p, false, true);
    r.regions.Reset(reinterpret_cast<uint8_t*>(regions));
    r.regionCount = k;
  }
  Compile(r.effectScript, f[gFeat[fEffectScript]], "Error in Feat Script %s\n", r.name.c_str());
  StoreList(t.req, f[gFeat[fReq]], true, false);
  StoreList(t.skillReq, f[gFeat[fSkillReq]], true, false);
  return 0;
}

// ---- skills ----

enum { sName, sAttr, sSynergy, sUntrained, sArmorMalus, sColumns };
const char* kSkillColumns[sColumns] = {"Name", "Attr", "Synergy", "Untrained", "ArmorMalus"};
int gSkill[sColumns + 1];

int SkillRow(char** f, void* record, void* temporary, int count, bool header) {
  if (header) {
    for (int i = 0; i < sColumns; ++i) gSkill[i] = FindColumn(f, kSkillColumns[i], count, true);
    gSkill[sColumns] = count;
    FillClassPositions(f, count);
    return 0;
  }
  CheckCount(count, gSkill[sColumns], "Invalid Number of Arguments in SkillSource Database (%s)\n", f[0]);
  SkillSource& r = *static_cast<SkillSource*>(record);
  SkillTexts& t = *static_cast<SkillTexts*>(temporary);
  r.name.Assign(f[gSkill[sName]]);
  r.attribute = FieldNumber(f[gSkill[sAttr]]);
  r.untrained = FieldNumber(f[gSkill[sUntrained]]);
  r.armorPenalty = FieldNumber(f[gSkill[sArmorMalus]]);
  int32_t* flags = static_cast<int32_t*>(
      mallocloga(sizeof(int32_t) * (size_t)(gSource.classCount ? gSource.classCount : 1), "SetSkillSource-Prob"));
  bool anyZero = false;
  for (int c = 0; c < gSource.classCount; ++c) {
    if (gClassPositions[c] >= 0)
      flags[c] = FieldNumber(f[gClassPositions[c]]);
    else
      flags[c] = anyZero ? 0 : 1;
    if (flags[c] == 0) anyZero = true;
  }
  r.classSkill.Reset(reinterpret_cast<uint8_t*>(flags));
  StoreList(t.synergy, f[gSkill[sSynergy]], false, false);
  return 0;
}

// ---- spells ----

enum { spName, spProbability, spDomain, spDomain2, spDomainL, spSchool, spConvert, spColumns };
const char* kSpellColumns[spColumns] = {"Name", "Probability", "Domäne", "Domäne2", "DomäneL", "Schule", "Convert"};
int gSpell[spColumns + 1];

int SpellRow(char** f, void* record, void*, int count, bool header) {
  if (header) {
    for (int i = 0; i < spColumns; ++i) gSpell[i] = FindColumn(f, kSpellColumns[i], count, true);
    gSpell[spColumns] = count;
    FillClassPositions(f, count);
    return 0;
  }
  CheckCount(count, gSpell[spColumns], "Invalid Number of Arguments in Spell Source Database (%s)\n", f[0]);
  SpellSource& r = *static_cast<SpellSource*>(record);
  r.name.Assign(f[gSpell[spName]]);
  r.probability = FieldNumber(f[gSpell[spProbability]]);
  int32_t* levels = static_cast<int32_t*>(mallocloga(
      sizeof(int32_t) * (size_t)(gSource.classCount ? gSource.classCount : 1), "SetSpellSource-ClassLevels"));
  for (int c = 0; c < gSource.classCount; ++c)
    levels[c] = gClassPositions[c] >= 0 ? FieldNumber(f[gClassPositions[c]]) : -1;
  r.classLevels.Reset(reinterpret_cast<uint8_t*>(levels));
  const char* d1 = f[gSpell[spDomain]];
  const char* d2 = f[gSpell[spDomain2]];
  r.domainCount = strcmp(d1, "-") == 0 ? 0 : strcmp(d2, "-") == 0 ? 1 : 2;
  r.domainLevel = FieldNumber(f[gSpell[spDomainL]]);
  if (r.domainCount >= 1) r.domains[0] = FindByName(gSource.domains, gSource.domainCount, d1, false, true);
  if (r.domainCount >= 2) r.domains[1] = FindByName(gSource.domains, gSource.domainCount, d2, false, true);
  r.school = FindByName(gSource.schools, gSource.schoolCount, f[gSpell[spSchool]], false, true);
  r.convert = FieldNumber(f[gSpell[spConvert]]);
  return 0;
}

int gSpells2[11];
int gSpells2Count;
int Spells2Row(char** f, void*, void*, int count, bool header) {
  if (header) {
    gSpells2[0] = FindColumn(f, "Name", count, true);
    for (int l = 0; l < 10; ++l) {
      char name[4];
      snprintf(name, sizeof name, "%d", l);
      gSpells2[1 + l] = FindColumn(f, name, count, true);
    }
    gSpells2Count = count;
    StartUpdates(gSource.classCount);
    return 0;
  }
  CheckCount(count, gSpells2Count, "Invalid Number of Arguments in Spell Source Database (%s)\n", f[0]);
  int cls = FindByName(gSource.classes, gSource.classCount, f[gSpells2[0]], false, true);
  Updated(cls, "Build/Data/Spells2.txt", f[gSpells2[0]]);
  for (int l = 0; l < 10; ++l) {
    char* list = f[gSpells2[1 + l]];
    size_t n = strlen(list);
    for (size_t i = 0; i < n; ++i)
      if (list[i] == ';') list[i] = 0;
    for (const char* p = list; p < list + n && *p; p += strlen(p) + 1) {
      int spell = FindByName(gSource.spells, gSource.spellCount, p, false, true);
      gSource.spells[spell].Levels()[cls] = l;
    }
  }
  return 0;
}

int gPower[7];
// The disciplines in the order of the abilities they go with; "Allgemein" powers are on
// the general list.
const char* const kDisciplineNames[6] = {"Psychometabolismus", "Psychoportation", "Psychokinese",
                                         "Metakreation",       "Hellsicht",       "Telepathie"};
int PowerRow(char** f, void* record, void*, int count, bool header) {
  if (header) {
    gPower[0] = FindColumn(f, "Name", count, true);
    gPower[1] = FindColumn(f, "Psion", count, true);
    gPower[2] = FindColumn(f, "PsychicW", count, true);
    gPower[3] = FindColumn(f, "Attribute", count, true);
    gPower[4] = FindColumn(f, "Discipline", count, true);
    gPower[5] = count;
    gPower[6] = FindColumn(f, "Disziplin-SRD", count, false);
    return 0;
  }
  CheckCount(count, gPower[5], "Invalid Number of Arguments in Power Source Database (%s)\n", f[0]);
  PowerSource& r = *static_cast<PowerSource*>(record);
  r.name.Assign(f[gPower[0]]);
  r.psion = FieldNumber(f[gPower[1]]);
  r.psychicWarrior = FieldNumber(f[gPower[2]]);
  r.attribute = FieldNumber(f[gPower[3]]);
  if (gPower[6] >= 0 && strcmp(f[gPower[6]], ";") != 0) r.srdDiscipline.Assign(f[gPower[6]]);
  const char* discipline = f[gPower[4]];
  r.discipline = -2;
  if (strcmp(discipline, "Allgemein") == 0) r.discipline = -1;
  for (int d = 0; d < 6; ++d)
    if (strcmp(discipline, kDisciplineNames[d]) == 0) r.discipline = d;
  if (r.discipline == -2) {
    ConsolePrint("Unknown discipline %s of power %s\n", discipline, f[gPower[0]]);
    TableFault();
  }
  return 0;
}

// ---- effects ----

const char* kSlotColumns[kEffectSlots] = {"Weapon", "Armor", "Shield", "Helmet", "Gloves",
                                          "Boots",  "Belt",  "Cloak",  "Ring",   "Amulet"};
const char* kEffectGroups[4] = {"Fight", "Mage", "Shadow", "Cleric"};
enum { eEffect, eMulti, eCost, eCost2, eEffectScript, eSkillBoost, eVariable, eRanged, eColumns };
const char* kEffectColumns[eColumns] = {"Effect",       "Multi",      "Cost",     "Cost2",
                                        "EffectScript", "SkillBoost", "Variable", "Ranged"};
int gEffect[eColumns + 1], gEffectSlots[kEffectSlots], gEffectGroups[4];

int EffectRow(char** f, void* record, void* temporary, int count, bool header) {
  if (header) {
    for (int i = 0; i < eColumns; ++i) gEffect[i] = FindColumn(f, kEffectColumns[i], count, true);
    for (int i = 0; i < kEffectSlots; ++i) gEffectSlots[i] = FindColumn(f, kSlotColumns[i], count, true);
    for (int i = 0; i < 4; ++i) gEffectGroups[i] = FindColumn(f, kEffectGroups[i], count, true);
    gEffect[eColumns] = count;
    return 0;
  }
  CheckCount(count, gEffect[eColumns], "Invalid Number of Arguments in EffectSource Database (%s)\n", f[0]);
  EffectSource& r = *static_cast<EffectSource*>(record);
  ItemTexts& t = *static_cast<ItemTexts*>(temporary);
  r.name.Assign(f[gEffect[eEffect]]);
  for (int i = 0; i < kEffectSlots; ++i) r.slots[i] = FieldNumber(f[gEffectSlots[i]]);
  for (int i = 0; i < 4; ++i) r.groups[i] = FieldNumber(f[gEffectGroups[i]]);
  r.multi = FieldNumber(f[gEffect[eMulti]]);
  r.cost = FieldNumber(f[gEffect[eCost]]);
  r.cost2 = FieldNumber(f[gEffect[eCost2]]);
  r.ranged = FieldNumber(f[gEffect[eRanged]]);
  Compile(r.effectScript, f[gEffect[eEffectScript]], "Error in Effect Script %s\n", r.name.c_str());
  Compile(r.variableScript, f[gEffect[eVariable]], "Error in Effect Script %s\n", r.name.c_str());
  StoreList(t.skillBoost, f[gEffect[eSkillBoost]], true, false);
  return 0;
}

// ---- equipment ----

enum {
  qName,
  qEquipType,
  qDamage1,
  qDamage2,
  qSize,
  qType,
  qCritical,
  qCriticalM,
  qAttackType,
  qProb,
  qArmor,
  qMaxDex,
  qMalus,
  qSpellF,
  qMetal,
  qMinLevel,
  qRare,
  qPrice,
  qScript,
  qForbidEffects,
  qAmount,
  qSmallDamage1,
  qSmallDamage2,
  qColumns
};
const char* kEquipColumns[qColumns] = {
    "Name",       "EquipType", "Damage1", "Damage2",       "Size",   "Type",         "Critical",    "CriticalM",
    "AttackType", "Prob",      "Armor",   "MaxDex",        "Malus",  "SpellF",       "Metal",       "MinLevel",
    "Rare",       "Price",     "Script",  "ForbidEffects", "Amount", "SmallDamage1", "SmallDamage2"};
int gEquip[qColumns + 1];

int EquipmentRow(char** f, void* record, void*, int count, bool header) {
  if (header) {
    for (int i = 0; i < qColumns; ++i) gEquip[i] = FindColumn(f, kEquipColumns[i], count, true);
    gEquip[qColumns] = count;
    return 0;
  }
  CheckCount(count, gEquip[qColumns], "Invalid Number of Arguments in Equipment Source Database (%s)\n", f[0]);
  EquipSource& r = *static_cast<EquipSource*>(record);
  auto col = [&](int c) { return f[gEquip[c]]; };
  r.name.Assign(col(qName));
  r.equipType = FieldNumber(col(qEquipType));
  r.damageCount = FieldNumber(col(qDamage1));
  r.damageDie = DieOf(col(qDamage2));
  r.smallDamageCount = FieldNumber(col(qSmallDamage1));
  r.smallDamageDie = DieOf(col(qSmallDamage2));
  r.size = FieldNumber(col(qSize));
  r.type = FieldNumber(col(qType));
  r.critical = FieldNumber(col(qCritical));
  r.criticalMultiplier = FieldNumber(col(qCriticalM));
  r.attackType = FieldNumber(col(qAttackType));
  r.probability = FieldNumber(col(qProb));
  r.armor = FieldNumber(col(qArmor));
  r.maxDex = FieldNumber(col(qMaxDex));
  r.penalty = FieldNumber(col(qMalus));
  r.spellFailure = FieldNumber(col(qSpellF));
  r.metal = FieldNumber(col(qMetal));
  r.minLevel = FieldNumber(col(qMinLevel));
  r.rare = FieldNumber(col(qRare));
  r.price = FieldNumber(col(qPrice));
  r.forbidEffects = FieldNumber(col(qForbidEffects));
  r.amount = FieldNumber(col(qAmount));
  Compile(r.script, col(qScript), "Error in Character Script %s\n", r.name.c_str());
  return 0;
}

int gWeaponName, gWeaponSpecial, gWeaponCount;
int WeaponRow(char** f, void*, void*, int count, bool header) {
  if (header) {
    gWeaponName = FindColumn(f, "Name", count, true);
    gWeaponSpecial = FindColumn(f, "SpecialType", count, true);
    gWeaponCount = count;
    StartUpdates(gSource.equipmentCount);
    for (int c = 0; c < gSource.classCount; ++c) {
      const char* d = gTexts.classes[c].derrive.c_str();
      const char* column = (d[0] && d[0] != ';') ? d : gSource.classes[c].name.c_str();
      gClassPositions[c] = FindColumn(f, column, count, true);
    }
    for (int r = 0; r < gSource.raceCount; ++r) {
      const char* sub = gTexts.races[r].subRace.c_str();
      bool mainRace = sub[0] == ';' || sub[0] == 0;
      gRacePositions[r] = FindColumn(f, gSource.races[r].name.c_str(), count, mainRace);
      if (gRacePositions[r] < 0) gRacePositions[r] = FindColumn(f, sub, count, true);
    }
    return 0;
  }
  if (count != gWeaponCount) {
    ConsolePrint("Invalid Number of Arguments in Equipment Source Database\n");
    TableFault();
  }
  const char* name = f[gWeaponName];
  int e = FindByName(gSource.equipment, gSource.equipmentCount, name, false, false);
  if (e < 0) {
    ConsolePrint("Could not find Equipment %s\n", name);
    TableFault();
  }
  Updated(e, "Build/Data/Weapons.txt", name);
  EquipSource& r = gSource.equipment[e];
  r.specialType = FieldNumber(f[gWeaponSpecial]);
  int32_t* classes = static_cast<int32_t*>(
      mallocloga(sizeof(int32_t) * (size_t)(gSource.classCount ? gSource.classCount : 1), "SetWProbSource-Prob"));
  for (int c = 0; c < gSource.classCount; ++c) classes[c] = FieldNumber(f[gClassPositions[c]]);
  r.classWeights.Reset(reinterpret_cast<uint8_t*>(classes));
  int32_t* races = static_cast<int32_t*>(
      mallocloga(sizeof(int32_t) * (size_t)(gSource.raceCount ? gSource.raceCount : 1), "SetWProbSource-RaceProb"));
  for (int x = 0; x < gSource.raceCount; ++x) races[x] = FieldNumber(f[gRacePositions[x]]);
  r.raceWeights.Reset(reinterpret_cast<uint8_t*>(races));
  return 0;
}

// ---- specific items ----

enum { xName, xOn, xPrice, xScript, xSkillBoost, xColumns };
const char* kSpecificColumns[xColumns] = {"Name", "On", "Price", "Script", "SkillBoost"};
const char* kSpecificGroups[4] = {"Fight", "Mage", "Shadow", "Divine"};
int gSpecific[xColumns + 1], gSpecificGroups[4];
// Optional columns: the SRD random tables' d% widths, charges, the spell and caster level.
enum { xMinor, xMedium, xMajor, xCharges, xSpell, xSpellLevel, xCL, xOptional };
const char* kSpecificOptional[xOptional] = {"Minor", "Medium", "Major", "Charges", "Spell", "SpellLevel", "CL"};
int gSpecificOptional[xOptional];

int OptionalNumber(char** f, int column, int absent) { return column < 0 ? absent : FieldNumber(f[column]); }

int SpecificRow(char** f, void* record, void* temporary, int count, bool header) {
  if (header) {
    for (int i = 0; i < xColumns; ++i) gSpecific[i] = FindColumn(f, kSpecificColumns[i], count, true);
    for (int i = 0; i < 4; ++i) gSpecificGroups[i] = FindColumn(f, kSpecificGroups[i], count, true);
    for (int i = 0; i < xOptional; ++i) gSpecificOptional[i] = FindColumn(f, kSpecificOptional[i], count, false);
    gSpecific[xColumns] = count;
    return 0;
  }
  CheckCount(count, gSpecific[xColumns], "Invalid Number of Arguments in SpecificSource Database (%s)\n", f[0]);
  SpecificSource& r = *static_cast<SpecificSource*>(record);
  ItemTexts& t = *static_cast<ItemTexts*>(temporary);
  r.name.Assign(f[gSpecific[xName]]);
  r.base = FindByName(gSource.equipment, gSource.equipmentCount, f[gSpecific[xOn]], false, true);
  r.price = FieldNumber(f[gSpecific[xPrice]]);
  for (int i = 0; i < 4; ++i) r.groups[i] = FieldNumber(f[gSpecificGroups[i]]);
  for (int i = 0; i < 3; ++i) r.grades[i] = OptionalNumber(f, gSpecificOptional[xMinor + i], 0);
  r.charges = OptionalNumber(f, gSpecificOptional[xCharges], 0);
  r.spellLevel = OptionalNumber(f, gSpecificOptional[xSpellLevel], -1);
  r.casterLevel = OptionalNumber(f, gSpecificOptional[xCL], 0);
  int spell = gSpecificOptional[xSpell];
  if (spell >= 0 && f[spell][0] != ';') r.spell = FindByName(gSource.spells, gSource.spellCount, f[spell], false, true);
  Compile(r.script, f[gSpecific[xScript]], "Error in Specific Script %s\n", r.name.c_str());
  StoreList(t.skillBoost, f[gSpecific[xSkillBoost]], true, false);
  return 0;
}

// ---- monsters ----

enum {
  mName,
  mCR,
  mType,
  mSize,
  mEpic,
  mHD,
  mHDT,
  mTP,
  mRef,
  mWil,
  mZaeh,
  mAC,
  mHDMin,
  mHDMax,
  mHDInc,
  mHDInc2,
  mInit,
  mSpeed,
  mOrgMin,
  mOrgMax,
  mMixed,
  mTreasur,
  mSpellChar,
  mClericSpells,
  mFamiliar,
  mAbbilities,
  mAltern1,
  mAltern2,
  mSaves,
  mColumns
};
const char* kMonsterColumns[mColumns] = {
    "Name",  "CR",      "Type",      "Size",         "Epic",     "HD",         "HDT",     "TP",      "Ref",    "Wil",
    "Zaeh",  "AC",      "HDMin",     "HDMax",        "HDInc",    "HDInc2",     "Init",    "Speed",   "OrgMin", "OrgMax",
    "Mixed", "Treasur", "SpellChar", "ClericSpells", "Familiar", "Abbilities", "Altern1", "Altern2", "Saves"};
int gMonster[mColumns + 1], gMonsterAttr[kAttributes];
int gAttack[kMonsterAttacks][7];  // Attack, Number, AttRed, DmgA, DmgB, DmgC, Type
int gMonsterFeat[6], gMonsterSkill[7][2];
int gMonsterSpellLike = -1, gMonsterReach = -1, gMonsterAlignment = -1;  // optional columns
int gMonsterSrdAttacks = -1, gMonsterEnvironment = -1, gMonsterSrdEnvironment = -1, gMonsterModes = -1;

int MonsterRow(char** f, void* record, void* temporary, int count, bool header) {
  char name[32];
  if (header) {
    for (int i = 0; i < mColumns; ++i) gMonster[i] = FindColumn(f, kMonsterColumns[i], count, true);
    for (int i = 0; i < kAttributes; ++i) gMonsterAttr[i] = FindColumn(f, kAttributeColumns[i], count, true);
    const char* formats[7] = {"Attack%d", "Number%d", "AttRed%d", "Dmg%dA", "Dmg%dB", "Dmg%dC", "Type%d"};
    for (int s = 0; s < kMonsterAttacks; ++s)
      for (int k = 0; k < 7; ++k) {
        snprintf(name, sizeof name, formats[k], s + 1);
        gAttack[s][k] = FindColumn(f, name, count, true);
      }
    for (int i = 0; i < 6; ++i) {
      snprintf(name, sizeof name, "Feat%d", i + 1);
      gMonsterFeat[i] = FindColumn(f, name, count, true);
    }
    for (int i = 0; i < 7; ++i) {
      snprintf(name, sizeof name, "Skill%d", i + 1);
      gMonsterSkill[i][0] = FindColumn(f, name, count, true);
      snprintf(name, sizeof name, "SkillL%d", i + 1);
      gMonsterSkill[i][1] = FindColumn(f, name, count, true);
    }
    gMonster[mColumns] = count;
    gMonsterSpellLike = FindColumn(f, "Zauberähnlich", count, false);
    gMonsterReach = FindColumn(f, "Reichweite", count, false);
    gMonsterAlignment = FindColumn(f, "Gesinnung", count, false);
    gMonsterSrdAttacks = FindColumn(f, "Angriffe-SRD", count, false);
    gMonsterEnvironment = FindColumn(f, "Umgebung", count, false);
    gMonsterSrdEnvironment = FindColumn(f, "Umgebung-SRD", count, false);
    gMonsterModes = FindColumn(f, "Bewegungsarten", count, false);
    return 0;
  }
  CheckCount(count, gMonster[mColumns], "Invalid Number of Arguments in MonsterSource Database (%s)\n", f[0]);
  MonsterSource& r = *static_cast<MonsterSource*>(record);
  MonsterTexts& t = *static_cast<MonsterTexts*>(temporary);
  auto col = [&](int c) { return f[gMonster[c]]; };
  if (gMonsterSpellLike >= 0 && strcmp(f[gMonsterSpellLike], ";") != 0) r.spellLike.Assign(f[gMonsterSpellLike]);
  r.reach = gMonsterReach >= 0 && strcmp(f[gMonsterReach], ";") != 0 ? FieldNumber(f[gMonsterReach]) : -1;
  for (auto [column, text] :
       {std::pair{gMonsterSrdAttacks, &r.srdAttacks}, std::pair{gMonsterEnvironment, &r.environment},
        std::pair{gMonsterSrdEnvironment, &r.srdEnvironment}, std::pair{gMonsterModes, &r.movementModes}})
    if (column >= 0 && strcmp(f[column], ";") != 0) text->Assign(f[column]);
  const char* monster = col(mName);
  int32_t hd = FieldNumber(col(mHD)), hdMin = FieldNumber(col(mHDMin));
  if (hdMin > 0 && hdMin < hd) {
    ConsolePrint("HDMin < HD: %s: %d < %d\n", monster, hdMin, hd);
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
  r.name.Assign(monster);
  ReadAlignment(f, gMonsterAlignment, r.alignment, monster);
  r.cr = FieldNumber(col(mCR));
  r.type = FindByName(gSource.monsterTypes, gSource.monsterTypeCount, col(mType), true, true);
  r.size = FindByName(gSource.sizes, gSource.sizeCount, col(mSize), true, true);
  r.epic = FieldNumber(col(mEpic));
  r.hd = hd;
  r.hdType = FieldNumber(col(mHDT));
  r.tp = FieldNumber(col(mTP));
  r.reflex = FieldNumber(col(mRef));
  r.will = FieldNumber(col(mWil));
  r.fortitude = FieldNumber(col(mZaeh));
  for (int i = 0; i < kAttributes; ++i) r.abilities[i] = FieldNumber(f[gMonsterAttr[i]]);
  r.ac = FieldNumber(col(mAC));
  r.hdMin = hdMin;
  r.hdMax = FieldNumber(col(mHDMax));
  r.hdInc = FieldNumber(col(mHDInc));
  r.hdInc2 = FieldNumber(col(mHDInc2));
  r.init = FieldNumber(col(mInit));
  r.speed = FieldNumber(col(mSpeed));
  r.orgMin = FieldNumber(col(mOrgMin));
  r.orgMax = FieldNumber(col(mOrgMax));
  r.mixed = FieldNumber(col(mMixed));
  r.treasure = FieldNumber(col(mTreasur));
  // Saves: "0" keeps the type's progressions, else one digit each for Reflex, Will and
  // Fortitude, 1 good and 2 poor (an air elemental: "122").
  const char* saves = col(mSaves);
  if (strcmp(saves, "0") != 0) {
    bool valid = strlen(saves) == 3;
    for (int i = 0; i < 3 && valid; ++i) {
      valid = saves[i] == '1' || saves[i] == '2';
      r.saves[i] = saves[i] - '0';
    }
    if (!valid) {
      ConsolePrint("Invalid saves %s of %s (0, or three digits 1 good and 2 poor: Reflex, Will, Fortitude)\n", saves,
                   monster);
      TableFault();
    }
  }
  int32_t alternatives[2] = {FieldNumber(col(mAltern1)), FieldNumber(col(mAltern2))};
  int slots = 0;
  // The list of attack slots ends at the first name starting with "0".
  for (int s = 0; s < kMonsterAttacks; ++s) {
    const char* type = f[gAttack[s][6]];
    if (type[0] == '0') break;
    MonsterAttack& a = r.attacks[s];
    a.attack = FieldNumber(f[gAttack[s][0]]);
    a.number = FieldNumber(f[gAttack[s][1]]);
    a.reduction = FieldNumber(f[gAttack[s][2]]);
    a.damageA = FieldNumber(f[gAttack[s][3]]);
    a.damageB = FieldNumber(f[gAttack[s][4]]);
    a.damageC = FieldNumber(f[gAttack[s][5]]);
    r.attackNames[s].Assign(type);
    r.alternatives[s] = s < 2 ? alternatives[s] : (strcmp(type, "Slap") == 0 ? 3 : 0);
    ++slots;
  }
  r.attackCount = slots;
  int feats = 0;
  for (int i = 0; i < 6; ++i) {
    const char* feat = f[gMonsterFeat[i]];
    if (feat[0] == '0') break;
    r.feats[feats++] = FindByName(gSource.feats, gSource.featCount, feat, true, true);
  }
  r.featCount = feats;
  int skills = 0;
  for (int i = 0; i < 7; ++i) {
    const char* skill = f[gMonsterSkill[i][0]];
    if (skill[0] == '0') break;
    r.skills[skills][0] = FindByName(gSource.skills, gSource.skillCount, skill, true, true);
    r.skills[skills][1] = FieldNumber(f[gMonsterSkill[i][1]]);
    ++skills;
  }
  r.skillCount = skills;
  const char* spellChar = col(mSpellChar);
  size_t n = strlen(spellChar);
  uint8_t* copy = static_cast<uint8_t*>(mallocloga(n + 1, "SetMonsterSource-SpellChar"));
  for (size_t i = 0; i <= n; ++i) {
    char c = spellChar[i];
    copy[i] = (uint8_t)(c == ':' ? ' ' : c == ';' ? 0 : c);
  }
  r.spellChar.Reset(copy);
  r.clericSpells = FieldNumber(col(mClericSpells));
  StoreList(t.abilities, col(mAbbilities), false, false);
  uint8_t* familiar = nullptr;
  ++gSourceStats.scripts;
  if (bnfparse(col(mFamiliar), &familiar) != 0) {
    ConsolePrint("Error in Monster Familiar Script %s\n", monster);
    TableFault();
  }
  r.familiar.Reset(familiar);
  return 0;
}

template <class R>
const char* NameOf(void* records, int i) {
  return static_cast<R*>(records)[i].name.c_str();
}

template <class R>
void* Make(int count) {
  return NewRecords<R>(count, "SourceInit-Source");
}

template <class R>
String* ShownOf(void* records, int i, int which) {
  R& r = static_cast<R*>(records)[i];
  return which == 0 ? &r.display : &r.srd;
}

// Specials may share a name across kinds: the lookups ask for a kind.
int32_t SpecialKind(void* records, int i) { return static_cast<SpecialSource*>(records)[i].type; }

template <class R, class T = R>
TableLayout Layout(const char* path, RowHandler handler, bool temporaries, int extra = 0) {
  TableLayout s;
  s.path = path;
  s.handler = handler;
  s.recordSize = sizeof(R);
  s.makeRecords = Make<R>;
  s.nameOf = NameOf<R>;
  if (temporaries) {
    s.temporarySize = sizeof(T);
    s.makeTemporaries = Make<T>;
  }
  s.extra = extra;
  if constexpr (std::is_same_v<R, SpecialSource>) s.groupOf = SpecialKind;
  if constexpr (!std::is_same_v<R, ProfileSource>) s.shownOf = ShownOf<R>;
  return s;
}

// Reads one table into records (and temporaries); the wrapper counts rows.
template <class R, class T = R>
int Read(const char* path, RowHandler handler, R** records, int32_t* count, T** temporaries = nullptr, int extra = 0) {
  TableLayout layout = Layout<R, T>(path, handler, temporaries != nullptr, extra);
  void* r = nullptr;
  void* t = nullptr;
  int result = ReadTable(layout, &r, temporaries ? &t : nullptr, count);
  *records = static_cast<R*>(r);
  if (temporaries) *temporaries = static_cast<T*>(t);
  gSourceStats.rows += *count;
  return result;
}

int Update(const char* path, RowHandler handler) {
  TableLayout layout;
  layout.path = path;
  layout.handler = handler;
  int32_t dummy = 0;
  return ReadTable(layout, nullptr, nullptr, &dummy);
}

}  // namespace

int ReadMinorTables() {
  gNamedMessage = "Invalid Number of Arguments in DomainSource Database (%s)\n";
  if (Read("Build/Data/Domains.txt", NamedRow, &gSource.domains, &gSource.domainCount)) return 1;
  if (Read("Build/Data/MonsterTypes.txt", MonsterTypeRow, &gSource.monsterTypes, &gSource.monsterTypeCount)) return 1;
  gNamedMessage = "Invalid Number of Arguments in RegionSource Database (%s)\n";
  if (Read("Build/Data/Regions.txt", NamedRow, &gSource.regions, &gSource.regionCount)) return 1;
  gNamedMessage = "Invalid Number of Arguments in SchoolSource Database (%s)\n";
  if (Read("Build/Data/Schools.txt", NamedRow, &gSource.schools, &gSource.schoolCount)) return 1;
  if (Read("Build/Data/Size.txt", SizeRow, &gSource.sizes, &gSource.sizeCount)) return 1;
  if (Read("Build/Data/Abbilities.txt", AbilityRow, &gSource.abilities, &gSource.abilityCount)) return 1;
  if (Read("Build/Data/Templates.txt", TemplateRow, &gSource.templates, &gSource.templateCount)) return 1;
  if (Read("Build/Data/Specials.txt", SpecialRow, &gSource.specials, &gSource.specialCount)) return 1;
  if (Read("Build/Data/Boni.txt", BonusRow, &gSource.bonuses, &gSource.bonusCount)) return 1;
  return 0;
}

int ReadClassTables() {
  if (Read("Build/Data/Characters.txt", CharRow, &gSource.classes, &gSource.classCount, &gTexts.classes)) return 1;
  gClassPositions = static_cast<int32_t*>(
      mallocloga(sizeof(int32_t) * (size_t)(gSource.classCount + 1), "SourceInit-ClassPositions"));
  gFeatDerriveColumns = static_cast<int32_t*>(
      mallocloga(sizeof(int32_t) * (size_t)(gSource.classCount + 1), "SourceInit-DerrivePositions"));
  if (Read("Build/Data/Races.txt", RaceRow, &gSource.races, &gSource.raceCount, &gTexts.races, 1)) return 1;
  gRacePositions =
      static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)(gSource.raceCount + 1), "SourceInit-RacePositions"));
  if (Read("Build/Data/Feats.txt", FeatRow, &gSource.feats, &gSource.featCount, &gTexts.feats)) return 1;
  if (Read("Build/Data/Skills.txt", SkillRow, &gSource.skills, &gSource.skillCount, &gTexts.skills)) return 1;
  if (Read("Build/Data/Spells.txt", SpellRow, &gSource.spells, &gSource.spellCount)) return 1;
  if (Update("Build/Data/Spells2.txt", Spells2Row)) return 1;
  // Classes that copy another class's spell list.
  for (int c = 0; c < gSource.classCount; ++c) {
    const char* from = gTexts.classes[c].copySpells.c_str();
    if (!from[0] || from[0] == ';') continue;
    WhereRow("Build/Data/Characters.txt", c);
    int source = FindByName(gSource.classes, gSource.classCount, from, false, true);
    for (int s = 0; s < gSource.spellCount; ++s) gSource.spells[s].Levels()[c] = gSource.spells[s].Levels()[source];
  }
  if (Read("Build/Data/Powers.txt", PowerRow, &gSource.powers, &gSource.powerCount)) return 1;
  if (Read("Build/Data/Effects.txt", EffectRow, &gSource.effects, &gSource.effectCount, &gTexts.effects)) return 1;
  if (Read("Build/Data/Monsters.txt", MonsterRow, &gSource.monsters, &gSource.monsterCount, &gTexts.monsters)) return 1;
  return 0;
}

int ReadItemTables() {
  if (Read("Build/Data/Equipment.txt", EquipmentRow, &gSource.equipment, &gSource.equipmentCount)) return 1;
  for (int e = 0; e < gSource.equipmentCount; ++e) {
    gSource.equipment[e].classWeights.Reset();
    gSource.equipment[e].raceWeights.Reset();
  }
  if (Update("Build/Data/Weapons.txt", WeaponRow)) return 1;
  if (Read("Build/Data/Specific.txt", SpecificRow, &gSource.specifics, &gSource.specificCount, &gTexts.specifics))
    return 1;
  return 0;
}

void FreeReadingState() {
  if (gUpdatedAt) freeloga(gUpdatedAt);
  gUpdatedAt = nullptr;
  if (gClassPositions) freeloga(gClassPositions);
  if (gRacePositions) freeloga(gRacePositions);
  if (gFeatDerriveColumns) freeloga(gFeatDerriveColumns);
  gClassPositions = gRacePositions = gFeatDerriveColumns = nullptr;
  DeleteRecords(gTexts.classes);
  DeleteRecords(gTexts.races);
  DeleteRecords(gTexts.feats);
  DeleteRecords(gTexts.skills);
  DeleteRecords(gTexts.effects);
  DeleteRecords(gTexts.specifics);
  DeleteRecords(gTexts.monsters);
}

}  // namespace RUNTIME_NS
