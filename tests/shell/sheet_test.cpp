// The sheet and the export of fixed-seed creatures of every kind: the export's records in
// the order of its table, every kind of record, the sheet's marks, colours and nesting;
// and what debug output shows of the equipment choice.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "generator/source_fixture.h"
#include "platform/console.h"
#include "shell/figures.h"
#include "shell/sheet.h"
#include "shell/sheet_fixture.h"
#include "source/reader.h"
#include "text_util.h"

using namespace debugspace;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// The export's records, row by row of its table; records of one row may alternate.
const std::vector<std::vector<std::string>> kRows = [] {
  std::vector<std::vector<std::string>> rows;
  std::stringstream in(
      "STARTCHARACTER|TYPE MONSTER RACE SIZE|TEMPLATE|TW CR SPELLFAILURE|CLASS|SPECIALIZED|FORBIDDEN|DOMAIN|"
      "ATTRIBUTE|TP|GA|BREAKSR|SPEED|SR|ATTACKS|ATTACKSOPP|ARMORMALUS|INITIATIVE|ATTACKSMONK MONKDAMAGE|GAMELEE|"
      "GARANGE|RWREF RWWIL RWFORT|RK|FEATCOUNT|FEAT|SKILLS SKILLPOINTS|SKILL|ATTACKTYPES|MONSTERATTACK|"
      "EQUIPSTART TREASURESTART|EQUIPEFFECT|EQUIPMATERIAL|EQUIPMENT|EQUIPWEAPON|EQUIPBASE|ATTACKSECOND|MAXSTR|"
      "EQUIPATTACK|EQUIPARMOR|EQUIPARROWS|EQUIPSHIELD|NOSHIELD|EQUIPDESC|EQUIPEND|MONEY|PSIPOINTS PSIDISCIPLE|"
      "PSIKNOWN|PSI|SPELLSKNOWN|SPELL|STARTCHARTEXT|STARTFAMILIAR|STARTMOUNT|STARTSERVANT|STARTCOMPANION|"
      "ENDCHARACTER");
  for (std::string row; std::getline(in, row, '|');) {
    std::stringstream keys(row);
    rows.emplace_back(std::istream_iterator<std::string>(keys), std::istream_iterator<std::string>());
  }
  return rows;
}();

int RowOf(const std::string& key) {
  for (size_t r = 0; r < kRows.size(); ++r)
    for (const std::string& k : kRows[r])
      if (k == key) return (int)r;
  return -1;
}

// Checks one creature from its STARTCHARACTER line on and returns the line after its
// ENDCHARACTER (the end on a fault). An item block repeats as a whole; a text block's
// lines are free text; a companion's block is a creature of its own.
size_t CheckCreature(const std::vector<std::string>& lines, size_t at, std::set<std::string>& seen) {
  int last = -1;
  for (size_t i = at; i < lines.size(); ++i) {
    std::string key = lines[i].substr(0, lines[i].find('='));
    if (key.empty()) continue;  // the empty line after a long row of equal attacks
    int row = RowOf(key);
    bool nextItem = row == RowOf("EQUIPSTART") && last == RowOf("EQUIPEND");
    if (row < 0 || (row < last && !nextItem)) {
      ADD_FAILURE() << lines[i] << " after " << lines[i - 1];
      return lines.size();
    }
    seen.insert(key);
    last = row;
    if (key == "ENDCHARACTER") return i + 1;
    if (key == "STARTCHARTEXT") {
      while (i < lines.size() && lines[i] != "CHARTEXTEND") ++i;
    } else if (key != "STARTCHARACTER" && key.rfind("START", 0) == 0 && key.find("START", 1) == std::string::npos &&
               row > RowOf("STARTCHARTEXT")) {
      i = CheckCreature(lines, i + 1, seen);
      if (i >= lines.size() || lines[i] != "END" + key.substr(5)) {
        ADD_FAILURE() << key << " is not closed";
        return lines.size();
      }
    }
  }
  return lines.size();
}

using shell_test::Lines;
using shell_test::Own;

