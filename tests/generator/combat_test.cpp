// Combat values by both rule sets: attack and damage, two-weapon and proficiency penalties, weapon feats,
// armour class, saves, potions, sale value; a corpus of weapons against the reference's table.
#include <cstddef>
#include <map>

#include "generator/creature_ops.h"
#include "generator/source_fixture.h"
#include "generator/treasure.h"

using namespace debugspace;
using namespace generator_test;

namespace {

class Combat : public CreationFixture {
 protected:
  // A human fighter (or `cls`) with every other ability 10 and no feats.
  Char* Fighter(int levels, int st, int ge = 10, const char* cls = "Kämpfer", RuleSet rules = kRulesOwn) {
    Char* c = Single(cls, levels);
    c->rules = rules;
    c->race = RaceId("Mensch");
    AbilityScore(c, 0) = st;
    AbilityScore(c, 1) = ge;
    ComputeModifiers(c);
    c->Size = 0;
    CalcBaseValues(c);
    c->sizeMod = 0;
    return c;
  }
  Char* Srd(int levels, int st, const char* cls = "Kämpfer") { return Fighter(levels, st, 10, cls, kRulesSrd35); }
  static CharItem& Carry(Char* c, const char* name) {
    EquipItem(c, ItemId(name), c->itemCount, false);
    c->items[c->itemCount].primary = 1;
    return c->items[c->itemCount++];
  }
};

}  // namespace

TEST_F(Combat, WeaponAttackAndDamageMatchTheirBreakdown) {
  // Fighter 6, Strength 16 (+3), Dexterity 18 (+4): base attack +6, two attacks.
  Char* c = Fighter(6, 16, 18);
  ASSERT_EQ(c->Attacks, 2);
  CharItem& sword = Carry(c, "Langschwert");
  sword.enhancement = 1;
  sword.masterwork = 1;  // an enhanced weapon gets no masterwork bonus on top
  // Feats bound to a weapon add nothing here: the weapon's breakdown has no feat step.
  AddFeat(c, FeatId("Waffenfokus"), nullptr, sword.equipment);
  CharItem& offhand = Carry(c, "Kurzschwert");
  offhand.primary = 0;
  offhand.secondary = 1;
  offhand.attackBonus = -2;
  Carry(c, "Langbogen").bowStrength = 2;
  Carry(c, "Dolch").masterwork = 1;
  Carry(c, "Zweihänder").twoHanded = 1;
  Carry(c, "LeichteArmbrust");
  Carry(c, "Wurfspeer");
  CalcWeapons(c, false);
  const int expected[][2] = {
      {6 + 3 + 1, 1 + 3},   // +1 longsword, full Strength
      {-2 + 6 + 3, 3 / 2},  // second hand: half Strength
      {6 + 4, 2},           // Strength +3 only up to the bow's limit of 2
      {1 + 6 + 3, 3},       // masterwork without enhancement: +1
      {6 + 3, 3 + 3 / 2},   // two hands: Strength and a half
      {6 + 4, 0},           // a crossbow adds no Strength
      {6 + 4, 3 / 2},       // thrown: half Strength
  };
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(c->items[i].finalAttack, expected[i][0]) << i;
    EXPECT_EQ(c->items[i].finalDamage, expected[i][1]) << i;
  }
  // A Strength penalty counts in full, also with a bow limit; so does a thrown weapon's without a bonus.
  for (int st : {8, 10}) {
    c = Fighter(1, st, 14);
    Carry(c, "Kurzbogen").bowStrength = 2;
    Carry(c, "Wurfspeer");
    CalcWeapons(c, false);
    EXPECT_EQ(c->items[0].finalDamage, st == 8 ? -1 : 0);
    EXPECT_EQ(c->items[1].finalDamage, st == 8 ? -1 : 0);
  }
}

TEST_F(Combat, ArmourClassSavesAndInitiative) {
  Char* c = Fighter(4, 14, 18);               // Dexterity +4
  CharItem& armour = Carry(c, "Kettenhemd");  // chain shirt: +4, maximum Dexterity +4, penalty 2
  armour.masterwork = 1;
  Carry(c, "GroßerHolzschild").enhancement = 1;
  c->AC = 1;  // natural armour from a script
  c->Init = 4;
  CalcWeapons(c, false);
  EXPECT_EQ(c->dexToAC, 4);
  EXPECT_EQ(c->totalAC, 10 + 4 + 4 + 3 + 1);
  // Without armour only the natural cap of 1024 applies.
  armour.treasure = 1;
  AbilityScore(c, 1) = 30;
  ComputeModifiers(c);
  CalcWeapons(c, false);
  EXPECT_EQ(c->dexToAC, 10);
  AbilityScore(c, 1) = 18;
  ComputeModifiers(c);
  armour.treasure = 0;
  CalcWeapons(c, false);
  EXPECT_EQ(c->shownCheckPenalty, (2 - 1) + 2);  // masterwork armour one less
  // Fighter 4: Fortitude 4, Reflex 1, Will 1, with the ability modifiers.
  c->RWWilRest = 2;
  EXPECT_EQ(SaveTotal(c, 0), 1 + 4);
  EXPECT_EQ(SaveTotal(c, 1), 1 + 0 + 2);
  EXPECT_EQ(SaveTotal(c, 2), 4 + 0);
  EXPECT_EQ(c->Init + c->MGE, 8);
}

