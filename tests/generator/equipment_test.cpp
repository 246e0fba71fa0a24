// Equipment bought from the wealth by level, and what worn items give.
#include <array>
#include <optional>
#include <sstream>

#include "generator/creature_ops.h"
#include "generator/equipment.h"
#include "generator/script_binding.h"
#include "generator/source_fixture.h"
#include "generator/treasure.h"
#include "text_util.h"

using namespace debugspace;
using namespace generator_test;

namespace {

class Equipment : public generator_test::SourceFixture {
 protected:
  // The next draws answer as given; the dice decide the rest.
  void Script(std::initializer_list<int32_t> draws) {
    stream_.assign(kStreamWords, 0);
    int at = 1;
    for (int32_t v : draws) stream_[(size_t)at] = v, at += 2;
    stream_[(size_t)at] = kStreamEnd;
    position_ = 1;
    Keep(gDecide.stream, nullptr);
    Keep(gDecide.streamPos, nullptr);
    Replaying(stream_.data(), &position_);
  }
  static constexpr int kNone[2] = {0, 0};
  std::vector<int32_t> stream_;
  int32_t position_ = 0;
};

// Hand wishes of the fighting styles: none, weapon and shield, two weapons, two-handed, ranged (and a
// one-handed weapon).
const int kWishes[][2] = {{0, 0}, {1, 0}, {1, 1}, {2, 0}, {3, 0}, {4, 0}, {4, 1}};

int64_t Cost(const CharItem& it) { return (int64_t)it.price + it.value; }

}  // namespace

TEST_F(Equipment, FiveHundredCharactersPayForWhatTheyCarry) {
  Char* c = NewChar();
  int weapons = 0, magic = 0, wondrous = 0, twoHanded = 0, effects = 0;
  for (int n = 0; n < 500; ++n) {
    int level = 1 + n % 20;
    const int* wishes = kWishes[n % 7];
    Prepare(c, level, wishes);
    Quietly([&] { GenerateEquipment(c); });
    SCOPED_TRACE("character " + std::to_string(n) + " level " + std::to_string(level));
    ASSERT_TRUE(c->money >= 0 && c->budget >= c->drawnBudget && c->itemCount <= kMaxItems);
    ASSERT_GE(c->drawnBudget, gSource.startMoney[level] * 75 / 100);
    ASSERT_LE(c->drawnBudget, gSource.startMoney[level] * 175 / 100);
    int64_t spent = 0;
    for (int i = 0; i < c->itemCount; ++i) {
      const CharItem& it = c->items[i];
      ASSERT_TRUE(it.equipment >= 0 && it.equipment < gSource.equipmentCount && it.specific >= 0 &&
                  it.specific < gSource.specificCount && it.effectCount <= kItemEffects && it.price >= 0 &&
                  it.value >= 0)
          << "item " << i;
      const EquipSource& e = gSource.equipment[it.equipment];
      for (int k = 0; k < it.effectCount && it.magic; ++k) {
        ASSERT_TRUE(it.effects[k] >= 0 && it.effects[k] < gSource.effectCount);
        EXPECT_NE(it.effectTexts[it.effectTextAt[k]], 0) << "an effect without its sheet text";
        ++effects;
      }
      // A weapon, armour or shield keeps the bonus it paid for, however little money is left.
      bool natural = gSource.classes[c->classes[0]].naturalEnhance != 0;
      if (it.equipType <= 2 && !it.specific && !it.bowStrength && !natural && !(e.name == "Tartsche")) {
        EXPECT_EQ(it.enhancement > 0, it.price > e.price) << e.name.c_str();
      }
      spent += Cost(it);
      weapons += it.equipType == 0;
      magic += it.enhancement > 0 || it.specific > 0;
      wondrous += it.equipType >= 3 && it.equipType != 11;
      twoHanded += it.twoHanded;
      EXPECT_TRUE(!it.twoHanded || !it.secondary);
      for (int j = 0; j < c->itemCount && it.twoHanded; ++j)
        if (j != i && c->items[j].equipType != 1 && c->items[j].equipType < 3) {
          EXPECT_TRUE(!c->items[j].secondary || it.handsConflict) << e.name.c_str() << " shares its off hand";
        }
      EXPECT_TRUE(wishes[0] || wishes[1] || it.equipType != 0) << "a weapon without a hand wish";
    }
    // Everything bought is paid: the budget (grown by any shortfall) less what is left.
    ASSERT_EQ(spent, (int64_t)c->budget - c->money);
  }
  EXPECT_GT(weapons, 300);
  EXPECT_GT(magic, 200);
  EXPECT_GT(wondrous, 200);
  EXPECT_GT(twoHanded, 40);
  EXPECT_GT(effects, 50);
}

