// The game functions and creature variables of the scripts, on a real creature record
// and a small rule database made for the test.
#include <cstring>
#include <functional>
#include <new>
#include <tuple>
#include <vector>

#include "generator/char.h"
#include "generator/creature_ops.h"
#include "generator/script_binding.h"
#include "memory/tracker.h"
#include "random/isaac.h"
#include "script/script_fixture.h"
#include "source/records.h"
#include "source/source_init.h"

using namespace debugspace;

namespace {

class CreatureScripts : public ShippedGrammar {
 protected:
  // A table of named rows, deleted after the test.
  template <class T>
  T* Table(std::initializer_list<const char*> names, int32_t* count) {
    T* t = NewRecords<T>((int)names.size(), "test-table");
    int i = 0;
    for (const char* n : names) t[i++].name.Assign(n);
    *count = (int32_t)names.size();
    tables_.push_back([t]() mutable { DeleteRecords(t); });
    return t;
  }
  void SetUp() override {
    Keep(gSource, Source{});  // a small rule database of its own
    gSource.feats = Table<FeatSource>({"Ausweichen", "Waffenfokus", "Finte", "Zauberfokus"}, &gSource.featCount);
    gSource.feats[1].dep = 1;  // parameter: a weapon
    gSource.feats[3].dep = 4;  // a kind the scripts cannot name
    gSource.equipment = Table<EquipSource>({"Langschwert", "Dolch", "Kettenhemd"}, &gSource.equipmentCount);
    gSource.skills = Table<SkillSource>({"Lauschen", "Springen"}, &gSource.skillCount);
    gSource.bonuses = Table<BonusSource>({"Kompetenz", "Ausweichbonus"}, &gSource.bonusCount);
    gSource.bonuses[1].stack = 1;
    gSource.races = Table<RaceSource>({"Mensch", "Zwerg"}, &gSource.raceCount);
    gSource.classes = Table<CharSource>({"Kämpfer", "Magier"}, &gSource.classCount);
    gSource.schools = Table<NamedSource>({"Allgemein", "Hervorrufung"}, &gSource.schoolCount);
    gSource.spells = Table<SpellSource>({"Feuerball"}, &gSource.spellCount);
    creature = static_cast<Char*>(mallocloga(sizeof(Char), "test-char"));
    new (creature) Char();
    uint32_t seed[512] = {};
    IsaacRange(&rng, 0, 0, true, seed);
    SetScriptRandomState(&rng);
    Isaac();
  }
  void TearDown() override {
    SetScriptRandomState(nullptr);
    FreeCharBonuses(creature);
    creature->~Char();
    freeloga(creature);
    for (auto& drop : tables_) drop();
  }
  // Compiles, resolves names and runs a script on the creature; returns its text.
  std::string RunOn(const std::string& text, int featSlot = -1) {
    std::string compiled = Compile(text);
    EXPECT_FALSE(compiled.empty()) << lastMessage;
    uint8_t* script = static_cast<uint8_t*>(mallocloga(compiled.size(), "test-script"));
    memcpy(script, compiled.data(), compiled.size());
    OptimizeScript2(&script, [](NameTable t, const char* n) { return ResolveScriptName((int)t, n); });
    TextBuffer* out = TextCreate("test-text");
    RunScript(creature, nullptr, out, script, "Testquelle", featSlot, out);
    std::string result = out->data ? std::string(out->data, out->length) : std::string();
    TextDestroy(out);
    freeloga(script);
    return result;
  }
  // The compiled form of a script, kept until the next call.
  const uint8_t* Bytes(const char* script) {
    compiled_ = Compile(script);
    EXPECT_TRUE(script[0] == 0 || !compiled_.empty()) << lastMessage;
    return reinterpret_cast<const uint8_t*>(compiled_.c_str());
  }
  int BonusRecords() const {
    int n = 0;
    for (CharBonus* b = creature->bonuses; b; b = b->next) ++n;
    return n;
  }
  Char* creature = nullptr;
  IsaacState rng{};
  std::vector<std::function<void()>> tables_;
  std::string compiled_;
};

}  // namespace

