// Combat values by both rule sets: a weapon's attack and damage against a hand-computed
// breakdown, two-weapon and proficiency penalties, weapon feats, armour class, saves,
// potions and the sale value; and a corpus of weapons against the reference's table.
#include <array>
#include <cstddef>
#include <map>
#include <sstream>

#include "generator/creature_ops.h"
#include "generator/source_fixture.h"

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
    CharItem& it = c->items[c->itemCount++];
    it = CharItem();
    it.equipment = ItemId(name);
    const EquipSource& e = gSource.equipment[it.equipment];
    it.equipType = e.equipType;
    it.attackType = e.attackType;
    it.size = e.size;
    it.damage[0] = e.damageCount;
    it.damage[1] = e.damageDie;
    it.armor = e.armor;
    it.maxDex = e.maxDex;
    it.penalty = e.penalty;
    it.primary = 1;
    return it;
  }
};

}  // namespace

TEST_F(Combat, WeaponAttackAndDamageMatchTheirBreakdown) {
  // Fighter 6, Strength 16 (+3), Dexterity 18 (+4): base attack +6, two attacks.
  Char* c = Fighter(6, 16, 18);
  ASSERT_EQ(c->GA, 6);
  ASSERT_EQ(c->Attacks, 2);
  CharItem& sword = Carry(c, "Langschwert");
  sword.enhancement = 1;
  sword.masterwork = 1;  // an enhanced weapon gets no masterwork bonus on top
  // Feats bound to a weapon add nothing here: the weapon's breakdown has no feat step.
  AddFeat(c, FeatId("Waffenfokus"), nullptr, sword.equipment);
  CharItem& offhand = Carry(c, "Kurzschwert");
  offhand.primary = 0;
  offhand.secondary = 1;
  offhand.attackBonus = -2;  // two-weapon penalty of a light off-hand weapon
  CharItem& bow = Carry(c, "Langbogen");
  bow.bowStrength = 2;
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
    EXPECT_EQ(c->items[i].finalAttack, expected[i][0]) << gSource.equipment[c->items[i].equipment].name.c_str();
    EXPECT_EQ(c->items[i].finalDamage, expected[i][1]) << gSource.equipment[c->items[i].equipment].name.c_str();
  }
  // Weak throwers and archers: a Strength penalty counts in full, also with a bow limit,
  // and a thrown weapon without a Strength bonus takes the bow's rule.
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
  // Sale value: the remaining budget plus 85-95 % of the treasure's prices and half the
  // effect prices, less 100 per magic item.
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
    std::string what = std::string(k.off) + (k.feat ? " with the feat" : "");
    EXPECT_EQ(main.finalAttack, 1 + k.main) << what;
    EXPECT_EQ(twoEnds ? main.finalAttack - main.attackBonusA : off.finalAttack, 1 + k.second) << what;
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
      EXPECT_EQ(c->items[i].finalDamage, st == 17 ? cases[i].strong : cases[i].weak)
          << cases[i].weapon << " Str " << st;
  }
  // A mighty composite bow adds Strength up to its rating.
  Char* c = Srd(1, 17);
  Carry(c, "MächtigerKompositLangbogen").bowStrength = 2;
  CalcWeapons(c, false);
  EXPECT_EQ(c->items[0].finalDamage, 2);
  // Halfling: +1 on attacks with a sling and a thrown weapon, not with a sword.
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
  Char* c = Srd(1, 10, "Magier");  // wizard: club, dagger, crossbows, quarterstaff
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
  // Trained: no penalty at all.
  c = Srd(1, 10);
  CharItem& axe = Carry(c, "Streitaxt");
  Carry(c, "Brustplatte");
  for (const char* f : {"EinfacheWaffen", "KriegsWaffen", "LeichteRüstung", "MittelschwereRüstung"})
    AddFeat(c, FeatId(f), nullptr, -1);
  RunFeatScripts(c);
  CalcWeapons(c, false);
  EXPECT_EQ(axe.finalAttack, 1);
  // Whole creations: missing armour or shield proficiency adds nothing to the check penalty.
  c = Wired();
  int unskilled = 0;
  for (int n = 0; n < 300; ++n) {
    CreateSrd35(c, n % 3 == 0 ? 4 : 0, 1 + n % 15);
    ASSERT_TRUE(Srd35(c));
    EXPECT_EQ(c->armorCheckPenalty, 0) << "creature " << n;
    for (int i = 0; i < c->itemCount; ++i)
      unskilled += c->items[i].equipType == 2 && !OwnsFeat(c, gSource.proficiencyFeats[2][0]);
  }
  EXPECT_GT(unskilled, 0);  // the corpus holds shields without their feat
}

