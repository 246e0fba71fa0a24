// The grammar loader and the matcher on small grammars written for each case.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "generator/script_binding.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/keys.h"
#include "script/compile.h"
#include "script/grammar.h"
#include "script/matcher.h"
#include "state_fixture.h"
#include "temp_dir.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

class GrammarLoad : public StateTest {
 protected:
  void SetUp() override {
    SetGrammarConfigPath((dir_ + "/bnf.cfg").c_str());
    InputUseText("");
  }
  void TearDown() override {
    Unload();
    SetGrammarConfigPath(nullptr);
    InputUseText(nullptr);
  }
  void Unload() {
    debugspace::ReleaseRedirection();
    CaptureStdout();
    DropGrammarForTests();
    GetCapturedStdout();
  }
  void Write(const std::string& name, const std::string& text) { std::ofstream(dir_ + "/" + name) << text; }
  // Writes the configuration and grammar and loads them; returns the loader's output.
  std::string Load(const std::string& grammar, const std::string& extra = "InitSymbol=start\n", int* result = nullptr,
                   int level = 0) {
    Write("g.bnf", grammar);
    Write("bnf.cfg", "[Config]\nGrammarFile=" + dir_ + "/g.bnf\nSeperatorBytes=32,9,10,13\n" + extra);
    Output(level);
    CaptureStdout();
    int before = TrackerCount();
    int r = ReadGrammarConfig();
    kept = TrackerCount() - before;
    std::string out = GetCapturedStdout();
    Output(0);
    if (result) *result = r;
    return out;
  }
  // Matches text against the loaded grammar; the parse tree rendered readably.
  bool Matches(const std::string& text, std::string* tree = nullptr) {
    bool ok = MatchWholeText(text.data(), text.size());
    if (tree) {
      tree->clear();
      for (size_t i = 0; i < gMatch.treeLength; ++i) {
        uint8_t b = gMatch.tree[i];
        if (b == 1) {
          uint32_t off;
          memcpy(&off, gMatch.tree + i + 1, 4);
          *tree += std::string(SymbolNameAt(off)) + "(";
          i += 4;
        } else if (b == 0) {
          *tree += ")";
        } else {
          *tree += (char)b;
        }
      }
    }
    ResetParseTree();
    return ok;
  }
  TempWorkDir work_;
  const std::string dir_ = work_.path();
  int kept = 0;  // blocks a load left allocated
};

}  // namespace