TEST_F(CreatureScripts, VariablesReadAndWriteTheCreature) {
  creature->Level = 5;
  creature->Range = 2.75f;
  RunOn("GA = Level * 2; GA += 1; TP++; Attacks = Max(Attacks, 3); a = Range; Range *= 2;");
  EXPECT_EQ(creature->GA, 11);
  EXPECT_EQ(creature->TP, 1);
  EXPECT_EQ(creature->Attacks, 3);
  EXPECT_EQ(Temp('a'), 2);  // a float reads truncated, towards zero
  EXPECT_FLOAT_EQ(creature->Range, 5.5f);
  // The assignment lock keeps every assignment from taking effect, the script goes on.
  creature->assignmentLock = 1;
  EXPECT_EQ(RunOn("GA = 99; GA += 1; GA++; Text('weiter');"), "weiter");
  EXPECT_EQ(creature->GA, 11);
  creature->assignmentLock = 0;
  EXPECT_EXIT(RunOn("A = 1;"), testing::ExitedWithCode(1), "");
}

TEST_F(CreatureScripts, TypedBonusesTakeOnlyTheBestOfANonStackingType) {
  RunOn("AddBonus(AC, 2, 'Kompetenz'); AddBonus(AC, 3, 'Kompetenz');");
  EXPECT_EQ(creature->AC, 3);  // +2, then +1
  RunOn("AddBonus(Init, 3, 'Kompetenz'); AddBonus(Init, 2, 'Kompetenz', 'Ring');");
  EXPECT_EQ(creature->Init, 3);  // +3, then nothing
  EXPECT_EQ(BonusRecords(), 4);  // every record stays
  RunOn("AddBonus(MR, 2, 'Ausweichbonus'); AddBonus(MR, 2, 'Ausweichbonus');");
  EXPECT_EQ(creature->MR, 4);  // a stacking type adds up
  EXPECT_STREQ(creature->bonuses->source, "Testquelle");
}

TEST_F(CreatureScripts, FeatsAreAddedOncePerParameter) {
  RunOn("AddFeat('Waffenfokus', 'Langschwert', 'Dolch'); AddFeat('Waffenfokus', 'Dolch'); AddFeat('Ausweichen');");
  ASSERT_EQ(creature->featCount, 3);
  EXPECT_EQ(creature->featParameters[0], 0);
  EXPECT_EQ(creature->featParameters[1], 1);
  EXPECT_EQ(creature->featParameters[2], -2);
  // One entry per owned Waffenfokus.
  RunOn("AddFeatPerFeat('Finte', 'Waffenfokus');");
  EXPECT_EQ(creature->featCount, 5);
  EXPECT_EQ(RunOn("if (HasFeat('Finte')) { Text('ja'); } if (HasFeat('Zauberfokus')) { Text('nein'); }"), "ja");
  // A parameter of -1 makes the owned entry general and adds a general entry too.
  RunOn("AddFeatValue('Waffenfokus', 0 - 1);");
  EXPECT_EQ(creature->featParameters[0], -1);
  EXPECT_EQ(creature->featCount, 6);
  EXPECT_EXIT(RunOn("AddFeat('Zauberfokus', 'Irgendwas');"), testing::ExitedWithCode(1), "");
}

