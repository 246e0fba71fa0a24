// The psionic races as character races and the epic prestige classes, in fixed-seed corpora
// of whole creations. The figures are the SRD's, typed in.
#include <map>
#include <set>
#include <sstream>

#include "generator/source_fixture.h"

using namespace debugspace;
using namespace generator_test;

namespace {

class RacesAndEpicClasses : public CreationFixture {
 protected:
  void Build(Char* c, RuleSet rules, int cr) {
    UseRules(rules);
    Preset(c, 0, cr);
    CreateCreature(c, 1);
  }
  // The SRD's psionic classes, by their keys.
  static bool Psionic(const Char* c) {
    for (const char* k :
         {"Psion", "Psychokrieger", "Seelenmesser", "Wilder", "Zerebromant", "Elokator", "Metageist", "Pyrokinet",
          "EntkörperterPsion", "PsionischeFaust", "Gedankenschlächter", "Hörigenhirte", "Kriegsgeist"})
      if (Levels(c, k) > 0) return true;
    return false;
  }
};

// Traits of the SRD's psionic races: speed in feet, Small, darkvision in feet, bonus power
// points, a line the sheet shows.
struct RaceTraits {
  const char* race;
  int speedFeet;
  bool small;
  int darkvisionFeet, powerPoints;
  const char* line;
};
const RaceTraits kTraits[] = {{"Dromit", 20, true, 60, 1, "Chitin: Resistenz gegen "},
                              {"Elan", 30, false, 0, 2, "Belastbarkeit:"},
                              {"Halbriese", 30, false, 0, 2, "Kräftiger Körperbau:"},
                              {"Mänade", 30, false, 0, 2, "Ausbruch:"},
                              {"Xeph", 30, false, 60, 1, "Spurt: 3 mal pro Tag"}};

}  // namespace

