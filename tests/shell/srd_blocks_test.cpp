// The English stat block of every unadvanced, untemplated monster against the rule book's own
// block of that monster, read from the rule book's text beside the repository.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "shell/sheet_fixture.h"
#include "shell/statblock.h"

using namespace debugspace;

namespace {

using Block = std::map<std::string, std::string>;  // label -> entry

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}
// A replacement by a pattern compiled once.
std::string Replace(const std::string& text, const char* pattern, const char* with) {
  static std::map<std::string, std::regex> compiled;
  return std::regex_replace(text, compiled.try_emplace(pattern, pattern).first->second, with);
}
std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  std::stringstream in(row.substr(1));
  for (std::string cell; std::getline(in, cell, '|');) cells.push_back(Trim(cell));
  return cells;
}
// Names compare by letters and digits only: "Will-O'-Wisp" is "Will-o'-Wisp".
std::string Key(const std::string& name) {
  std::string key;
  for (unsigned char ch : name)
    if (std::isalnum(ch)) key += (char)std::tolower(ch);
  return key;
}
std::string Label(std::string cell) {
  cell = Replace(cell, R"(\s*:$)", "");
  return cell == "AC" ? "Armor Class" : cell == "Climate/Terrain" ? "Environment" : cell;
}

// The rule book's monster blocks: tables whose rows are "| Label: | entry | entry |", headed by a
// row of names when they hold several creatures, else by the title line above them. A cell may
// run over several lines.
struct Book {
  std::map<std::string, Block> blocks;
  std::map<std::string, std::pair<int, std::string>> index;  // name key -> (rank, block name)

  void Name(const std::string& key, int rank, const std::string& name) {
    auto it = index.find(key);
    if (it == index.end() || it->second.first > rank) index[key] = {rank, name};
  }
  // "Bear, Black" is the black bear, "Giant Ant, Worker" the giant worker ant, "Angel, Solar"
  // the solar; "Kobold, 1st-Level Warrior" the kobold unless a block of that name exists.
  void Add(const std::string& name, const Block& block) {
    blocks[name] = block;
    Name(Key(name), 0, name);
    std::smatch m;
    if (!std::regex_match(name, m, std::regex(R"((.*?), *(.*))"))) return;
    std::string a = m[1], b = m[2];
    if (std::regex_match(b, std::regex(R"(\d+(st|nd|rd|th)-Level .*)"))) return Name(Key(a), 1, name);
    Name(Key(b + a), 0, name);
    Name(Key(b), 1, name);
    size_t last = a.rfind(' ');
    if (last != std::string::npos) Name(Key(a.substr(0, last) + b + a.substr(last)), 1, name);
  }
  void Read(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::string title;
    for (size_t i = 0; i < lines.size();) {
      if (Trim(lines[i]).rfind('|', 0) != 0) {
        if (!Trim(lines[i]).empty()) title = Trim(lines[i]);
        ++i;
        continue;
      }
      std::vector<std::vector<std::string>> rows;
      bool monster = false;
      while (i < lines.size() && Trim(lines[i]).rfind('|', 0) == 0) {
        std::string row = Trim(lines[i++]);
        while (i < lines.size() && (row.back() != '|' || std::count(row.begin(), row.end(), '|') < 3)) {
          std::string next = Trim(lines[i++]);
          if (!next.empty()) row += (row.back() == '/' ? "" : row == "|" ? " " : "; ") + next;
        }
        rows.push_back(Cells(row));
        monster |= Label(rows.back()[0]) == "Hit Dice";
      }
      if (!monster || rows.size() < 2) continue;
      std::vector<std::string> names;
      if (rows[0][0].empty() && rows[1][0].empty()) {
        for (size_t k = 1; k < rows[0].size(); ++k)
          if (!rows[0][k].empty()) names.push_back(rows[0][k]);
        rows.erase(rows.begin());
      } else {
        names.push_back(title);
      }
      std::vector<Block> found(names.size());
      for (const auto& row : rows) {
        // Stray empty cells sit between entries in some rows: the filled ones are the entries.
        std::vector<std::string> entries;
        for (size_t k = 1; k < row.size(); ++k)
          if (!row[k].empty()) entries.push_back(row[k]);
        if (entries.size() != names.size())
          entries.assign(row.begin() + 1, row.begin() + std::min(row.size(), names.size() + 1));
        for (size_t k = 0; k < entries.size(); ++k) found[k][row[0].empty() ? "Size/Type" : Label(row[0])] = entries[k];
      }
      for (size_t k = 0; k < names.size(); ++k)
        if (!blocks.count(names[k])) Add(names[k], found[k]);
    }
  }
  const Block* Find(const std::string& name) const {
    auto it = index.find(Key(name));
    return it == index.end() ? nullptr : &blocks.at(it->second.second);
  }
};

