// The order of a creation: every stage called here for one reproduction record, so a
// replay meets the same decisions in the same order; also the per-thread contexts.
#include "generator/creation.h"
#include "generator/alignment.h"
#include "generator/attributes.h"
#include "generator/classes.h"
#include "generator/combat.h"
#include "generator/companions.h"
#include "generator/details.h"
#include "generator/equipment.h"
#include "generator/extras.h"
#include "generator/feats.h"
#include "generator/mixed.h"
#include "generator/monster.h"
#include "generator/powers.h"
#include "generator/skills.h"
#include "generator/spells.h"
#include "generator/treasure.h"

#include <cstring>
#include <new>
#include <source_location>
#include <vector>

#include "generator/creature_ops.h"
#include "generator/script_binding.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/timer.h"
#include "random/decisions.h"
#include "random/isaac.h"
#include "random/repro.h"
#include "random/settings.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

CreationContext* gContexts = nullptr;
int gContextCount = 0;

// Equal weights for draws over a whole table; the caller's site names the decision.
const int32_t kOne = 1;

template <class T>
int DrawOne(IsaacState* state, const T* table, int count, const char* label, int ask,
            std::source_location where = std::source_location::current()) {
  if (count <= 0) return -1;
  return AdvancedRand(state, count, &kOne, 0, &table[0].name.text, sizeof(T), label, ask, true, 0, false, where);
}

void ChooseProfileAndTemplate(Char* c, IsaacState* state) {
  // A mixed part whose monster type carries no equipment never follows a profile.
  bool skipProfile = c->mixedPart && c->mixedMonster && c->mixedMonster->creatureType >= 0 &&
                     gSource.monsterTypes[c->mixedMonster->creatureType].mixedEq == 0;
  if (!skipProfile) c->profileMode = YesNo(state, "Create Char According to Profile", 3, 1, gSettings.ChooseClass);
  if (!c->mixedPart && !c->profileMode && YesNo(state, "Template", 20, 1, gSettings.ChooseClass)) {
    int t = DrawOne(state, gSource.templates, gSource.templateCount, "Template wählen!", gSettings.ChooseClass);
    if (t >= 0 && !(gSource.templates[t].name == "Skelleton")) {
      c->templateIndex = t;
      const TemplateSource& tpl = gSource.templates[t];
      int32_t* temps = Temporaries();
      temps[0] = c->cr;
      temps[1] = c->Level;
      RunScript(c, nullptr, c->specialText, tpl.crScript.data, tpl.name.c_str(), -1, c->specialText);
      int32_t adjusted = temps[0];
      c->Level = c->Level + c->cr - adjusted;
      if (c->Level < 1) c->Level = 1;
      RunScript(c, nullptr, c->specialText, tpl.script.data, tpl.name.c_str(), -1, c->specialText);
      if (strstr(tpl.newType.c_str(), "Undead")) {
        c->absent[2] = 1;
        c->KO = 0;
      }
      TemplateTakesIntelligence(c, t);
    }
  }
  if (c->profileMode) {
    int k = random(state, 1, 10, "Profilwahrscheinlichkeit als 2er Potenz", gSettings.ChooseClass);
    c->profileWeight = 1 << k;
    int n = gSource.profileCount;
    if (n <= 0) {
      c->profileMode = 0;
      return;
    }
    TrackedPtr<int32_t> weights(
        static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)n, "CreateCreature-ProfileProb")));
    TrackedPtr<const char*> names(
        static_cast<const char**>(mallocloga(sizeof(char*) * (size_t)n, "CreateCreature-ProfileNames")));
    for (int i = 0; i < n; ++i) {
      weights[i] = gSource.profiles[i].minLevel <= c->Level ? 1 : 0;
      names[i] = gSource.profiles[i].name;
    }
    int p = AdvancedRand(state, n, weights.get(), 4, names.get(), sizeof(char*), "Profil wählen!",
                         gSettings.ChooseClass, true, 0, false);
    if (p < 0)
      c->profileMode = 0;
    else
      c->profile = p;
  }
}