TEST_F(Combat, PotionsOnlyAboveSixHundredAndSaleValue) {
  Char* c = Fighter(10, 12, 12);
  c->specialText = text_;
  text_->length = 0;
  c->money = 600;
  BuyPotions(c);
  EXPECT_EQ(text_->length, 0u);
  c->money = 1000;
  BuyPotions(c);
  std::string lines(text_->data, text_->length);
  if (!lines.empty()) {
    EXPECT_NE(lines.find("Träkne kleinere Wunden heilen (1W8 + 1)"), std::string::npos) << lines;
    EXPECT_LT(c->money, 1000);
  }
  // Sale value: the budget left, 85-95 % of treasure prices, half the effect prices, less 100 per magic item.
  c->itemCount = 0;
  CharItem& a = Carry(c, "Langschwert");
  a.price = 1000;
  a.value = 2000;
  a.enhancement = 1;
  a.treasure = 1;
  c->treasureBudget = 500;
  SaleValue(c);
  EXPECT_GE(c->saleValue, 500 + 850 + 1000 - 100);
  EXPECT_LE(c->saleValue, 500 + 950 + 1000 - 100);
}

// SRD 3.5 two-weapon fighting: main hand / off hand by the off-hand weapon and the feat.
TEST_F(Combat, Srd35TwoWeaponPenaltiesByLightOffHandAndFeat) {
  const struct {
    const char* off;
    bool feat;
    int main, second;
  } cases[] = {
      {"Langschwert", false, -6, -10},       {"Kurzschwert", false, -4, -8},
      {"Langschwert", true, -4, -4},         {"Kurzschwert", true, -2, -2},
      {"Zweiklingenschwert", false, -4, -8}, {"Zweiklingenschwert", true, -2, -2},  // a double weapon
  };
  for (const auto& k : cases) {
    Char* c = Srd(1, 10);
    if (k.feat) AddFeat(c, FeatId("KampfMitZweiWaffen"), nullptr, -1);
    bool twoEnds = gSource.equipment[ItemId(k.off)].attackType == 2;
    CharItem& main = Carry(c, twoEnds ? k.off : "Langschwert");
    CharItem& off = twoEnds ? main : Carry(c, k.off);
    if (!twoEnds) main.twoWeapon = off.twoWeapon = off.twoWeaponSecond = 1;
    AddFeat(c, FeatId("KriegsWaffen"), nullptr, -1);
    AddFeat(c, FeatId("ExotischeWaffen"), nullptr, main.equipment);
    RunFeatScripts(c);
    CalcWeapons(c, false);
    SCOPED_TRACE(std::string(k.off) + (k.feat ? " with the feat" : ""));
    EXPECT_EQ(main.finalAttack, 1 + k.main);
    EXPECT_EQ(twoEnds ? main.finalAttack - main.attackBonusA : off.finalAttack, 1 + k.second);
  }
}