TEST_F(Equipment, TwoWeaponsCarryTheirPenalties) {
  Char* c = NewChar();
  int pairs = 0;
  const int wishes[2] = {2, 0};
  int fighter = ClassId("Kämpfer");
  for (int n = 0; n < 200; ++n) {
    Prepare(c, 6, wishes);
    c->classes[0] = fighter;  // classes with a fixed weapon never fight with two
    Quietly([&] { GenerateEquipment(c); });
    EXPECT_EQ(c->Attacks2, 1);
    const CharItem *first = nullptr, *second = nullptr;
    for (int i = 0; i < c->itemCount; ++i)
      if (c->items[i].equipType == 0 && c->items[i].twoWeapon)
        (c->items[i].twoWeaponSecond ? second : first) = &c->items[i];
    if (!first || !second) continue;
    ++pairs;
    int sizeBonus = first->size != second->size ? 2 : 0;
    int lightFirst = first->attackType == 2 ? -4 : 0, lightSecond = second->attackType == 2 ? -4 : 0;
    // A named masterwork weapon carries its +1 on attack as well.
    auto masterwork = [](const CharItem* it) -> int {
      return it->specific && strstr(" SilberDolch KalteisenLangschwert AdamantDolch AdamantStreitaxt ",
                                    (" " + std::string(gSource.specifics[it->specific].name.c_str()) + " ").c_str());
    };
    EXPECT_EQ(first->attackBonus, -6 + sizeBonus + lightFirst + masterwork(first));
    EXPECT_EQ(second->attackBonus, -10 + sizeBonus + lightSecond + masterwork(second));
  }
  // "Doppelklingenwaffe" says no four times in five.
  EXPECT_GT(pairs, 120);
}

TEST_F(Equipment, FightingStylesBecomeHandWishes) {
  Char* c = NewChar();
  int bow = ClassId("OrderOfTheBow"), monk = ClassId("Mönch");
  int seen[5] = {}, unarmed = 0, secondRanged = 0;
  for (int n = 0; n < 400; ++n) {
    Prepare(c, 8, kNone);
    c->classCount = 0;
    ChooseFightingStyle(c);
    ASSERT_TRUE(c->fightingStyle >= 1 && c->fightingStyle <= 4) << c->fightingStyle;
    ++seen[c->fightingStyle];
    EXPECT_EQ(c->handWish[0] * 10 + c->handWish[1], c->fightingStyle * 10 + c->fightingStyle2);
    // A melee style backs up with a ranged weapon; a ranged style with a melee one.
    EXPECT_TRUE(!c->fightingStyle2 || (c->fightingStyle2 == 4) == (c->fightingStyle != 4));
    secondRanged += c->fightingStyle2 == 4;
    Prepare(c, 8, kNone);
    c->classes[0] = bow;
    ChooseFightingStyle(c);
    EXPECT_EQ(c->handWish[0], 4) << "the bow order always shoots";

    Prepare(c, 8, kNone);
    c->classes[0] = monk;
    ChooseFightingStyle(c);
    unarmed += c->fightingStyle == 0;
    EXPECT_TRUE(c->fightingStyle || c->handWish[0] + c->handWish[1] == 0);
  }
  for (int s = 1; s <= 4; ++s) EXPECT_GT(seen[s], 20) << StyleName(s);
  EXPECT_GT(secondRanged, 100);
  // "Mönch kämpft mit Fäusten?" says yes one time in three, and style 0 can also be drawn.
  EXPECT_GT(unarmed, 100);
  EXPECT_LT(unarmed, 250);
}

