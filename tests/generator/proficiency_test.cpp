// Weapon proficiencies of finished characters against the class lists of the rules, and
// the line ends of their item texts.
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "generator/source_fixture.h"

using namespace debugspace;
using namespace generator_test;

namespace {

std::set<std::string> Names(const char* list) {
  std::istringstream in(list);
  std::set<std::string> out;
  for (std::string w; in >> w;) out.insert(w);
  return out;
}

const std::set<std::string> kSimple = Names(
    "Kampfhandschuh Dolch Stoßdolch Stachelhandschuh LeichterStreitkolben Sichel Knüppel SchwererStreitkolben "
    "Morgenstern Kurzspeer Langspeer Kampfstab Speer SchwereArmbrust LeichteArmbrust Wurfpfeil Wurfspeer Schleuder");
const std::set<std::string> kMartial = Names(
    "Wurfaxt LeichterHammer Handaxt Kukri LeichteSpitzhacke Totschläger LeichterStachelschild Kurzschwert Streitaxt "
    "Flegel Langschwert SchwereSpitzhacke SchwererStachelschild Rapier Krummsäbel Dreizack Kriegshammer Falchion Glefe "
    "Zweihandaxt Kriegskeule SchwererFlegel Zweihänder Rossschinder Hellebarde Lanze Runka Sense Kurzbogen "
    "KompositKurzbogen MächtigerKompositKurzbogen Langbogen KompositLangbogen MächtigerKompositLangbogen");

// Classes that know all simple and martial weapons, all simple ones, or (with "S" all
// simple ones too) the weapons named.
const std::set<std::string> kSimpleAndMartial = Names(
    "Barbar Kämpfer Paladin Waldläufer Adeliger Krieger OrderOfTheBow ArkanerBogenschütze SchwarzerRitter Duellant "
    "ZwergischerVerteidiger Psychokrieger Elokator Gedankenschlächter");
const std::set<std::string> kSimpleOnly = Names("Hexenmeister Kleriker Adept Experte Wilder");
const std::map<std::string, const char*> kClassWeapons = {
    {"Barde", "S Langschwert Rapier Totschläger Kurzschwert Kurzbogen Peitsche"},
    {"Druide", "Knüppel Dolch Wurfpfeil Kampfstab Krummsäbel Sichel Kurzspeer Schleuder Speer"},
    {"Magier", "Knüppel Dolch SchwereArmbrust LeichteArmbrust Kampfstab"},
    {"Mönch",
     "Knüppel LeichteArmbrust SchwereArmbrust Dolch Handaxt Wurfspeer Kama Nunchaku Kampfstab Sai Wurfstern Siangham "
     "Schleuder"},
    {"Schurke", "S Handarmbrust Rapier Totschläger Kurzbogen Kurzschwert"},
    {"Gemeiner", "Dolch"},  // one simple weapon: ours is the dagger
    {"Assasin",
     "Handarmbrust LeichteArmbrust SchwereArmbrust Dolch Stoßdolch Wurfpfeil Rapier Totschläger Kurzbogen "
     "KompositKurzbogen MächtigerKompositKurzbogen Kurzschwert"},
    {"Schattentänzer",
     "Knüppel Handarmbrust LeichteArmbrust SchwereArmbrust Dolch Stoßdolch Wurfpfeil LeichterStreitkolben "
     "SchwererStreitkolben Morgenstern Kampfstab Rapier Totschläger Kurzbogen KompositKurzbogen "
     "MächtigerKompositKurzbogen Kurzschwert"},
    {"Psion", "Knüppel Dolch SchwereArmbrust LeichteArmbrust Kampfstab Kurzspeer"},
    {"Seelenmesser", "S Kurzschwert"},  // the mind blade is a short sword
};
// Weapon familiarity: elves know these; dwarves and gnomes treat their own as martial.
const std::set<std::string> kElfWeapons = Names(
    "Langschwert Rapier Langbogen KompositLangbogen MächtigerKompositLangbogen Kurzbogen KompositKurzbogen "
    "MächtigerKompositKurzbogen");
const std::map<std::string, const char*> kFamiliarAsMartial = {{"Zwerg", "Zwergenkriegsaxt Zwergenurgrosch"},
                                                               {"Gnom", "GnomischerHakenhammer"}};

// Prestige classes that teach no weapon; the tables let them share the weapon
// preferences of a base class, so their characters may buy a proficiency feat.
const std::set<std::string> kNoWeapons = Names(
    "ArkanerBetrüger Erzmagier Drachenjünger MystischerRitter Hierophant Horizontwanderer Wissensmeister "
    "MystischerTheurg Thaumaturg Zerebromant Metageist Pyrokinet EntkörperterPsion PsionischeFaust Hörigenhirte "
    "Kriegsgeist");

class Proficiency : public CreationFixture {};

}  // namespace