// The monster of a kind-1 creature: a fixed one, or one chosen for the CR. A choice
// that finds no monster is made again at the same CR, mixed decision included (a
// mixed creature gives its class share back first). After 100 such rounds the CR
// moves to the nearest one that has monsters, so that a CR without any cannot hang.
void BuildMonster(Char* c, const int32_t* r, bool kindByChance) {
  IsaacState* state = c->context.random;
  int start = c->cr;
  for (int round = 0;; ++round) {
    c->mixed = 0;
    if (c->cr > 1) {
      if (r[rec::kForceMixed])
        c->mixed = 1;
      else if (kindByChance)
        c->mixed = YesNo(state, "Mixed Charakter?", 5, 1, gSettings.ChooseClass);
      if (c->mixed) {
        c->crShare = random(state, 0, c->cr, "Wie viel der HG für Klasse verwnden?", gSettings.ChooseClass);
        c->cr -= c->crShare;
      }
    }
    int fixed = r[rec::kFixedMonster];
    if (fixed >= 0 && fixed < gSource.monsterCount) {
      c->monster = fixed;
      c->optionCount = 1;
      c->optionVariant[0] = 0;
      c->optionTemplate[0] = r[rec::kParam10] >= 0 && r[rec::kParam10] < gSource.templateCount ? r[rec::kParam10] : 0;
      c->optionCR[0] = r[rec::kCRMin];
      SetMonster(c);
      break;
    }
    if (DetermineMonster(c) == 0) break;
    if (c->mixed) {
      c->cr += c->crShare;
      c->crShare = 0;
    }
    if (round >= 100) {
      // Alternate below and above the asked CR: start-1, start+1, start-2, ...
      int distance = (round - 100) / 2 + 1;
      if (distance > 60) return;
      int next = (round - 100) % 2 == 0 ? start - distance : start + distance;
      c->cr = next < 0 ? start + distance : next;
    }
  }
  // A casting monster's spells.
  if (c->classCount > 0) {
    CalculateSpellCount(c);
    CalculateSpells(c);
  }
  // The monster snapshot: what the sheet shows as the build left it.
  c->snapshot[0] = c->Attacks;
  c->snapshot[1] = c->AC;
  c->snapshot[2] = c->hitPoints;
  c->snapshot[3] = c->MR;
  c->snapshot[4] = c->SpellFailure;
}

// Every stage starts from the batch's choose-everything setting, so a "-1" answer
// hands only the rest of its stage to chance. Written only on a change: the flag is
// shared by all threads.
void RestoreChooseEverything() {
  if (gDecide.chooseEverything != gRandom.savedChooseEverything)
    gDecide.chooseEverything = gRandom.savedChooseEverything;
}

// A mixed creature's class part carries equipment as its monster's type says:
// 1 always, 0 never, a larger value with chance 1 in that value.
bool MixedPartEquipped(Char* c, IsaacState* state) {
  const Char* m = c->mixedMonster;
  if (!m || m->creatureType < 0 || m->creatureType >= gSource.monsterTypeCount) return false;
  int32_t value = gSource.monsterTypes[m->creatureType].mixedEq;
  if (value == 1) return true;
  return value >= 2 && random(state, 1, value, "1 = Mit Ausrüstung", 0) == 1;
}

void ResetDefaults(Char* c) {
  c->Attacks = 1;
  c->AttacksOpportunity = 1;
  c->RingMax = 2;
  c->limitedFeats = 1;
  c->subRace = -1;
  c->race = -1;
  c->profile = -1;
  c->monster = -1;
  c->creatureType = -1;
  c->specialistSchool = -1;
  c->maxDex = 1024;
  memset(c->spellsKnown, 0xFF, sizeof c->spellsKnown);
  memset(c->spellsPerDay, 0xFF, sizeof c->spellsPerDay);
  memset(c->spellsToDraw, 0xFF, sizeof c->spellsToDraw);
  memset(c->domains, 0xFF, sizeof c->domains);
  memset(c->domainSpells, 0xFF, sizeof c->domainSpells);
  memset(c->spellsChosen, 0xFF, sizeof c->spellsChosen);
}

}  // namespace