class Sheet : public shell_test::SheetFixture {
 protected:
  // Kinds 0 (characters), 1 (monsters), 2 (mixed), 4 (NPC classes) and -1 (any) in turn.
  void Build(int n) {
    const int kinds[] = {0, 1, 2, 4, -1};
    Preset(c_, kinds[n % 5], (n / 5) % 31);
    CreateCreature(c_, 1);
  }
  // The sheet's lines, as the consistency check collects them.
  std::vector<std::string> SheetLines(Char* c) { return Lines(SheetText(c)); }
};

int Companions(const Char* c) {
  int n = 0;
  for (const Char* k : {c->familiarChar, c->mountChar, c->servantChar}) n += k ? 1 + Companions(k) : 0;
  for (int i = 0; i < c->companionCount; ++i) n += 1 + Companions(c->companionChars[i]);
  return n;
}

std::string Format(const char* format, int a, int b = 0) {
  char text[64];
  snprintf(text, sizeof text, format, a, b);
  return text;
}

// Arcane spell failure in percent of armour and shields, from the SRD armour table.
const std::map<std::string, int> kSpellFailure = [] {
  std::map<std::string, int> failure;
  std::stringstream in(
      "Kleidung=0|Magierrobe=0|GepolsterteRüstung=5|Lederrüstung=10|BeschlageneLederrüstung=15|Kettenhemd=20|"
      "Fellrüstung=20|Schuppenpanzer=25|Kettenpanzer=30|Brustplatte=25|Schienenpanzer=40|Bänderpanzer=35|"
      "Halbplattenpanzer=40|Ritterrüstung=35|Elfenkettenhemd=20|Tartsche=5|KleinerHolzschild=5|"
      "KleinerMetallschild=5|GroßerHolzschild=15|GroßerMetallschild=15|Turmschild=50");
  for (std::string e; std::getline(in, e, '|');)
    failure[e.substr(0, e.find('='))] = std::stoi(e.substr(e.find('=') + 1));
  return failure;
}();

// The sheet names rows by their display names, the export by their keys.
template <class R>
std::string Shown(const R* table, int count, const std::string& key) {
  int i = FindByName(table, count, key.c_str());
  return i >= 0 ? DisplayName(table[i]) : key;
}

