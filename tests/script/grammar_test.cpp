// The grammar loader and the matcher on small grammars written for each case.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/keys.h"
#include "script/compile.h"
#include "script/grammar.h"
#include "script/matcher.h"
#include "temp_dir.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

class GrammarLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/schmiede-grammar-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    cfg_ = dir_ + "/bnf.cfg";
    SetGrammarConfigPath(cfg_.c_str());
    InputUseText("");
  }
  void TearDown() override {
    Unload();
    SetGrammarConfigPath(nullptr);
    InputUseText(nullptr);
    SetOutputLevels(0, -1);
    ASSERT_EQ(system(("rm -rf " + dir_).c_str()), 0);
  }
  void Unload() {
    debugspace::ReleaseRedirection();
    CaptureStdout();
    DropGrammarForTests();
    GetCapturedStdout();
  }
  void Write(const std::string& name, const std::string& text) { std::ofstream(dir_ + "/" + name) << text; }
  // Writes the configuration and grammar and loads them; returns the loader's output.
  std::string Load(const std::string& grammar, const std::string& extra = "InitSymbol=start\n",
                   int* result = nullptr, int level = 0) {
    Write("g.bnf", grammar);
    Write("bnf.cfg", "[Config]\nGrammarFile=" + dir_ + "/g.bnf\nSeperatorBytes=32,9,10,13\n" + extra);
    SetOutputLevels(level, -1);
    CaptureStdout();
    int before = TrackerCount();
    int r = ReadGrammarConfig();
    kept = TrackerCount() - before;
    std::string out = GetCapturedStdout();
    SetOutputLevels(0, -1);
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
  std::string dir_, cfg_;
  int kept = 0;  // blocks a load left allocated
};

}  // namespace

TEST_F(GrammarLoad, FailuresNameTheirCause) {
  struct Case {
    const char* grammar;
    const char* extra;
    const char* message;
  };
  const Case cases[] = {
      {"start = missing_rule ;", "InitSymbol=start\n", "Coult not find Symbol missing_rule\n"},
      {"start = ( \"a\" ;", "InitSymbol=start\n", "Error while processing Grammar\n"},
      {"start = [ \"a\" ) ;", "InitSymbol=start\n", "Error while processing Grammar\n"},
      {"start = \"a\" ", "InitSymbol=start\n", "Error while processing Grammar\n"},
      {"start = \"unterminated ;", "InitSymbol=start\n", "Error while processing Grammar\n"},
      {"start = 1000 ;", "InitSymbol=start\n", "Error while processing Grammar\n"},
      {"start = \"a\" # ;", "InitSymbol=start\n", "Error while processing Grammar\n"},
      {"start = \"a\" ; start = \"b\" ;", "InitSymbol=start\n", "Rule start is defined twice\n"},
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
  // No configuration, or no grammar file.
  SetGrammarConfigPath((dir_ + "/none.cfg").c_str());
  CaptureStdout();
  EXPECT_EQ(ReadGrammarConfig(), 1);
  EXPECT_NE(GetCapturedStdout().find("Error Reading Config File\n"), std::string::npos);
  SetGrammarConfigPath(cfg_.c_str());
  Write("bnf.cfg", "[Config]\nGrammarFile=" + dir_ + "/gone.bnf\nInitSymbol=start\n");
  CaptureStdout();
  EXPECT_EQ(ReadGrammarConfig(), 1);
  EXPECT_NE(GetCapturedStdout().find("Error loading Grammar File\n"), std::string::npos);
}

TEST_F(GrammarLoad, SubSymbolsAreNamedAndCounted) {
  int result = 1;
  std::string out = Load("start = ( \"a\" , ( \"b\" ) ) , [ \"c\" ] , { \"d\" } ; other = \"x\" ;", "InitSymbol=start\n",
                         &result, 2);
  ASSERT_EQ(result, 0) << out;
  EXPECT_NE(out.find("Size of Grammar: "), std::string::npos);
  EXPECT_NE(out.find(" (6 Symbols, 4 SubSymbols)\n"), std::string::npos) << out;
  // Symbol order: a rule, then its bracketed parts as their brackets open.
  const char* names[] = {"start", "start sub 0", "start sub 0 sub 0", "start sub 1", "start sub 2", "other"};
  uint32_t expected = 0;
  for (const char* n : names) {
    EXPECT_EQ(FindSymbolName(n), expected) << n;
    expected += (uint32_t)strlen(n) + 1;
  }
  EXPECT_EQ(gGrammar.symbolCount, 6);
  EXPECT_EQ(gGrammar.separatorCount, 4);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(gGrammar.separators), 4), std::string(" \t\n\r"));
  // Loading again while loaded does nothing.
  const uint8_t* tree = gGrammar.tree;
  EXPECT_EQ(ReadGrammarConfig(), 0);
  EXPECT_EQ(gGrammar.tree, tree);
}