Book ReadBook() {
  Book book;
  std::filesystem::path dir = std::filesystem::path(SCHMIEDE_SOURCE_DIR) / ".." / "shared" / "srd" / "unsorted";
  if (!std::filesystem::is_directory(dir)) return book;
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string file = entry.path().filename().string();
    if (file.find("Monsters") != std::string::npos && file != "MonstersasRaces.md")
      files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) book.Read(file);
  return book;
}

// Splits at a separator outside brackets.
std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts(1);
  int depth = 0;
  for (size_t k = 0; k < text.size(); ++k) {
    depth += text[k] == '(' ? 1 : text[k] == ')' ? -1 : 0;
    if (depth == 0 && text.compare(k, separator.size(), separator) == 0)
      parts.emplace_back(), k += separator.size() - 1;
    else
      parts.back() += text[k];
  }
  return parts;
}
std::string Sorted(std::vector<std::string> parts, const std::string& separator) {
  std::sort(parts.begin(), parts.end());
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : separator) + p;
  return out;
}

// Only notation is made equal: blanks, dashes, the multiplication sign, footnote marks,
// thousands' commas, the commas between ability scores, "ft" without its point, the case of
// the first letter (of every letter of an attack line), the place of "melee" after the damage, an explanation after the
// initiative, the order of the armour class's parts and of the parts (also parted by commas)
// and choices of a full attack. Speed: the land speed, as armour leaves it.
std::string Notation(const std::string& label, std::string text) {
  for (auto [from, to] :
       {std::pair{"−", "-"}, {"–", "-"}, {"×", "x"}, {"/?", "/x"}, {"—", "-"}, {"--", "-"}, {"*", ""}})
    for (size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, strlen(from), to);
  text = Replace(text, R"((\d),(\d\d\d))", "$1$2");
  text = Trim(Replace(text, R"(\s+)", " "));
  text = Replace(text, R"(\bft\b\.?)", "ft.");
  text = Replace(text, R"(\)\.)", ")");
  text = Replace(text, R"(([+-]\d+) (\([^()]*(?:\([^()]*\)[^()]*)*\)) ?(melee|ranged))", "$1 $3 $2");
  if (!text.empty()) text[0] = (char)std::tolower((unsigned char)text[0]);
  if (label == "Attack" || label == "Full Attack")  // attack names are written small or capitalised
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char ch) { return (char)std::tolower(ch); });
  if (label == "Initiative") return text.substr(0, text.find(' '));
  if (label == "Abilities") {  // the first of each score, however the commas fell
    std::string scores;
    for (const char* name : {"str", "Dex", "Con", "Int", "Wis", "Cha"}) {
      std::smatch m;
      if (std::regex_search(text, m, std::regex(std::string(name) + "[ _]*(\\d+|-)"))) scores += m.str(1) + " ";
    }
    return scores;
  }
  if (label == "Speed") {
    text = Replace(text, R"( in [a-z -]+(?= \())", "");
    return Split(Split(text, ";")[0], ",")[0];
  }
  if (label == "Armor Class") {
    text = Replace(text, R"(\) touch)", "), touch");
    text = Replace(text, "flatfooted", "flat-footed");
    text = Replace(text, " natural armor", " natural");
    size_t open = text.find('('), close = text.find(')');
    if (open < close && close != std::string::npos)
      text = text.substr(0, open + 1) + Sorted(Split(text.substr(open + 1, close - open - 1), ", "), ", ") +
             text.substr(close);
  }
  if (label == "Full Attack") {
    std::vector<std::string> choices;
    for (const std::string& choice : Split(Replace(text, "; or ", " or "), " or ")) {
      std::vector<std::string> parts;
      for (const std::string& and_ : Split(choice, " and "))
        for (const std::string& part : Split(and_, ", ")) parts.push_back(Replace(part, "^1 ", ""));
      choices.push_back(Sorted(parts, " and "));
    }
    return Sorted(choices, " or ");
  }
  return text;
}