// Compares every figure the sheet shows with the export's records; returns the differences.
std::string SheetAgainstExport(const std::vector<std::string>& sheet, const std::vector<std::string>& exported) {
  std::ostringstream faults;
  std::multimap<std::string, std::string> records;  // key -> value, in the export's order
  std::vector<std::vector<std::string>> items;      // each item block's lines
  bool inItem = false;
  for (const std::string& line : exported) {
    size_t eq = line.find('=');
    std::string key = line.substr(0, eq == std::string::npos ? line.size() : eq);
    if (key == "EQUIPSTART" || key == "TREASURESTART") items.emplace_back(), inItem = true;
    if (inItem) items.back().push_back(line);
    if (key == "EQUIPEND") inItem = false;
    if (eq != std::string::npos) records.emplace(key, line.substr(eq + 1));
  }
  auto values = [&](const std::string& key) {
    std::vector<std::string> v;
    for (auto [at, end] = records.equal_range(key); at != end; ++at) v.push_back(at->second);
    return v;
  };
  auto expect = [&](const std::string& key, const std::string& value, bool prefix, const std::string& line) {
    for (const std::string& v : values(key))
      if (prefix ? v.rfind(value, 0) == 0 : v == value) return;
    faults << "sheet \"" << line << "\": no " << key << "=" << value << (prefix ? "..." : "") << "\n";
  };
  static const std::regex kHead(R"(HG: +(-?\d+)(?: \((-?\d+)/(-?\d+)\))?)"), kClass(R"(Klasse: +(.+?) Level: +(\d+))"),
      kMonster(R"(Monster: *\S+ TW: +(\d+))"), kAbility(R"(│ (St|Ge|Ko|In|We|Ch): +(-?\d+) \( *(-?\d+)\))"),
      kFive(R"(│ (Nahkampf|Fernkampf|Reflex|Wille|Zähigkeit) +(-?\d+) +(-?\d+) +(-?\d+) +(-?\d+) +(-?\d+) )"),
      kArmor(R"(│ RK +(-?\d+) = 10)"), kParts(R"(│ +(-?\d+) +(-?\d+) +(-?\d+) +(-?\d+) +(-?\d+) +│)"),
      kSkill(R"(│   (.+?) +(-?\d+) = *(\d+\.\d) \+ *(-?\d+) \+ *(-?\d+) - *(-?\d+) +│)"),
      kItem(R"(│  ([* ])([AMQ! ]) (.*?)  +(-?\d+) GM +│)"),
      kWeapon(R"((?:  ([+-]\d+(?:/[+-]\d+)*))?  (\d+)W(\d+)([+-]\d+)? \((?:(\d+)-20/)?x(\d+)\)$)"),
      kWealth(
          R"(Wert: +(-?\d+), davon Geld: +(-?\d+), Endwert bei Verkauf: +(-?\d+), Treasure: (-?\d+) \((-?\d+) Geld\))");
  static const std::vector<std::pair<std::regex, std::string>> kSingle = {
      {std::regex(R"(Trefferpunkte: (-?\d+))"), "TP=$1"},
      {std::regex(R"(Grundangriffsbonus: (-?\d+) \((-?\d+)\))"), "GA=$1,$2,"},
      {std::regex(R"(Zauberresistenz: (-?\d+))"), "SR=$1"},
      {std::regex(R"(│ Angriffe: (-?\d+))"), "ATTACKS=$1,"},
      {std::regex(R"(Gelegenheitsangriffe: (-?\d+))"), "ATTACKSOPP=$1"},
      {std::regex(R"(Rüstungsmalus: (-?\d+))"), "ARMORMALUS=$1"},
      {std::regex(R"(Initiative: (-?\d+))"), "INITIATIVE=$1,"},
      {std::regex(R"(Waffenlos: (-?\d+) Angriffe, (\d+)W(\d+))"), "ATTACKSMONK=$1\nMONKDAMAGE=$2,$3"},
      {std::regex(R"(Talente: (\d+))"), "FEATCOUNT=$1"},
      {std::regex(R"(Fertigkeiten: +(\d+) +Fertigkeitspunkte: +(-?\d+))"), "SKILLS=$1\nSKILLPOINTS=$2"}};
  std::smatch m;
  int ability = 0, skill = 0, item = -1, classes = 0;
  std::string attacks;  // the natural attacks' rows, joined
  bool inAttacks = false;
  for (size_t i = 0; i < sheet.size(); ++i) {
    const std::string& line = sheet[i];
    for (const auto& [pattern, format] : kSingle)
      if (std::regex_search(line, m, pattern))
        for (const std::string& record : Lines(m.format(format))) {
          size_t eq = record.find('=');
          expect(record.substr(0, eq), record.substr(eq + 1), record.back() == ',', line);
        }
    if (std::regex_search(line, m, kHead))
      expect("CR", m[2].matched ? m.str(1) + "," + m.str(2) + "," + m.str(3) : m.str(1) + ",", !m[2].matched, line);
    if (std::regex_search(line, m, kClass)) {
      // A long class name is cut on the sheet; a monster's own casting classes are "Spellchar".
      std::vector<std::string> slots = values("CLASS");
      std::string slot = classes < (int)slots.size() ? slots[(size_t)classes] : "",
                  head = std::to_string(classes) + ",";
      std::string name = slot.substr(std::min(slot.size(), head.size()), slot.find(',', head.size()) - head.size());
      std::string shown = Shown(gSource.classes, gSource.classCount, name);
      if (slot.rfind(head, 0) != 0 || (name != "Spellchar" && shown.rfind(m.str(1), 0) != 0) ||
          slot.substr(head.size() + name.size()).rfind("," + m.str(2) + ",", 0) != 0)
        faults << "sheet \"" << line << "\": CLASS=" << slot << "\n";
      ++classes;
    }
    if (std::regex_search(line, m, kMonster)) expect("TW", m.str(1), false, line);
    if (std::regex_search(line, m, kAbility))
      expect("ATTRIBUTE", std::to_string(ability++) + "," + m.str(2) + "," + m.str(3), false, line);
    if (line.find("Bewegung: ") != std::string::npos) {
      std::vector<std::string> speed = values("SPEED");
      if (speed.empty() || atof(speed[0].c_str()) != atof(line.c_str() + line.find("Bewegung: ") + 10))
        faults << "sheet \"" << line << "\": SPEED=" << (speed.empty() ? "" : speed[0]) << "\n";
    }
    if (std::regex_search(line, m, kFive)) {
      // Attack rows: total = base + ability + size + other, the export leaves the base out.
      std::string row = m.str(1);
      bool attack = row == "Nahkampf" || row == "Fernkampf";
      if (attack &&
          std::stoi(m.str(2)) != std::stoi(m.str(3)) + std::stoi(m.str(4)) + std::stoi(m.str(5)) + std::stoi(m.str(6)))
        faults << "sheet \"" << line << "\": total is not the sum of its parts\n";
      std::string key = row == "Nahkampf"    ? "GAMELEE"
                        : row == "Fernkampf" ? "GARANGE"
                        : row == "Reflex"    ? "RWREF"
                        : row == "Wille"     ? "RWWIL"
                                             : "RWFORT";
      expect(key, m.str(2) + (attack ? "" : "," + m.str(3)) + "," + m.str(4) + "," + m.str(5) + "," + m.str(6), false,
             line);
    }
    std::smatch parts;
    if (std::regex_search(line, m, kArmor) && i + 1 < sheet.size() && std::regex_search(sheet[i + 1], parts, kParts))
      expect("RK",
             m.str(1) + "," + parts.str(1) + "," + parts.str(2) + "," + parts.str(3) + "," + parts.str(4) + "," +
                 parts.str(5),
             false, line);
    if (std::regex_search(line, m, kSkill)) {
      // The skill's display name, a craft or profession with its subject in brackets.
      std::vector<std::string> skills = values("SKILL");
      std::string entry = skill < (int)skills.size() ? skills[(size_t)skill] : "", head = std::to_string(skill) + ",";
      size_t comma = entry.find(',', head.size());
      std::string name = comma == std::string::npos ? "" : entry.substr(head.size(), comma - head.size());
      std::string shown = Shown(gSource.skills, gSource.skillCount, name);
      bool named = m.str(1) == shown || m.str(1).rfind(shown + " (", 0) == 0;
      if (!named ||
          entry != head + name + "," + m.str(2) + "," + m.str(3) + "," + m.str(4) + "," + m.str(5) + "," + m.str(6))
        faults << "sheet \"" << line << "\": SKILL=" << entry << "\n";
      ++skill;
    }
    if (line.rfind("│ Natürliche Angriffe:", 0) == 0) inAttacks = true;
    if (line.rfind("│ Ausrüstung:", 0) == 0) inAttacks = false, item = 0;
    if (inAttacks && line.rfind("│   ", 0) == 0) {
      std::string row = line.substr(std::string("│   ").size());
      row.erase(row.find_last_not_of(" │") + 1);
      bool label = false;
      for (const char* k : {"Primär  : ", "Sekundär: ", "Tertiär : ", "Quartär : "})
        label = label || row.rfind(k, 0) == 0;
      attacks += (label ? "\n" : " ") + row;
    }
    if (item >= 0 && std::regex_match(line, m, kItem)) {
      // The item's block: value, treasure star, weapon figures or armour bonus.
      const std::vector<std::string> none;
      const std::vector<std::string>& block = item < (int)items.size() ? items[(size_t)item] : none;
      auto field = [&](const std::string& key, size_t k) {
        for (const std::string& l : block)
          if (l.rfind(key + "=", 0) == 0) {
            std::vector<std::string> f;
            std::stringstream in(l.substr(key.size() + 1));
            for (std::string v; std::getline(in, v, ',');) f.push_back(v);
            return k < f.size() ? f[k] : std::string("?");
          }
        return std::string("-");
      };
      // Figures too long for the item's row stand on the next one.
      std::string figures = m.str(3);
      if (i + 1 < sheet.size() && sheet[i + 1].rfind("│        ", 0) == 0) {
        std::string next = sheet[i + 1].substr(std::string("│        ").size());
        figures += "  " + next.erase(next.find_last_not_of(" │") + 1);
      }
      bool treasure = !block.empty() && block[0].rfind("TREASURESTART=", 0) == 0;
      if (block.empty() || field("EQUIPMENT", 2) != m.str(4) || treasure != (m.str(1) == "*"))
        faults << "sheet \"" << line << "\": item " << item << " " << field("EQUIPMENT", 1) << ","
               << field("EQUIPMENT", 2) << "\n";
      std::smatch w;
      if (std::regex_search(figures, w, kWeapon)) {
        std::string bonuses = w.str(1);
        for (size_t at; (at = bonuses.find('+')) != std::string::npos;) bonuses.erase(at, 1);
        std::string critical = field("EQUIPWEAPON", 3), attack;
        if (critical.empty() || critical == "-" || critical == "?" || std::stoi(critical) <= 0 ||
            std::stoi(critical) >= 20)
          critical = "0";
        for (size_t k = 0; k < 4; ++k) attack += (k ? "," : "") + field("EQUIPATTACK", k);
        if (bonuses + "," + w.str(2) + "," + w.str(3) + "," + std::to_string(w[4].matched ? std::stoi(w.str(4)) : 0) !=
                attack ||
            (w[5].matched ? w.str(5) : "0") != critical || w.str(6) != field("EQUIPWEAPON", 4))
          faults << "sheet \"" << line << "\": EQUIPATTACK=" << attack << ", critical " << critical << "/x"
                 << field("EQUIPWEAPON", 4) << "\n";
      } else if (field("EQUIPATTACK", 0) != "-") {
        faults << "sheet \"" << line << "\": no weapon figures\n";
      }
      size_t rk = figures.rfind("  RK +");
      std::string type = field("EQUIPMENT", 0);
      if (type == "1" || type == "2") {
        int bonus = type == "1" ? std::stoi(field("EQUIPARMOR", 0)) + std::stoi(field("EQUIPARMOR", 3))
                                : std::stoi(field("EQUIPSHIELD", 0)) + std::stoi(field("EQUIPSHIELD", 2));
        if ((rk == std::string::npos ? 0 : std::stoi(figures.substr(rk + 6))) != bonus)
          faults << "sheet \"" << line << "\": armour bonus " << bonus << "\n";
      }
      ++item;
    }
    if (std::regex_search(line, m, kWealth))
      expect("MONEY", m.str(1) + "," + m.str(2) + "," + m.str(3) + "," + m.str(4) + "," + m.str(5), false, line);
  }
  if (item >= 0 && item != (int)items.size()) faults << "sheet: " << item << " items, export " << items.size() << "\n";
  // Natural attacks: each as the sheet writes it, "name +a/+b (dice)", in its category's row.
  static const std::regex kNatural(R"re(^\d+,(.+?: ),"(.*)",(-?\d+),(-?\d+),(-?\d+),(.*)$)re");
  int natural = 0;
  for (const std::string& v : values("MONSTERATTACK")) {
    if (!std::regex_match(v, m, kNatural)) {
      faults << "MONSTERATTACK=" << v << "\n";
      continue;
    }
    std::string bonuses = m.str(6);
    if (bonuses.find('*') == std::string::npos) {
      std::string shown;
      std::stringstream in(bonuses);
      for (std::string b; std::getline(in, b, ':');)
        shown += (shown.empty() ? "" : "/") + Format("%+d", std::stoi(b.substr(b[0] == ',')));
      bonuses = shown;
    }
    int d0 = std::stoi(m.str(3)), d1 = std::stoi(m.str(4)), d2 = std::stoi(m.str(5));
    std::string damage =
        d0 <= 0 || d1 <= 0 ? std::to_string(d2) : Format("%dW%d", d0, d1) + (d2 ? Format("%+d", d2) : "");
    // A weapon's key reads as its display name, a dragon's tail slap in German.
    std::string name = m.str(2) == "Slap" ? "Schwanzhieb" : Shown(gSource.equipment, gSource.equipmentCount, m.str(2));
    std::string shown = name + " " + bonuses + " (" + damage + ")";
    size_t row = attacks.find("\n" + m.str(1));
    if (row == std::string::npos ||
        attacks.substr(row, attacks.find('\n', row + 1) - row).find(shown) == std::string::npos)
      faults << "MONSTERATTACK=" << v << ": not \"" << shown << "\" on the sheet\n";
    ++natural;
  }
  if (CountOf(attacks, ")") != natural) faults << "sheet: natural attacks " << attacks << "\n";
  // Arcane spell failure: the armour and shields in use (not among the treasure), mithril 10 less.
  int failure = 0;
  for (const std::vector<std::string>& block : items) {
    std::string equipment, material;
    for (const std::string& l : block) {
      if (l.rfind("EQUIPMENT=", 0) == 0) equipment = l;
      if (l.rfind("EQUIPMATERIAL=", 0) == 0) material = l.substr(14);
    }
    if (block[0].rfind("EQUIPSTART=", 0) != 0 ||
        (equipment.rfind("EQUIPMENT=1,", 0) && equipment.rfind("EQUIPMENT=2,", 0)))
      continue;
    std::string name = equipment.substr(12, equipment.find(',', 12) - 12);
    auto at = kSpellFailure.find(name);
    if (at == kSpellFailure.end()) return faults.str();  // a specific item's own figures
    failure += std::max(0, at->second - (std::stoi(material) & 2 ? 10 : 0));
  }
  expect("SPELLFAILURE", std::to_string(failure), false, "armour and shields");
  return faults.str();
}

}  // namespace