TEST_F(CreatureScripts, RaceClassAndSkillFunctions) {
  creature->race = 1;
  creature->classCount = 2;
  creature->classes[0] = 1;
  creature->classes[1] = 0;
  EXPECT_EQ(RunOn("if (IsRace('Zwerg')) { Text('Z'); } if (IsRace('Mensch')) { Text('M'); } "
                  "if (IsClass('Kämpfer') & IsClass('Magier')) { Text('K'); }"),
            "ZK");
  RunOn(
      "BoostSkill('Lauschen', 2); BoostSkillTyped('Lauschen', 3, 'Kompetenz'); "
      "BoostSkillTyped('Lauschen', 1, 'Kompetenz');");
  ASSERT_EQ(creature->skillCount, 1);
  EXPECT_EQ(creature->skills[0].bonus, 5);
  // Skills a feat names: the feat entry's parameter picks the skill.
  creature->featCount = 1;
  creature->feats[0] = 0;
  creature->featParameters[0] = 1;
  RunOn("BoostFeatSkillRanks(4); BoostFeatSkill(1); BoostFeatSkillTyped(2, 'Kompetenz');", 0);
  ASSERT_EQ(creature->skillCount, 2);
  EXPECT_EQ(creature->skills[1].skill, 1);
  EXPECT_EQ(creature->skills[1].ranks, 4);
  EXPECT_EQ(creature->skills[1].bonus, 3);
  EXPECT_EQ(RunOn("Text(SkillRanks('Springen'), '/', SkillRanks('Lauschen'));"), "4/0");
}

TEST_F(CreatureScripts, ItemsAndSaveDCs) {
  creature->itemCount = 3;
  const int items[3][3] = {{0, 0, 0}, {2, 1, 1}, {2, 1, 2}};  // equipment, kind, type
  for (int i = 0; i < 3; ++i)
    std::tie(creature->items[i].equipment, creature->items[i].equipType, creature->items[i].type) =
        std::tie(items[i][0], items[i][1], items[i][2]);
  EXPECT_EQ(RunOn("Text(ArmorType()); n = 0; ForAllItems { n++; }"), "2");
  EXPECT_EQ(Temp('n'), 3);
  creature->itemCount = 0;
  EXPECT_EQ(RunOn("Text(ArmorType());"), "-1");
  RunOn("SpellDC('Hervorrufung', 2);");
  EXPECT_EQ(creature->schoolDC[1], 2);
  creature->specialist = 1;
  creature->specialistSchool = 0;
  RunOn("FeatSpellDC(1);");
  EXPECT_EQ(creature->schoolDC[0], 1);
  creature->specialist = 0;
  EXPECT_THROW(RunOn("FeatSpellDC(1);"), Error);
  EXPECT_THROW(RunOn("PsiDC(1);"), Error);
  creature->featCount = 1;
  creature->featParameters[0] = 3;
  RunOn("PsiDC(2);", 0);
  EXPECT_EQ(creature->disciplineDC[3], 2);
}

TEST_F(CreatureScripts, WhatAScriptChangesIsToldFromTheCompiledScript) {
  const struct Case {
    const char* script;
    bool keeps, undoable;
  } cases[] = {
      {"", true, true},
      {"t = Random(0, 5); if (t == 0) { Text('a'); } else { Text('b', Element()); }", true, true},
      {"ForAllItems { i++; } if (HasFeat('Finte') && IsRace('Zwerg')) { Text('x'); }", true, true},
      {"MR = Max(MR, 13);", false, true},
      {"if (Level > 99) { GA = 1; }", false, true},  // a branch never taken still counts
      {"AddBonus(AC, 2, 'Kompetenz');", false, true},
      {"AddFeat('Ausweichen');", false, false},
      {"SpellDC('Hervorrufung', 2);", false, false},
      {"if (Level > 99) { AddFeat('Ausweichen'); } GA = 1;", false, false},
  };
  for (const Case& c : cases) {
    const uint8_t* bytes = Bytes(c.script);
    EXPECT_EQ(ScriptKeepsCreature(bytes), c.keeps) << c.script;
    EXPECT_EQ(ScriptUndoable(bytes), c.undoable) << c.script;
  }
}