void ResetChar(Char* c) {
  int32_t* record = c->record;
  Char* monster = c->mixedMonster;
  int32_t mixedPart = c->mixedPart, noEquipment = c->noEquipment;
  CreationContext context = c->context;
  TextBuffer* special = c->specialText;
  TextBuffer* texts[3] = {c->texts[0], c->texts[1], c->texts[2]};
  FreeCharBonuses(c);
  MakeFreshChar(c);
  c->record = record;
  c->mixedMonster = monster;
  c->mixedPart = mixedPart;
  c->noEquipment = noEquipment;
  c->context = context;
  c->specialText = special;
  for (int i = 0; i < 3; ++i) c->texts[i] = texts[i];
  // Texts are kept as blocks but emptied.
  if (special) special->length = 0;
  for (TextBuffer* t : texts)
    if (t) t->length = 0;
  if (special && special->data) special->data[0] = 0;
  ResetDefaults(c);
  int effects = gSource.effectCount, feats = gSource.featCount;
  if (context.effectDone) memset(context.effectDone, 0, sizeof(int32_t) * (size_t)(effects ? effects : 1));
  if (context.againDependency) memset(context.againDependency, 0, sizeof(int32_t) * (size_t)(feats ? feats : 1));
  if (context.featNotAgain) memset(context.featNotAgain, 0, sizeof(int32_t) * (size_t)(feats ? feats : 1));
}