TEST_F(Sheet, ExportHoldsEveryFigureOfTheSheet) {
  // Hundreds of creatures of every kind and CR with their companions, some monsters also
  // after the viewer's size and hit-die keys: every record in the order of the export's
  // table, and the sheet's figures, parsed from its lines, against the records field by field.
  std::set<std::string> seen, all;
  for (const auto& row : kRows) all.insert(row.begin(), row.end());
  bool spellChar = false, nestedSheet = false;
  int compared = 0, weapons = 0, failing = 0;
  auto compare = [&](int n) {
    std::vector<std::string> lines = Lines(generator_test::Export(c_));
    ASSERT_EQ(CheckCreature(lines, 0, seen), lines.size()) << "creature " << n;
    std::vector<Char*> creatures = {c_};
    for (size_t k = 0; k < creatures.size(); ++k) {
      Char* c = creatures[k];
      for (Char* companion : {c->familiarChar, c->mountChar, c->servantChar})
        if (companion) creatures.push_back(companion);
      for (int i = 0; i < c->companionCount; ++i) creatures.push_back(c->companionChars[i]);
      std::vector<std::string> exported = Own(Lines(generator_test::Export(c)));
      EXPECT_EQ(SheetAgainstExport(Own(SheetLines(c)), exported), "") << "creature " << n << "." << k;
      ++compared;
      for (const std::string& line : exported) {
        weapons += line.rfind("EQUIPATTACK=", 0) == 0 && line[12] != ',';
        failing += line.rfind("SPELLFAILURE=", 0) == 0 && line != "SPELLFAILURE=0";
      }
    }
  };
  for (int n = 0; n < 400; ++n) {
    Build(n);
    compare(n);
    // A monster's own spell-casting classes are exported as the pseudo class; its summary
    // shows every natural attack, the first 18 letters of each name.
    if (c_->kind == 1 && c_->monsterCaster && !c_->mixed) {
      std::string exported = generator_test::Export(c_);
      EXPECT_NE(exported.find("\nCLASS=0,Spellchar,"), std::string::npos) << exported;
      spellChar = true;
    }
    if (c_->kind == 1) {
      std::string summary = SummaryRow(c_, 1);
      EXPECT_EQ(CountOf(summary, "\n"), std::max(c_->attackCount, 1)) << summary;
      for (int i = 0; i < c_->attackCount; ++i)
        EXPECT_NE(summary.find(Cut(AttackName(c_->naturals[i]), 18)), std::string::npos) << summary;
    }
    // Companions' whole sheets inside the master's one frame.
    if (!nestedSheet && Companions(c_) > 0) {
      nestedSheet = true;
      std::string sheet = SheetText(c_);
      EXPECT_EQ(CountOf(sheet, "│ Trefferpunkte: "), 1 + Companions(c_)) << sheet;
      EXPECT_EQ(CountOf(sheet, "┌") + CountOf(sheet, "└"), 2);
    }
    if (c_->kind == 1 && n % 3 == 1) {
      ChangeHitDice(c_, '*');
      ChangeHitDice(c_, '+');
      compare(n);
    }
    if (n % 10 == 9) {  // a hoard: its weapons' damage
      Preset(c_, 3, n % 31);
      CreateCreature(c_, 1);
      compare(n);
    }
  }
  for (const std::string& key : all) EXPECT_TRUE(seen.count(key)) << "no " << key << " record in the corpus";
  EXPECT_TRUE(spellChar && nestedSheet);
  EXPECT_GT(compared, 450);
  EXPECT_GT(weapons, 300);
  EXPECT_GT(failing, 100);
}

