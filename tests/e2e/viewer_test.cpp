// The viewer after a batch, the listing end menu, loop and benchmark, the consistency
// check, and the viewer on a real terminal.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e/program.h"
#include "e2e/shipped_dump.h"

namespace {

const char kBatch3[] = "0 1 5 3 3 0 0 0 0 0\n";
const char kBatch20[] = "0 1 10 20 20 0 0 0 0 0\n";
const char kEndMenu[] = "[N] Zurück ins Hauptmenü\n[Q] Beenden\n";
const char kKeyHelp[] = "[Q]  : Beenden\n";
const char kPrompt[] = "Durch Leerzeichen getrennt eingeben:";

struct Shown {
  int screen, of, hitPoints;
};

// Every creature screen printed, in order: in a pipe each activation prints the screen's rows.
std::vector<Shown> ScreensShown(const std::string& out) {
  static const std::regex kHead(R"(Screenbuffer: +(\d+) / +(\d+)[^\n]*\nVerbleibende Trefferpunkte: +(-?\d+))");
  std::vector<Shown> shown;
  for (std::sregex_iterator m(out.begin(), out.end(), kHead), end; m != end; ++m)
    shown.push_back({std::stoi((*m)[1]), std::stoi((*m)[2]), std::stoi((*m)[3])});
  return shown;
}

// The hit points screen `k` showed, repeats folded; a screen is listed with 0 while its
// creature is still being built.
std::vector<int> HitPointsOf(const std::vector<Shown>& shown, int k) {
  std::vector<int> values;
  for (const Shown& s : shown)
    if (s.screen == k && (values.empty() || values.back() != s.hitPoints)) values.push_back(s.hitPoints);
  if (values.size() > 1 && values.front() == 0) values.erase(values.begin());
  return values;
}

// The line of `key` ("MONEY=...") in one creature's export.
std::string Line(const std::string& block, const std::string& key) {
  size_t at = block.find("\n" + key);
  return at == std::string::npos ? "" : block.substr(at + 1, block.find('\n', at + 1) - at - 1);
}

class Viewer : public ::testing::Test {
 protected:
  ProgramRun Run(const std::string& input, int timeout = 60) { return RunProgram(dir_, {"0"}, input.c_str(), timeout); }
  WorkDir dir_;
};

TEST_F(Viewer, KeysPageBetweenScreens) {
  // s, a on screen 0 and e print no creature screen; 9 and 4 exceed the three screens.
  ProgramRun run = Run(std::string(kBatch3) + "dD29sdWdA4saeee1Q");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(CountOf(run.output, "Generating Char "), 3);
  EXPECT_NE(run.output.find("Generating Char 2 (Thread: 0)\n"), std::string::npos);
  std::vector<int> screens;
  for (const Shown& s : ScreensShown(run.output)) {
    EXPECT_EQ(s.of, 3);
    screens.push_back(s.screen);
  }
  EXPECT_EQ(screens, (std::vector<int>{1, 2, 3, 1, 2, 2, 2, 1, 3, 3, 2, 2, 1})) << run.output;
  // Once the viewer runs, every creature screen shows the key help below its sheet.
  const std::string& out = run.output;
  for (size_t at = out.find("Screenbuffer: ", out.find("HG Level")); at != std::string::npos;
       at = out.find("Screenbuffer: ", at + 1))
    EXPECT_NE(
        out.substr(at, std::min(out.find("Screenbuffer: ", at + 1), out.find("HG Level", at)) - at).find(kKeyHelp),
        std::string::npos)
        << out.substr(at, 200);
  EXPECT_NE(run.output.find("Manual mode set to: 1\nManual mode set to: 2\nManual mode set to: 0\n"),
            std::string::npos);
  EXPECT_EQ(CountOf(run.output, kPrompt), 1);
}

TEST_F(Viewer, DamageInputChangesHitPointsAndIsSaved) {
  // "-" after a digit is ignored, a leading "-" heals, two of them cancel, Enter alone subtracts 0.
  ProgramRun run = Run(std::string(kBatch3) + "1t12\nt1-2\nt-5\nt\n3t--7\n1vhurt\nn404\nhurt\nt9");
  ASSERT_TRUE(EndedWith(run, 0));
  size_t restart = run.output.find("\nRestarting\n");
  ASSERT_NE(restart, std::string::npos) << run.output;
  std::vector<Shown> first = ScreensShown(run.output.substr(0, restart));
  std::vector<int> one = HitPointsOf(first, 1), three = HitPointsOf(first, 3);
  ASSERT_FALSE(one.empty());
  ASSERT_FALSE(three.empty());
  ASSERT_GT(one[0], 0);
  int h = one[0], h3 = three[0];
  EXPECT_EQ(one, (std::vector<int>{h, h - 12, h - 24, h - 19})) << run.output;
  EXPECT_LE(HitPointsOf(first, 2).size(), 1u);
  EXPECT_EQ(three, (std::vector<int>{h3, h3 - 7}));
  char shown[64];
  snprintf(shown, sizeof shown, "Verbleibende Trefferpunkte: %4d", h - 12);
  EXPECT_NE(run.output.find(shown), std::string::npos) << shown;
  EXPECT_NE(run.output.find("Reproduction file has been saved as hurt.rep\n"), std::string::npos);
  // The replay starts from the damaged value; the damage input cut by the end of input still counts.
  std::vector<int> replayed = HitPointsOf(ScreensShown(run.output.substr(restart)), 1);
  ASSERT_GE(replayed.size(), 2u) << run.output.substr(restart);
  EXPECT_EQ(std::vector<int>(replayed.end() - 2, replayed.end()), (std::vector<int>{h - 19, h - 28}));
}

// All from the overview or one from its screen; names stay inside export/, leading dots
// (which would hide the file) become "_".
TEST_F(Viewer, ExportAllOrOneNamesStayInsideExportDirectory) {
  ProgramRun run = Run(std::string(kBatch3) + "xall\n2xtwo.exp\n3xthree\nsxa/b\\c\nx../../outside\nq");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(CountOf(run.output, "Enter Export Filename! "), 5);
  EXPECT_EQ(run.output.find("Coult not"), std::string::npos) << run.output;
  std::string all = dir_.Read("export/all.exp");
  std::vector<std::string> blocks = ExportedCreatures(all);
  ASSERT_EQ(blocks.size(), 3u) << all;
  EXPECT_EQ(blocks[0] + blocks[1] + blocks[2], all);
  EXPECT_EQ(blocks[0].rfind("STARTCHARACTER\n", 0), 0u);
  EXPECT_EQ(dir_.Read("export/two.exp"), blocks[1]);
  EXPECT_EQ(dir_.Read("export/three.exp"), blocks[2]);
  EXPECT_EQ(dir_.Read("export/__-..-outside.exp"), all);
  EXPECT_EQ(Entries(dir_.File("export")),
            (std::set<std::string>{"all.exp", "two.exp", "three.exp", "a-b-c.exp", "__-..-outside.exp"}));
  EXPECT_EQ(Entries(dir_.path()), (std::set<std::string>{"Build", "export", "save", "source.mrg"}));
}

TEST_F(Viewer, FailedExportIsReportedAndViewingGoesOn) {
  // A directory in the way fails for every user, root included.
  ASSERT_EQ(mkdir(dir_.File("export").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir_.File("export/blocked.exp").c_str(), 0755), 0);
  ProgramRun run = Run(std::string(kBatch3) + "2xblocked\nxfine\nx");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(CountOf(run.output, "Coult not oepn export file!\n"), 1) << run.output;
  EXPECT_EQ(ExportedCreatures(dir_.Read("export/fine.exp")).size(), 1u);
  EXPECT_EQ(Entries(dir_.File("export")), (std::set<std::string>{"blocked.exp", "fine.exp"}));
  EXPECT_TRUE(Entries(dir_.File("export/blocked.exp")).empty());
}

TEST_F(Viewer, ExportIntoReadOnlyDirectory) {
  ASSERT_EQ(mkdir(dir_.File("export").c_str(), 0555), 0);
  if (access(dir_.File("export").c_str(), W_OK) == 0) GTEST_SKIP() << "this user can write anywhere";
  ProgramRun run = Run(std::string(kBatch3) + "xnope\n1q");
  chmod(dir_.File("export").c_str(), 0755);
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(CountOf(run.output, "Coult not oepn export file!\n"), 1) << run.output;
  EXPECT_TRUE(Entries(dir_.File("export")).empty());
  // The viewer still answers keys afterwards.
  EXPECT_EQ(ScreensShown(run.output).back().screen, 1);
}

// K writes each creature's German and English stat block; a file in the way is said and
// leaves no half export behind.
TEST_F(Viewer, StatBlockExportWritesGermanAndEnglishBlocks) {
  ASSERT_EQ(mkdir(dir_.File("export").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir_.File("export/blocked.txt").c_str(), 0755), 0);
  // Monsters: no companion adds a block of its own.
  ProgramRun run = Run("1 1 5 3 3 0 0 0 0 0\nKall\n2ktwo.txt\n3kblocked\nq");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(CountOf(run.output, "Could not write export file export/blocked.txt"), 1) << run.output;
  EXPECT_EQ(Entries(dir_.File("export")),
            (std::set<std::string>{"all.txt", "all.en.txt", "two.txt", "two.en.txt", "blocked.txt"}));
  struct Case {
    const char* file;
    const char* label;  // one line per creature starts with it
    int creatures;
  };
  const Case cases[] = {{"export/all.txt", "Trefferwürfel: ", 3},
                        {"export/all.en.txt", "Hit Dice: ", 3},
                        {"export/two.txt", "Rettungswürfe: Zähigkeit ", 1},
                        {"export/two.en.txt", "Saves: Fort ", 1}};
  for (const Case& c : cases)
    EXPECT_EQ(CountOf("\n" + dir_.Read(c.file), std::string("\n") + c.label), c.creatures) << c.file;
  // The second creature's block is the one of the whole batch's file.
  std::string all = dir_.Read("export/all.en.txt"), two = dir_.Read("export/two.en.txt");
  EXPECT_NE(all.find(two), std::string::npos);
  EXPECT_NE(all.find("\n\n" + two), std::string::npos);
}

// Saved batches rebuild byte for byte, in runtime 0 and, after runtime 0 built the rule
// database, in runtime 4; so does a single creature saved from its screen, and one of the
// manual mode from its recorded answers, the alignment drawn last among them.
TEST_F(Viewer, SavedBatchReplaysIdentically) {
  ProgramRun run =
      Run(std::string(kBatch20) + "xorig\nvbatch\n7vseven\n" + "n404\nbatch\nxreplay1\n" + "n404\nseven\nxone\n" +
          "n0 5 5 1 1 0 1 0 0 0\n-2\nxvorher\nvmanuell\nn404\nmanuell\nxnachher\n" + "n104\n404\nbatch\nxreplay4\nq");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_NE(run.output.find("Reproduction file has been saved as batch.rep\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Running Visual C++ .NET Compiler Optimized Code"), std::string::npos);
  std::string orig = dir_.Read("export/orig.exp");
  std::vector<std::string> blocks = ExportedCreatures(orig);
  ASSERT_EQ(blocks.size(), 20u) << orig;
  // The creatures differ, so equal files mean each one was rebuilt in its place.
  std::set<std::string> money;
  for (const std::string& b : blocks) {
    money.insert(Line(b, "MONEY="));
    EXPECT_NE(b.find("\nALIGNMENT="), std::string::npos) << b;  // the last draw replays as well
  }
  EXPECT_GT(money.size(), 2u);
  EXPECT_EQ(dir_.Read("export/replay1.exp"), orig);
  EXPECT_EQ(dir_.Read("export/replay4.exp"), orig);
  EXPECT_EQ(dir_.Read("export/one.exp"), blocks[6]);
  std::string manual = dir_.Read("export/vorher.exp");
  EXPECT_NE(manual.find("\nALIGNMENT="), std::string::npos) << manual.substr(0, 500);
  EXPECT_EQ(dir_.Read("export/nachher.exp"), manual);
}

// Monsters of one batch share its theme: a creature re-rolled on its sheet and one saved
// alone from its sheet replay with the theme they were built with, although the replayed
// batch starts without one (monsters and mixed creatures, one and two threads).
TEST_F(Viewer, ThemedMonstersReplayAfterReRollAndSingleSave) {
  const char* batches[] = {"502\n1 5 7 3 3 0 0 0 0 0\n", "501\n1 5 7 3 3 0 0 0 0 0\n", "2 5 7 3 3 0 0 0 0 0\n",
                           "1 5 7 3 3 0 0 0 0 0\n", "2 5 7 3 3 0 0 0 0 0\n"};
  std::string input;
  for (int i = 0; i < 5; ++i) {
    std::string n = std::to_string(i);
    // Odd rounds re-roll the whole batch first.
    input += std::string(batches[i]) + (i % 2 ? "r1rs" : "1rs") + "xorig" + n + "\nvall" + n + "\n3vone" + n +
             "\nxthree" + n + "\nn404\nall" + n + "\nxrall" + n + "\nn404\none" + n + "\nxrone" + n + "\nn";
  }
  ProgramRun run = Run(input + "q", 120);
  ASSERT_TRUE(EndedWith(run, 0));
  for (int i = 0; i < 5; ++i) {
    std::string n = std::to_string(i);
    std::string orig = dir_.Read("export/orig" + n + ".exp");
    ASSERT_EQ(ExportedCreatures(orig).size(), 3u) << run.output;
    EXPECT_EQ(dir_.Read("export/rall" + n + ".exp"), orig) << "batch " << i;
    EXPECT_EQ(dir_.Read("export/rone" + n + ".exp"), dir_.Read("export/three" + n + ".exp")) << "batch " << i;
  }
}

TEST_F(Viewer, TwoThreadBatchReplaysIdentically) {
  ProgramRun run = Run("502\n" + std::string(kBatch20) + "xorig\nvbatch\nn404\nbatch\nxreplay\nq");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_NE(run.output.find("Generating Char 19 (Thread: 1)\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Waiting for Threads to terminate\n"), std::string::npos);
  std::string orig = dir_.Read("export/orig.exp");
  EXPECT_EQ(ExportedCreatures(orig).size(), 20u);
  EXPECT_EQ(dir_.Read("export/replay.exp"), orig);
}

TEST_F(Viewer, ListingsEndInTheEndMenu) {
  // More keys than classes with spells: the surplus falls to the end menu, which ignores them.
  ProgramRun spells = Run("402\n" + std::string(30, ' ') + "nq\n");
  ASSERT_TRUE(EndedWith(spells, 0));
  size_t lastPress = spells.output.rfind("Press a key to view next char!\n");
  ASSERT_NE(lastPress, std::string::npos) << spells.output;
  size_t menu = spells.output.find(kEndMenu, lastPress);
  ASSERT_NE(menu, std::string::npos);
  EXPECT_NE(spells.output.find("\nRestarting\n", menu), std::string::npos);
  EXPECT_EQ(CountOf(spells.output, kPrompt), 2);

  // End of input inside the spell list; a CR list of a random monster, where the
  // numbers fall to the end menu.
  for (const char* input : {"402\n", "401\n0\n0\nq"}) {
    SCOPED_TRACE(input);
    WorkDir dir;
    ProgramRun run = RunProgram(dir, {"0"}, input, 60);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_NE(run.output.find(kEndMenu), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find(kKeyHelp), std::string::npos);
    EXPECT_EQ(run.output.find("Template: Keine\n") != std::string::npos, input[2] == '1');
  }
  // The asked type (0) and monster (43) decide the listing; the questions show their options
  // with the output level of a normal run, and a rejected answer says why.
  ProgramRun chosen = Run("401 0 0 0 0 0 1\n0\n99999\n43\nq");
  ASSERT_TRUE(EndedWith(chosen, 0));
  size_t type = chosen.output.find("(Typ wählen!:)\n0: (1 / ");
  ASSERT_NE(type, std::string::npos) << chosen.output;
  size_t monster = chosen.output.find("(Monster wählen!:)\n", type);
  EXPECT_NE(chosen.output.find("Ungültige Eingabe: eine der oben aufgeführten Nummern", monster), std::string::npos);
  size_t head = chosen.output.find("\n\n\nOtyugh:\n\nTemplate: Keine\n");
  ASSERT_NE(head, std::string::npos) << chosen.output;
  EXPECT_LT(head, chosen.output.find(kEndMenu));
  EXPECT_LE(CountOf(chosen.output, "Template: "), 11);
  EXPECT_LE(CountOf(chosen.output, "\tHD Inc: "), 44);
}

// A step back at the first question of a re-roll asks it again; after one answer it asks
// the answered question again; so on a batch of three rebuilt from the summary.
TEST_F(Viewer, StepBackAfterAReRollAsksAgain) {
  struct Case {
    const char* input;
    int questions;
  };
  for (Case c : {Case{"0 5 5 1 1 0 0 0 0 0\nER\n-3\n", 2}, Case{"0 5 5 1 1 0 0 0 0 0\nER\n0\n-3\n", 3},
                 Case{"0 5 5 3 3 0 0 0 0 0\nER\n-3\n", 2}}) {
    SCOPED_TRACE(c.input);
    WorkDir dir;
    ProgramRun run = RunProgram(dir, {"0"}, c.input, 60);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_EQ(CountOf(run.output, "-3 = One Step Back)"), c.questions) << run.output;
  }
}

// A line that is no number is a batch of 0 creatures: the summary says so and shows the keys.
TEST_F(Viewer, LineWithoutNumbersShowsAnEmptySummary) {
  for (const char* line : {"\n", "abc\n", "\x01\x7f\n", "\xff\xfe\xc3\n"}) {
    SCOPED_TRACE(line);
    WorkDir dir;
    ProgramRun run = RunProgram(dir, {"0"}, (std::string(line) + "vq").c_str(), 60);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_NE(run.output.find("Keine Kreatur erzeugt: "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(kKeyHelp), std::string::npos);
    EXPECT_NE(run.output.find("Keine Kreatur zum Speichern.\n"), std::string::npos);
    EXPECT_TRUE(Entries(dir.File("save")).empty());
  }
}

// One entry stops at 1,000,000 and the remaining hit points at +-1,000,000, each with a note.
TEST_F(Viewer, HugeDamageIsClampedWithANote) {
  ProgramRun run = Run(std::string(kBatch3) + "1t" + std::string(20, '9') + "\nt999999\nt-5\nq");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(CountOf(run.output, "Schaden auf 1000000 begrenzt"), 1) << run.output;
  EXPECT_EQ(CountOf(run.output, "Trefferpunkte auf -1000000 bis 1000000 begrenzt."), 1);
  std::vector<int> hp = HitPointsOf(ScreensShown(run.output), 1);
  ASSERT_EQ(hp.size(), 4u) << run.output;
  EXPECT_EQ(std::vector<int>(hp.begin() + 1, hp.end()), (std::vector<int>{hp[0] - 1000000, -1000000, -999995}));
}

// g, a number and Enter reach screens beyond 9; a number without a screen says so.
TEST_F(Viewer, ScreensBeyondNineAreReachedByNumber) {
  ProgramRun run = Run("0 1 5 12 12 0 0 0 0 0\ng12\ng13\ng\nq");
  ASSERT_TRUE(EndedWith(run, 0));
  std::vector<int> screens, expected;
  for (const Shown& s : ScreensShown(run.output)) screens.push_back(s.screen);
  for (int k = 1; k <= 12; ++k) expected.push_back(k);
  expected.insert(expected.end(), {12, 12, 12});
  EXPECT_EQ(screens, expected) << run.output;
  EXPECT_NE(run.output.find("Screenbuffer 13 gibt es nicht (0 - 12).\n"), std::string::npos);
}

// Loop and benchmark run until a key arrives; it must arrive after the program started looping.
TEST_F(Viewer, LoopAndBenchmarkStopOnKeys) {
  struct Case {
    const char* start;
    std::vector<const char*> keys;  // each sent after a pause
    bool viewer, restart;
    int hundreds;  // "100 Loop" lines; -1 with threads, whose shared count the main thread may pass by
  } cases[] = {{"403\n", {"q"}, false, false, 1},      {"403\n", {"lt5\nq"}, true, false, 1},
               {"403\n", {"nq\n"}, false, true, 1},    {"403\n", {"r", "q"}, false, false, 2},
               {"405\n", {"q"}, false, false, 1},      {"502\n405\n", {"q"}, false, false, -1},
               {"502\n403\n", {"q"}, false, false, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.start) + c.keys[0]);
    std::vector<TimedInput> input{{0, c.start}};
    // Time enough for a hundred creatures even when other tests load both cores.
    for (const char* k : c.keys) input.push_back({2500, k});
    WorkDir dir;
    // With the dump in place no rebuild eats into the time of the loop.
    dir.Write("source.mrg", ShippedDump());
    ProgramRun run = RunProgramTimed(dir, {"0"}, input, 60);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_NE(run.output.find("00 Loop ("), std::string::npos) << run.output.substr(0, 4000);
    EXPECT_EQ(c.hundreds < 0 ? -1 : CountOf(run.output, "\n100 Loop ("), c.hundreds);
    // Only the viewer takes the damage key after "l".
    std::vector<int> shown;
    for (size_t at = run.output.find("\nVerbleibende Trefferpunkte:"); at != std::string::npos;
         at = run.output.find("\nVerbleibende Trefferpunkte:", at + 1))
      shown.push_back(atoi(run.output.c_str() + at + 29));
    bool damaged = false;
    for (size_t i = 1; i < shown.size(); ++i) damaged |= shown[i] == shown[i - 1] - 5;
    EXPECT_EQ(damaged, c.viewer);
    EXPECT_EQ(run.output.find("\nRestarting\n") != std::string::npos, c.restart);
    // "q" and "n" leave the loop at once: the stopped workers are not waited for aloud.
    EXPECT_FALSE(c.hundreds < 0 && run.output.find("Waiting for Threads") != std::string::npos);
  }
}

TEST_F(Viewer, ConsistencyCheckRunsUntilKey) {
  // From the shipped dump: no rebuild eats into the time of the check.
  dir_.Write("source.mrg", ShippedDump());
  ProgramRun run = RunProgramTimed(dir_, {"0"}, {{0, "406\n"}, {5000, "q\n"}}, 120);
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_NE(run.output.find("\n10 Consistent Chars ("), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("Insonsistence Found"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("Inconsistence Found in Line"), std::string::npos);
  EXPECT_FALSE(dir_.Exists("save/inconsistent.rep"));

  WorkDir again;
  ProgramRun back = RunProgramTimed(again, {"0"}, {{0, "406\n"}, {500, "nq\n"}}, 120);
  ASSERT_TRUE(EndedWith(back, 0));
  EXPECT_NE(back.output.find("\nRestarting\n"), std::string::npos) << back.output;
  EXPECT_EQ(CountOf(back.output, kPrompt), 2);
}

#ifdef SCHMIEDE_TIME_SCALE
constexpr int kWaitScale = SCHMIEDE_TIME_SCALE;  // sanitizer builds are slower
#else
constexpr int kWaitScale = 1;
#endif

// On a terminal keys arrive one at a time without Enter and each screen replaces the last.
class TmuxViewer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
    socket_ = dir_.path().substr(dir_.path().rfind('/') + 1);
  }
  void TearDown() override {
    if (socket_.empty()) return;
    std::string path = Tmux("display-message -p '#{socket_path}'");
    Tmux("kill-server");
    // tmux leaves the socket file behind.
    if (!path.empty()) unlink(path.substr(0, path.find('\n')).c_str());
  }
  std::string Tmux(const std::string& args) {
    std::string out, cmd = "tmux -L '" + socket_ + "' " + args + " 2>/dev/null";
    if (FILE* p = popen(cmd.c_str(), "r")) {
      char buf[4096];
      for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
      pclose(p);
    }
    return out;
  }
  std::string Pane() { return Tmux("capture-pane -p -t v"); }
  // Runs `command` in a pane of the given size; the shell reports the exit code after it.
  void Start(const std::string& command, int width, int height) {
    Tmux("new-session -d -s v -x " + std::to_string(width) + " -y " + std::to_string(height) + " -c '" + dir_.path() +
         "' '" + command + "; echo \"[exit $?]\"'");
    Tmux("set-option -t v remain-on-exit on");
  }
  // The program started on a batch of three, showing screen 1.
  void StartOnScreenOne(int height) {
    Start(SCHMIEDE_EXE " 0", 120, height);
    ASSERT_TRUE(Shows(kPrompt)) << Pane();
    Tmux("send-keys -t v '0 5 10 3 3 0 0 0 0 0' Enter");
    ASSERT_TRUE(Shows("HG Level")) << Pane();
    Tmux("send-keys -t v 1");
    ASSERT_TRUE(Shows("Screenbuffer:  1 /  3")) << Pane();
  }
  std::string LastRow() {
    std::string pane = Pane();
    while (!pane.empty() && pane.back() == '\n') pane.pop_back();
    return pane.substr(pane.rfind('\n') + 1);
  }
  // Waits up to 10 s (longer when sanitized) for the last row to begin with `text`.
  std::string WaitForLastRow(const std::string& text) {
    std::string row;
    for (int i = 0; i < 200 * kWaitScale && (row = LastRow()).rfind(text, 0) != 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return row;
  }
  // Waits up to 5 s for the pane's command to end.
  bool Dead() {
    for (int i = 0; i < 100; ++i) {
      if (Tmux("display-message -p -t v '#{pane_dead}'") == "1\n") return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  bool Alternate() { return Tmux("display-message -p -t v '#{alternate_on}'") == "1\n"; }
  // Whether the pane comes to show `text` within WaitFor's time.
  bool Shows(const std::string& text) { return WaitFor(text).find(text) != std::string::npos; }
  // Waits up to 10 s (longer when sanitized) for the pane to show `text`; returns the last capture.
  std::string WaitFor(const std::string& text) {
    std::string pane;
    for (int i = 0; i < 200 * kWaitScale; ++i) {
      pane = Pane();
      if (pane.find(text) != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return pane;
  }
  WorkDir dir_;
  std::string socket_;
};

TEST_F(TmuxViewer, KeysSwitchTheVisibleScreen) {
  Start(SCHMIEDE_EXE " 0", 125, 200);  // tall enough for a whole sheet
  ASSERT_TRUE(Shows(kPrompt)) << Pane();
  Tmux("send-keys -t v '0 1 5 3 3 0 0 0 0 0' Enter");
  ASSERT_NE(WaitFor("HG Level").find("[Q]  : Beenden"), std::string::npos) << Pane();
  struct Step {
    const char* key;
    int screen;  // 0: the overview
  };
  for (Step s : {Step{"d", 1}, Step{"d", 2}, Step{"a", 1}, Step{"3", 3}, Step{"d", 3}, Step{"s", 0}}) {
    SCOPED_TRACE(s.key);
    Tmux(std::string("send-keys -t v ") + s.key);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    std::string want = s.screen ? "Screenbuffer:  " + std::to_string(s.screen) + " /  3" : "HG Level";
    std::string pane = WaitFor(want);
    ASSERT_NE(pane.find(want), std::string::npos) << pane;
    if (s.screen) {
      EXPECT_EQ(pane.rfind(want, 0), 0u) << pane;
      // The status line shows the creature's own hit points, never the placeholder 0.
      size_t at = pane.find("\nVerbleibende Trefferpunkte: ");
      ASSERT_NE(at, std::string::npos) << pane;
      EXPECT_GT(atoi(pane.c_str() + at + 29), 0) << pane.substr(at, 40);
    } else {
      EXPECT_EQ(pane.find("Screenbuffer:"), std::string::npos) << pane;
    }
  }
  Tmux("send-keys -t v q");
  std::string pane = WaitFor("[exit ");
  EXPECT_NE(pane.find("Exiting...\n[exit 0]"), std::string::npos) << pane;
  EXPECT_TRUE(Dead());
}

// The results of T, V and X stay in the status line after the redraw; the window pages
// through a sheet taller than the terminal; the summary follows a changed creature.
TEST_F(TmuxViewer, MessagesStayVisibleAndLongSheetsPage) {
  ASSERT_EQ(mkdir(dir_.File("export").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir_.File("export/blocked.exp").c_str(), 0755), 0);
  StartOnScreenOne(30);
  std::string pane = Pane();
  int hp = atoi(pane.c_str() + pane.find("Verbleibende Trefferpunkte: ") + 28);
  Tmux("send-keys -t v t 7 Enter");
  EXPECT_EQ(WaitForLastRow("Verbleibende"), "Verbleibende Trefferpunkte: " + std::to_string(hp - 7));
  // The entry moved the window to the sheet's end; Home and PgDn page from the top.
  Tmux("send-keys -t v Home");
  EXPECT_EQ(WaitForLastRow("Zeilen 1-29 ").rfind("Zeilen 1-29 ", 0), 0u) << Pane();
  EXPECT_EQ(Pane().rfind("Screenbuffer:  1 /  3", 0), 0u);
  Tmux("send-keys -t v NPage");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Pane().find("Screenbuffer:"), std::string::npos) << Pane();
  EXPECT_EQ(LastRow().rfind("Zeilen 1-", 0), std::string::npos) << Pane();
  // The file name is typed once the question shows: keys typed ahead of it are dropped.
  Tmux("send-keys -t v v");
  WaitFor("Dateinamen zum speichern angeben!");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  Tmux("send-keys -t v probe Enter");
  EXPECT_EQ(WaitForLastRow("Reproduction"), "Reproduction file has been saved as probe.rep") << Pane();
  Tmux("send-keys -t v x");
  WaitFor("Enter Export Filename!");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  Tmux("send-keys -t v blocked Enter");
  EXPECT_EQ(WaitForLastRow("Coult"), "Coult not oepn export file!   export/blocked.exp: Is a directory") << Pane();
  // One hit die more, then the summary: its row shows the new hit points.
  Tmux("send-keys -t v +");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  pane = Pane();
  int more = atoi(pane.c_str() + pane.find("Verbleibende Trefferpunkte: ") + 28);
  Tmux("send-keys -t v s");
  pane = WaitFor("HG Level");
  static const std::regex kRow(R"(\|  1: *\d+ +\| +\S+ \| +(\d+) \|)");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(pane, m, kRow)) << pane;
  // The summary shows the creature's hit points, the sheet what the damage left of them.
  EXPECT_EQ(std::stoi(m[1]), more + 7) << pane;
}

// A batch of one shows the summary on S; an empty batch shows an empty summary with keys.
TEST_F(TmuxViewer, SummaryOfOneAndOfNone) {
  Start(SCHMIEDE_EXE " 0", 120, 50);
  ASSERT_TRUE(Shows(kPrompt)) << Pane();
  Tmux("send-keys -t v '0 1 5 1 1 0 0 0 0 0' Enter");
  ASSERT_TRUE(Shows("Screenbuffer:  1 /  1")) << Pane();
  Tmux("send-keys -t v s");
  std::string pane = WaitFor("HG Level");
  EXPECT_NE(pane.find("|  1: "), std::string::npos) << pane;
  EXPECT_EQ(pane.find(kPrompt), std::string::npos) << pane;
  Tmux("send-keys -t v n");
  WaitFor("Restarting");
  WaitFor(kPrompt);  // the screen was cleared before "Restarting": this is the new prompt
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  Tmux("send-keys -t v Enter");
  pane = WaitFor("Keine Kreatur erzeugt");
  EXPECT_NE(pane.find("Keine Kreatur erzeugt"), std::string::npos) << pane;
  EXPECT_NE(pane.find("[Q]  : Beenden"), std::string::npos) << pane;
}

// B shows a creature's stat block within 80 columns and back its sheet; the block pages
// like a sheet, and a re-roll keeps the view.
TEST_F(TmuxViewer, StatBlockKeyTogglesAndPagesAt80x24) {
  Start(SCHMIEDE_EXE " 0", 120, 40);  // the prompt's menu wants 120 columns and 40 rows
  ASSERT_TRUE(Shows(kPrompt)) << Pane();
  Tmux("resize-window -t v -x 80 -y 24");
  Tmux("send-keys -t v '0 5 10 3 3 0 0 0 0 0' Enter");
  ASSERT_TRUE(Shows("HG Level")) << Pane();
  Tmux("send-keys -t v 1");
  ASSERT_TRUE(Shows("Screenbuffer:  1 /  3")) << Pane();
  EXPECT_EQ(Pane().find("Trefferwürfel:"), std::string::npos);
  Tmux("send-keys -t v B");
  std::string pane = WaitFor("Trefferwürfel:");
  EXPECT_EQ(pane.rfind("Screenbuffer:  1 /  3", 0), 0u) << pane;
  for (const char* label : {"Größe/Typ:", "Trefferwürfel:", "Rüstungsklasse:", "Grundangriffsbonus/Ringkampf:"})
    EXPECT_NE(pane.find(label), std::string::npos) << label << "\n" << pane;
  EXPECT_EQ(WaitForLastRow("Zeilen 1-23 von ").rfind("Zeilen 1-23 von ", 0), 0u) << pane;
  // The end of the block: the key help with the new key below it.
  Tmux("send-keys -t v End");
  pane = WaitFor("[B]  : Werteblock/Bogen");
  EXPECT_NE(pane.find("[B]  : Werteblock/Bogen"), std::string::npos) << pane;
  EXPECT_EQ(pane.find("Screenbuffer:"), std::string::npos) << pane;
  Tmux("send-keys -t v Home");
  EXPECT_EQ(WaitFor("Screenbuffer:  1").rfind("Screenbuffer:  1 /  3", 0), 0u);
  // A re-roll draws the block again; b (lower case) brings the sheet back.
  Tmux("send-keys -t v r");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_NE(WaitFor("Trefferwürfel:").find("Trefferwürfel:"), std::string::npos) << Pane();
  Tmux("send-keys -t v b");
  pane = WaitFor("Regeln:");
  EXPECT_NE(pane.find("Regeln:"), std::string::npos) << pane;
  EXPECT_EQ(pane.find("Trefferwürfel:"), std::string::npos) << pane;
  Tmux("send-keys -t v q");
}

// While a batch is built no sheet is drawn; one progress line counts the creatures.
TEST_F(TmuxViewer, BatchDrawsOnlyTheScreenShown) {
  Start(SCHMIEDE_EXE " 0", 120, 50);
  ASSERT_TRUE(Shows(kPrompt)) << Pane();
  std::string log = dir_.File("pane.log");
  Tmux("pipe-pane -t v -o 'cat >> " + log + "'");
  Tmux("send-keys -t v '0 1 5 20 20 0 0 0 0 0' Enter");
  ASSERT_TRUE(Shows("HG Level")) << Pane();
  Tmux("pipe-pane -t v");
  std::string drawn = dir_.Read("pane.log");
  size_t summary = drawn.find("HG Level");
  ASSERT_NE(summary, std::string::npos);
  EXPECT_EQ(drawn.substr(0, summary).find("Screenbuffer:"), std::string::npos);
  EXPECT_NE(drawn.find("Erzeuge Kreatur 20 / 20"), std::string::npos);
}

// Ctrl-Z and fg give the viewer back its keys and its screen; a resize redraws at once.
TEST_F(TmuxViewer, ResumeAndResizeRedraw) {
  Start("bash --norc --noprofile -i", 120, 40);
  Tmux("send-keys -t v '" SCHMIEDE_EXE " 0' Enter");
  ASSERT_TRUE(Shows(kPrompt)) << Pane();
  Tmux("send-keys -t v '0 5 10 3 3 0 0 0 0 0' Enter");
  ASSERT_TRUE(Shows("HG Level")) << Pane();
  Tmux("send-keys -t v C-z");
  ASSERT_TRUE(Shows("Stopped")) << Pane();
  EXPECT_FALSE(Alternate());
  Tmux("send-keys -t v fg Enter");
  ASSERT_TRUE(Shows("HG Level")) << Pane();
  Tmux("send-keys -t v d");  // no Enter: the key mode is back
  ASSERT_TRUE(Shows("Screenbuffer:  1 /  3")) << Pane();
  Tmux("resize-window -t v -x 100 -y 25");
  EXPECT_EQ(WaitForLastRow("Zeilen 1-24 ").rfind("Zeilen 1-24 ", 0), 0u) << Pane();
  Tmux("send-keys -t v q");
}

// Ctrl-C and SIGTERM end the program on the prompt's screen, not in the alternate one.
TEST_F(TmuxViewer, EndingSignalsRestoreTheScreen) {
  for (const char* how : {"C-c", "TERM"}) {
    SCOPED_TRACE(how);
    StartOnScreenOne(50);
    ASSERT_TRUE(Alternate());
    if (std::string(how) == "C-c") {
      Tmux("send-keys -t v C-c");
    } else {
      // The pane runs a shell; the program is its child.
      std::string shell = Tmux("display-message -p -t v '#{pane_pid}'");
      shell = shell.substr(0, shell.find('\n'));
      std::ifstream children("/proc/" + shell + "/task/" + shell + "/children");
      int pid = 0;
      ASSERT_TRUE(children >> pid);
      kill(pid, SIGTERM);
    }
    Dead();
    EXPECT_FALSE(Alternate());
    EXPECT_NE(Pane().find("Generating Char 2 (Thread: 0)"), std::string::npos) << Pane();
    Tmux("kill-server");
  }
}

}  // namespace

TEST_F(Viewer, HitDieAndSizeKeysChangeTheMonsterInPlace) {
  // A wolf (type 1 "Animal", monster 12, no templates, the rest by chance); on its
  // screen: one hit die more, one size larger, one hit die less, then the export.
  ProgramRun run = Run("1 1 1 1 1 0 1 0 0 0\n0\n1\n12\n-2\n1+*-xmonster\nq");
  ASSERT_TRUE(EndedWith(run, 0));
  static const std::regex kDice(R"(Monster: *(.+?) TW: *(\d+))");
  std::vector<int> dice;
  for (std::sregex_iterator m(run.output.begin(), run.output.end(), kDice), end; m != end; ++m) {
    int d = std::stoi((*m)[2]);
    if (dice.empty() || dice.back() != d) dice.push_back(d);
  }
  ASSERT_EQ(dice.size(), 3u) << run.output;
  EXPECT_EQ(dice[1], dice[0] + 1);
  EXPECT_EQ(dice[2], dice[0]);
  // The head row names the size as a person reads it ("Wolf (Tier), mittelgroß"), the
  // export by its key: a wolf is Medium, one size larger Large.
  static const std::regex kHead(R"(│ (.+?) \((.+?)\), (.+?) +│)");
  std::vector<std::string> sizes;
  for (std::sregex_iterator m(run.output.begin(), run.output.end(), kHead), end; m != end; ++m)
    if (sizes.empty() || sizes.back() != (*m)[3]) sizes.push_back((*m)[3]);
  ASSERT_EQ(sizes.size(), 2u) << run.output;
  // The remaining hit points follow each change; the export shows the changed monster.
  std::vector<int> hp = HitPointsOf(ScreensShown(run.output), 1);
  ASSERT_GE(hp.size(), 2u) << run.output;
  EXPECT_GT(hp[1], hp[0]);
  std::string exported = dir_.Read("export/monster.exp");
  EXPECT_NE(exported.find("TW=" + std::to_string(dice[0]) + "\n"), std::string::npos) << exported;
  EXPECT_NE(exported.find("SIZE=Large\n"), std::string::npos) << exported;
  EXPECT_NE(exported.find("MONSTERATTACK="), std::string::npos) << exported;
}

// Ctrl-D at a file-name prompt cancels that name only: the viewer goes on and a second
// try saves the batch.
TEST_F(TmuxViewer, EndOfFileKeyCancelsOnlyTheNamePrompt) {
  StartOnScreenOne(50);
  Tmux("send-keys -t v V");
  ASSERT_TRUE(Shows("Dateinamen zum speichern")) << Pane();
  Tmux("send-keys -t v C-d");
  ASSERT_TRUE(Shows("No file name given")) << Pane();
  Tmux("send-keys -t v V");
  Tmux("send-keys -t v kept Enter");
  EXPECT_TRUE(Shows("saved as kept.rep")) << Pane();
  Tmux("send-keys -t v q");
}

// After a stop and `fg` in a line read, the prompt shows again even when the shell
// cleared the screen: the main prompt, then the file-name prompt over the viewer.
TEST_F(TmuxViewer, ResumedLineReadShowsItsPromptAgain) {
  Start("bash --norc --noprofile -i", 120, 50);
  Tmux("send-keys -t v '" SCHMIEDE_EXE " 0' Enter");
  ASSERT_TRUE(Shows(kPrompt)) << Pane();
  auto stopClearResume = [&](const std::string& prompt) {
    Tmux("send-keys -t v C-z");
    ASSERT_TRUE(Shows("Stopped")) << Pane();
    Tmux("send-keys -t v 'printf \"\\033[H\\033[2J\"' Enter");
    for (int i = 0; i < 200 * kWaitScale && Pane().find("Stopped") != std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(Pane().find(prompt), std::string::npos) << Pane();
    Tmux("send-keys -t v fg Enter");
    ASSERT_TRUE(Shows(prompt)) << Pane();
  };
  stopClearResume(kPrompt);
  Tmux("send-keys -t v '0 5 10 3 3 0 0 0 0 0' Enter");
  ASSERT_TRUE(Shows("HG Level")) << Pane();
  Tmux("send-keys -t v V");
  ASSERT_TRUE(Shows("Dateinamen zum speichern")) << Pane();
  stopClearResume("Dateinamen zum speichern");
  Tmux("send-keys -t v later Enter");
  EXPECT_TRUE(Shows("saved as later.rep")) << Pane();
  Tmux("send-keys -t v q");
}

TEST_F(Viewer, FamiliarKeepsHalfItsMastersHitPointsAfterAHitDie) {
  // NPC-class characters of HG 20, one at a time: about one in thirteen has a familiar,
  // so 240 of them give fewer than three only once in many thousand runs.
  std::string input;
  for (int i = 0; i < 240; ++i) input += "4 20 20 1 1\nxb" + std::to_string(i) + "\n1+xa" + std::to_string(i) + "\nn";
  ProgramRun run = Run(input + "q", 120);
  ASSERT_TRUE(EndedWith(run, 0));
  auto hitPoints = [](const std::string& block) { return atoi(Line(block, "TP=").c_str() + 3); };
  int familiars = 0;
  for (int i = 0; i < 240; ++i) {
    std::string before = dir_.Read("export/b" + std::to_string(i) + ".exp");
    std::string after = dir_.Read("export/a" + std::to_string(i) + ".exp");
    size_t b = before.find("\nSTARTFAMILIAR"), a = after.find("\nSTARTFAMILIAR");
    if (b == std::string::npos) continue;
    ASSERT_NE(a, std::string::npos) << i;
    ++familiars;
    int master = hitPoints(before), grown = hitPoints(after);
    int familiar = hitPoints(before.substr(b)), followed = hitPoints(after.substr(a));
    EXPECT_GT(grown, master) << i;
    EXPECT_GE(familiar, master / 2) << i;
    EXPECT_EQ(followed, std::max(familiar, grown / 2)) << i;
  }
  EXPECT_GE(familiars, 3);
}