// SRD 3.5: Strength on damage by weapon and hand, a penalty in full; halflings +1 with
// thrown weapons and slings; the weapon feats on the weapon they name.
TEST_F(Combat, Srd35StrengthOnDamageAndWeaponFeats) {
  const struct {
    const char* weapon;
    int hand;          // 0 one hand, 1 two hands, 2 off hand of two weapons
    int strong, weak;  // damage with Strength 17 (+3) and 6 (-2)
  } cases[] = {
      {"Langschwert", 0, 3, -2}, {"Zweihänder", 1, 4, -2}, {"Kurzschwert", 2, 1, -2},    {"Wurfspeer", 0, 3, -2},
      {"Schleuder", 0, 3, -2},   {"Langbogen", 0, 0, -2},  {"LeichteArmbrust", 0, 0, 0},
  };
  for (int st : {17, 6}) {
    Char* c = Srd(1, st);
    for (const auto& k : cases) {
      CharItem& it = Carry(c, k.weapon);
      it.twoHanded = k.hand == 1;
      it.twoWeaponSecond = k.hand == 2;
    }
    CalcWeapons(c, false);
    for (size_t i = 0; i < std::size(cases); ++i)
      EXPECT_EQ(c->items[i].finalDamage, st == 17 ? cases[i].strong : cases[i].weak) << cases[i].weapon << " " << st;
  }
  Char* c = Srd(1, 17);
  Carry(c, "MächtigerKompositLangbogen").bowStrength = 2;  // Strength up to its rating
  CalcWeapons(c, false);
  EXPECT_EQ(c->items[0].finalDamage, 2);
  c = Srd(1, 10);
  c->race = RaceId("Halbling");
  for (const char* weapon : {"Schleuder", "Wurfspeer", "Kurzschwert"}) Carry(c, weapon);
  CalcWeapons(c, false);
  EXPECT_EQ(c->items[0].finalAttack, 1 + 1);
  EXPECT_EQ(c->items[1].finalAttack, 1 + 1);
  EXPECT_EQ(c->items[2].finalAttack, 1);
  // Fighter 12: Weapon Focus +1, Greater +1, Specialization +2, Greater +2 on the named weapon.
  c = Srd(12, 10);
  CharItem& named = Carry(c, "Langschwert");
  CharItem& other = Carry(c, "Streitaxt");
  for (const char* f :
       {"Waffenfokus", "MächtigerWaffenfokus", "Waffenspezialisierung", "MächtigeWaffenspezialisierung"})
    AddFeat(c, FeatId(f), nullptr, named.equipment);
  CalcWeapons(c, false);
  EXPECT_EQ(named.finalAttack, 12 + 2);
  EXPECT_EQ(named.finalDamage, 4);
  EXPECT_EQ(other.finalAttack, 12);
  EXPECT_EQ(other.finalDamage, 0);
}

// SRD 3.5 without proficiency: −4 with that weapon only; armour and a shield put their
// armour check penalty on every attack and add nothing to the check penalty.
TEST_F(Combat, Srd35NonproficiencyPenalties) {
  Char* c = Srd(1, 10, "Magier");
  CharItem& dagger = Carry(c, "Dolch");
  CharItem& sword = Carry(c, "Langschwert");
  Carry(c, "Kettenhemd");  // chain shirt: armour check penalty 2
  Carry(c, "Tartsche");    // buckler: 1
  AddFeat(c, FeatId("EinfacheWaffen"), nullptr, dagger.equipment);
  RunFeatScripts(c);
  CalcWeapons(c, false);
  EXPECT_EQ(dagger.finalAttack, 0 - 3);
  EXPECT_EQ(sword.finalAttack, 0 - 4 - 3);
  EXPECT_EQ(c->shownCheckPenalty, 2 + 1);
  c = Srd(1, 10);
  CharItem& axe = Carry(c, "Streitaxt");
  Carry(c, "Brustplatte");
  for (const char* f : {"EinfacheWaffen", "KriegsWaffen", "LeichteRüstung", "MittelschwereRüstung"})
    AddFeat(c, FeatId(f), nullptr, -1);
  RunFeatScripts(c);
  CalcWeapons(c, false);
  EXPECT_EQ(axe.finalAttack, 1);
}

namespace {

// Sample of the reference's weapons: Small and Medium damage (first head), lowest threat and multiplier.
const char kSrdWeapons[] =
    " Kampfhandschuh 1d2 1d3 20x2 Dolch 1d3 1d4 19x2 Knüppel 1d4 1d6 20x2 Morgenstern 1d6 1d8 20x2 "
    "Langspeer 1d6 1d8 20x3 Kampfstab 1d4 1d6 20x2 LeichteArmbrust 1d6 1d8 19x2 SchwereArmbrust 1d8 1d10 19x2 "
    "Wurfspeer 1d4 1d6 20x2 Schleuder 1d3 1d4 20x2 Kukri 1d3 1d4 18x2 LeichteSpitzhacke 1d3 1d4 20x4 "
    "Kurzschwert 1d4 1d6 19x2 Streitaxt 1d6 1d8 20x3 Langschwert 1d6 1d8 19x2 Rapier 1d4 1d6 18x2 "
    "Krummsäbel 1d4 1d6 18x2 Falchion 1d6 2d4 18x2 Zweihandaxt 1d10 1d12 20x3 Zweihänder 1d10 2d6 19x2 "
    "Hellebarde 1d8 1d10 20x3 Sense 1d6 2d4 20x4 Langbogen 1d6 1d8 20x3 Kurzbogen 1d4 1d6 20x3 "
    "Zweiklingenschwert 1d6 1d8 19x2 Wurfstern 1d1 1d2 20x2 ";
const char kFinesse[] =
    " Kampfhandschuh Dolch Stoßdolch Stachelhandschuh LeichterStreitkolben Sichel Wurfaxt LeichterHammer Handaxt Kukri "
    "LeichteSpitzhacke Totschläger LeichterStachelschild Rüstungsdornen Kurzschwert Rapier Kama Nunchaku Sai Siangham "
    "Peitsche Stachelkette ";
// Specific weapons of the reference: base weapon and enhancement (0: masterwork, +1 on attack only).
const std::map<std::string, std::pair<std::string, int>> kSrdSpecifics = {
    {"SilberDolch", {"Dolch", 0}},          {"KalteisenLangschwert", {"Langschwert", 0}},
    {"AdamantStreitaxt", {"Streitaxt", 0}}, {"BlitzWurfspeer", {"Wurfspeer", 0}},
    {"Flammenzunge", {"Langschwert", 1}},   {"Glücksklinge", {"Kurzschwert", 2}},
    {"Meuchlerdolch", {"Dolch", 2}},        {"Schwurbogen", {"MächtigerKompositLangbogen", 2}},
    {"Frostbrand", {"Zweihänder", 3}},      {"HeiligerRächer", {"Langschwert", 2}}};
const char kSmallRaces[] = " Gnom Halbling Svirfneblin Waldgnom Tiefenhalbling Großhalbling Dromit ";

}  // namespace