namespace {

// A creature's own details and its companions' in turn.
void DrawDetailsOf(Char* c, IsaacState* state) {
  if (!c) return;
  DrawSkillSubjects(c, state);
  DrawFavouredEnemies(c, state);
  DrawDetailsOf(c->familiarChar, state);
  DrawDetailsOf(c->mountChar, state);
  DrawDetailsOf(c->servantChar, state);
  for (int i = 0; i < c->companionCount && i < kMaxCompanions; ++i) DrawDetailsOf(c->companionChars[i], state);
}

// The batch's monster theme travels in the record: a replay takes it from there, a new
// creation notes it as it finds it (a re-roll or a single saved creature replays with it
// although the replayed batch starts without one).
void CarryTheme(int32_t* r) {
  if (IsReplayRecord(r)) {
    if (ReplayLacksTheme() && r[rec::kMonsterSelChosen] == -1) r[rec::kMonsterSelChosen] = ReferenceMonster();
    SetReferenceMonster(r[rec::kMonsterSelChosen]);
  } else {
    r[rec::kMonsterSelChosen] = ReferenceMonster();
  }
}

// A top-level creation starts the record's random stream (with the batch theme); every
// creation starts from a fresh creature of the record's rule set.
void BeginCreation(Char* c, int32_t* r, IsaacState* state, int sub) {
  if (!sub) {
    CarryTheme(r);
    BeginCreationRandom(r, state);
  }
  ResetChar(c);
  c->rules = RecordRuleSet(r);
  RestoreChooseEverything();
}

// Region, kind and challenge rating; returns whether the kind was left to chance (a
// chosen kind also lets chance decide on a mixed monster and on NPC classes).
bool DrawKindAndCR(Char* c, const int32_t* r, IsaacState* state) {
  c->region = DrawOne(state, gSource.regions, gSource.regionCount, "Region auswählen!", 0);
  DebugPrint(2, "Starting Character Creation\n");
  bool kindByChance = r[rec::kKind] == -1;
  c->kind = kindByChance ? random(state, 0, 1, "0 Char / 1 Monster", gSettings.ChooseClass) : r[rec::kKind];
  RestoreChooseEverything();
  DebugPrint(1, "\nHG wird festgelegt\n");
  c->cr = random(state, r[rec::kCRMin], r[rec::kCRMax], "HG der Kreatur wählen!\n", 0);
  return kindByChance;
}

// A character's level for its CR, profile or template, dice method and NPC classes.
void ChooseCharacterFrame(Char* c, const int32_t* r, IsaacState* state, bool kindByChance) {
  c->Level = CharacterLevelForCR(c, c->cr);
  c->npcClasses = r[rec::kNpcClasses];
  if (c->npcClasses == 0) ChooseProfileAndTemplate(c, state);
  if (c->profileMode)
    c->diceMethod = 1;
  else if (r[rec::kDiceMethod] != -1)
    c->diceMethod = r[rec::kDiceMethod];
  else if (!gDecide.chooseEverything)
    c->diceMethod = random(state, 1, 2, "Würfelmethode wählen: 1 = 3W6, 2 = 4W6\n", 0);
  else
    c->diceMethod = 2;
  if (kindByChance && !c->profileMode && c->templateIndex == 0)
    c->npcClasses = YesNo(state, "NPC Klassen verwenden?", 20, 1, gSettings.ChooseClass);
  // NPC classes are weaker: more levels for the CR, also when the record asks for them.
  // (No template nor profile goes with NPC classes: the level is still the CR's.)
  if (c->npcClasses) c->Level = CharacterLevelForCR(c, c->cr);
  KeepLowestCharacterCR(c);
}

// Ability scores: rolled, or for a class part its monster's body, its scores and its
// missing abilities.
void SetAbilityScores(Char* c) {
  if (c->mixedPart && c->mixedMonster) {
    for (int a = 0; a < kAttributes; ++a) {
      int score = AbilityScore(c->mixedMonster, a);
      AbilityScore(c, a) = score < 1 ? 0 : score;
      c->absent[a] = score < 1;
    }
    ComputeModifiers(c);
  } else {
    RollAttributes(c, c->diceMethod);
  }
}

// Race and classes, then what race, level increases and template add to the scores.
void ChooseRaceAndClasses(Char* c) {
  RestoreChooseEverything();
  ChooseRace(c);
  RestoreChooseEverything();
  ChooseClasses(c, c->diceMethod);
  ApplyRaceAdjustments(c);
  IncreaseAttributes(c);
  if (c->templateIndex > 0) {
    const int32_t* change = gSource.templates[c->templateIndex].attributeMods;
    for (int a = 0; a < kAttributes; ++a)
      if (!c->absent[a]) AbilityScore(c, a) += change[a];
  }
  ComputeModifiers(c);
  CalcBaseValues(c);
}

// Class features: whether every feat the gear requires is taken, a psionic crystal, the
// classes' feat scripts, lores and hierophant abilities.
void ClassFeatures(Char* c, IsaacState* state) {
  c->getAllRequired = 1;
  if (const CharSource* main = ClassAt(MainClass(c)); main && main->noEquipment == 2)
    if (random(state, 0, 3, "0 > Get All Required Feats for Weapon/Armor/Shield", 0) == 0) c->getAllRequired = 0;
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s)
    if (const CharSource* k = ClassAt(c->classes[s]); k && k->psiCrystals) {
      ++c->Crystals;
      break;
    }
  ClassFeatScripts(c);
  DoLores(c);
  DoHierophantAbilities(c);
}

// Fighting style, equipment and the wealth: none without equipment, a class part's
// monster's, else 75-125 % of the CR's figure, doubled.
void EquipCharacter(Char* c, IsaacState* state) {
  RestoreChooseEverything();
  DebugPrint(1, "\nAngriffsart wird bestimmt\n");
  ChooseFightingStyle(c);
  RestoreChooseEverything();
  DebugPrint(1, "\nAusrüstung wird bestimmt\n");
  if (!c->noEquipment && (!c->mixedPart || MixedPartEquipped(c, state))) GenerateEquipment(c);
  if (c->noEquipment) {
    c->wealth = 0;
  } else if (c->mixedPart && c->mixedMonster) {
    c->wealth = c->mixedMonster->wealth;
  } else {
    int32_t share = random(state, 75, 125, "Geldwert in %%", 0);
    int cr = c->cr < 0 ? 0 : c->cr > 50 ? 50 : c->cr;
    c->wealth = 2 * (share * gSource.treasure[cr] / 100);
  }
  c->treasureMoney = c->wealth;
  InherentBonus(c);
}