// Every shipped effect script, run on its carrier as it is or under a ScriptUndo, leaves it byte for
// byte as it was, its own bonus records included.
TEST_F(Equipment, EffectScriptsOnTheCarrierLeaveItUnchanged) {
  Char* c = NewChar();
  std::vector<unsigned char> before(sizeof(Char));
  int keeping = 0, undone = 0, copied = 0;
  for (int e = 0; e < gSource.effectCount; ++e) {
    const uint8_t* script = gSource.effects[e].effectScript.data;
    if (!script) continue;
    SCOPED_TRACE(gSource.effects[e].name.c_str());
    Prepare(c, 12, kNone);
    c->record = record_.data();
    BoostSkillTyped(c, 0, 2, 0, "eigener Bonus");  // a bonus record of its own
    CharBonus* own = c->bonuses;
    memcpy(before.data(), static_cast<void*>(c), sizeof(Char));
    bool keeps = ScriptKeepsCreature(script), undoable = ScriptUndoable(script);
    CharItem item{};
    TextBuffer* text = TextCreate("effect-text");
    {
      std::optional<ScriptUndo> undo;
      if (!keeps && undoable) undo.emplace(c);
      RunScript(c, &item, text, script, gSource.effects[e].name.c_str(), -1, text);
    }
    TextDestroy(text);
    EXPECT_TRUE(!(keeps || undoable) || memcmp(before.data(), static_cast<void*>(c), sizeof(Char)) == 0);
    EXPECT_EQ(c->bonuses, own);
    keeping += keeps;
    undone += !keeps && undoable;
    copied += !undoable;
    FreeCharBonuses(c);
  }
  EXPECT_GT(keeping, 50);
  EXPECT_GT(undone, 10);
  EXPECT_EQ(copied, 0);  // no shipped effect changes feats, skills or items
}

// A wizard who draws bracers wears the bonus of both enhancement draws (at most 8),
// priced bonus² × 1000 even beyond the money: the budget grows instead.
TEST_F(Equipment, BracersKeepTheBonusOfBothDraws) {
  const struct { int level, first, second, bonus; } cases[] = {{20, 5, 6, 8}, {4, 4, 4, 8}, {4, 1, 2, 3}, {4, 0, 0, 0}};
  Char* c = NewChar();
  for (const auto& k : cases) {
    SCOPED_TRACE(k.level * 100 + k.first * 10 + k.second);
    Prepare(c, k.level, kNone);
    c->classes[0] = ClassId("Magier");
    // 75 %, "Keine Rüstung" yes, "Magierrüstung/RK Armband?" yes, "RK-Armbänder", two enhancement draws.
    Script({75, 1, 1, 1, k.first, k.second});
    Quietly([&] { GenerateEquipment(c); });
    int bracers = 0;
    for (int i = 0; i < c->itemCount; ++i)
      if (c->items[i].equipType == 12) {
        ++bracers;
        EXPECT_EQ(std::string(c->items[i].label), "RK-Armbänder +" + std::to_string(k.bonus));
        EXPECT_EQ(c->items[i].value, k.bonus * k.bonus * 1000);
      }
    EXPECT_EQ(bracers, 1);  // no second pair from the wondrous items
    EXPECT_EQ(c->bracerBonus, k.bonus);
    EXPECT_GE(c->budget, k.bonus * k.bonus * 1000);
  }
}

