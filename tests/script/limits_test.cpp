// Deeply nested scripts: matched in reasonable time, or refused with a message.
#include "script/script_fixture.h"

TEST_F(ShippedGrammar, NestedParenthesesCompileUpToDepthAndAreRefusedBeyond) {
  for (int depth : {1, 50, 200}) {
    SCOPED_TRACE(depth);
    ClearTemps();
    std::string c = Compile("a = " + std::string(depth, '(') + "7" + std::string(depth, ')') + ";");
    ASSERT_FALSE(c.empty()) << lastMessage;
    Run(c);
    EXPECT_EQ(Temp('a'), 7);
    c = Compile("if (" + std::string(depth, '(') + "1 > 0" + std::string(depth, ')') + ") { a = 9; }");
    ASSERT_FALSE(c.empty()) << lastMessage;
    Run(c);
    EXPECT_EQ(Temp('a'), 9);
  }
  std::string deep = Compile("a = " + std::string(100000, '(') + "7" + std::string(100000, ')') + ";");
  EXPECT_TRUE(deep.empty());
  EXPECT_NE(lastMessage.find("Script nested too deeply or too complex to match\n"), std::string::npos);
  EXPECT_NE(lastMessage.find("Content does not match Grammar near:"), std::string::npos);
}

TEST_F(ShippedGrammar, LongStringsCompileWhole) {
  std::string longText(100000, 'x');
  std::string c = Compile("Text(\"" + longText + "\");");
  ASSERT_FALSE(c.empty()) << lastMessage.substr(0, 200);
  EXPECT_EQ(Run(c), longText);
}

namespace {

// Codes a rule database would give: the table number times 100 plus the name's length.
int32_t FakeCodes(debugspace::NameTable table, const char* name) { return (int32_t)table * 100 + (int32_t)strlen(name); }

std::string Resolved(const std::string& compiled) {
  uint8_t* block = static_cast<uint8_t*>(mallocloga(compiled.size(), "test-script"));
  memcpy(block, compiled.data(), compiled.size());
  debugspace::OptimizeScript2(&block, FakeCodes);
  std::string out(reinterpret_cast<char*>(block), (size_t)debugspace::SkipItems(block, 0));
  freeloga(block);
  return out;
}

}  // namespace

TEST_F(ShippedGrammar, SecondPassTurnsNameArgumentsIntoCodes) {
  // Name arguments become val nodes with the record's code; numbers and other
  // arguments stay as they are.
  std::string byName = Compile("if (IsRace(\"Elf\")) { BoostSkillTyped(\"Springen\", 2, \"Kompetenz\"); }");
  std::string byCode = Compile("if (IsRace(3)) { BoostSkillTyped(708, 2, 309); }");
  std::string expected = Compile("if (IsRace(403)) { BoostSkillTyped(308, 2, 109); }");
  ASSERT_FALSE(byName.empty() || byCode.empty() || expected.empty());
  EXPECT_EQ(Resolved(byName), expected);
  EXPECT_EQ(Resolved(byCode), byCode);
  std::string feats = Compile("AddFeatPerFeat(\"Ausweichen\", \"Beweglichkeit\"); AddFeat(\"Finte\", \"Dolch\");");
  EXPECT_EQ(Resolved(feats), Compile("AddFeatPerFeat(210, 213); AddFeat(205, \"Dolch\");"));
}