TEST_F(Sheet, MixedCreaturesAttackWithoutTheClassPartsEpicBonus) {
  // Merged totals: both parts' base attack + ability + size (and the "other" column).
  int epic = 0;
  for (int n = 0; n < 20; ++n) {
    Preset(c_, 2, 45);
    CreateCreature(c_, 1);
    if (!c_->mixed) continue;
    epic += c_->epicAttack > 0;
    std::string melee = "GAMELEE=" + std::to_string(c_->GA + c_->MST + c_->sizeMod + c_->AttackMod) + ",";
    std::string ranged = "GARANGE=" + std::to_string(c_->GA + c_->MGE + c_->sizeMod + c_->AttackMod) + ",";
    std::string exported = generator_test::Export(c_);
    EXPECT_NE(exported.find(melee), std::string::npos) << n;
    EXPECT_NE(exported.find(ranged), std::string::npos) << n;
  }
  EXPECT_GT(epic, 3);
}

TEST_F(Sheet, MarksUnarmedAttacksAndLongAttackRows) {
  Build(50);
  ASSERT_GT(c_->itemCount, 0);
  CharItem& it = c_->items[0];
  // The mark is the first of masterwork, mithril, mercury and magic that is set.
  struct Case {
    int masterwork, mithril, mercury, magic, bits;
    char mark;
  } cases[] = {
      {1, 1, 1, 1, 15, 'A'}, {0, 1, 1, 1, 11, 'M'}, {0, 0, 1, 1, 9, 'Q'}, {0, 0, 0, 1, 1, '!'}, {0, 0, 0, 0, 0, ' '}};
  for (const Case& k : cases) {
    it.masterwork = k.masterwork, it.mithril = k.mithril, it.mercury = k.mercury, it.magic = k.magic;
    std::vector<std::string> lines = SheetLines(c_);
    size_t at = 0;
    while (at < lines.size() && lines[at].find(" GM ") == std::string::npos) ++at;
    ASSERT_LT(at, lines.size());
    EXPECT_EQ(lines[at][std::string("│  ").size() + 1], k.mark) << lines[at];
    std::string exported = generator_test::Export(c_);
    size_t first = exported.find("EQUIPMATERIAL=");
    EXPECT_EQ(exported.substr(first, exported.find('\n', first) - first), "EQUIPMATERIAL=" + std::to_string(k.bits));
  }
  // Unarmed attacks: attacks plus monk attacks, with the unarmed damage.
  c_->Attacks = 2, c_->MonkAttacks = 1, c_->Unarmed1 = 2, c_->Unarmed2 = 6;
  std::string sheet = SheetText(c_);
  EXPECT_NE(sheet.find("Waffenlos: 3 Angriffe, 2W6"), std::string::npos);  // the export: SheetAgainstExport
  // A row of twelve equal attacks without a step: "count * bonus" and an empty line.
  c_->kind = 1;
  c_->attackCount = 1;
  c_->naturals[0] = CharAttack{"Tentakel", 7, 12, 0, {1, 4, 2}, 0};
  std::string exported = generator_test::Export(c_);
  EXPECT_NE(exported.find("MONSTERATTACK=0,Primär  : ,\"Tentakel\",1,4,2,12 * 7\n\n"), std::string::npos);
}