TEST_F(Equipment, WondrousItemsWithoutEffectsStayBought) {  // vests and bracers
  Char* c = NewChar();
  for (auto [name, kind] : {std::pair{"Weste", 13}, std::pair{"Armreif", 12}}) {
    Prepare(c, 10, kNone);
    c->budget = c->money = 100000;
    Script({1, 0});  // "%s vorhanden?" yes, no specific item
    Quietly([&] { BuyWondrousItem(c, 4, 2, name, kind); });
    ASSERT_EQ(c->itemCount, 1) << name;
    EXPECT_EQ(c->items[0].equipType * 100 + c->items[0].effectCount, kind * 100);
    EXPECT_EQ(c->money, 100000);
  }
}

// Armour within reach counts only with the medium-armour feat: heavy armour alone weighs light ones too.
TEST_F(Equipment, ArmourReachNeedsTheMediumArmourFeat) {
  Char* c = NewChar();
  int light = 0;
  for (int n = 0; n < 100; ++n) {
    Prepare(c, 20, kNone);
    c->classes[0] = ClassId("Kämpfer");
    c->MGE = 0;
    c->feats[c->featCount++] = gSource.proficiencyFeats[1][2];
    Quietly([&] { GenerateEquipment(c); });
    for (int i = 0; i < c->itemCount; ++i) light += c->items[i].equipType == 1 && c->items[i].type == 0;
  }
  EXPECT_GT(light, 0);
}

// An item no money can pay tries a hundred effect choices, then takes the cheapest.
TEST_F(Equipment, AHundredEffectTriesThenTheCheapest) {
  Char* c = NewChar();
  Prepare(c, 20, kNone);
  c->classes[0] = ClassId("Magier");
  EquipItem(c, ItemId("Ring"), 0, false);
  c->items[0].equipType = 3;
  c->items[0].effectCount = 1;
  c->itemCount = 1;
  Output(2);
  Debug(1);  // every draw shows its label
  CaptureStdout();
  DoEffects2(c, 0);
  std::string out = GetCapturedStdout();
  EXPECT_EQ(CountOf(out, "Effeckt wählen!"), 100);
  EXPECT_EQ(c->items[0].effectCount, 1);
  EXPECT_GT(c->budget, 0);  // paid beyond the money
  EXPECT_EQ(c->items[0].value, c->budget);
}

// Goods: the money pays each record's price, their value leaves the treasure money and then the money.
TEST_F(Equipment, GoodsCostTheirPriceAndTheirValue) {
  Char* c = NewChar();
  int goods = 0;
  for (int n = 0; n < 20; ++n) {
    Prepare(c, 10, kNone);
    c->budget = c->money = 1000000;
    c->treasureBudget = c->treasureMoney = 50000;
    Quietly([&] { InsertTreasure(c); });
    int64_t prices = 0, values = 0;
    for (int i = 0; i < c->itemCount; ++i)
      prices += gSource.equipment[c->items[i].equipment].price, values += c->items[i].value;
    goods += c->itemCount;
    EXPECT_EQ(values, 50000 - c->treasureMoney);
    EXPECT_EQ(c->money, 1000000 - prices - values);
  }
  EXPECT_GT(goods, 20);
}

// A redrawn hoard arm leaves its price paid: the money is noted after the purchase.
TEST_F(Equipment, HoardsKeepThePriceOfRedrawnArms) {
  Char* c = NewChar();
  Prepare(c, 10, kNone);
  record_.assign(kRecordWords, 0);
  record_[rec::kTreasureOnly] = 1;
  record_[rec::kTreasureLow] = record_[rec::kTreasureHigh] = 1;
  c->record = record_.data();
  c->budget = c->money = 10000000;
  int shield = ItemId("GroßerMetallschild");
  // "Schild", the large metal shield, enhancement 0, one effect: far too little of the money.
  Script({2, shield, 0, 0});
  Quietly([&] { CreateTreasure(c, 1); });
  ASSERT_EQ(c->itemCount, 1);
  EXPECT_GE((int64_t)c->budget - c->money - Cost(c->items[0]), gSource.equipment[shield].price);
}