namespace {

// The weapon table of the reference: damage of the Small and the Medium make (the first
// head of a double weapon) and critical; and the weapons weapon finesse applies to.
const char kSrdWeapons[] =
    "Kampfhandschuh 1d2 1d3 x2, Dolch 1d3 1d4 19-20/x2, Stoßdolch 1d3 1d4 x3, Stachelhandschuh 1d3 1d4 x2, "
    "LeichterStreitkolben 1d4 1d6 x2, Sichel 1d4 1d6 x2, Knüppel 1d4 1d6 x2, SchwererStreitkolben 1d6 1d8 x2, "
    "Morgenstern 1d6 1d8 x2, Kurzspeer 1d4 1d6 x2, Langspeer 1d6 1d8 x3, Kampfstab 1d4 1d6 x2, Speer 1d6 1d8 x3, "
    "SchwereArmbrust 1d8 1d10 19-20/x2, LeichteArmbrust 1d6 1d8 19-20/x2, Wurfpfeil 1d3 1d4 x2, "
    "Wurfspeer 1d4 1d6 x2, Schleuder 1d3 1d4 x2, Wurfaxt 1d4 1d6 x2, LeichterHammer 1d3 1d4 x2, "
    "Handaxt 1d4 1d6 x3, Kukri 1d3 1d4 18-20/x2, LeichteSpitzhacke 1d3 1d4 x4, Totschläger 1d4 1d6 x2, "
    "LeichterStachelschild 1d3 1d4 x2, Rüstungsdornen 1d4 1d6 x2, Kurzschwert 1d4 1d6 19-20/x2, "
    "Streitaxt 1d6 1d8 x3, Flegel 1d6 1d8 x2, Langschwert 1d6 1d8 19-20/x2, SchwereSpitzhacke 1d4 1d6 x4, "
    "Rapier 1d4 1d6 18-20/x2, Krummsäbel 1d4 1d6 18-20/x2, SchwererStachelschild 1d4 1d6 x2, "
    "Dreizack 1d6 1d8 x2, Kriegshammer 1d6 1d8 x3, Falchion 1d6 2d4 18-20/x2, Glefe 1d8 1d10 x3, "
    "Zweihandaxt 1d10 1d12 x3, Kriegskeule 1d8 1d10 x2, SchwererFlegel 1d8 1d10 19-20/x2, "
    "Zweihänder 1d10 2d6 19-20/x2, Rossschinder 1d6 2d4 x3, Hellebarde 1d8 1d10 x3, Lanze 1d6 1d8 x3, "
    "Runka 1d6 2d4 x3, Sense 1d6 2d4 x4, Langbogen 1d6 1d8 x3, KompositLangbogen 1d6 1d8 x3, "
    "MächtigerKompositLangbogen 1d6 1d8 x3, Kurzbogen 1d4 1d6 x3, KompositKurzbogen 1d4 1d6 x3, "
    "MächtigerKompositKurzbogen 1d4 1d6 x3, Kama 1d4 1d6 x2, Nunchaku 1d4 1d6 x2, Sai 1d3 1d4 x2, "
    "Siangham 1d4 1d6 x2, Bastardschwert 1d8 1d10 19-20/x2, Zwergenkriegsaxt 1d8 1d10 x3, Peitsche 1d2 1d3 x2, "
    "Wurfnetz — — —, OrkischeDoppelaxt 1d6 1d8 x3, Stachelkette 1d6 2d4 x2, Schreckensflegel 1d6 1d8 x2, "
    "GnomischerHakenhammer 1d6 1d8 x3, Zweiklingenschwert 1d6 1d8 19-20/x2, Zwergenurgrosch 1d6 1d8 x3, "
    "Wurfbola 1d3 1d4 x2, Handarmbrust 1d3 1d4 19-20/x2, SchwereRepetierarmbrust 1d8 1d10 19-20/x2, "
    "LeichteRepetierarmbrust 1d6 1d8 19-20/x2, Wurfstern 1d1 1d2 x2";
const char kFinesse[] =
    "Kampfhandschuh Dolch Stoßdolch Stachelhandschuh LeichterStreitkolben Sichel Wurfaxt LeichterHammer Handaxt Kukri "
    "LeichteSpitzhacke Totschläger LeichterStachelschild Rüstungsdornen Kurzschwert Rapier Kama Nunchaku Sai Siangham "
    "Peitsche Stachelkette";
// Specific weapons of the reference: base weapon and enhancement bonus; "m" masterwork
// (+1 on attack rolls only).
const char kSrdSpecifics[] =
    "SilberDolch Dolch m, KalteisenLangschwert Langschwert m, BlitzWurfspeer Wurfspeer 0, AdamantDolch Dolch m, "
    "AdamantStreitaxt Streitaxt m, Splitterdorn Langschwert 1, Giftdolch Dolch 1, WarnDreizack Dreizack 2, "
    "Gestaltwandlerschmerz Zweiklingenschwert 1, Meuchlerdolch Dolch 2, Fischgebieterdreizack Dreizack 1, "
    "Flammenzunge Langschwert 1, Glücksklinge Kurzschwert 2, GlücksklingeEinWunsch Kurzschwert 2, "
    "GlücksklingeZweiWünsche Kurzschwert 2, GlücksklingeDreiWünsche Kurzschwert 2, KlingeDerList Kurzschwert 1, "
    "SchwertDerEbenen Langschwert 1, NeunLebenDieb Langschwert 2, Schwurbogen MächtigerKompositLangbogen 2, "
    "Lebensraubschwert Langschwert 2, Schreckenskolben SchwererStreitkolben 2, Lebenstrinker Zweihandaxt 1, "
    "Waldkrummsäbel Krummsäbel 3, DurchbohrendesRapier Rapier 2, Sonnenklinge Bastardschwert 2, "
    "Frostbrand Zweihänder 3, Zwergenwerfer Kriegshammer 2, Zerschmetterkolben SchwererStreitkolben 3, "
    "HeiligerRächer Langschwert 2";

const char* const kSmallRaces[] = {"Gnom",           "Halbling",     "Svirfneblin", "Waldgnom",
                                   "Tiefenhalbling", "Großhalbling", "Dromit"};

// The rows of a comma-separated list, each split into its words.
std::map<std::string, std::vector<std::string>> Rows(const char* list) {
  std::map<std::string, std::vector<std::string>> out;
  std::istringstream rows(list);
  for (std::string row; std::getline(rows, row, ',');) {
    std::istringstream words(row);
    std::vector<std::string> w;
    for (std::string x; words >> x;) w.push_back(x);
    out[w[0]] = w;
  }
  return out;
}

std::pair<int, int> Dice(const std::string& text) {
  int count = 0, die = 0;
  sscanf(text.c_str(), "%dd%d", &count, &die);
  return {count, die};
}

// Lowest threatening roll and multiplier of "19-20/x2" or "x3".
std::pair<int, int> Critical(const std::string& text) {
  int low = 20, multiplier = 2;
  if (sscanf(text.c_str(), "%d-20/x%d", &low, &multiplier) != 2) sscanf(text.c_str(), "x%d", &multiplier);
  return {low, multiplier};
}

// The export's weapon record and base-weapon record of each item.
struct ExportedWeapon {
  std::vector<int> figures;
  std::string base;
  int baseBonus = -1;
};

std::map<int, ExportedWeapon> ExportedWeapons(Char* c) {
  std::istringstream in(Export(c));
  std::map<int, ExportedWeapon> items;
  int item = -1, depth = 0;
  for (std::string line; std::getline(in, line);) {
    // Companions' blocks nest inside: only the creature's own items count.
    for (const char* kind : {"FAMILIAR", "MOUNT", "SERVANT", "COMPANION"}) {
      depth += line.rfind(std::string("START") + kind, 0) == 0;
      depth -= line.rfind(std::string("END") + kind, 0) == 0;
    }
    if (depth || sscanf(line.c_str(), "EQUIPSTART=%d", &item) == 1 ||
        sscanf(line.c_str(), "TREASURESTART=%d", &item) == 1)
      continue;
    if (line.rfind("EQUIPWEAPON=", 0) == 0) {
      std::istringstream fields(line.substr(12));
      for (std::string v; std::getline(fields, v, ',');) items[item].figures.push_back(std::stoi(v));
    } else if (line.rfind("EQUIPBASE=", 0) == 0) {
      size_t comma = line.rfind(',');
      items[item].base = line.substr(10, comma - 10);
      items[item].baseBonus = std::stoi(line.substr(comma + 1));
    }
  }
  return items;
}

}  // namespace