// Hit dice: the same expression; the book's hit points its average, ours within its range.
std::string CompareHitDice(const std::string& book, const std::string& ours) {
  std::smatch b, o;
  static const std::regex kDice(R"(^([^(]*?) *\(([0-9,]+) hp\))");
  if (!std::regex_search(book, b, kDice) || !std::regex_search(ours, o, kDice)) return "unreadable";
  std::string expression = Replace(b.str(1), "[ ,]", "");
  if (expression != Replace(o.str(1), "[ ,]", "")) return "dice";
  long low = 0, high = 0, twiceAverage = 0;
  static const std::regex kTerm(R"(([+-]?)(\d+)(?:d(\d+))?)");
  for (std::sregex_iterator t(expression.begin(), expression.end(), kTerm), end; t != end; ++t) {
    long n = std::stol((*t)[2]) * ((*t)[1] == "-" ? -1 : 1), die = (*t)[3].matched ? std::stol((*t)[3]) : 1;
    low += n, high += n * die, twiceAverage += (*t)[3].matched ? n * (die + 1) : 2 * n;
  }
  if (expression.find('/') != std::string::npos) return "";  // fractions of a die: the figure shows no roll
  long bookHp = std::stol(Replace(b.str(2), ",", "")), ourHp = std::stol(o.str(2));
  if (bookHp != twiceAverage / 2) return "book's average";
  return ourHp < std::max(low, 1L) || ourHp > high ? "hit points outside the dice" : "";
}

class SrdBlocksTest : public shell_test::SheetFixture {};

TEST_F(SrdBlocksTest, UnadvancedMonstersMatchTheRuleBooksBlocks) {
  Book book = ReadBook();
  ASSERT_FALSE(book.blocks.empty()) << "the rule book's text is missing: expected beside the repository, in "
                                    << SCHMIEDE_SOURCE_DIR << "/../shared/srd/unsorted";
  // Known differences by monster (our key) and line, each with its reason: srd_known_differences.tsv.
  std::set<std::pair<std::string, std::string>> known;
  std::ifstream list(SCHMIEDE_SOURCE_DIR "/tests/shell/srd_known_differences.tsv");
  for (std::string line; std::getline(list, line);) {
    std::vector<std::string> fields = Cells("|" + Replace(line, "\t", "|"));
    if (line[0] != '#' && fields.size() >= 3) known.insert({fields[0], fields[1]});
  }
  ASSERT_FALSE(known.empty()) << "no list of known differences";
  const char* labels[] = {"Hit Dice", "Initiative",  "Speed", "Armor Class", "Base Attack/Grapple",
                          "Attack",   "Full Attack", "Saves", "Abilities"};
  std::map<std::string, int> matched;
  int compared = 0, advanced = 0, missing = 0;  // missing: lines a block of the rule book lacks
  std::ostringstream mismatches;
  UseRules(kRulesSrd35);
  const int none = FindByName(gSource.templates, gSource.templateCount, "Keins");
  for (int m = 0; m < gSource.monsterCount; ++m) {
    const MonsterSource& row = gSource.monsters[m];
    const Block* srd = book.Find(SrdName(row));
    if (!srd) continue;
    Preset(c_, 1, row.cr);
    record_[rec::kFixedMonster] = m;
    record_[rec::kMonsterOption] = row.hd;
    record_[rec::kParam10] = none;
    CreateCreature(c_, 1);
    if (c_->mixed || c_->classHitDice > 0 || c_->Level != row.hd || c_->sizeIndex != row.size) {
      ++advanced;
      continue;
    }
    Block ours;
    std::string last;
    for (const std::string& line : StatBlock(c_, 78, BlockLanguage::kEnglish)) {
      if (line.empty()) break;
      size_t colon = line.find(": ");
      if (line[0] == ' ')
        ours[last] += line.substr(1);
      else if (colon != std::string::npos)
        ours[last = line.substr(0, colon)] = line.substr(colon + 2);
    }
    ++compared;
    for (const char* label : labels) {
      auto it = srd->find(label);
      if (it == srd->end()) {
        ++missing;
        continue;
      }
      std::string our = ours[label];
      // Some blocks count no squares, or give no touch and flat-footed armour class.
      if (it->second.find("square") == std::string::npos) our = Replace(our, R"( \(\d+ squares?\))", "");
      if (it->second.find("touch") == std::string::npos) our = our.substr(0, our.find(", touch"));
      std::string fault = label == std::string("Hit Dice")                      ? CompareHitDice(it->second, our)
                          : Notation(label, it->second) != Notation(label, our) ? "differs"
                                                                                : "";
      if (fault.empty()) ++matched[label];
      if (fault.empty() == !known.count({row.name.c_str(), label})) continue;
      mismatches << row.name.c_str() << " | " << label << " | "
                 << (fault.empty() ? "listed as known but matches" : fault) << "\n  SRD:  " << it->second
                 << "\n  ours: " << ours[label] << "\n";
    }
  }
  std::ostringstream summary;
  for (const char* label : labels) summary << label << " " << matched[label] << "/" << compared << "; ";
  summary << "not in the book: " << missing << "; skipped (class hit dice, other size): " << advanced;
  if (!mismatches.str().empty()) ADD_FAILURE() << summary.str() << "\n" << mismatches.str();
  EXPECT_GT(compared, 300) << summary.str();
}

}  // namespace