TEST_F(Equipment, ProfileArmourIsPreferred) {
  int profile = 0;
  while (profile < gSource.profileCount && std::string(gSource.profiles[profile].name) != "Stadtwache") ++profile;
  ASSERT_LT(profile, gSource.profileCount);
  Char* c = NewChar();
  int chosen = 0;
  for (int n = 0; n < 50; ++n) {
    Prepare(c, 10, kNone);
    c->classes[0] = ClassId("Kämpfer");
    c->profileMode = 1;
    c->profile = profile;
    c->profileWeight = 1024;
    Quietly([&] { GenerateEquipment(c); });
    for (int i = 0; i < c->itemCount; ++i)
      chosen += c->items[i].equipType == 1 && c->items[i].equipment == ItemId("Kettenhemd");
  }
  EXPECT_GE(chosen, 45);
}

// A blade the class raises itself takes "1 Enhencement but Effects" also when it bought
// no bonus, and also when that class is not the first.
TEST_F(Equipment, NaturalEnhancementOfAnUnenhancedBlade) {
  const int wishes[2] = {1, 0};
  int blade = ClassId("Seelenmesser");
  const CharSource& k = gSource.classes[blade];
  Char* c = NewChar();
  Prepare(c, 6, wishes);
  c->classCount = 2;
  c->classes[0] = ClassId("Kämpfer");
  c->classLevels[0] = 1;
  c->classes[1] = blade;
  c->classLevels[1] = 5;
  // 100 %, no specific item, two enhancement draws of 0, "1 Enhencement but Effects".
  Script({100, 0, 0, 0, 1});
  Quietly([&] { GenerateEquipment(c); });
  ASSERT_GE(c->itemCount, 1);
  EXPECT_EQ(c->items[0].equipment, k.forceWeapon);
  EXPECT_EQ(c->items[0].enhancement, 1);
  EXPECT_EQ(c->items[0].charEnhancement, 1);
}

