// Weapons by the SRD 3.5 rule set: two-weapon penalties, Strength on damage, proficiency
// penalties and the weapon feats, against figures typed in from the SRD.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "generator/attributes.h"
#include "generator/classes.h"
#include "generator/combat.h"
#include "generator/source_fixture.h"
#include "generator/feats.h"

using namespace debugspace;

namespace {

class Srd35Combat : public generator_test::CreationFixture {
 protected:
  // A human fighter (SRD 3.5) with Dexterity 10 and no feats.
  Char* Fighter(int levels, int st, const char* cls = "Kämpfer") {
    Char* c = new Char();
    Fresh(c, levels);
    c->rules = kRulesSrd35;
    c->race = FindByNameOrFault(gSource.races, gSource.raceCount, "Mensch");
    c->classCount = 1;
    c->classes[0] = FindByNameOrFault(gSource.classes, gSource.classCount, cls);
    c->classLevels[0] = c->preEpicLevels[0] = levels;
    c->Level = levels;
    for (int a = 0; a < kAttributes; ++a) AbilityScore(c, a) = 10;
    AbilityScore(c, 0) = st;
    ComputeModifiers(c);
    CalcBaseValues(c);
    c->sizeMod = 0;
    return c;
  }
  static int Feat(const char* name) { return FindByNameOrFault(gSource.feats, gSource.featCount, name); }
  static CharItem& Carry(Char* c, const char* name) {
    CharItem& it = c->items[c->itemCount++];
    it = CharItem();
    it.equipment = FindByNameOrFault(gSource.equipment, gSource.equipmentCount, name);
    const EquipSource& e = gSource.equipment[it.equipment];
    it.equipType = e.equipType;
    it.attackType = e.attackType;
    it.size = e.size;
    it.damage[0] = e.damageCount;
    it.damage[1] = e.damageDie;
    it.penalty = e.penalty;
    it.primary = 1;
    return it;
  }
};

}  // namespace

// Two-weapon fighting: main hand / off hand by the off-hand weapon and the feat.
TEST_F(Srd35Combat, TwoWeaponPenaltiesByLightOffHandAndFeat) {
  struct {
    const char* off;
    bool feat;
    int main, second;
  } cases[] = {
      {"Langschwert", false, -6, -10}, {"Kurzschwert", false, -4, -8},
      {"Langschwert", true, -4, -4},   {"Kurzschwert", true, -2, -2},
      {"Zweiklingenschwert", false, -4, -8}, {"Zweiklingenschwert", true, -2, -2},  // a double weapon
  };
  for (const auto& k : cases) {
    Char* c = Fighter(1, 10);
    if (k.feat) AddFeat(c, Feat("KampfMitZweiWaffen"), nullptr, -1);
    bool twoEnds = gSource.equipment[FindByNameOrFault(gSource.equipment, gSource.equipmentCount, k.off)].attackType == 2;
    CharItem& main = Carry(c, twoEnds ? k.off : "Langschwert");
    CharItem& off = twoEnds ? main : Carry(c, k.off);
    if (!twoEnds) main.twoWeapon = off.twoWeapon = off.twoWeaponSecond = 1;
    AddFeat(c, Feat("KriegsWaffen"), nullptr, -1);
    AddFeat(c, Feat("ExotischeWaffen"), nullptr, main.equipment);
    RunFeatScripts(c);
    CalcWeapons(c, false);
    std::string what = std::string(k.off) + (k.feat ? " with the feat" : "");
    EXPECT_EQ(main.finalAttack, 1 + k.main) << what;
    EXPECT_EQ(twoEnds ? main.finalAttack - main.attackBonusA : off.finalAttack, 1 + k.second) << what;
    delete c;
  }
}

