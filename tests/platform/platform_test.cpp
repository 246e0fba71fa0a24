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

TEST_F(ScreenBuffers, ActivatingPrintsUsedRowsWhenNotATerminal) {
  s = ConsoleCreate();
  ConsoleWriteText(s, "Kobold\n\nHG 1/4   \n");
  testing::internal::CaptureStdout();
  ConsoleSetActive(s);
  ConsoleSetActive(ConsoleStandard());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Kobold\n\nHG 1/4\n");
}

// A fake terminal of 5 rows: a window of 4 rows and the status line below it.
TEST_F(ScreenBuffers, TerminalShowsAWindowAndAStatusLine) {
  ConsoleSetTerminalMode(1);
  ConsoleSetTerminalSize(40, 5);
  s = ConsoleCreate();
  for (int i = 1; i <= 10; ++i) ConsoleWriteText(s, ("Zeile " + std::to_string(i) + "\n").c_str());
  testing::internal::CaptureStdout();
  ConsoleSetActive(s);
  std::string top = testing::internal::GetCapturedStdout();
  EXPECT_NE(top.find("Zeile 4\x1b"), std::string::npos) << top;
  EXPECT_EQ(top.find("Zeile 5"), std::string::npos);
  EXPECT_NE(top.find("Zeilen 1-4 von 10 "), std::string::npos);
  testing::internal::CaptureStdout();
  ConsoleScroll(s, kScrollEnd);
  ConsoleSetStatus("Gespeichert");
  ConsoleRefresh();
  ConsoleSetStatus("");
  ConsoleCaptureBegin();
  ConsoleSetActive(ConsoleStandard());
  std::string left = ConsoleCaptureEnd();
  std::string end = testing::internal::GetCapturedStdout();
  EXPECT_NE(end.find("Zeile 10\x1b"), std::string::npos) << end;
  EXPECT_EQ(end.find("Zeile 6\x1b"), std::string::npos);
  EXPECT_NE(end.find("Gespeichert"), std::string::npos);
  EXPECT_EQ(left, "\x1b[0m\x1b[?1049l");  // back on the normal screen, also collected
  // A row wider than the terminal is cut, and the window moves sideways to its end.
  ConsoleWriteText(s, (std::string(50, '-') + "Ende\n").c_str());
  ConsoleSetActive(s);
  testing::internal::CaptureStdout();
  ConsoleScroll(s, kScrollEnd);
  ConsoleScrollColumns(s, 1000);
  ConsoleRefresh();
  std::string side = testing::internal::GetCapturedStdout();
  ConsoleSetActive(ConsoleStandard());
  EXPECT_NE(side.find(std::string(36, '-') + "Ende\x1b"), std::string::npos) << side;
  EXPECT_EQ(side.find(std::string(37, '-')), std::string::npos);
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