namespace {

class WornItems : public generator_test::CreationFixture {};

// What the named items give, by the reference: an ability's enhancement (st .. ch), natural
// armour, resistance, luck, spell resistance, deflection. The first figure after a kind is
// the item's; each further one N the bonus of the item named with N appended.
struct NamedItem {
  std::string name;
  int ability = -1, enhancement = 0, natural = 0, resistance = 0, luck = 0, spellResistance = 0, deflection = 0;
};
const std::vector<NamedItem> kNamedItems = [] {
  std::istringstream in(
      "OgerkraftHandschuhe st 2, GürtelDerRiesenstärke st 4 6, HandschuheDerGeschicklichkeit ge 2 4 6, "
      "AmulettDerGesundheit ko 2 4 6, StirnbandDesIntellekts in 2 4 6, PeriaptDerWeisheit we 2 4 6, "
      "UmhangDesCharismas ch 2 4 6, AmulettDerNatürlichenRüstung nat 1 2 3 4 5, ResistenzUmhang res 1 2 3 4 5, "
      "RingDesSchutzes defl 0 1 2 3 4 5, RobeDerSterne luck 1, Glücksklinge luck 1, GlücksklingeEinWunsch luck 1, "
      "GlücksklingeZweiWünsche luck 1, GlücksklingeDreiWünsche luck 1, MantelDerZauberresistenz sr 21, "
      "SchutzSkarabäus sr 20, Magierrobe res 4 sr 18");
  const std::map<std::string, int NamedItem::*> fields = {{"nat", &NamedItem::natural},
                                                          {"res", &NamedItem::resistance},
                                                          {"luck", &NamedItem::luck},
                                                          {"sr", &NamedItem::spellResistance},
                                                          {"defl", &NamedItem::deflection}};
  std::vector<NamedItem> out;
  for (std::string row; std::getline(in, row, ',');) {
    std::istringstream words(row);
    std::string name, word, kind;
    words >> name;
    size_t base = out.size();
    out.push_back({name});
    for (bool first = true; words >> word;) {
      if (!isdigit((unsigned char)word[0])) {
        kind = word, first = true;
        continue;
      }
      NamedItem& n = first ? out[base] : out.emplace_back(NamedItem{name + word});
      first = false;
      if (fields.count(kind)) {
        n.*fields.at(kind) = std::stoi(word);
      } else {
        n.ability = (int)std::string("st ge ko in we ch").find(kind) / 3;
        n.enhancement = std::stoi(word);
      }
    }
  }
  return out;
}();
// Named armours and shields and their enhancement.
const std::map<std::string, int> kNamedArmour = {
    {"Nashornhaut", 2},          {"Glücksbänderpanzer", 3}, {"HimmlischeRüstung", 3},
    {"TiefseePlattenpanzer", 1}, {"BefehlsBrustplatte", 2}, {"MithrilPlatteDerSchnelligkeit", 1},
    {"Dämonenrüstung", 4},       {"Zaubererschild", 1},     {"Dornenschild", 1},
    {"Löwenschild", 2},          {"Flügelschild", 3},       {"Absorptionsschild", 1}};
// Magic effects that raise an ability: "+N <ability>" says by how much.
const char* const kAbilityEffects[6] = {"StärkeVerbesserung",       "GeschicklichkeitVerbesserung",
                                        "KonstitutionVerbesserung", "IntelligenzVerbesserung",
                                        "WeisheitVerbesserung",     "CharismaVerbesserung"};
// Classes, feats and races with armour class or saving-throw bonuses of their own.
const char kOwnArmour[] =
    " Mönch Drachenjünger Duellant ZwergischerVerteidiger Wissensmeister VerteidigungMitZweiWaffen "
    "VerbesserteNatürlicheRüstung Rüstungshaut Svirfneblin Dromit ";
const char kOwnSaves[] = " SchwarzerRitter Duellant Wissensmeister Svirfneblin ";
// Save feats: +2, epic +4 (Reflex, Will, Fortitude).
const struct {
  const char* feat;
  int save, bonus;
} kSaveFeats[] = {{"BlitzschnelleReflexe", 0, 2}, {"EisernerWille", 1, 2}, {"Abhärtung", 2, 2},
                  {"EpischeReflexe", 0, 4},       {"EpischerWille", 1, 4}, {"EpischeAbhärtung", 2, 4}};

// The best bonus per type of the creature's worn items.
struct ItemBonuses {
  int armor = 0, shield = 0, namedArms = 0, deflection = 0, natural = 0, resistance = 0, luck = 0, spellResistance = 0;
  int ability[6] = {};
  bool monkBelt = false, armourOrShield = false;
};

ItemBonuses WornBonuses(const Char* c) {
  ItemBonuses b;
  bool dwarf = c->race >= 0 && gSource.races[c->race].name == "Zwerg";
  for (int i = 0; i < c->treasureIndex && i < kMaxItems; ++i) {
    const CharItem& it = c->items[i];
    std::string label = it.label;
    std::string name = it.specific > 0     ? gSource.specifics[it.specific].name.c_str()
                       : it.equipment >= 0 ? gSource.equipment[it.equipment].name.c_str()
                                           : "";
    // A named armour or shield has its own enhancement, others the one bought for them.
    int enhancement = it.enhancement;
    if ((it.equipType == 1 || it.equipType == 2) && kNamedArmour.count(name)) {
      enhancement = kNamedArmour.at(name);
      ++b.namedArms;
    }
    if (it.equipType == 1) b.armor = std::max(b.armor, it.armor + enhancement);
    if (it.equipType == 2) b.shield = std::max(b.shield, it.armor + enhancement);
    if (label.find("RK-Armbänder") != std::string::npos) b.armor = std::max(b.armor, Plus(it.label));
    if (label.find(" SchutzRing") == 0 || label.find(" SchutzUmhang") == 0)
      b.deflection = std::max(b.deflection, Plus(it.label));
    if (label.find(" SchutzAmulett") == 0) b.natural = std::max(b.natural, Plus(it.label));
    if (name == "Mönchsgürtel") b.monkBelt = true;
    if ((it.equipType == 1 && it.armor + it.enhancement > 0) || (it.equipType == 2 && (it.primary || it.secondary)))
      b.armourOrShield = true;
    for (const NamedItem& n : kNamedItems) {
      if (name != n.name && !(it.equipment >= 0 && gSource.equipment[it.equipment].name == n.name.c_str())) continue;
      if (n.ability >= 0) b.ability[n.ability] = std::max(b.ability[n.ability], n.enhancement);
      b.natural = std::max(b.natural, n.natural);
      b.resistance = std::max(b.resistance, n.resistance);
      b.luck = std::max(b.luck, n.luck);
      b.spellResistance = std::max(b.spellResistance, n.spellResistance);
      b.deflection = std::max(b.deflection, n.deflection);
    }
    if (name == "ZwergenGürtel" && !dwarf) b.ability[2] = std::max(b.ability[2], 2);
    for (int k = 0; k < it.effectCount && k < kItemEffects; ++k) {
      std::string effect = gSource.effects[it.effects[k]].name.c_str();
      const char* text = it.effectTexts + it.effectTextAt[k];
      for (int a = 0; a < 6; ++a)
        if (effect == kAbilityEffects[a]) b.ability[a] = std::max(b.ability[a], Plus(text));
      if (effect == "Mönchsgürtel") b.monkBelt = true;
      if (effect == "Zwergenart" && !dwarf) b.ability[2] = std::max(b.ability[2], 2);
      if (effect == "Ablenkungsschutz") b.deflection = std::max(b.deflection, Plus(text));
      if (effect == "NatürlicheRüstung") b.natural = std::max(b.natural, Plus(text));
      if (effect == "Resistenz") b.resistance = std::max(b.resistance, Plus(text));
      if (effect == "Zauberabwehr") b.spellResistance = std::max(b.spellResistance, 21);
      if (effect.rfind("Zauberresistenz", 0) == 0)
        b.spellResistance = std::max(b.spellResistance, atoi(effect.c_str() + 15));
    }
  }
  return b;
}

bool Has(const Char* c, const char* names) {
  auto in = [&](const char* name) { return strstr(names, (" " + std::string(name) + " ").c_str()) != nullptr; };
  for (int s = 0; s < c->classCount; ++s)
    if (in(gSource.classes[c->classes[s]].name.c_str())) return true;
  for (int f = 0; f < c->featCount; ++f)
    if (in(gSource.feats[c->feats[f]].name.c_str())) return true;
  for (int r : {c->race, c->subRace})
    if (r >= 0 && r < gSource.raceCount && in(gSource.races[r].name.c_str())) return true;
  return false;
}

// The item scripts that raise abilities, taken out for a second build of the same creature.
struct WithoutAbilityItems {
  std::map<Owned*, uint8_t*> taken;
  WithoutAbilityItems() {
    for (int e = 0; e < gSource.effectCount; ++e)
      for (const char* n : kAbilityEffects)
        if (gSource.effects[e].name == n || gSource.effects[e].name == "Zwergenart")
          Take(gSource.effects[e].effectScript);
    for (int s = 0; s < gSource.specificCount; ++s)
      for (const NamedItem& n : kNamedItems)
        if (n.ability >= 0 &&
            (gSource.specifics[s].name == n.name.c_str() || gSource.specifics[s].name == "ZwergenGürtel"))
          Take(gSource.specifics[s].script);
  }
  void Take(Owned& script) {
    if (taken.emplace(&script, script.data).second) script.data = nullptr;
  }
  ~WithoutAbilityItems() {
    for (auto& [script, data] : taken) script->data = data;
  }
};

}  // namespace

