// Scripts as the rule tables hold them. Each must compile; those that need no creature
// also run, and must write the expected text and leave exactly the expected temporaries.
#include <array>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "random/isaac.h"
#include "script/script_fixture.h"

#include "script/corpus_data.h"

namespace {

using namespace corpus;

std::string CaseName(const testing::TestParamInfo<CorpusScript>& info) { return info.param.name; }

// Random() and Element() draw from a seeded ISAAC state of the test's own, whatever
// random mode earlier tests left the process in.
class SeededScripts : public ShippedGrammar {
 protected:
  void SetUp() override {
    uint32_t seed[512];
    for (uint32_t i = 0; i < 512; ++i) seed[i] = i * 2654435761u + 12345u;
    debugspace::IsaacRange(&state_, 0, 0, true, seed);
    Isaac();
    debugspace::SetScriptRandomState(&state_);
  }
  void TearDown() override { debugspace::SetScriptRandomState(nullptr); }

 private:
  IsaacState state_;
};

class CorpusScripts : public SeededScripts, public testing::WithParamInterface<CorpusScript> {};

// "a=3 c=1..6": the lowest and highest value of each temporary named, 0 for the others.
std::array<std::pair<long, long>, 26> Ranges(const char* list) {
  std::array<std::pair<long, long>, 26> range{};
  std::istringstream in(list);
  for (std::string item; in >> item;) {
    size_t dots = item.find("..");
    range[(size_t)(item[0] - 'a')] = {std::stol(item.substr(2)),
                                      std::stol(item.substr(dots == std::string::npos ? 2 : dots + 2))};
  }
  return range;
}

TEST_P(CorpusScripts, CompileAndRun) {
  const CorpusScript& s = GetParam();
  std::string compiled = Compile(s.script);
  ASSERT_FALSE(compiled.empty()) << lastMessage;
  if (!s.text) return;
  ClearTemps();
  auto preset = Ranges(s.preset), expected = Ranges(s.temps);
  for (int i = 0; i < 26; ++i) debugspace::Temporaries()[i] = (int32_t)preset[(size_t)i].first;
  EXPECT_EQ(Run(compiled), s.text);
  for (char c = 'a'; c <= 'z'; ++c) {
    auto [low, high] = expected[(size_t)(c - 'a')];
    EXPECT_TRUE(Temp(c) >= low && Temp(c) <= high) << c << " = " << Temp(c);
  }
}

INSTANTIATE_TEST_SUITE_P(CorpusDocs, CorpusScripts, testing::ValuesIn(DocExamples()), CaseName);
INSTANTIATE_TEST_SUITE_P(CorpusLanguage, CorpusScripts, testing::ValuesIn(kLanguage), CaseName);
INSTANTIATE_TEST_SUITE_P(CorpusCreature, CorpusScripts, testing::ValuesIn(kCreatureScripts), CaseName);

// The byte form itself, spelled out once so the renderer is checked too.
class CorpusBytes : public ShippedGrammar {
 protected:
  static std::string Node(const char* name) {
    uint32_t offset = FindSymbolName(name);
    EXPECT_NE(offset, UINT32_MAX) << name;
    std::string out(1, '\1');
    out.append(reinterpret_cast<const char*>(&offset), 4);  // little-endian host
    return out;
  }
  static std::string Number(int32_t v) {
    std::string out(1, '\2');
    out.append(reinterpret_cast<const char*>(&v), 4);
    return out;
  }
};

TEST_F(CorpusBytes, AssignmentSpelledOut) {
  const std::string end(1, '\0');
  std::string expected = Node("order_block") + Node("valset") + Node("variablepointer") + Node("identifier") + "a" +
                         end + end + Node("val") + Number(-300) + end + end + end;
  EXPECT_EQ(Compile("a = -300;"), expected);
}

// Digits, underscores and keyword prefixes stay part of a name: each is one identifier node.
TEST_F(CorpusBytes, NamesAreWholeIdentifiers) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"_Basis2 = Stufe_1 + 2;", {"_Basis2", "Stufe_1"}},
      {"ifBonus = 1; forBonus = 2; whileBonus = 3; elseBonus = 4;", {"ifBonus", "forBonus", "whileBonus", "elseBonus"}},
  };
  for (const auto& [script, names] : cases) {
    std::string compiled = Compile(script);
    ASSERT_FALSE(compiled.empty()) << lastMessage;
    for (const std::string& n : names)
      EXPECT_NE(compiled.find(Node("identifier") + n + std::string(1, '\0')), std::string::npos) << n;
  }
}

TEST_F(CorpusBytes, EmptyScriptIsOneEndByte) { EXPECT_EQ(Compile(""), std::string(1, '\0')); }

// Every script block of the manual is run by CorpusDocs, none left open.
TEST(CorpusManual, ExamplesAreInTheCorpus) {
  std::vector<std::string> blocks = ManualScripts();
  EXPECT_EQ(blocks.size(), std::size(kDocExamples));
  for (const std::string& b : blocks) EXPECT_FALSE(b.empty());
}

class CorpusRuns : public SeededScripts {};

TEST_F(CorpusRuns, TemporariesSurviveBetweenRunsPerThread) {
  ClearTemps();
  std::string read = Compile("b = a + 1;");
  Run(Compile("a = 5;"));
  Run(read);
  EXPECT_EQ(Temp('b'), 6);
  int32_t seen = -1;
  std::thread([&] { Run(read), seen = Temp('a') * 10 + Temp('b'); }).join();
  EXPECT_EQ(seen, 1);  // a fresh thread starts from 0
  EXPECT_EQ(Temp('b'), 6);
}

// No argument or -1 draws one of the first five elements; another number outside 0 to 5 names none.
TEST_F(CorpusRuns, ElementWithoutArgumentIsOneOfTheFirstFive) {
  for (const char* script : {"Text(Element());", "Text(Element(-1));"}) {
    std::string c = Compile(script);
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) seen.insert(Run(c));
    EXPECT_EQ(seen, (std::set<std::string>{"\"Feuer\"", "\"Kälte\"", "\"Blitz\"", "\"Schall\"", "\"Säure\""}));
  }
  EXPECT_EQ(Run(Compile("Text(Element(7));")), "\"\"");
}

// Element() keeps its text in one buffer per thread that the next call overwrites,
// so two calls in one statement both show the later element.
TEST_F(CorpusRuns, ElementTextIsOverwrittenByTheNextCall) {
  std::string c = Compile("Text(Element(0), Element(1)); if (Element(0) == Element(1)) { a = 1; }");
  ASSERT_FALSE(c.empty()) << lastMessage;
  ClearTemps();
  EXPECT_EQ(Run(c), "\"Kälte\"\"Kälte\"");
  EXPECT_EQ(Temp('a'), 1);
}

// A comment's end marker may overlap its start marker: "/*/" is a whole comment.
TEST_F(CorpusRuns, CommentEndMayOverlapItsStart) {
  EXPECT_EQ(Compile("/*/ a = 1;"), Compile("a = 1;"));
  EXPECT_TRUE(Compile("/*/ Kommentar */ a = 1;").empty());
}

}  // namespace