// Characters and NPC-class characters: a sampled weapon has its dice for their size, its threat range
// doubled once by Improved Critical (for it) or keenness; weapon finesse only with a weapon it applies to;
// a specific weapon's bonus on that weapon alone.
TEST_F(Combat, CorpusAttackDamageDiceAndThreatRangeOfSmallAndMediumCharacters) {
  const int improvedCritical = FeatId("VerbesserterKritischerTreffer"), finesse = FeatId("Waffenfinesse");
  const int keen = EffectId("Scharf");
  int checked = 0, small = 0, doubled = 0, specificChecked = 0, finesseChecked = 0;
  Char* c = Wired();
  for (int n = 0; n < 400; ++n) {
    Preset(c, n % 3 == 2 ? 4 : 0, 1 + n % 20);
    CreateCreature(c, 1);
    const bool isSmall = strstr(kSmallRaces, (" " + std::string(gSource.races[c->race].name.c_str()) + " ").c_str());
    bool finesseWeapon = false;
    for (int i = 0; i < c->itemCount; ++i) {
      const CharItem& it = c->items[i];
      if (it.equipType != 0 || !it.figured) continue;
      std::string name = gSource.equipment[it.equipment].name.c_str();
      std::string shown = it.specific ? gSource.specifics[it.specific].name.c_str() : name;
      SCOPED_TRACE(std::to_string(n) + " " + shown + (isSmall ? " (Small)" : ""));
      finesseWeapon |= strstr(kFinesse, (" " + name + " ").c_str()) != nullptr;
      if (it.specific && kSrdSpecifics.count(shown)) {
        EXPECT_EQ(name, kSrdSpecifics.at(shown).first);
        EXPECT_EQ(it.enhancement, kSrdSpecifics.at(shown).second);
        ++specificChecked;
      }
      const char* row = strstr(kSrdWeapons, (" " + name + " ").c_str());
      int w[6] = {};  // Small dice and die, Medium dice and die, threat, multiplier
      if (!row || sscanf(row + name.size() + 2, "%dd%d %dd%d %dx%d", w, w + 1, w + 2, w + 3, w + 4, w + 5) != 6)
        continue;
      EXPECT_EQ(it.damage[0] * 100 + it.damage[1], isSmall ? w[0] * 100 + w[1] : w[2] * 100 + w[3]);
      bool twice = false;
      for (int k = 0; k < it.effectCount; ++k) twice |= it.effects[k] == keen;
      for (int k = 0; k < c->featCount; ++k)
        twice |=
            c->feats[k] == improvedCritical && (c->featParameters[k] == it.equipment || c->featParameters[k] == -1);
      if (!it.mercury) {  // (a material of another rule set, with a critical of its own)
        EXPECT_EQ(ThreatLowest(c, it), twice ? 21 - 2 * (21 - w[4]) : w[4]);
        EXPECT_EQ(it.criticalMultiplier, w[5]);
      }
      ++checked;
      small += isSmall;
      doubled += twice;
    }
    for (const CharBonus* b = c->bonuses; b; b = b->next) {
      bool everyAttack = b->variable == (int)offsetof(Char, AttackMod) || b->variable == (int)offsetof(Char, DmgMod);
      EXPECT_FALSE(everyAttack && b->source && kSrdSpecifics.count(b->source)) << n << ": " << b->source;
    }
    // (A template may grant the feat for natural weapons; a duelist needs it to enter the class.)
    if (c->templateIndex == 0 && Levels(c, "Duellant") == 0 && OwnsFeat(c, finesse)) {
      EXPECT_TRUE(finesseWeapon) << n << " has weapon finesse without a weapon it applies to";
      ++finesseChecked;
    }
  }
  EXPECT_GT(checked, 400);
  EXPECT_GT(small, 40);
  EXPECT_GT(doubled, 30);
  EXPECT_GT(specificChecked, 5);
  EXPECT_GT(finesseChecked, 4);
}