TEST_F(GrammarLoad, FailuresNameTheirCause) {
  const char* kInit = "InitSymbol=start\n";
  const struct Case {
    const char* grammar;
    const char* extra;
    const char* message;
  } cases[] = {
      {"start = ( \"a\" ;", kInit, "Error while processing Grammar\n"},
      {"start = \"unterminated ;", kInit, "Error while processing Grammar\n"},
      {"start = \"a\" ; start = \"b\" ;", kInit, "Rule start is defined twice\n"},
      {"start = \"a\" ;", "", "Could not read InitSymbol from Config File\n"},
      {"start = \"a\" ;", "InitSymbol=other\n", "Could not find Init Rule\n"},
      {"start = \"a\" ;", "InitSymbol=start\nCompressedSymbol=start, nothere\n", "Could not find Symbol nothere\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.grammar);
    int result = 0;
    std::string out = Load(c.grammar, c.extra, &result);
    EXPECT_EQ(result, 1);
    EXPECT_NE(out.find(c.message), std::string::npos) << out;
    EXPECT_NE(out.find("Error Initializing Grammar\n"), std::string::npos);
    EXPECT_FALSE(gGrammar.loaded);
    EXPECT_EQ(kept, 0) << "a failed load keeps nothing";
  }
  // No grammar file, or no configuration.
  Write("bnf.cfg", "[Config]\nGrammarFile=" + dir_ + "/gone.bnf\nInitSymbol=start\n");
  for (const char* message : {"Error loading Grammar File\n", "Error Reading Config File\n"}) {
    CaptureStdout();
    EXPECT_EQ(ReadGrammarConfig(), 1);
    EXPECT_NE(GetCapturedStdout().find(message), std::string::npos);
    SetGrammarConfigPath((dir_ + "/none.cfg").c_str());
  }
}

TEST_F(GrammarLoad, SubSymbolsAreNamedAndCounted) {
  int result = 1;
  std::string out =
      Load("start = ( \"a\" , ( \"b\" ) ) , [ \"c\" ] , { \"d\" } ; other = \"x\" ;", "InitSymbol=start\n", &result, 2);
  ASSERT_EQ(result, 0) << out;
  EXPECT_NE(out.find(" (6 Symbols, 4 SubSymbols)\n"), std::string::npos) << out;
  // Symbol order: a rule, then its bracketed parts as their brackets open.
  const char* names[] = {"start", "start sub 0", "start sub 0 sub 0", "start sub 1", "start sub 2", "other"};
  uint32_t expected = 0;
  for (const char* n : names) {
    EXPECT_EQ(FindSymbolName(n), expected) << n;
    expected += (uint32_t)strlen(n) + 1;
  }
  EXPECT_EQ(std::string(reinterpret_cast<char*>(gGrammar.separators), gGrammar.separatorCount), " \t\n\r");
  // Loading again while loaded does nothing.
  const uint8_t* tree = gGrammar.tree;
  EXPECT_EQ(ReadGrammarConfig(), 0);
  EXPECT_EQ(gGrammar.tree, tree);
}

// Small grammars and what they accept: the tree where one is given, "-" for no match.
TEST_F(GrammarLoad, MatchesAsTheGrammarSays) {
  struct Text {
    const char* text;
    const char* tree;
  };
  struct Case {
    const char* what;
    const char* grammar;
    const char* extra;
    std::vector<Text> texts;
  };
  const char* kInit = "InitSymbol=start\n";
  const Case cases[] = {
      {"blanks join names but stay in literals",
       "start = first part , \"a b\" \"c\" ; firstpart = \"x\" ;",
       kInit,
       {{"xa bc", "start(firstpart(x)a bc)"}, {"xabc", "-"}}},
      // Once b matched, c is never tried.
      {"alternatives bind single elements",
       "start = \"a\" , \"b\" | \"c\" , \"d\" ;",
       kInit,
       {{"abd", nullptr}, {"acd", nullptr}, {"ab", "-"}, {"cd", "-"}}},
      {"exceptions exclude what the excluded part matches",
       "start = { word , \";\" } ; word = letters - keyword ; letters = lch , { lch } ;"
       "lch = \"a\" | \"b\" | \"i\" | \"f\" ; keyword = \"if\" ;",
       "InitSymbol=start\nCompressedSymbol=letters\n",
       {{"ab;ifa;fi;", nullptr}, {"ab;if;", "-"}}},
      // The keyword matches in capitals but the tree carries it as the grammar writes it;
      // a compressed unit holds raw text, underscores as blanks, and blanks end it.
      {"compressed units, case folding and underscores",
       "start = \"let\" , name , { \",\" , name } ; name = nch , { nch } ; nch = anycharacter - stop ;"
       "stop = \",\" | \" \" ;",
       "InitSymbol=start\nCompressedSymbol=name\nCaseSensitive=0\n",
       {{"LET  ab_c , de", "start(letname(ab c)start sub 0(,name(de)))"}, {"let a b", "-"}}},
      // A repetition whose body matches empty text stops instead of looping. A rule that
      // matches only separators keeps an empty node; one that matches nothing leaves none.
      {"empty matches and nodes",
       "start = { maybe } , tail ; maybe = [ \"m\" ] ; tail = \"\" ;",
       kInit,
       {{"mm", "start(start sub 0(maybe(maybe sub 0(m)))start sub 0(maybe(maybe sub 0(m))))"},
        {"m  ", "start(start sub 0(maybe(maybe sub 0(m)))start sub 0())"},
        {"", ""}}},
      // The end marker may overlap the start marker; an unterminated comment runs to the end.
      {"comments are skipped like separators",
       "start = \"a\" , \"b\" , \"\" ;",
       "InitSymbol=start\nComment=/*,*/,#,!\n",
       {{"a /* x */ b", nullptr}, {"a#comment!b /**/", nullptr}, {"a b /* offen", nullptr}, {"a /* b */", "-"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Load(c.grammar, c.extra).find("Error"), std::string::npos);
    for (const Text& t : c.texts) {
      std::string tree;
      bool matched = Matches(t.text, &tree);
      EXPECT_EQ(matched, !t.tree || strcmp(t.tree, "-") != 0) << t.text;
      if (matched && t.tree) {
        EXPECT_EQ(tree, t.tree) << t.text;
      }
    }
    Unload();
  }
}

TEST_F(GrammarLoad, MismatchExcerptStartsAtTheFurthestPoint) {
  ASSERT_EQ(Load("start = { \"ab\" , \";\" } ;").find("Error"), std::string::npos);
  // The matcher keeps pointing at the text: it must outlive the excerpt.
  const std::string text = "ab;ab;ax;ab;";
  EXPECT_FALSE(Matches(text));
  char excerpt[96];
  MismatchExcerpt(excerpt);
  EXPECT_STREQ(excerpt, "ax;ab;");
  const std::string longTail = "ab;" + std::string(200, 'q');
  EXPECT_FALSE(Matches(longTail));
  MismatchExcerpt(excerpt);
  EXPECT_EQ(std::string(excerpt), std::string(95, 'q'));
}

TEST_F(GrammarLoad, ShortSymbolNamesCannotBeRedirected) {
  ASSERT_EQ(Load("start = ab ; ab = \"x\" ;").find("Error"), std::string::npos);
  CaptureStdout();
  EXPECT_EQ(debugspace::RedirectCreatureScripts(), 1);
  EXPECT_NE(GetCapturedStdout().find("Small Symbol Found, cannot redirect (ab)\n"), std::string::npos);
}