// Characters and NPC-class characters of every level: every weapon they fight with has
// the reference's dice for their size, its threat range doubled once by Improved Critical
// (for that weapon) or keenness, weapon finesse only with a weapon it applies to, and a
// specific weapon's bonus on that weapon alone.
TEST_F(Combat, CorpusAttackDamageDiceAndThreatRangeOfSmallAndMediumCharacters) {
  const auto weapons = Rows(kSrdWeapons), specifics = Rows(kSrdSpecifics);
  const std::string finesseList = std::string(" ") + kFinesse + " ";
  const int improvedCritical = FeatId("VerbesserterKritischerTreffer"), finesse = FeatId("Waffenfinesse");
  const int keen = EffectId("Scharf");
  int checked = 0, small = 0, doubled = 0, specificChecked = 0, finesseChecked = 0;
  Char* c = Wired();
  for (int n = 0; n < 400; ++n) {
    Preset(c, n % 3 == 2 ? 4 : 0, 1 + n % 20);
    CreateCreature(c, 1);
    bool isSmall = false, finesseWeapon = false;
    for (const char* race : kSmallRaces) isSmall |= gSource.races[c->race].name == race;
    std::map<int, ExportedWeapon> exported = ExportedWeapons(c);
    for (int i = 0; i < c->itemCount; ++i) {
      const CharItem& it = c->items[i];
      if (it.equipType != 0 || !it.figured) continue;
      std::string name = gSource.equipment[it.equipment].name.c_str();
      std::string shown = it.specific ? gSource.specifics[it.specific].name.c_str() : name;
      SCOPED_TRACE("character " + std::to_string(n) + " " + shown + (isSmall ? " (Small)" : ""));
      ASSERT_TRUE(weapons.count(name));
      const std::vector<std::string>& w = weapons.at(name);
      finesseWeapon |= finesseList.find(" " + name + " ") != std::string::npos;
      const std::vector<int>& f = exported[i].figures;
      ASSERT_GE(f.size(), 6u);
      auto [count, die] = Dice(w[isSmall ? 1 : 2]);
      EXPECT_EQ(f[0], count);
      EXPECT_EQ(f[1], die);
      auto [low, multiplier] = Critical(w[3]);
      bool twice = false;
      for (int k = 0; k < it.effectCount; ++k) twice |= it.effects[k] == keen;
      for (int k = 0; k < c->featCount; ++k)
        twice |=
            c->feats[k] == improvedCritical && (c->featParameters[k] == it.equipment || c->featParameters[k] == -1);
      if (!it.mercury) {  // (a material of another rule set, with a critical of its own)
        EXPECT_EQ(f[3], twice ? 21 - 2 * (21 - low) : low);
        EXPECT_EQ(f[4], multiplier);
      }
      if (it.specific) {
        ASSERT_TRUE(specifics.count(shown));
        int bonus = atoi(specifics.at(shown)[2].c_str());  // "m": masterwork, no bonus
        EXPECT_EQ(exported[i].base, specifics.at(shown)[1]);
        EXPECT_EQ(exported[i].baseBonus, bonus);
        EXPECT_EQ(f[5], bonus);
        ++specificChecked;
      }
      ++checked;
      small += isSmall;
      doubled += twice;
    }
    // A specific weapon's bonus is no bonus on every attack of its wielder.
    for (const CharBonus* b = c->bonuses; b; b = b->next) {
      bool everyAttack = b->variable == (int)offsetof(Char, AttackMod) || b->variable == (int)offsetof(Char, DmgMod);
      EXPECT_FALSE(everyAttack && b->source && specifics.count(b->source)) << n << ": " << b->source;
    }
    // (A template may grant the feat for its natural weapons; the duelist needs it to
    // enter the class, whatever it fights with.)
    bool granted = c->templateIndex > 0 || Levels(c, "Duellant") > 0;
    if (!granted && OwnsFeat(c, finesse)) {
      EXPECT_TRUE(finesseWeapon) << n << " has weapon finesse without a weapon it applies to";
      ++finesseChecked;
    }
  }
  EXPECT_GT(checked, 500);
  EXPECT_GT(small, 40);
  EXPECT_GT(doubled, 30);
  EXPECT_GT(specificChecked, 10);
  EXPECT_GT(finesseChecked, 4);
}