// Strength on damage by weapon and hand, a penalty in full; halflings +1 with thrown
// weapons and slings; the weapon feats on the weapon they name.
TEST_F(Srd35Combat, StrengthOnDamageAndWeaponFeats) {
  struct {
    const char* weapon;
    int hand;  // 0 one hand, 1 two hands, 2 off hand of two weapons
    int strong, weak;  // damage with Strength 17 (+3) and 6 (-2)
  } cases[] = {
      {"Langschwert", 0, 3, -2}, {"Zweihänder", 1, 4, -2}, {"Kurzschwert", 2, 1, -2},
      {"Wurfspeer", 0, 3, -2},   {"Schleuder", 0, 3, -2},  {"Langbogen", 0, 0, -2},
      {"LeichteArmbrust", 0, 0, 0},
  };
  for (int st : {17, 6}) {
    Char* c = Fighter(1, st);
    for (const auto& k : cases) {
      CharItem& it = Carry(c, k.weapon);
      it.twoHanded = k.hand == 1;
      it.twoWeaponSecond = k.hand == 2;
    }
    CalcWeapons(c, false);
    for (size_t i = 0; i < std::size(cases); ++i)
      EXPECT_EQ(c->items[i].finalDamage, st == 17 ? cases[i].strong : cases[i].weak) << cases[i].weapon << " Str " << st;
    delete c;
  }
  // A mighty composite bow adds Strength up to its rating.
  Char* c = Fighter(1, 17);
  CharItem& bow = Carry(c, "MächtigerKompositLangbogen");
  bow.bowStrength = 2;
  CalcWeapons(c, false);
  EXPECT_EQ(bow.finalDamage, 2);
  delete c;

  // Halfling: +1 on attacks with a sling and a thrown weapon, not with a sword.
  c = Fighter(1, 10);
  c->race = FindByNameOrFault(gSource.races, gSource.raceCount, "Halbling");
  CharItem& sling = Carry(c, "Schleuder");
  CharItem& javelin = Carry(c, "Wurfspeer");
  CharItem& sword = Carry(c, "Kurzschwert");
  CalcWeapons(c, false);
  EXPECT_EQ(sling.finalAttack, 1 + 1);
  EXPECT_EQ(javelin.finalAttack, 1 + 1);
  EXPECT_EQ(sword.finalAttack, 1);
  delete c;

  // Fighter 12: Weapon Focus +1, Greater +1, Specialization +2, Greater +2 on the named weapon.
  c = Fighter(12, 10);
  CharItem& named = Carry(c, "Langschwert");
  CharItem& other = Carry(c, "Streitaxt");
  for (const char* f : {"Waffenfokus", "MächtigerWaffenfokus", "Waffenspezialisierung", "MächtigeWaffenspezialisierung"})
    AddFeat(c, Feat(f), nullptr, named.equipment);
  CalcWeapons(c, false);
  EXPECT_EQ(named.finalAttack, 12 + 2);
  EXPECT_EQ(named.finalDamage, 4);
  EXPECT_EQ(other.finalAttack, 12);
  EXPECT_EQ(other.finalDamage, 0);
  delete c;
}

// Without proficiency: −4 with that weapon only; armour and a shield put their armour check
// penalty on every attack and add nothing to the check penalty.
TEST_F(Srd35Combat, NonproficiencyPenalties) {
  Char* c = Fighter(1, 10, "Magier");  // wizard: club, dagger, crossbows, quarterstaff
  CharItem& dagger = Carry(c, "Dolch");
  CharItem& sword = Carry(c, "Langschwert");
  Carry(c, "Kettenhemd");  // chain shirt: armour check penalty 2
  Carry(c, "Tartsche");    // buckler: 1
  AddFeat(c, Feat("EinfacheWaffen"), nullptr, dagger.equipment);
  RunFeatScripts(c);
  CalcWeapons(c, false);
  EXPECT_EQ(dagger.finalAttack, 0 - 3);
  EXPECT_EQ(sword.finalAttack, 0 - 4 - 3);
  EXPECT_EQ(c->shownCheckPenalty, 2 + 1);
  delete c;
  // Trained: no penalty at all.
  c = Fighter(1, 10);
  CharItem& axe = Carry(c, "Streitaxt");
  Carry(c, "Brustplatte");
  for (const char* f : {"EinfacheWaffen", "KriegsWaffen", "LeichteRüstung", "MittelschwereRüstung"})
    AddFeat(c, Feat(f), nullptr, -1);
  RunFeatScripts(c);
  CalcWeapons(c, false);
  EXPECT_EQ(axe.finalAttack, 1);
  delete c;
}

// Whole creations: missing armour or shield proficiency adds nothing to the check penalty
// (the armour's own penalty goes on the attacks instead).
TEST_F(Srd35Combat, CreatedCharactersAddNoCheckPenaltyForMissingProficiency) {
  UseRules(kRulesSrd35);
  Char* c = new Char();
  Wire(c);
  int unskilled = 0;
  for (int n = 0; n < 300; ++n) {
    CreateSrd35(c, n % 3 == 0 ? 4 : 0, 1 + n % 15);
    ASSERT_TRUE(Srd35(c));
    EXPECT_EQ(c->armorCheckPenalty, 0) << "creature " << n;
    for (int i = 0; i < c->itemCount; ++i)
      unskilled += c->items[i].equipType == 2 && !OwnsFeat(c, gSource.proficiencyFeats[2][0]);
  }
  EXPECT_GT(unskilled, 0);  // the corpus holds shields without their feat
  FreeCharBonuses(c);
  delete c;
}