TEST_F(GrammarLoad, BlanksJoinNamesButStayInLiterals) {
  ASSERT_EQ(Load("start = first part , \"a b\" \"c\" ; firstpart = \"x\" ;").find("Error"), std::string::npos);
  std::string tree;
  EXPECT_TRUE(Matches("xa bc", &tree));
  EXPECT_EQ(tree, "start(firstpart(x)a bc)");
  EXPECT_FALSE(Matches("xabc"));
}

TEST_F(GrammarLoad, AlternativesBindSingleElements) {
  ASSERT_EQ(Load("start = \"a\" , \"b\" | \"c\" , \"d\" ;").find("Error"), std::string::npos);
  EXPECT_TRUE(Matches("abd"));
  EXPECT_TRUE(Matches("acd"));
  EXPECT_FALSE(Matches("ab"));
  EXPECT_FALSE(Matches("abcd"));  // once b matched, c is never tried
  EXPECT_FALSE(Matches("cd"));
}

TEST_F(GrammarLoad, ExceptionsExcludeWhatTheExcludedPartMatches) {
  ASSERT_EQ(Load("start = { word , \";\" } ; word = letters - keyword ; letters = lch , { lch } ;"
                 "lch = \"a\" | \"b\" | \"i\" | \"f\" ; keyword = \"if\" ;",
                 "InitSymbol=start\nCompressedSymbol=letters\n")
                .find("Error"),
            std::string::npos);
  EXPECT_TRUE(Matches("ab;ifa;fi;"));
  EXPECT_FALSE(Matches("ab;if;"));
}

TEST_F(GrammarLoad, CompressedUnitsCaseFoldingAndUnderscores) {
  ASSERT_EQ(Load("start = \"let\" , name , { \",\" , name } ; name = nch , { nch } ; nch = anycharacter - stop ;"
                 "stop = \",\" | \" \" ;",
                 "InitSymbol=start\nCompressedSymbol=name\nCaseSensitive=0\n")
                .find("Error"),
            std::string::npos);
  std::string tree;
  // The keyword matches in capitals but the tree carries it as the grammar writes it;
  // a compressed unit holds raw text, underscores as blanks, and blanks end it.
  EXPECT_TRUE(Matches("LET  ab_c , de", &tree));
  EXPECT_EQ(tree, "start(letname(ab c)start sub 0(,name(de)))");
  EXPECT_FALSE(Matches("let a b"));
}

TEST_F(GrammarLoad, EmptyMatchesAndNodes) {
  ASSERT_EQ(Load("start = { maybe } , tail ; maybe = [ \"m\" ] ; tail = \"\" ;").find("Error"), std::string::npos);
  std::string tree;
  // A repetition whose body matches empty text stops instead of looping.
  EXPECT_TRUE(Matches("mm", &tree));
  EXPECT_EQ(tree, "start(start sub 0(maybe(maybe sub 0(m)))start sub 0(maybe(maybe sub 0(m))))");
  // A rule that matches only separators keeps an empty node; one that matches
  // nothing leaves none.
  EXPECT_TRUE(Matches("m  ", &tree));
  EXPECT_EQ(tree, "start(start sub 0(maybe(maybe sub 0(m)))start sub 0())");
  EXPECT_TRUE(Matches("", &tree));
  EXPECT_EQ(tree, "");
}

TEST_F(GrammarLoad, EmptyLiteralInsideASequenceAddsNothing) {
  ASSERT_EQ(Load("start = \"a\" , \"\" , \"b\" ;").find("Error"), std::string::npos);
  std::string tree;
  EXPECT_TRUE(Matches("ab", &tree));
  EXPECT_EQ(tree, "start(ab)");
}

TEST_F(GrammarLoad, CommentsAreSkippedLikeSeparators) {
  ASSERT_EQ(Load("start = \"a\" , \"b\" , \"\" ;", "InitSymbol=start\nComment=/*,*/,#,!\n").find("Error"),
            std::string::npos);
  EXPECT_TRUE(Matches("a /* x */ b"));
  EXPECT_TRUE(Matches("a#comment!b /**/"));
  EXPECT_TRUE(Matches("a/*/b"));  // the end marker may overlap the start marker
  // An unterminated comment runs to the end of the text.
  EXPECT_TRUE(Matches("a b /* offen"));
  EXPECT_FALSE(Matches("a /* b */"));
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
  EXPECT_EQ(debugspace::RedirectSymbols(), 1);
  EXPECT_NE(GetCapturedStdout().find("Small Symbol Found, cannot redirect (ab)\n"), std::string::npos);
}
