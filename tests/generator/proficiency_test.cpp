// Weapon proficiencies of finished characters against the class lists of the rules, and
// the line ends of their item texts.
#include <map>
#include <set>
#include <string>

#include "generator/source_fixture.h"

using namespace debugspace;
using namespace generator_test;

namespace {

const std::set<std::string> kSimple = {"Kampfhandschuh",
                                       "Dolch",
                                       "Stoßdolch",
                                       "Stachelhandschuh",
                                       "LeichterStreitkolben",
                                       "Sichel",
                                       "Knüppel",
                                       "SchwererStreitkolben",
                                       "Morgenstern",
                                       "Kurzspeer",
                                       "Langspeer",
                                       "Kampfstab",
                                       "Speer",
                                       "SchwereArmbrust",
                                       "LeichteArmbrust",
                                       "Wurfpfeil",
                                       "Wurfspeer",
                                       "Schleuder"};
const std::set<std::string> kMartial = {"Wurfaxt",
                                        "LeichterHammer",
                                        "Handaxt",
                                        "Kukri",
                                        "LeichteSpitzhacke",
                                        "Totschläger",
                                        "LeichterStachelschild",
                                        "Kurzschwert",
                                        "Streitaxt",
                                        "Flegel",
                                        "Langschwert",
                                        "SchwereSpitzhacke",
                                        "SchwererStachelschild",
                                        "Rapier",
                                        "Krummsäbel",
                                        "Dreizack",
                                        "Kriegshammer",
                                        "Falchion",
                                        "Glefe",
                                        "Zweihandaxt",
                                        "Kriegskeule",
                                        "SchwererFlegel",
                                        "Zweihänder",
                                        "Rossschinder",
                                        "Hellebarde",
                                        "Lanze",
                                        "Runka",
                                        "Sense",
                                        "Kurzbogen",
                                        "KompositKurzbogen",
                                        "MächtigerKompositKurzbogen",
                                        "Langbogen",
                                        "KompositLangbogen",
                                        "MächtigerKompositLangbogen"};

// Per class: "S" all simple, "M" all martial weapons, then single weapons.
const std::map<std::string, std::set<std::string>> kClassWeapons = {
    {"Barbar", {"S", "M"}},
    {"Barde", {"S", "Langschwert", "Rapier", "Totschläger", "Kurzschwert", "Kurzbogen", "Peitsche"}},
    {"Druide",
     {"Knüppel", "Dolch", "Wurfpfeil", "Kampfstab", "Krummsäbel", "Sichel", "Kurzspeer", "Schleuder", "Speer"}},
    {"Hexenmeister", {"S"}},
    {"Kämpfer", {"S", "M"}},
    {"Kleriker", {"S"}},
    {"Magier", {"Knüppel", "Dolch", "SchwereArmbrust", "LeichteArmbrust", "Kampfstab"}},
    {"Mönch",
     {"Knüppel", "LeichteArmbrust", "SchwereArmbrust", "Dolch", "Handaxt", "Wurfspeer", "Kama", "Nunchaku", "Kampfstab",
      "Sai", "Wurfstern", "Siangham", "Schleuder"}},
    {"Paladin", {"S", "M"}},
    {"Schurke", {"S", "Handarmbrust", "Rapier", "Totschläger", "Kurzbogen", "Kurzschwert"}},
    {"Waldläufer", {"S", "M"}},
    {"Adept", {"S"}},
    {"Adeliger", {"S", "M"}},
    {"Experte", {"S"}},
    {"Gemeiner", {"Dolch"}},  // one simple weapon: ours is the dagger
    {"Krieger", {"S", "M"}},
    {"Assasin",
     {"Handarmbrust", "LeichteArmbrust", "SchwereArmbrust", "Dolch", "Stoßdolch", "Wurfpfeil", "Rapier", "Totschläger",
      "Kurzbogen", "KompositKurzbogen", "MächtigerKompositKurzbogen", "Kurzschwert"}},
    {"OrderOfTheBow", {"S", "M"}},
    {"ArkanerBogenschütze", {"S", "M"}},
    {"SchwarzerRitter", {"S", "M"}},
    {"Duellant", {"S", "M"}},
    {"ZwergischerVerteidiger", {"S", "M"}},
    {"Schattentänzer",
     {"Knüppel", "Handarmbrust", "LeichteArmbrust", "SchwereArmbrust", "Dolch", "Stoßdolch", "Wurfpfeil",
      "LeichterStreitkolben", "SchwererStreitkolben", "Morgenstern", "Kampfstab", "Rapier", "Totschläger", "Kurzbogen",
      "KompositKurzbogen", "MächtigerKompositKurzbogen", "Kurzschwert"}},
    {"Psion", {"Knüppel", "Dolch", "SchwereArmbrust", "LeichteArmbrust", "Kampfstab", "Kurzspeer"}},
    {"Psychokrieger", {"S", "M"}},
    {"Seelenmesser", {"S", "Kurzschwert"}},  // the mind blade is a short sword
    {"Wilder", {"S"}},
    {"Elokator", {"S", "M"}},
    {"Gedankenschlächter", {"S", "M"}},
};
// Weapon familiarity: elves know these; dwarves and gnomes treat their own as martial.
const std::set<std::string> kElfWeapons = {"Langschwert",
                                           "Rapier",
                                           "Langbogen",
                                           "KompositLangbogen",
                                           "MächtigerKompositLangbogen",
                                           "Kurzbogen",
                                           "KompositKurzbogen",
                                           "MächtigerKompositKurzbogen"};
const std::map<std::string, std::set<std::string>> kFamiliarAsMartial = {
    {"Zwerg", {"Zwergenkriegsaxt", "Zwergenurgrosch"}}, {"Gnom", {"GnomischerHakenhammer"}}};

// Prestige classes that teach no weapon; the tables let them share the weapon
// preferences of a base class, so their characters may buy a proficiency feat.
const std::set<std::string> kNoWeapons = {"ArkanerBetrüger",   "Erzmagier",        "Drachenjünger",  "MystischerRitter",
                                          "Hierophant",        "Horizontwanderer", "Wissensmeister", "MystischerTheurg",
                                          "Thaumaturg",        "Zerebromant",      "Metageist",      "Pyrokinet",
                                          "EntkörperterPsion", "PsionischeFaust",  "Hörigenhirte",   "Kriegsgeist"};

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
    for (int s = 0; s < c->classCount; ++s) {
      borrowing |= kNoWeapons.count(gSource.classes[c->classes[s]].name.c_str()) > 0;
      auto k = kClassWeapons.find(gSource.classes[c->classes[s]].name.c_str());
      if (k == kClassWeapons.end()) continue;
      simple |= k->second.count("S") > 0;
      martial |= k->second.count("M") > 0;
      known.insert(k->second.begin(), k->second.end());
    }
    int race = c->race;
    while (race >= 0 && gSource.races[race].parent >= 0) race = gSource.races[race].parent;
    std::string raceName = race >= 0 ? gSource.races[race].name.c_str() : "";
    if (raceName == "Elf") known.insert(kElfWeapons.begin(), kElfWeapons.end());
    if (martial && kFamiliarAsMartial.count(raceName))
      known.insert(kFamiliarAsMartial.at(raceName).begin(), kFamiliarAsMartial.at(raceName).end());
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
      std::string classes;
      for (int s = 0; s < c->classCount; ++s) classes += std::string(" ") + gSource.classes[c->classes[s]].name.c_str();
      EXPECT_TRUE(listed || bought(it.equipment)) << "character " << n << " (" << classes << ") carries " << w;
    }
  }
  EXPECT_GT(weapons, 400);
  EXPECT_GT(raceLines, 20);
}
