// The tabletop actors read back: abilities, hit points, attacks and skill ranks against the
// creature's export records, for every kind and every companion under both rule sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "shell/actor.h"
#include "shell/sheet_fixture.h"

using namespace debugspace;
using nlohmann::json;

namespace {

// The creature's own export records: its companions' follow nested after them.
std::vector<std::string> OwnRecords(Char* c) {
  std::vector<std::string> lines;
  std::istringstream in(shell_test::ExportText(c));
  for (std::string line; std::getline(in, line);) {
    for (const char* nested : {"STARTFAMILIAR", "STARTMOUNT", "STARTSERVANT", "STARTCOMPANION"})
      if (line.rfind(nested, 0) == 0) return lines;
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> f;
  std::istringstream in(line.substr(line.find('=') + 1));
  for (std::string x; std::getline(in, x, ',');) f.push_back(x);
  return f;
}

// What the actor must hold by the export: abilities, hit points, the dice of each weapon
// and natural attack, and every skill's (ranks, total).
std::string Compare(const std::vector<std::string>& records, const json& actor) {
  std::ostringstream faults;
  const json& system = actor["system"];
  const char* abilities[] = {"str", "dex", "con", "int", "wis", "cha"};
  std::vector<std::string> weaponDice, naturalDice;
  std::vector<std::pair<int, int>> skills;
  bool treasure = false, ownWeapon = false;
  int primaryRows = 0, equalPrimary = 0;
  for (const std::string& r : records) {
    std::vector<std::string> f = Fields(r);
    if (r.rfind("ATTRIBUTE=", 0) == 0 && system["abilities"][abilities[std::stoi(f[0])]]["value"] != std::stoi(f[1]))
      faults << r << " vs " << system["abilities"][abilities[std::stoi(f[0])]] << "\n";
    if (r.rfind("TP=", 0) == 0 && (system["attributes"]["hp"]["value"] != std::stoi(f[0]) ||
                                   system["attributes"]["hp"]["max"] != std::stoi(f[0])))
      faults << r << " vs " << system["attributes"]["hp"] << "\n";
    if (r.rfind("EQUIPSTART=", 0) == 0 || r.rfind("TREASURESTART=", 0) == 0) treasure = r[0] == 'T';
    if (r.rfind("EQUIPMENT=", 0) == 0) ownWeapon = !treasure && f[0] == "0" && f[3] == "0";
    if (r.rfind("EQUIPATTACK=", 0) == 0 && ownWeapon) weaponDice.push_back(f[1] + "d" + f[2]);
    if (r.rfind("MONKDAMAGE=", 0) == 0) weaponDice.push_back(f[0] + "d" + f[1]);
    if (r.rfind("MONSTERATTACK=", 0) == 0) {
      // i, category, "name", dice, die, bonus, then the attack bonuses ("+9:,+4" or "n * b").
      std::string dice = f[3] != "0" && f[4] != "0" ? f[3] + "d" + f[4] : "";
      std::vector<std::string> bonuses(f.begin() + 6, f.end());
      for (std::string& b : bonuses) b.erase(std::remove(b.begin(), b.end(), ':'), b.end());
      bool equal = bonuses.size() > 1 && std::count(bonuses.begin(), bonuses.end(), bonuses[0]) == (long)bonuses.size();
      int count = bonuses.size() == 1 && bonuses[0].find(" * ") != std::string::npos ? std::stoi(bonuses[0])
                  : equal                                                            ? (int)bonuses.size()
                                                                                     : 1;
      bool primary = f[1].rfind("Primär", 0) == 0;
      primaryRows += primary;
      if (primary) equalPrimary = count;
      naturalDice.push_back(dice);
    }
    if (r.rfind("SKILL=", 0) == 0) skills.emplace_back(std::stoi(f[3]), std::stoi(f[2]));
  }
  // A lone primary row of equal attacks is one item per attack.
  if (primaryRows == 1 && equalPrimary > 1 && naturalDice.size() == 1)
    naturalDice.assign((size_t)equalPrimary, naturalDice[0]);
  std::vector<std::string> actorWeapons, actorNaturals;
  json classSkills = json::object();
  for (const json& item : actor["items"]) {
    if (item["type"] == "class") classSkills.update(item["system"]["classSkills"]);
    if (item["type"] != "attack") continue;
    const json& parts = item["system"]["damage"]["parts"];
    std::string dice = parts.empty() ? "" : parts[0][0].get<std::string>();
    (item["system"].contains("originalWeaponId") || item["name"] == "Unarmed Strike" ? actorWeapons : actorNaturals)
        .push_back(dice);
  }
  // The unarmed strike may stand before or after the weapons.
  std::sort(actorWeapons.begin(), actorWeapons.end());
  std::sort(weaponDice.begin(), weaponDice.end());
  if (actorWeapons != weaponDice)
    faults << "weapon attacks " << json(actorWeapons) << " vs " << json(weaponDice) << "\n";
  if (actorNaturals != naturalDice)
    faults << "natural attacks " << json(actorNaturals) << " vs " << json(naturalDice) << "\n";
  std::vector<std::pair<int, int>> actorSkills;
  auto add = [&](const std::string& key, const json& s) {
    int rank = s["rank"].get<int>();
    if (rank) actorSkills.emplace_back(classSkills.value(key, false) ? rank : rank / 2, s["mod"].get<int>());
  };
  for (const auto& [key, s] : system["skills"].items()) {
    add(key, s);
    if (s.contains("subSkills"))
      for (const auto& [sub, t] : s["subSkills"].items()) add(key, t);
  }
  skills.erase(std::remove_if(skills.begin(), skills.end(), [](const auto& s) { return s.first == 0; }), skills.end());
  std::sort(skills.begin(), skills.end());
  std::sort(actorSkills.begin(), actorSkills.end());
  if (skills != actorSkills) faults << "skills differ: " << json(actorSkills) << " vs " << json(skills) << "\n";
  return faults.str();
}

class ActorTest : public shell_test::SheetFixture {};

TEST_F(ActorTest, ActorsReadBackAsTheExportForEveryKindAndCompanionUnderBothRuleSets) {
  const int kinds[] = {0, 1, 2, 3, 4, -1};
  int compared = 0, companions = 0;
  for (RuleSet rules : {kRulesOwn, kRulesSrd35}) {
    UseRules(rules);
    for (int n = 0; n < 120; ++n) {
      Preset(c_, kinds[n % 6], (n / 6) % 21);
      CreateCreature(c_, 1);
      std::vector<Char*> creatures = {c_, c_->familiarChar, c_->mountChar, c_->servantChar};
      for (int i = 0; i < c_->companionCount; ++i) creatures.push_back(c_->companionChars[i]);
      creatures.erase(std::remove(creatures.begin(), creatures.end(), nullptr), creatures.end());
      json batch = json::parse(ActorsJson({c_}));
      ASSERT_EQ(batch.size(), creatures.size()) << "rules " << rules << " creature " << n;
      for (size_t k = 0; k < creatures.size(); ++k) {
        json actor = json::parse(k ? batch[k].dump() : ActorJson(creatures[k]));
        EXPECT_EQ(Compare(OwnRecords(creatures[k]), actor), "") << "rules " << rules << " creature " << n << "/" << k;
        // A companion and its master name each other in their notes.
        if (k) {
          std::string master = batch[0]["system"]["details"]["notes"]["value"];
          std::string own = batch[k]["system"]["details"]["notes"]["value"];
          EXPECT_NE(master.find(batch[k]["name"].get<std::string>()), std::string::npos);
          EXPECT_NE(own.find("of: " + batch[0]["name"].get<std::string>()), std::string::npos);
          ++companions;
        }
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 240);
  EXPECT_GT(companions, 10);
}

}  // namespace