// Domains, the spells drawn before the feats and powers.
void CharacterSpells(Char* c) {
  RestoreChooseEverything();
  DebugPrint(1, "\nZauber etc werden bestimmt\n");
  ComputeModifiers(c);
  DoDomainsSpecial(c);
  SpellsBeforeFeats(c);
  DoPowers(c);
  // Scrolls and wands need the spells the creature casts.
  if (Srd35(c) && c->kind == 0 && !c->noEquipment && c->drawnBudget > 0) CarriedItems(c);
}

// The feats a class part takes over from its monster (none from a monster hit die that
// the class levels replace).
std::vector<int32_t> InheritFeats(Char* c) {
  std::vector<int32_t> inherited;
  if (c->mixedPart && c->mixedMonster && !ClassLevelsReplaceHitDice(c->mixedMonster)) {
    const Char* m = c->mixedMonster;
    for (int i = 0; i < m->featCount; ++i) {
      int f = m->feats[i];
      if (f >= 0 && f < gSource.featCount && gSource.feats[f].multi == 2 && !OwnsFeat(c, f)) {
        AddFeat(c, f, nullptr, m->featParameters[i]);
        inherited.push_back(f);
      }
    }
  }
  return inherited;
}

// The feats' scripts. The monster's hit points already hold what its own feats give:
// for an inherited feat that part is noted apart.
void RunFeatScriptsBesides(Char* c, const std::vector<int32_t>& inherited) {
  if (inherited.empty()) {
    RunFeatScripts(c);
    return;
  }
  std::vector<int32_t> given((size_t)c->featCount + 1, 0);
  RunFeatScripts(c, given.data());
  for (int32_t f : inherited)
    for (int i = 0; i < c->featCount; ++i)
      if (c->feats[i] == f) {
        c->inheritedTP += given[(size_t)i];
        break;
      }
}

// Feats and skills, then the feats' scripts.
void FeatsAndSkills(Char* c) {
  RestoreChooseEverything();
  DebugPrint(1, "\nTalente werden festgelegt\n");
  std::vector<int32_t> inherited = InheritFeats(c);
  ClassFeatGroups(c);
  CalculateFeats(c);
  RequiredSkillRanks(c);
  RestoreChooseEverything();
  DebugPrint(2, "\nFertigkeiten werden festgelegt\n");
  CalculateSkills(c, 0);
  SkillFeatChoice(c);
  ComputeModifiers(c);
  CalcBaseValues(c);
  ReArrangeFeats(c);
  RunFeatScriptsBesides(c, inherited);
}

// Race, special-ability and class scripts, then the spells that depend on them.
void AbilityScripts(Char* c) {
  ComputeModifiers(c);
  RunRaceScripts(c);
  DoSpecialAbilities(c);
  RunClassScripts(c);
  EquipmentSkillBonuses(c);
  ComputeModifiers(c);
  CalcBaseValues(c);
  SpellsAfterAbilities(c);
  DoCrystal(c);
}

// Companions, hit points, weapons and skills; the template's name goes into the
// special-ability text.
void FinishCharacter(Char* c) {
  RestoreChooseEverything();
  DoCompanions(c);
  ZeroAbsentAbilities(c);
  RestoreChooseEverything();
  RollHitPoints(c);
  CalcWeapons(c, !c->noEquipment && !c->mixedPart);
  FinishSkills(c);
  if (c->templateIndex > 0) {
    const char* name = gSource.templates[c->templateIndex].name.c_str();
    if (c->specialText) TextAppend(c->specialText, name, strlen(name));
  }
}

// A character (or the class part of a mixed creature), stage by stage.
void BuildCharacter(Char* c, const int32_t* r, IsaacState* state, bool kindByChance) {
  ChooseCharacterFrame(c, r, state, kindByChance);
  SetAbilityScores(c);
  ChooseRaceAndClasses(c);
  ClassFeatures(c, state);
  EquipCharacter(c, state);
  CharacterSpells(c);
  FeatsAndSkills(c);
  AbilityScripts(c);
  FinishCharacter(c);
}

