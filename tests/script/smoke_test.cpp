#include "script/script_fixture.h"

TEST_F(ShippedGrammar, Smoke) {
  ClearTemps();
  std::string c = Compile("a = 3; b = (a + 4) * 2; if (b > 10) { Text(\"gross \", b); } else { Text(\"klein\"); }");
  ASSERT_FALSE(c.empty()) << lastMessage;
  EXPECT_EQ(Run(c), "gross 14");
  EXPECT_EQ(Temp('b'), 14);
}
