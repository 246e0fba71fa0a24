// Hit points of every kind of creature against the dice the rules give it: characters,
// NPC classes, monsters, mixed creatures and companions.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "generator/source_fixture.h"

using namespace debugspace;

namespace {

// Hit die per class and per creature type, typed in from the rules.
const std::map<std::string, int> kClassDie = {
    {"Barbar", 12}, {"Barde", 6}, {"Druide", 8}, {"Hexenmeister", 4}, {"Kämpfer", 10}, {"Kleriker", 8},
    {"Magier", 4}, {"Mönch", 8}, {"Paladin", 10}, {"Schurke", 6}, {"Waldläufer", 8},
    {"Adept", 6}, {"Adeliger", 8}, {"Experte", 6}, {"Gemeiner", 4}, {"Krieger", 8},
    {"ArkanerBogenschütze", 8}, {"ArkanerBetrüger", 4}, {"Erzmagier", 4}, {"Assasin", 6},
    {"SchwarzerRitter", 10}, {"Drachenjünger", 12}, {"Duellant", 10}, {"ZwergischerVerteidiger", 12},
    {"MystischerRitter", 6}, {"Hierophant", 8}, {"Horizontwanderer", 8}, {"Wissensmeister", 4},
    {"MystischerTheurg", 4}, {"Schattentänzer", 8}, {"Thaumaturg", 4},
    {"Psion", 4}, {"Psychokrieger", 8}, {"Seelenmesser", 10}, {"Wilder", 6}, {"Zerebromant", 4},
    {"Elokator", 6}, {"PsionischeFaust", 6}, {"Gedankenschlächter", 8}, {"Metageist", 4},
    {"EntkörperterPsion", 4}, {"Pyrokinet", 8}, {"Hörigenhirte", 4}, {"Kriegsgeist", 10}};
const std::map<std::string, int> kTypeDie = {
    {"Aberration", 8}, {"Animal", 8}, {"Construct", 10}, {"Dragon", 12}, {"Elemental", 8},
    {"Fey", 6}, {"Giant", 8}, {"Humanoid", 8}, {"MagicalBeast", 10}, {"MonstrousHumanoid", 8},
    {"Ooze", 10}, {"Outsider", 8}, {"Plant", 8}, {"Undead", 12}, {"Vermin", 8}};
// A construct's bonus hit points by size.
const std::map<std::string, int> kConstructBonus = {
    {"Small", 10}, {"Medium", 20}, {"Large", 30}, {"Huge", 40}, {"Gargantuan", 60}, {"Colossal", 80}};

class HitPoints : public generator_test::CreationFixture {
 protected:
  static std::string Name(const Char* c, int what) {
    if (what == 0) return gSource.monsters[c->monster].name.c_str();
    return gSource.monsterTypes[gSource.monsters[c->monster].type].name.c_str();
  }
  static int Count(const Char* c, const char* feat) {
    int n = 0;
    for (int i = 0; i < c->featCount; ++i) n += gSource.feats[c->feats[i]].name == feat;
    return n;
  }
  // Most hit points a die of `die` gives with the Constitution modifier (at least 1).
  static int PerDie(int die, const Char* c) { return std::max(die + c->MKO, 1); }
  // Hit points that feats and lore secrets add.
  static int Extra(const Char* c) {
    int secrets = 0;
    std::string text = c->specialText && c->specialText->data ? c->specialText->data : "";
    for (size_t at = text.find("Geheimnis der Gesundheit"); at != std::string::npos;
         at = text.find("Geheimnis der Gesundheit", at + 1))
      ++secrets;
    return 3 * Count(c, "Zähigkeit") + 30 * Count(c, "EpischeZähigkeit") + 3 * secrets;
  }
  // Highest hit points of the class levels in slots [from, classCount); -1 for a class
  // the table above does not know.
  static int ClassMaximum(const Char* c, int from, int* levels) {
    int most = 0;
    *levels = 0;
    for (int s = from; s < c->classCount; ++s) {
      auto die = kClassDie.find(gSource.classes[c->classes[s]].name.c_str());
      most = die == kClassDie.end() || most < 0 ? -1 : most + c->classLevels[s] * PerDie(die->second, c);
      *levels += c->classLevels[s];
    }
    return most;
  }
  // Highest hit points of `dice` racial hit dice of the monster's type.
  static int MonsterMaximum(const Char* c, int dice) {
    int most = dice * PerDie(kTypeDie.at(Name(c, 1)), c);
    if (Name(c, 1) == "Construct") most += kConstructBonus.count(SizeName(c)) ? kConstructBonus.at(SizeName(c)) : 0;
    return most;
  }
  static std::string SizeName(const Char* c) { return gSource.sizes[c->sizeIndex].name.c_str(); }
  // Templates, the epic stat blocks and our psionic body (which follows the psionic
  // ability and the other psionic feats) add hit points of their own; those creatures
  // are held to the lower bound only.
  static bool Bounded(const Char* c) {
    bool templated = c->templateIndex > 0 && !(gSource.templates[c->templateIndex].name == "Keins");
    return !templated && Count(c, "PsionicBody") == 0 && (c->kind == 0 || gSource.monsters[c->monster].epic == 0);
  }
};

}  // namespace