// The class part of a mixed creature: a character of the class share, built by a
// recursive call and merged in. Returns the class levels it rolled hit dice for.
int BuildClassPart(Char* c) {
  DebugPrint(1, "Creating Mixed Char\n");
  Char* part = c->context.classPart;
  int32_t* spare = c->context.spareRecord;
  if (!part || !spare) return 0;
  // Zeroed: dice method 0 draws nothing (the scores are the monster's), kind 0.
  memset(spare, 0, kRecordBytes);
  SetRecordRuleSet(spare, c->rules);
  spare[rec::kCRMin] = spare[rec::kCRMax] = c->crShare;
  spare[rec::kFixedRace] = FindByName(gSource.races, gSource.raceCount, "Mensch");
  part->record = spare;
  part->mixedPart = 1;
  part->mixedMonster = c;
  part->context = c->context;
  c->classPartTime = CreateCreature(part, 1);
  MergeMixed(c, part);
  // Hit dice are the levels the class part rolled for (a profile may leave some
  // of its `Level` without a class).
  int classDice = 0;
  for (int s = 0; s < part->classCount && s < kMaxClassSlots; ++s) classDice += part->classLevels[s];
  return classDice;
}

// Feats and skills in their final order; what is left of the wealth becomes item
// treasure.
void SortAndItemTreasure(Char* c) {
  RemoveDuplicateFeats(c);
  TotalSkills(c);
  if (c->kind == 0 && !c->mixedPart) DropUnlistedSkills(c);
  ReArrangeFeats(c);
  ReArrangeSkills(c);
  c->treasureIndex = c->itemCount;
  if (!c->mixedPart && !c->noEquipment) {
    // For a character, what its equipment put into treasure did not take (the weapon
    // values left it as the treasure budget); a monster has spent none of its wealth.
    if (c->kind == 0)
      c->treasureMoney = c->treasureBudget;
    else
      c->treasureBudget = c->treasureMoney;
    ItemTreasure(c);
  }
}

// Treasure into the equipment, sale value, the hit dice with the class part's levels and
// the shown hit points; a top-level creation then draws its last details and closes its
// random stream.
void FinishCreation(Char* c, int32_t* r, int sub, bool treasureOnly, int classDice) {
  if (!c->mixedPart && !c->noEquipment) InsertTreasure(c);
  SaleValue(c);
  // The class levels count as hit dice from here on; the treasure above was drawn for
  // the monster's own.
  c->classHitDice = classDice;
  if (classDice > 0 && c->mixed && ClassLevelsReplaceHitDice(c)) c->Level = 0;
  c->Level += classDice;
  c->shownHitPoints = c->hitPoints + c->TP;
  if (!sub && !treasureOnly) DrawFinalDetails(c);
  if (!sub) EndCreationRandom(r, &c->shownHitPoints);
  // The master's hit points are final only now.
  if (!c->mixedPart) FamiliarHitPoints(c);
}

}  // namespace

int64_t CreateCreature(Char* c, int sub) {
  int64_t start = PerfCounter();
  int32_t* r = c->record;
  IsaacState* state = c->context.random;
  BeginCreation(c, r, state, sub);
  bool treasureOnly = r[rec::kTreasureOnly] != 0;
  if (treasureOnly) {
    CreateTreasure(c, 0);
    c->wealth = c->budget;
  } else {
    bool kindByChance = DrawKindAndCR(c, r, state);
    if (c->kind == 1)
      BuildMonster(c, r, kindByChance);
    else
      BuildCharacter(c, r, state, kindByChance);
    SpecialTexts(c);
    ZeroAbsentAbilities(c);
  }
  int classDice = c->mixed ? BuildClassPart(c) : 0;
  if (!treasureOnly) SortAndItemTreasure(c);
  FinishCreation(c, r, sub, treasureOnly, classDice);
  c->creationTime = (PerfCounter() - start) * 1000000 / gProcess.perfFrequency;
  return c->creationTime;
}

