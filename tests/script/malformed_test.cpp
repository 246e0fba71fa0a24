// Scripts the grammar must refuse, with the message that tells the game master
// where; and the limits of what it accepts.
#include <string>
#include <thread>

#include "generator/creature_ops.h"
#include "platform/keys.h"
#include "script/script_fixture.h"

namespace {

const char kMismatch[] = "Content does not match Grammar near:\n\n";
const char kTooDeep[] = "Script nested too deeply or too complex to match\n";

struct MalformedScript {
  const char* name;
  const char* script;
  const char* excerpt = nullptr;  // expected excerpt; null: not compared
};

void PrintTo(const MalformedScript& s, std::ostream* os) { *os << s.name; }

class MalformedScripts : public ShippedGrammar, public testing::WithParamInterface<MalformedScript> {};

TEST_P(MalformedScripts, AreRefusedWithTheScriptQuoted) {
  const MalformedScript& s = GetParam();
  const std::string plain = Compile("a = 1;");
  EXPECT_EQ(Compile(s.script), "");
  std::string tail = std::string("\n\n") + s.script + "\n\n";
  ASSERT_EQ(lastMessage.rfind(kMismatch, 0), 0u) << lastMessage;
  EXPECT_TRUE(lastMessage.ends_with(tail)) << lastMessage;
  if (s.excerpt) {
    EXPECT_EQ(lastMessage, kMismatch + std::string(s.excerpt) + tail);
  }
  // A refused script leaves nothing behind for the next one.
  EXPECT_EQ(Compile("a = 1;"), plain);
}

const MalformedScript kMalformed[] = {
    {"MissingSemicolonAtEnd", "a = 1", ""},
    {"MissingSemicolonBetween", "a = 1 b = 2;", "b = 2;"},
    {"MissingClosingBrace", "if (a > 1) { b = 1;\nc = 2;", ""},
    {"MissingOpeningBrace", "if (a > 1) b = 1; }", "b = 1; }"},
    {"StrayClosingBrace", "a = 1; }", "}"},
    {"MissingParenthesisInIf", "if (a > 1 { b = 1; }", "{ b = 1; }"},
    {"UnbalancedOpeningParenthesis", "a = (1 + 2;", ";"},
    {"UnbalancedClosingParenthesis", "a = 1 + 2);", ");"},
    {"UnterminatedString", "Text(\"abc);", ""},
    {"ThreeOperandsWithoutParentheses", "a = a + b + c;"},
    {"ComparisonAsStatement", "x == 3;", "= 3;"},
    {"FunctionNameCase", "Textline(\"x\");"},
    {"SecondElse", "if (a > 1) { } else { } else { }"},
    {"ForWithCommas", "for (i = 0, i < 3, i++) { }"},
    {"UnaryMinusOnName", "a = -b;"},
    {"UmlautInName", "Stärke = 1;"},
    {"PrefixIncrement", "++a;"},
    {"DoubleNegation", "if (!!a) { }"},
    {"TextWithoutArguments", "Text();"},
    {"ValueFunctionAsStatement", "HasFeat(\"Ausweichen\");"},
    {"StatementFunctionAsValue", "a = TextLine(\"x\");"},
    {"NameArgumentWithoutQuotes", "AddFeat(Waffenfokus);"},
    {"TwoCallsWithoutSemicolon", "Text(\"a\") Text(\"b\");", ") Text(\"b\");"},
    {"StrayCommentEnd", "/* Kommentar */ */", "*/"},
};

std::string MalformedName(const testing::TestParamInfo<MalformedScript>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(MalformedCorpus, MalformedScripts, testing::ValuesIn(kMalformed), MalformedName);

class MalformedLimits : public ShippedGrammar {
 protected:
  // `depth` if blocks around `inner`.
  static std::string NestedIfs(int depth, const std::string& inner) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "if (1) { ";
    s += inner;
    for (int i = 0; i < depth; ++i) s += " }";
    return s;
  }
};

// An unclosed comment runs to the end of the script: accepted, the rest ignored.
TEST_F(MalformedLimits, UnterminatedCommentSwallowsTheRest) {
  std::string plain = Compile("a = 1;");
  ASSERT_FALSE(plain.empty());
  EXPECT_EQ(Compile("a = 1; /* offen\nb = 2;"), plain) << lastMessage;
  EXPECT_EQ(Compile("a = 1; /*"), plain) << lastMessage;
}

TEST_F(MalformedLimits, NestingCompilesToADepthAndIsRefusedBeyond) {
  for (int depth : {1, 200}) {
    ClearTemps();
    std::string open(depth, '('), close(depth, ')');
    Run(Compile("a = " + open + "7" + close + "; if (" + open + "1 > 0" + close + ") { b = 9; }"));
    EXPECT_EQ(Temp('a') * 10 + Temp('b'), 79) << depth;
  }
  std::string script = "a = " + std::string(100000, '(') + "1" + std::string(100000, ')') + ";";
  EXPECT_EQ(Compile(script), "");
  EXPECT_EQ(lastMessage.rfind(std::string(kTooDeep) + kMismatch, 0), 0u);
  EXPECT_TRUE(lastMessage.ends_with("\n\n" + script + "\n\n"));
  // The refusal does not stick to the next script.
  ClearTemps();
  Run(Compile("a = (((1)));"));
  EXPECT_EQ(lastMessage, "");
  EXPECT_EQ(Temp('a'), 1);
}

TEST_F(MalformedLimits, LongScriptsAndStringsCompileWhole) {
  std::string script;
  for (int i = 0; i < 2000; ++i) script += i % 2 ? "a = a + 1;\n" : "a++; /* zählt */\n";
  ClearTemps();
  Run(Compile(script));
  EXPECT_EQ(Temp('a'), 2000);
  std::string longText(100000, 'x');
  EXPECT_EQ(Run(Compile("Text(\"" + longText + "\");")), longText);
}

// One statement holds at most 2048 values; the surplus is dropped with one message
// per thread, so a fresh thread shows it.
TEST_F(MalformedLimits, SurplusTextArgumentsAreDropped) {
  std::string script = "Text(\"x\"";
  for (int i = 1; i < 2100; ++i) script += ", \"x\"";
  script += ");";
  std::string compiled = Compile(script);
  ASSERT_FALSE(compiled.empty());
  std::string text, printed;
  std::thread fresh([&] {
    testing::internal::CaptureStdout();
    text = Run(compiled);
    printed = testing::internal::GetCapturedStdout();
  });
  fresh.join();
  EXPECT_EQ(text, std::string(2048, 'x'));
  EXPECT_EQ(printed, "Script value stack full, value dropped\n");
}

TEST_F(MalformedLimits, IfAndWhileNestAtMost256DeepWhenRun) {
  for (const char* inner : {"a++;", "while (a < 1) { a++; }"}) {
    SCOPED_TRACE(inner);
    int depth = inner[0] == 'a' ? 256 : 255;  // the while is one more level
    std::string ok = Compile(NestedIfs(depth, inner));
    ASSERT_FALSE(ok.empty());
    ClearTemps();
    Run(ok);
    EXPECT_EQ(Temp('a'), 1);
    std::string deep = Compile(NestedIfs(depth + 1, inner));
    ASSERT_FALSE(deep.empty());
    EXPECT_EXIT(
        {
          InputUseText("");
          Run(deep);
        },
        testing::ExitedWithCode(1), "");
  }
}

}  // namespace