TEST_F(Sheet, HeadRowsShowLabelsAndValuesInColour) {
  Build(50);
  ASSERT_GT(c_->classCount, 0);
  ScreenBuffer* screen = ConsoleCreate();
  ASSERT_NE(screen, nullptr);
  SetSheetScreens(&screen, 1);
  PrintChar(c_, 0, 1, nullptr);
  // Labels light red, values light green, frames and blanks grey: the head row
  // ("│ Humanoid ...", "│ HG:    10") and the first class row ("│ Klasse: %15s Level: %2d").
  struct Cell {
    int row, column, attribute;
  } cells[] = {{1, 0, 7},   {1, 2, 10}, {1, 79, 7}, {1, 81, 12}, {1, 83, 12}, {1, 84, 7},
               {1, 88, 10}, {3, 2, 12}, {3, 8, 12}, {3, 24, 10}, {3, 26, 12}, {3, 32, 7}};
  for (const Cell& k : cells)
    EXPECT_EQ(ConsoleCellAttribute(screen, k.column, k.row), k.attribute)
        << ConsoleRowText(screen, k.row) << " column " << k.column;
  SetSheetScreens(nullptr, 0);
  ConsoleDestroy(screen);
}

TEST_F(Sheet, ConsistencyCheckShowsTheFirstDifferingLineOnce) {
  Build(51);
  std::vector<std::string> lines = SheetLines(c_);
  std::string reference;
  size_t fourth = 0, sixth = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == 3) fourth = reference.size();
    if (i == 5) sixth = reference.size();
    reference += lines[i] + "\n";
  }
  TextBuffer* text = TextCreate("sheet-test-reference");
  TextAppend(text, reference.data(), reference.size());
  for (bool changed : {false, true}) {
    // The reference differs in the fourth and the sixth line: only the fourth is shown.
    if (changed) text->data[fourth + 4] = text->data[sixth + 4] = '#';
    Reference(text);
    CaptureStdout();
    SheetLines(c_);
    std::string out = GetCapturedStdout();
    EXPECT_EQ(out, changed ? "Inconsistence Found in Line:\n" + lines[3] + "\n" : "");
  }
  Reference(nullptr);
  TextDestroy(text);
}