// Psionic races turn up among characters of both rule sets, rarer than the core races and
// more often among psionic characters; what they bring shows on the built creature.
TEST_F(RacesAndEpicClasses, AppearRarelyMoreOftenAmongPsionicCharactersWithTheirTraits) {
  Char* c = Wired();
  std::map<std::string, int> seen;
  int psionic = 0, psionicOfRace = 0, others = 0, othersOfRace = 0, humans = 0;
  for (RuleSet rules : {kRulesOwn, kRulesSrd35})
    for (int n = 0; n < 700; ++n) {
      Build(c, rules, 1 + n % 12);
      if (c->templateIndex > 0) continue;
      std::string race = gSource.races[c->race].name.c_str();
      const RaceTraits* t = nullptr;
      for (const RaceTraits& x : kTraits)
        if (race == x.race) t = &x;
      bool psi = Psionic(c);
      (psi ? psionic : others) += 1;
      if (t) (psi ? psionicOfRace : othersOfRace) += 1;
      humans += race == "Mensch";
      if (!t) continue;
      ++seen[race];
      SCOPED_TRACE(race + " level " + std::to_string(c->Level));
      // Metres; medium or heavy armour slows (30 ft to 20, 20 ft to 15); barbarians and monks add their own.
      float speed = t->speedFeet * 0.3f, armoured = (t->speedFeet == 30 ? 20 : 15) * 0.3f;
      EXPECT_TRUE(c->Range == speed || c->Range == armoured || Levels(c, "Barbar") || Levels(c, "Mönch")) << c->Range;
      EXPECT_EQ(std::pair(c->Size, c->DarkVision), std::pair(t->small ? 1 : 0, t->darkvisionFeet * 3 / 10));
      std::string text = Notes(c);
      // A xeph's burst: +10 ft, +10 ft per four levels beyond 1st, +30 ft at most.
      const int burst = std::min(30, 10 + 10 * ((c->Level - 1) / 4)) * 3 / 10;
      for (std::string line :
           {std::string(t->line), "Natürlich psionisch: +" + std::to_string(t->powerPoints) + " Kraftpunkt",
            race != "Xeph" ? "" : "Spurt: 3 mal pro Tag 3 Runden lang +" + std::to_string(burst) + " m"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
      EXPECT_TRUE(race != "Dromit" || Holds(c, "Blindkampf") > 0);
    }
  EXPECT_EQ(seen.size(), std::size(kTraits));
  int races = psionicOfRace + othersOfRace;
  EXPECT_LT(races * 6, humans) << "rarer than the core races";
  ASSERT_GT(psionic, 20);
  // Share among psionic characters at least twice the share among the others.
  EXPECT_GT(psionicOfRace * others, 2 * othersOfRace * psionic) << psionicOfRace << " " << othersOfRace;
}

namespace {

// An epic prestige class's requirements as the SRD states them: skill ranks, feats (our keys),
// base attack with the epic bonus, alignment, and the special requirements as a class feature
// (evasion, uncanny dodge, sneak attack dice) or class level (the spell level's first) shows them.
struct EpicClass {
  const char *name, *ranks, *feats;  // "skill ranks ...", "feat ..."
  int attack;
  char alignment;  // 'L' lawful, 'n' nonchaotic, 0 any
  int sneakDice;
  const char* casters;  // "class level ...": any one of them
  bool evasionAndUncannyDodge;
};
const EpicClass kEpic[] = {
    {"Häscher", "InformationenSammeln 24 WissenEbenen 15", "Fährtenlesen", 0, 'L', 0, "", false},
    {"KosmischerSeher", "WissenEbenen 24", "Zauberfokus EpischeEnergieresistenz", 0, 0, 0,
     "Magier 17 Hexenmeister 18 Kleriker 17", false},  // gate
    {"GöttlicherGesandter", "WissenReligion 10", "Waffenfokus MächtigesNiederstrecken", 23, 0, 0, "", false},
    {"EpischerUnterwanderer", "Bluffen 24 Diplomatie 10 Verkleiden 24 Entdecken 10", "Wachsamkeit Polyglott", 0, 'n', 0,
     "", false},
    {"ObersterWächter", "Entdecken 13", "Wachsamkeit BlitzschnelleReflexe Blitzgeschwindigkeit ÜberlegeneInitiative",
     15, 0, 0, "", true},
    {"VollkommenerSchemen", "Verstecken 24 LeiseBewegen 24", "Selbstverhüllung", 0, 0, 10, "", false},
};
// The pairs of a "name number ..." text.
std::vector<std::pair<std::string, int>> Pairs(const char* text) {
  std::istringstream in(text);
  std::vector<std::pair<std::string, int>> out;
  std::string name;
  for (int n; in >> name >> n;) out.push_back({name, n});
  return out;
}

}  // namespace

// Epic characters (CR 21-30) take the epic prestige classes only as epic characters and
// with every requirement met.
TEST_F(RacesAndEpicClasses, EpicPrestigeClassesOnlyWithTheirRequirements) {
  Char* c = Wired();
  std::set<std::string> taken;
  for (RuleSet rules : {kRulesOwn, kRulesSrd35})
    for (int n = 0; n < 600; ++n) {
      Build(c, rules, 21 + n % 10);
      DrawFinalDetails(c);  // the alignment
      int before = 0, attack = 0;
      for (int s = 0; s < c->classCount; before += c->classLevels[s], ++s) {
        const CharSource& k = gSource.classes[c->classes[s]];
        const EpicClass* e = nullptr;
        for (const EpicClass& x : kEpic)
          if (k.name == x.name) e = &x;
        if (!e) {
          attack += BaseAttack(k.attackType, c->preEpicLevels[s]);
          continue;
        }
        taken.insert(e->name);
        SCOPED_TRACE(std::string(e->name) + " after " + std::to_string(before) + " levels, rules " +
                     std::to_string((int)rules));
        EXPECT_GE(before, 20) << "not yet epic";
        EXPECT_GE(attack + (before - 19) / 2, e->attack);
        // The system's own rules buy the demanded ranks while the points last.
        for (auto [skill, ranks] : Pairs(e->ranks))
          EXPECT_TRUE(rules != kRulesSrd35 || Ranks(c, skill.c_str()) >= ranks) << skill;
        std::istringstream feats(e->feats);
        for (std::string feat; feats >> feat;) EXPECT_GT(Holds(c, feat.c_str()), 0) << feat;
        EXPECT_TRUE(e->alignment == 'L' ? c->alignment % 3 == 0 : e->alignment != 'n' || c->alignment % 3 != 2);
        EXPECT_GE(c->Sneak, e->sneakDice);
        bool caster = !*e->casters;
        for (auto [cls, levels] : Pairs(e->casters)) caster = caster || Levels(c, cls.c_str()) >= levels;
        EXPECT_TRUE(caster);
        EXPECT_TRUE(!e->evasionAndUncannyDodge || (c->Evasion > 0 && c->Dex2AC > 0));
      }
    }
  EXPECT_GE(taken.size(), 3u);
}