TEST_F(Proficiency, CharactersCarryOnlyWeaponsTheirClassesOrRaceKnow) {
  Char* c = Wired();
  int weapons = 0, raceLines = 0;
  for (int n = 0; n < 1000; ++n) {
    Preset(c, n % 3 == 0 ? 4 : 0, 1 + n % 20);
    CreateCreature(c, 1);
    bool simple = false, martial = false, borrowing = false;
    std::set<std::string> known;
    std::string classes;
    for (int s = 0; s < c->classCount; ++s) {
      std::string name = gSource.classes[c->classes[s]].name.c_str();
      classes += " " + name;
      borrowing |= kNoWeapons.count(name) > 0;
      simple |= kSimpleAndMartial.count(name) + kSimpleOnly.count(name) > 0;
      martial |= kSimpleAndMartial.count(name) > 0;
      auto k = kClassWeapons.find(name);
      if (k == kClassWeapons.end()) continue;
      std::set<std::string> list = Names(k->second);
      simple |= list.count("S") > 0;
      martial |= list.count("M") > 0;
      known.insert(list.begin(), list.end());
    }
    int race = c->race;
    while (race >= 0 && gSource.races[race].parent >= 0) race = gSource.races[race].parent;
    std::string raceName = race >= 0 ? gSource.races[race].name.c_str() : "";
    if (raceName == "Elf") known.insert(kElfWeapons.begin(), kElfWeapons.end());
    if (martial && kFamiliarAsMartial.count(raceName)) {
      std::set<std::string> own = Names(kFamiliarAsMartial.at(raceName));
      known.insert(own.begin(), own.end());
    }
    // A martial or exotic weapon may come with a feat bought for it; a simple weapon
    // must be on the lists (a class that knows only some simple weapons draws no other).
    auto bought = [&](int equipment) {
      for (int i = 0; i < c->featCount; ++i) {
        std::string f = gSource.feats[c->feats[i]].name.c_str();
        if ((f == "KriegsWaffen" || f == "ExotischeWaffen") && c->featParameters[i] == equipment) return true;
        if (f == "EinfacheWaffen" && borrowing && kSimple.count(gSource.equipment[equipment].name.c_str())) return true;
      }
      return false;
    };
    // The texts of carried items end their line: a race's line that follows starts its own.
    std::string text = Notes(c);
    for (const char* start : {"Orkblut:", "Dämmersicht:"})
      for (size_t at = text.find(start); at != std::string::npos; at = text.find(start, at + 1)) {
        ++raceLines;
        EXPECT_TRUE(at == 0 || text[at - 1] == '\n') << "character " << n << ": " << text.substr(0, at + 12);
      }
    for (int i = 0; i < c->itemCount; ++i) {
      const CharItem& it = c->items[i];
      if (it.equipType != 0 || it.treasure || it.equipment < 0) continue;
      std::string w = gSource.equipment[it.equipment].name.c_str();
      ++weapons;
      bool listed = known.count(w) || (simple && kSimple.count(w)) || (martial && kMartial.count(w));
      EXPECT_TRUE(listed || bought(it.equipment)) << "character " << n << " (" << classes << ") carries " << w;
    }
  }
  EXPECT_GT(weapons, 400);
  EXPECT_GT(raceLines, 20);
}
