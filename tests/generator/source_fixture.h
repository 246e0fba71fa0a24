// Loads the shipped rule database once per suite and prepares characters the way the
// earlier creation stages leave them.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "generator/alignment.h"
#include "generator/attributes.h"
#include "generator/char.h"
#include "generator/classes.h"
#include "generator/combat.h"
#include "generator/creation.h"
#include "generator/feats.h"
#include "generator/monster.h"
#include "generator/monster_cr.h"
#include "generator/powers.h"
#include "generator/rules.h"
#include "generator/script_binding.h"
#include "generator/skills.h"
#include "generator/spells.h"
#include "launcher/process.h"
#include "random/decisions.h"
#include "random/isaac.h"
#include "random/settings.h"
#include "random/types.h"
#include "script/compile.h"
#include "script/functions.h"
#include "script/grammar.h"
#include "shell/entry.h"
#include "shell/sheet.h"
#include "source/reader.h"
#include "source/records.h"
#include "source/source_init.h"
#include "state_fixture.h"
#include "temp_dir.h"

namespace generator_test {

using namespace debugspace;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// Row numbers by name; the name must exist.
inline int ClassId(const char* n) { return FindByNameOrFault(gSource.classes, gSource.classCount, n); }
inline int FeatId(const char* n) { return FindByNameOrFault(gSource.feats, gSource.featCount, n); }
inline int ItemId(const char* n) { return FindByNameOrFault(gSource.equipment, gSource.equipmentCount, n); }
inline int RaceId(const char* n) { return FindByNameOrFault(gSource.races, gSource.raceCount, n); }
inline int SkillId(const char* n) { return FindByNameOrFault(gSource.skills, gSource.skillCount, n); }
inline int MonsterId(const char* n) { return FindByNameOrFault(gSource.monsters, gSource.monsterCount, n); }
inline int TemplateId(const char* n) { return FindByNameOrFault(gSource.templates, gSource.templateCount, n); }
inline int EffectId(const char* n) { return FindByNameOrFault(gSource.effects, gSource.effectCount, n); }

inline std::string ClassName(const Char* c, int slot) { return gSource.classes[c->classes[slot]].name.c_str(); }
inline std::string MonsterName(const Char* c) { return gSource.monsters[c->monster].name.c_str(); }
inline std::string SizeName(const Char* c) { return gSource.sizes[c->sizeIndex].name.c_str(); }
inline std::string TypeName(const Char* c) { return gSource.monsterTypes[c->creatureType].name.c_str(); }
inline std::string Notes(const Char* c) {
  return c->specialText && c->specialText->data ? std::string(c->specialText->data, c->specialText->length) : "";
}
// Levels in the named class over all slots; how often the creature holds the named feat.
inline int Levels(const Char* c, const char* cls) {
  int n = 0;
  for (int s = 0; s < c->classCount; ++s) n += gSource.classes[c->classes[s]].name == cls ? c->classLevels[s] : 0;
  return n;
}
inline int Holds(const Char* c, const char* feat) {
  return (int)std::count_if(c->feats, c->feats + c->featCount, [&](int f) { return gSource.feats[f].name == feat; });
}
inline int Ranks(const Char* c, const char* skill) {
  for (int i = 0; i < c->skillCount; ++i)
    if (gSource.skills[c->skills[i].skill].name == skill) return c->skills[i].ranks;
  return 0;
}
// The number after the first '+' of a label ("RK-Armbänder +3").
inline int Plus(const char* text) {
  const char* p = strchr(text, '+');
  return p ? atoi(p + 1) : 0;
}
// The creature's export as the program writes it.
inline std::string Export(Char* c) {
  char* buffer = nullptr;
  size_t length = 0;
  FILE* f = open_memstream(&buffer, &length);
  PrintChar(c, 0, 1, f);
  fclose(f);
  std::string out(buffer, length);
  free(buffer);
  return out;
}
// Runs `f` with its screen output swallowed.
template <class F>
void Quietly(F f) {
  CaptureStdout();
  f();
  GetCapturedStdout();
}

class SourceFixture : public StateTest {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempWorkDir;
    CaptureStdout();
    ASSERT_EQ(ReadGrammarConfig(), 0) << GetCapturedStdout();
    ASSERT_EQ(RedirectCreatureScripts(), 0);
    int result = BuildRules();
    std::string out = GetCapturedStdout();
    ASSERT_EQ(result, 0) << out;
  }
  static void TearDownTestSuite() {
    CaptureStdout();
    ReleaseMonsterCaches();  // kept by the monster choice between creatures
    FreeSource();
    ReleaseRedirection();
    DropGrammarForTests();
    GetCapturedStdout();
    delete dir_;
  }
  void SetUp() override {
    Isaac();
    CalcType(0);
    DrawType(0);
    uint32_t seed[512];
    for (uint32_t i = 0; i < 512; ++i) seed[i] = i * 7919u + 11u;
    IsaacRange(&state_, 0, 0, true, seed);
    effectDone_.assign((size_t)gSource.effectCount + 1, 0);
    text_ = TextCreate("equipment-test");
  }
  void TearDown() override {
    FreeChars();
    TextDestroy(text_);
  }
  // Creatures preset after this are built by `rules` (reset after the test). Stages called
  // directly read the Char's rule set: set c->rules after ResetChar for those.
  void UseRules(RuleSet rules) { Rules(rules); }
  // Decisions answered from `stream` (outside the seeded mode), for this test only.
  void Replaying(int32_t* stream, int32_t* position) {
    SetDecisionStream(stream, position);
    Isaac(false);
    Keep(gDecide.replayActive, true);
  }
  void Recording() { Keep(gRandom.recordFlag, 1); }
  // A character as the earlier stages leave it: class, race, abilities, hand wishes.
  void Prepare(Char* c, int level, const int wishes[2]) {
    c->context.random = &state_;
    c->context.effectDone = effectDone_.data();
    c->specialText = text_;
    ResetChar(c);
    c->Level = level;
    c->classCount = 1;
    c->classes[0] = IsaacRange(&state_, 0, gSource.classCount - 1);
    c->classLevels[0] = level;
    c->race = IsaacRange(&state_, 0, gSource.raceCount - 1);
    c->MST = IsaacRange(&state_, -1, 4);
    c->MGE = IsaacRange(&state_, -1, 4);
    c->Range = 9;
    c->handWish[0] = wishes[0];
    c->handWish[1] = wishes[1];
  }
  // A Char freed when the test ends.
  Char* NewChar() { return chars_.emplace_back(new Char()).get(); }
  void FreeChars() {
    for (auto& c : chars_) FreeCharBonuses(c.get());
    chars_.clear();
  }
  // A character of one class and `levels` levels with every ability at `score`.
  Char* Single(const char* cls, int levels, int score = 10) {
    Char* c = NewChar();
    Fresh(c, levels);
    c->classCount = 1;
    c->classes[0] = ClassId(cls);
    c->Level = c->classLevels[0] = levels;
    c->preEpicLevels[0] = std::min(levels, 20);
    for (int a = 0; a < kAttributes; ++a) AbilityScore(c, a) = score;
    ComputeModifiers(c);
    return c;
  }
  // A character before the ability stage: no race or class chosen, no record options.
  void Fresh(Char* c, int level) {
    const int none[2] = {0, 0};
    Prepare(c, level, none);
    record_.assign(kRecordWords, 0);
    record_[rec::kFixedRace] = -1;
    record_[rec::kMonsterSelChosen] = -1;
    c->record = record_.data();
    c->classCount = 0;
  }
  std::vector<int32_t> record_ = std::vector<int32_t>(kRecordWords, 0);
  std::vector<std::unique_ptr<Char>> chars_;
  static inline TempWorkDir* dir_ = nullptr;
  IsaacState state_{};
  std::vector<int32_t> effectDone_;
  TextBuffer* text_ = nullptr;
};

