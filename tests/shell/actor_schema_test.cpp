// Tabletop actors: every actor of a corpus of every kind, companions included, under both rule
// sets keeps to the actor schema (checked by Debian's JSON Schema validator), and the figures the
// tabletop takes or derives from it are the sheet's.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "generator/details.h"
#include "shell/actor.h"
#include "shell/figures.h"
#include "shell/sheet_fixture.h"

using namespace debugspace;
using nlohmann::json;

namespace {

const std::string kTests = SCHMIEDE_SOURCE_DIR "/tests/";

// The validator's exit code and report for the files; a missing interpreter or module fails.
std::pair<int, std::string> Validate(const std::string& dir, const std::vector<std::string>& files) {
  std::string command = "/usr/bin/python3 '" + kTests + "tools/validate_actors.py' '" + kTests;
  command += "data/actor.schema.json'";
  for (const std::string& f : files) command += " '" + f + "'";
  int status = std::system((command + " > '" + dir + "/report' 2>&1 < /dev/null").c_str());
  std::stringstream report;
  report << std::ifstream(dir + "/report").rdbuf();
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, report.str()};
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

int Int(const std::string& text, const std::string& pattern, int group = 1) {
  std::smatch m;
  return std::regex_search(text, m, std::regex(pattern)) ? std::stoi(m.str(group)) : -9999;
}

// "name=value|..." as a map; a name not in it reads as "?".
struct Table : std::map<std::string, std::string> {
  explicit Table(const std::string& text) {
    std::istringstream in(text);
    for (std::string e; std::getline(in, e, '|');) emplace(e.substr(0, e.find('=')), e.substr(e.find('=') + 1));
  }
  std::string operator()(const std::string& name) const { return count(name) ? at(name) : "?"; }
};
// The tabletop's skill keys by the rule book's skill names; its sizes and alignments by the sheet's.
const Table kSkillKeys(
    "Appraise=apr|Balance=blc|Bluff=blf|Climb=clm|Concentration=coc|Craft=crf|Decipher Script=dsc|Diplomacy=dip|"
    "Disable Device=dev|Disguise=dis|Escape Artist=esc|Forgery=fog|Gather Information=gif|Handle Animal=han|Heal=hea|"
    "Hide=hid|Intimidate=int|Jump=jmp|Knowledge (arcana)=kar|Knowledge (architecture and engineering)=ken|"
    "Knowledge (dungeoneering)=kdu|Knowledge (geography)=kge|Knowledge (history)=khi|Knowledge (local)=klo|"
    "Knowledge (nature)=kna|Knowledge (nobility and royalty)=kno|Knowledge (religion)=kre|Knowledge (the planes)=kpl|"
    "Knowledge (psionics)=kps|Listen=lis|Move Silently=mos|Open Lock=opl|Perform=prf|Profession=pro|Ride=rid|"
    "Search=src|Sense Motive=sen|Sleight of Hand=slt|Speak Language=spk|Spellcraft=spl|Spot=spt|Survival=sur|"
    "Swim=swm|Tumble=tmb|Use Magic Device=umd|Use Rope=uro|Autohypnosis=aut|Psicraft=psi|Use Psionic Device=upd");
const Table kSizes(
    "fein=fine|winzig=dim|sehr klein=tiny|klein=sm|mittelgroß=med|groß=lg|riesig=huge|gigantisch=grg|"
    "kolossal=col");
const Table kAlignments(
    "Rechtschaffen gut=Lawful Good|Neutral gut=Neutral Good|Chaotisch gut=Chaotic Good|Rechtschaffen neutral=Lawful "
    "Neutral|Neutral=True Neutral|Chaotisch neutral=Chaotic Neutral|Rechtschaffen böse=Lawful Evil|Neutral "
    "böse=Neutral Evil|Chaotisch böse=Chaotic Evil");

const std::map<std::string, int> kSizeModifier = {{"fine", 8}, {"dim", 4},   {"tiny", 2}, {"sm", 1},  {"med", 0},
                                                  {"lg", -1},  {"huge", -2}, {"grg", -4}, {"col", -8}};

// What the tabletop derives from a progression over `levels`: base attack and base saves.
int Attack(const std::string& p, int levels) { return p == "high" ? levels : p == "med" ? levels * 3 / 4 : levels / 2; }
int Save(const std::string& p, int levels) {
  return p == "high" ? 2 + levels / 2 : p == "med" ? 1 + levels * 2 / 5 : p == "low" ? levels / 3 : 0;
}

// The actor's figures against the creature's own sheet (a copy: a missing key reads as null).
std::string Compare(json actor, const std::string& sheet, const Char* c) {
  std::ostringstream faults;
  auto same = [&](const std::string& what, double onSheet, const json& inActor) {
    if (!inActor.is_number() || inActor.get<double>() != onSheet)
      faults << what << ": sheet " << onSheet << ", actor " << inActor << "\n";
  };
  json& s = actor["system"];
  const char* labels[6] = {"St", "Ge", "Ko", "In", "We", "Ch"};
  const char* keys[6] = {"str", "dex", "con", "int", "wis", "cha"};
  for (int a = 0; a < 6; ++a)
    same(labels[a], Int(sheet, std::string("│ ") + labels[a] + R"(: +(-?\d+) )"), s["abilities"][keys[a]]["value"]);
  for (const char* hp : {"value", "max"})
    same("Trefferpunkte", Int(sheet, R"(Trefferpunkte: (-?\d+))"), s["attributes"]["hp"][hp]);
  same("HG", Int(sheet, R"(HG: +(\d+))"), s["details"]["cr"]);
  std::string head;  // the head's rows joined (it wraps in its cell); the size ends it, before a template
  std::istringstream rows(sheet.substr(0, sheet.find("┼")));
  for (std::string row; std::getline(rows, row);)
    if (row.rfind("│ ", 0) == 0) head += " " + row.substr(4, row.find("│", 4) - 4);
  std::smatch m;
  head = std::regex_replace(head + " ", std::regex(" +"), " ");
  std::string size = std::regex_search(head, m, std::regex(", ([a-zß ]+?) (?:- |$)")) ? m.str(1) : "?";
  if (s["traits"]["size"] != kSizes(size))
    faults << "Größe: sheet " << size << ", actor " << s["traits"]["size"] << "\n";
  if (std::regex_search(sheet, m, std::regex("│ Gesinnung: ([^│]*?) *│")) &&
      s["details"]["alignment"] != kAlignments(m.str(1)))
    faults << "Gesinnung: sheet " << m.str(1) << ", actor " << s["details"]["alignment"] << "\n";
  // Base attack and base saves as the tabletop sums them over the class items, plus "base" changes.
  int attack = 0, saves[3] = {}, levels = 0;
  const char* save[3] = {"ref", "will", "fort"};
  std::map<std::string, bool> classSkill;
  for (json& item : actor["items"]) {
    json& d = item["system"];
    for (json& change : d["changes"]) {
      std::string value = change[0].is_string() ? change[0].get<std::string>() : "";
      if (change[3] != "base" || value.empty() || value.find_first_not_of("-0123456789") != std::string::npos) continue;
      if (change[2] == "babattack") attack += std::stoi(value);
      for (int i = 0; i < 3; ++i)
        if (change[2] == save[i] || change[2] == "allSavingThrows") saves[i] += std::stoi(value);
    }
    if (item["type"] != "class") continue;
    for (const auto& [skill, on] : d["classSkills"].items()) classSkill[skill] |= on == true;
    if (d["classType"] == "template") continue;
    int n = d["levels"];
    levels += d["classType"] == "base" || d["classType"] == "prestige" ? n : 0;
    attack += Attack(d["bab"], n);
    for (int i = 0; i < 3; ++i) saves[i] += Save(d["savingThrows"][save[i]]["value"], n);
  }
  // Beyond 20 class levels the tabletop splits off epic bonuses in its own way.
  if (levels <= 20) {
    same("Grundangriffsbonus", Int(sheet, R"(Grundangriffsbonus: (-?\d+))"), attack);
    const char* saveNames[3] = {"Reflex", "Wille", "Zähigkeit"};
    for (int i = 0; i < 3; ++i)
      same(std::string("Grundbonus ") + saveNames[i],
           Int(sheet, std::string("│ ") + saveNames[i] + R"( +-?\d+ +(-?\d+) )"), saves[i]);
  }
  // Armour class as the tabletop sums it: worn armour and shield, Dexterity up to the armour's limit, size,
  // natural armour and the armour class changes of feats, classes and worn items.
  int armour = 10 + kSizeModifier.at(s["traits"]["size"]) + s["attributes"]["naturalAC"].get<int>(), maxDex = 99;
  for (json& item : actor["items"]) {
    json& d = item["system"];
    bool worn = d["equipped"] == true;
    if (item["type"] == "equipment" && worn && d["equipmentType"] != "misc") {
      armour += d["armor"]["value"].get<int>() + d["armor"]["enh"].get<int>();
      if (d["armor"]["dex"].is_number()) maxDex = std::min(maxDex, d["armor"]["dex"].get<int>());
    }
    if (item["type"] == "feat" || item["type"] == "class" || worn)
      for (json& change : d["changes"])
        if (change[1] == "ac") armour += std::stoi(change[0].get<std::string>());
  }
  int dex = s["abilities"]["dex"]["value"].get<int>() - 10;
  same("RK", Int(sheet, R"(│ RK +(-?\d+) = 10)"), armour + std::min(dex < 0 ? (dex - 1) / 2 : dex / 2, maxDex));
  // Skill ranks, one sheet row per skill entry: the tabletop counts skill points, cross-class ones halved.
  std::string table = sheet.substr(sheet.find("│ Fertigkeiten:"));
  static const std::regex kRow(R"(\n│   .*? +-?\d+ = ?(\d+)\.([05]) \+)");
  std::sregex_iterator row(table.begin(), table.end(), kRow), end;
  for (int k = 0; k < c->skillCount; ++k, ++row) {
    int skill = c->skills[k].skill;
    if (skill < 0 || skill >= gSource.skillCount) continue;  // an entry naming no skill has no key to compare
    std::string label = SkillLabel(c, k), subject = SkillSubject(c, k), srd = SrdName(gSource.skills[skill]);
    if (row == end || kSkillKeys(srd) == "?") {
      faults << "skill " << label << " (" << srd << ") not found\n";
      break;
    }
    std::string key = kSkillKeys(srd);
    json entry = s["skills"][key];
    if (!subject.empty() && (key == "crf" || key == "prf" || key == "pro"))  // a speciality, found by its subject
      for (auto& [sub, v] : s["skills"][key]["subSkills"].items())
        entry = v["name"].get<std::string>().find(subject) != std::string::npos ? v : entry;
    double rank = entry.is_object() ? entry.value("rank", 0.0) : -99;  // a missing skill fails below
    same("Ränge " + label, std::stoi(row->str(1)) + ((*row)[2] == "5" ? 0.5 : 0), classSkill[key] ? rank : rank / 2);
  }
  return faults.str();
}

// The notes name the other creature; a companion's says whose it is.
bool Names(const json& actor, const json& other, const std::string& before = "") {
  return actor["system"]["details"]["notes"]["value"].get<std::string>().find(
             before + other["name"].get<std::string>()) != std::string::npos;
}

std::vector<std::string> RecordFields(const std::string& line) {
  std::vector<std::string> f;
  std::istringstream in(line.substr(line.find('=') + 1));
  for (std::string x; std::getline(in, x, ',');) f.push_back(x);
  return f;
}

// What the actor must hold by the export: the dice of each weapon and natural attack, and
// every skill's (ranks, total).
std::string CompareRecords(const std::vector<std::string>& records, const json& actor) {
  std::ostringstream faults;
  const json& system = actor["system"];
  std::vector<std::string> weaponDice, naturalDice;
  std::vector<std::pair<int, int>> skills;
  bool treasure = false, ownWeapon = false;
  int primaryRows = 0, equalPrimary = 0;
  for (const std::string& r : records) {
    std::vector<std::string> f = RecordFields(r);
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

class ActorSchemaTest : public shell_test::SheetFixture {
 protected:
  void SetUp() override {
    SheetFixture::SetUp();
    char pattern[] = "/tmp/schmiede-actors-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_EQ(std::system("/usr/bin/python3 -c 'import jsonschema' > /dev/null 2>&1 < /dev/null"), 0)
        << "/usr/bin/python3 with Debian's jsonschema module is needed: run scripts/install-prereqs.sh";
  }
  void TearDown() override {
    EXPECT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0);
    SheetFixture::TearDown();
  }
  std::string dir_;
};

// The actor of every creature and companion of a corpus: valid, with the sheet's figures and the
// export's attacks and skills.
TEST_F(ActorSchemaTest, EveryActorKeepsToTheSchemaAndShowsTheSheetsFigures) {
  const int kinds[] = {0, 1, 2, 4, -1};
  std::vector<std::string> files;
  for (RuleSet rules : {kRulesOwn, kRulesSrd35}) {
    UseRules(rules);
    for (int n = 0; n < 200; ++n) {
      Preset(c_, kinds[n % 5], (n / 5) % 26);
      CreateCreature(c_, 1);
      std::vector<Char*> creatures = shell_test::WithCompanions(c_);
      std::string batch = ActorsJson({c_}), name = dir_ + "/" + std::to_string(rules) + "-" + std::to_string(n);
      json actors = json::parse(batch);
      ASSERT_EQ(actors.size(), creatures.size()) << name;
      for (size_t i = 1; i < actors.size(); ++i)  // master and companion name each other in their notes
        EXPECT_TRUE(Names(actors[0], actors[i]) && Names(actors[i], actors[0], "of: ")) << name << " actor " << i;
      Write(name + ".json", batch);
      files.push_back(name + ".json");
      std::vector<std::string> own = n % 10 ? std::vector<std::string>() : ActorFiles(c_);  // a creature's screen
      for (size_t i = 0; i < own.size(); ++i) {
        files.push_back(name + "-" + std::to_string(i) + ".json");
        Write(files.back(), own[i]);
      }
      for (size_t k = 0; k < creatures.size(); ++k) {
        json actor = json::parse(ActorJson(creatures[k]));
        EXPECT_EQ(Compare(actor, OwnSheet(creatures[k]), creatures[k]), "")
            << name << " " << CreatureHead(creatures[k]);
        EXPECT_EQ(CompareRecords(shell_test::Own(shell_test::Lines(generator_test::Export(creatures[k]))),
                                 k ? actors[k] : actor),
                  "")
            << name << "/" << k;
      }
    }
  }
  for (int n = 0; n < 40; ++n) {  // hoards carry no sheet of a creature: their records alone
    UseRules(n % 2 ? kRulesSrd35 : kRulesOwn);
    Preset(c_, 3, n % 21);
    CreateCreature(c_, 1);
    EXPECT_EQ(
        CompareRecords(shell_test::Own(shell_test::Lines(generator_test::Export(c_))), json::parse(ActorJson(c_))), "")
        << "hoard " << n;
  }
  // Hand-made actors: the examples pass, three broken ones fail with their fault.
  json examples = json::parse(std::ifstream(kTests + "data/actor_examples.json"));
  json fighter = examples[0], troll = examples[1], dice = examples[1];
  fighter["data"] = fighter["system"];  // the older envelope's key
  fighter.erase("system");
  troll["items"].back()["system"]["attacks"]["attack2"]["id"] = "tAttackMissing01";
  dice["items"][5]["system"]["damage"]["parts"][0][0] = "1W6";  // German dice
  for (const auto& [file, actor] :
       {std::pair<std::string, json>{"good", examples}, {"envelope", fighter}, {"reference", troll}, {"dice", dice}})
    Write(dir_ + "/" + file + ".json", actor.dump()), files.push_back(dir_ + "/" + file + ".json");
  auto [status, report] = Validate(dir_, files);
  EXPECT_EQ(status, 1) << report.substr(0, 20000);
  for (const std::string& fault : {std::string("envelope.json: $: 'system' is a required property"),
                                   std::string("dice.json: $.items[5].system.damage"),
                                   std::string("reference.json: $.items[7].system.attacks.attack2.id"),
                                   std::to_string(files.size() - 3) + " passed, 3 failed"})
    EXPECT_NE(report.find(fault), std::string::npos) << fault << "\n" << report.substr(0, 20000);
}

}  // namespace
