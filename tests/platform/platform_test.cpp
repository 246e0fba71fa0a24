#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/console.h"
#include "platform/keys.h"
#include "platform/region.h"

namespace {

// A screen buffer, not on a terminal unless the test says so.
class ScreenBuffers : public ::testing::Test {
 protected:
  ScreenBuffers() { ConsoleSetTerminalMode(0); }
  ~ScreenBuffers() override {
    ConsoleDestroy(s);
    ConsoleSetTerminalSize(0, 0);
    ConsoleSetTerminalMode(-1);
  }
  ScreenBuffer* s = nullptr;
};

}  // namespace

TEST_F(ScreenBuffers, WriteFillAndAttributesByCodePoint) {
  s = ConsoleCreate();
  ASSERT_NE(s, nullptr);
  ConsoleSetAttribute(s, kAttrGreen);
  ConsoleWriteText(s, "Größe: Mittel\nZweite");
  int x, y;
  ConsoleGetCursor(s, &x, &y);
  EXPECT_EQ(x, 6);  // code points, not bytes
  EXPECT_EQ(y, 1);
  EXPECT_EQ(ConsoleRowText(s, 0), "Größe: Mittel");
  EXPECT_EQ(ConsoleCellAttribute(s, 2, 0), kAttrGreen);
  ConsoleFill(s, 0x2500, 5, 3, 3);  // box-drawing line
  EXPECT_EQ(ConsoleRowText(s, 3), "   ─────");
  EXPECT_EQ(ConsoleUsedRows(s), 4);
  ConsoleFillAttribute(s, kAttrRed, 2, 0, 1);
  EXPECT_EQ(ConsoleCellAttribute(s, 1, 1), kAttrRed);
  EXPECT_EQ(ConsoleCellAttribute(s, 2, 1), kAttrGreen);
  // Long rows wrap at the buffer width.
  ConsoleSetCursor(s, kScreenColumns - 2, 5);
  ConsoleWriteText(s, "abcd");
  EXPECT_EQ(ConsoleRowText(s, 6), "cd");
  // A shrunk buffer keeps what still fits.
  ASSERT_TRUE(ConsoleSetSize(s, 4, 2));
  EXPECT_EQ(ConsoleRowText(s, 0), "Größ");
  ConsoleClear(s);
  EXPECT_EQ(ConsoleUsedRows(s), 0);
}

TEST(Keys, PipedInputNeverBlocks) {
  InputUseText("ab\nzeile eins\r\n  wort rest\n");
  EXPECT_EQ(ReadKey('q'), 'a');
  EXPECT_EQ(ReadKey('q'), 'b');
  EXPECT_EQ(ReadKey('q'), kKeyEnter);
  char buf[64];
  ASSERT_TRUE(ReadLine(buf, sizeof buf));
  EXPECT_STREQ(buf, "zeile eins");  // CR LF is one line end
  ASSERT_TRUE(ReadWord(buf, sizeof buf));
  EXPECT_STREQ(buf, "wort");
  ASSERT_TRUE(ReadLine(buf, 4));
  EXPECT_STREQ(buf, " re");  // an overlong line is cut, its rest dropped
  EXPECT_TRUE(KeyWaiting());
  EXPECT_FALSE(ReadLine(buf, sizeof buf));
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(ReadKey('q'), 'q');  // end of input: the key that leaves the loop
  EXPECT_EQ(ReadChar(), -1);
  EXPECT_FALSE(ReadWord(buf, sizeof buf));
  InputUseText(nullptr);
}

TEST(FixedRegion, ReservesOnlyAFreeRangeAtTheFixedAddress) {
  const size_t size = 1 << 20;
  void* a = RegionReserve(kFixedRegionAddress, size);
  ASSERT_EQ(a, reinterpret_cast<void*>(kFixedRegionAddress));
  EXPECT_EQ(RegionReserve(kFixedRegionAddress, size), nullptr);  // taken
  ASSERT_TRUE(RegionCommit(a, size));
  memset(a, 0x5A, size);
  EXPECT_EQ(static_cast<unsigned char*>(a)[size - 1], 0x5A);
  EXPECT_TRUE(RegionRelease(a, size));
  void* b = RegionReserve(kFixedRegionAddress, size);
  EXPECT_EQ(b, a);
  EXPECT_TRUE(RegionRelease(b, size));
}