void DrawFinalDetails(Char* c) {
  RestoreChooseEverything();
  // The final draws take a stream of their own, forked from the creature's: the creatures
  // drawn after this one on the same stream keep every draw they had before these draws
  // existed. The fork depends on the creature's stream alone, so a replay draws the same.
  IsaacState* own = c->context.random;
  IsaacState fork;
  IsaacState* state = own;
  uint32_t lcg = gRandom.lcg;
  if (gRandom.isaacMode && own) {
    // Its own accumulators give the fork other words than the creature's stream.
    fork = *own;
    fork.a ^= 0x9E3779B9u;
    fork.b ^= 0x7F4A7C15u;
    IsaacGenerate(&fork);
    fork.next = 0;
    state = &fork;
  } else {
    gRandom.lcg = lcg ^ 0x9E3779B9u;
  }
  DrawAlignment(c, state);
  // The mixed creature's class part is the creature's: only companions draw their own.
  for (Char* k : {c->familiarChar, c->mountChar})
    if (k) DrawAlignment(k, state);
  if (c->servantChar) DrawAlignment(c->servantChar, state, kEvilAlignments);
  for (int i = 0; i < c->companionCount && i < kMaxCompanions; ++i)
    if (c->companionChars[i]) DrawAlignment(c->companionChars[i], state);
  DrawDetailsOf(c, state);
  if (!gRandom.isaacMode) gRandom.lcg = lcg;
}

void CreateCharContext(int threads) {
  // Made once; a later batch with more threads needs more contexts.
  if (gContexts && gContextCount >= threads) return;
  FreeCharContexts();
  gContextCount = threads < 1 ? 1 : threads;
  gContexts = NewRecords<CreationContext>(gContextCount, "CreateCharContext-CharContexts");
  for (int t = 0; t < gContextCount; ++t) {
    CreationContext& x = gContexts[t];
    size_t effects = (size_t)(gSource.effectCount ? gSource.effectCount : 1);
    size_t feats = (size_t)(gSource.featCount ? gSource.featCount : 1);
    x.effectDone = static_cast<int32_t*>(mallocloga(sizeof(int32_t) * effects, "CreateCharContext-EffectDone"));
    x.againDependency = static_cast<int32_t*>(mallocloga(sizeof(int32_t) * feats, "CreateCharContext-AgainDep"));
    x.featNotAgain = static_cast<int32_t*>(mallocloga(sizeof(int32_t) * feats, "CreateCharContext-FeatNotAgain"));
    x.classPart = static_cast<Char*>(mallocloga(sizeof(Char), "CreChCont-CD"));
    new (x.classPart) Char();
    x.classPart->specialText = TextCreate("CreChCont-CDText");
    x.effectText = TextCreate("CreChCont-EffectText");
    x.spareRecord = static_cast<int32_t*>(mallocloga(kRecordBytes, "CreChCont-CTD"));
    memset(x.spareRecord, 0, kRecordBytes);
    x.treasureChar = static_cast<Char*>(mallocloga(sizeof(Char), "CreChCont-Treasure"));
    new (x.treasureChar) Char();
    // A cache line to spare at the end: the next thread's blocks follow.
    x.treasureRecord = static_cast<int32_t*>(mallocloga(kRecordBytes + kCacheLine, "CreChCont-TreasureRecord"));
    x.random = gRandom.seeds && t < gRandom.seedThreads ? gRandom.seeds[t] : nullptr;
  }
}

void FreeCharContexts() {
  ReleaseMonsterCaches();
  if (!gContexts) return;
  for (int t = 0; t < gContextCount; ++t) {
    CreationContext& x = gContexts[t];
    freeloga(x.effectDone);
    freeloga(x.againDependency);
    freeloga(x.featNotAgain);
    FreeCharBonuses(x.classPart);
    if (x.classPart->specialText) TextDestroy(x.classPart->specialText);
    x.classPart->~Char();
    freeloga(x.classPart);
    freeloga(x.spareRecord);
    TextDestroy(x.effectText);
    FreeCharBonuses(x.treasureChar);
    x.treasureChar->~Char();
    freeloga(x.treasureChar);
    freeloga(x.treasureRecord);
  }
  DeleteRecords(gContexts);
  gContextCount = 0;
}

CreationContext* ThreadContext(int thread) {
  return gContexts && thread < gContextCount ? &gContexts[thread] : nullptr;
}

}  // namespace RUNTIME_NS