TEST_F(HitPoints, EveryKindOfCreatureStaysWithinItsDice) {
  Char* c = new Char();
  Wire(c);
  std::map<std::string, int> checked;
  for (int n = 0; n < 900; ++n) {
    // Characters, NPC classes, monsters and mixed creatures, CR 1 to 30.
    const int kinds[] = {0, 4, 1, 2, 2, 0};
    int kind = kinds[n % 6], cr = 1 + (n / 6) % 30;
    Preset(c, kind, cr);
    CreateCreature(c, 1);
    std::string who = "creature " + std::to_string(n);
    int hp = c->shownHitPoints, levels = 0;
    // Every hit die gives at least 1 hit point.
    if (kind == 0 || kind == 4) {
      int most = ClassMaximum(c, 0, &levels);
      EXPECT_GE(hp, levels) << who;
      if (most >= 0 && Bounded(c)) {
        EXPECT_LE(hp, most + Extra(c)) << who;
        ++checked[kind == 0 ? "characters" : "NPC classes"];
      }
    } else if (c->mixed) {
      // The class part's slots follow the monster's own (a casting monster's).
      int most = ClassMaximum(c, c->classCount - part_->classCount, &levels);
      int partLevels = 0;
      for (int s = 0; s < part_->classCount; ++s) partLevels += part_->classLevels[s];
      EXPECT_EQ(levels, partLevels) << who;
      int dice = c->Level - levels;
      EXPECT_GE(hp, c->Level) << who << " " << Name(c, 0);
      if (most >= 0 && Bounded(c)) {
        // The monster's own hit dice lie within its advancement.
        const MonsterSource& row = gSource.monsters[c->monster];
        EXPECT_GE(dice, std::max(row.hd, 1)) << who << " " << Name(c, 0);
        EXPECT_LE(dice, std::max(row.hdMax, std::max(row.hd, 1))) << who << " " << Name(c, 0);
        EXPECT_LE(hp, MonsterMaximum(c, dice) + most + Extra(c)) << who << " " << Name(c, 0);
        ++checked["mixed"];
      }
    } else {
      EXPECT_GE(hp, c->Level) << who << " " << Name(c, 0);
      if (Bounded(c)) {
        EXPECT_LE(hp, MonsterMaximum(c, c->Level) + Extra(c)) << who << " " << Name(c, 0);
        ++checked["monsters"];
      }
    }
    // Companions are monsters; the familiar has at least half its master's hit points.
    for (int k = 0; k <= c->companionCount; ++k) {
      const Char* a = k < c->companionCount ? c->companionChars[k] : c->mountChar;
      if (!a) continue;
      EXPECT_GE(a->shownHitPoints, a->Level) << who << " companion";
      if (!Bounded(a)) continue;
      EXPECT_LE(a->shownHitPoints, MonsterMaximum(a, a->Level) + Extra(a)) << who << " companion";
      ++checked["companions"];
    }
    if (const Char* f = c->familiarChar) {
      int own = f->hitPoints + f->TP;
      EXPECT_GE(own, f->Level) << who << " familiar";
      EXPECT_LE(own, MonsterMaximum(f, f->Level) + Extra(f)) << who << " familiar";
      EXPECT_EQ(f->shownHitPoints, std::max(own, hp / 2)) << who << " familiar";
      checked["familiars"] += own < hp / 2;
    }
  }
  for (const char* kind : {"characters", "NPC classes", "monsters", "mixed", "companions", "familiars"}) {
    EXPECT_GE(checked[kind], 5) << kind;
  }
  FreeCharBonuses(c);
  delete c;
}