// Whole creations: a Char wired to a creation context of its own, with the class part
// and spare record that mixed creatures and companions need.
class CreationFixture : public SourceFixture {
 protected:
  void SetUp() override {
    SourceFixture::SetUp();
    again_.assign((size_t)gSource.featCount, 0);
    notAgain_.assign((size_t)gSource.featCount, 0);
    spare_.assign(kRecordWords, 0);
    part_ = new Char();
  }
  void TearDown() override {
    FreeCharBonuses(part_);
    delete part_;
    SourceFixture::TearDown();
  }
  void Wire(Char* c) {
    c->context.random = &state_;
    c->context.effectDone = effectDone_.data();
    c->context.againDependency = again_.data();
    c->context.featNotAgain = notAgain_.data();
    c->context.classPart = part_;
    c->context.spareRecord = spare_.data();
    c->specialText = text_;
  }
  Char* Wired() {
    Char* c = NewChar();
    Wire(c);
    return c;
  }
  // A record as a batch presets it: kind 0 characters, 1 monsters, 2 mixed, 3 treasure,
  // 4 NPC classes, -1 any.
  void Preset(Char* c, int kind, int cr) {
    record_.assign(kRecordWords, 0);
    record_[rec::kDiceMethod] = -1;
    record_[rec::kCRMin] = record_[rec::kCRMax] = cr;
    record_[rec::kKind] = kind == 2 || kind == 3 ? 1 : kind == 4 ? 0 : kind;
    record_[rec::kForceMixed] = kind == 2;
    record_[rec::kTreasureOnly] = kind == 3;
    record_[rec::kNpcClasses] = kind == 4;
    record_[rec::kFixedMonster] = -1;
    record_[rec::kFixedRace] = -1;
    record_[rec::kStoredHitPoints] = kNoHitPoints;
    record_[rec::kTreasureLow] = 1;
    record_[rec::kTreasureHigh] = 3;
    SetRecordRuleSet(record_.data(), (RuleSet)gProcess.ruleSet);  // the creation reads it from here
    c->record = record_.data();
  }
  // A whole creation of the kind and CR by the SRD 3.5 rules.
  void CreateSrd35(Char* c, int kind, int cr) {
    UseRules(kRulesSrd35);
    Preset(c, kind, cr);
    CreateCreature(c, 1);
  }
  std::vector<int32_t> again_, notAgain_, spare_;
  Char* part_ = nullptr;
};

}  // namespace generator_test