TEST_F(CreatureScripts, PlainFormulasAreToldWithTheTemporariesTheyAssign) {
  const struct Case {
    const char* script;
    int32_t temporaries;  // -1: no plain formula
  } cases[] = {
      {"", 0},
      {"m = Max(1, Min(3, (Level - 2) / 5));", 1 << ('m' - 'a')},
      {"m = a + 1;", -1},                 // reads a temporary
      {"m = Random(1, 4);", -1},          // draws
      {"if (Level > 3) { m = 2; }", -1},  // a branch
      {"GA = 1;", -1},                    // writes the creature
      {"m = 1; Text('x');", -1},          // any function
  };
  for (const Case& c : cases) EXPECT_EQ(ScriptFormulaTemporaries(Bytes(c.script)), c.temporaries) << c.script;
}

TEST_F(CreatureScripts, AnUndoTakesBackFieldsAndBonusesInAnyOrder) {
  creature->Level = 4;
  creature->MR = 5;
  creature->Range = 9.0f;
  RunOn("AddBonus(Init, 2, 'Kompetenz');");
  CharBonus* own = creature->bonuses;
  int32_t init = creature->Init;
  {
    ScriptUndo undo(creature);
    // The scripts see no bonus records: Kompetenz +1 after the own +2 still counts.
    RunOn(
        "MR = Max(MR, 13); MR += 2; Range *= 2; TP++; AddBonus(Init, 1, 'Kompetenz'); AddBonus(AC, 3, "
        "'Ausweichbonus');");
    EXPECT_EQ(creature->MR, 15);
    EXPECT_FLOAT_EQ(creature->Range, 18.0f);
    EXPECT_EQ(creature->Init, init + 1);
    EXPECT_EQ(BonusRecords(), 2);
  }
  EXPECT_EQ(creature->MR, 5);
  EXPECT_FLOAT_EQ(creature->Range, 9.0f);
  EXPECT_EQ(creature->TP, 0);
  EXPECT_EQ(creature->Init, init);
  EXPECT_EQ(creature->AC, 0);
  EXPECT_EQ(creature->bonuses, own);
  EXPECT_EQ(BonusRecords(), 1);
  // Temporaries are the thread's, not the creature's: they keep what the script left.
  {
    ScriptUndo undo(creature);
    RunOn("q = 7;");
  }
  EXPECT_EQ(Temp('q'), 7);
}

// The first bonus records live in the Char itself, the rest on the heap: an undo that
// passes from one to the other leaves the Char byte for byte and the heap as it was,
// and freeing the list gives back only the heap records.
TEST_F(CreatureScripts, BonusRecordsBeyondTheCharsOwnGoToTheHeapAndBack) {
  for (int i = 0; i < kKeptBonuses - 2; ++i) RunOn("AddBonus(AC, 1, 'Ausweichbonus');");
  std::vector<unsigned char> before(reinterpret_cast<unsigned char*>(creature),
                                    reinterpret_cast<unsigned char*>(creature) + sizeof(Char));
  int blocks = TrackerCount();
  {
    ScriptUndo undo(creature);
    for (int i = 0; i < 5; ++i) RunOn("AddBonus(MR, 1, 'Ausweichbonus');");
    EXPECT_EQ(BonusRecords(), 5);
    EXPECT_EQ(TrackerCount(), blocks + 3);  // two kept places left, three from the heap
  }
  EXPECT_EQ(TrackerCount(), blocks);
  EXPECT_EQ(memcmp(before.data(), creature, sizeof(Char)), 0);
  for (int i = 0; i < 4; ++i) RunOn("AddBonus(AC, 1, 'Ausweichbonus');");
  EXPECT_EQ(BonusRecords(), kKeptBonuses + 2);
  EXPECT_EQ(creature->AC, kKeptBonuses + 2);
  EXPECT_EQ(TrackerCount(), blocks + 2);
  FreeCharBonuses(creature);
  EXPECT_EQ(TrackerCount(), blocks);
  EXPECT_EQ(creature->keptBonusCount, 0);
}
