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