// Armour class, saves, spell resistance and abilities are what worn items give, the best bonus per type:
// bracers armour (or the armour's), protection deflection, amulets natural armour, cloaks and the robe
// resistance, ability items enhancement.
TEST_F(WornItems, WornItemEffectsFollowTheirBonusTypes) {
  Char* c = NewChar();
  Char* plain = NewChar();
  Wire(c);
  Wire(plain);
  int other = 0, saves = 0, abilities = 0, bracers = 0, protective = 0, boosted = 0, robes = 0, belts = 0,
      namedArms = 0;
  for (int n = 0; n < 600; ++n) {
    Preset(c, n % 5 == 0 ? 4 : 0, 5 + n % 16);
    IsaacState start = state_;
    CreateCreature(c, 1);
    SCOPED_TRACE("character " + std::to_string(n));
    ItemBonuses b = WornBonuses(c);
    EXPECT_EQ(c->armorAC * 100 + c->shieldAC, b.armor * 100 + b.shield);
    namedArms += b.namedArms;
    for (int i = 0; i < c->treasureIndex; ++i) bracers += strstr(c->items[i].label, "RK-Armbänder") != nullptr;
    if (c->templateIndex == 0 && !Has(c, kOwnArmour)) {
      ++other;
      protective += b.deflection + b.natural > 0;
      // A monk's belt: the armour class bonus of a fifth-level monk, without armour and shield.
      int belt = b.monkBelt && !b.armourOrShield ? std::max(c->MWE, 0) + 1 : 0;
      belts += b.monkBelt;  // worn with armour too: then it gives nothing
      EXPECT_EQ(c->AC, b.deflection + b.natural + belt);
    }
    EXPECT_GE(c->MR, b.spellResistance);
    robes += b.spellResistance == 18;
    if (c->templateIndex == 0 && c->Crystals == 0 && !Has(c, kOwnSaves)) {
      ++saves;
      const int all = b.resistance + b.luck + (c->race >= 0 && gSource.races[c->race].name == "Halbling");
      int expected[3] = {all, all, all};
      // A rat familiar gives its master +2 on Fortitude, a weasel +2 on Reflex.
      if (const Char* f = c->familiarChar; f && f->monster >= 0) {
        if (gSource.monsters[f->monster].name == "Ratte") expected[2] += 2;
        if (gSource.monsters[f->monster].name == "Wiesel") expected[0] += 2;
      }
      for (const auto& f : kSaveFeats) expected[f.save] += f.bonus * Holds(c, f.feat);
      EXPECT_EQ((std::array{c->RWRefRest, c->RWWilRest, c->RWZaehRest}),
                (std::array{expected[0], expected[1], expected[2]}));
    }

    // The same creature without its ability items: its scores lack their enhancement.
    if (c->Level > 20) continue;
    {
      WithoutAbilityItems without;
      state_ = start;
      Preset(plain, n % 5 == 0 ? 4 : 0, 5 + n % 16);
      CreateCreature(plain, 1);
    }
    ++abilities;
    for (int a = 0; a < 6; ++a) {
      boosted += b.ability[a] > 0;
      if (c->absent[a]) continue;
      EXPECT_EQ((&c->ST)[a] - (&plain->ST)[a], b.ability[a]) << "ability " << a;
      EXPECT_EQ((&c->MST)[a], (&c->ST)[a] / 2 - 5) << "ability " << a;
    }
  }
  EXPECT_GT(bracers, 40);
  EXPECT_GT(protective, 25);
  EXPECT_GT(boosted, 20);
  EXPECT_GT(robes, 8);
  EXPECT_GT(belts, 0);
  EXPECT_GT(namedArms, 0);

  EXPECT_GT(other, 400);
  EXPECT_GT(saves, 450);
  EXPECT_GT(abilities, 450);
}