TEST_F(Sheet, DebugOutputNamesTheItemAndListsWeaponWeights) {
  // Labels shown at debug level 2: the effect-count question names its item, and every
  // weapon candidate prints its class, race and standard weights.
  Labels();
  Output(2);
  std::string out;
  for (int n = 75; n < 300 && (out.find("Anzahl der Effeckte auf ") == std::string::npos ||
                               out.find("(Race)") == std::string::npos);
       n += 5) {
    CaptureStdout();
    Build(n);
    out += GetCapturedStdout();
  }
  Output(0);
  EXPECT_EQ(out.find("%s"), std::string::npos);
  static const std::regex kCount(R"(.*\(Anzahl der Effeckte auf [^ %]+ wählen!\).*)");
  static const std::regex kWeight(R"( *\d+/\d+ +\S+: ( *\d+\(\S+\) \* )+ *\d+\(Race\) \* +\d+\(Standard\) = +\d+)");
  bool count = false, weight = false;
  for (const std::string& line : Lines(out)) {
    count = count || (line.find("Effeckte auf") != std::string::npos && std::regex_match(line, kCount));
    weight = weight || (line.find("(Race)") != std::string::npos && std::regex_match(line, kWeight));
  }
  EXPECT_TRUE(count);
  EXPECT_TRUE(weight);
}
