// The viewer after a batch, the listing end menu, loop and benchmark, the consistency
// check, and the viewer on a real terminal.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e/program.h"
#include "e2e/shipped_dump.h"

namespace {

const char kBatch3[] = "0 1 5 3 3 0 0 0 0 0\n";
const char kEndMenu[] = "[N] Zurück ins Hauptmenü\n[Q] Beenden\n";
const char kKeyHelp[] = "[Q]  : Beenden\n";
const char kPrompt[] = "Durch Leerzeichen getrennt eingeben:";

struct Shown {
  int screen, of, hitPoints;
  bool built;  // a sheet follows; while its creature is being built a screen shows only its head
};

// Every creature screen printed, in order: in a pipe each activation prints the screen's rows.
std::vector<Shown> ScreensShown(const std::string& out) {
  static const std::regex kHead(R"(Screenbuffer: +(\d+) / +(\d+)[^\n]*\nVerbleibende Trefferpunkte: +(-?\d+))");
  std::vector<Shown> shown;
  for (std::sregex_iterator m(out.begin(), out.end(), kHead), end; m != end; ++m) {
    size_t after = (size_t)(m->position() + m->length());
    size_t sheet = out.find("Character Creation took", after);
    bool built = sheet != std::string::npos && sheet < out.find("Screenbuffer:", after);
    shown.push_back({std::stoi((*m)[1]), std::stoi((*m)[2]), std::stoi((*m)[3]), built});
  }
  return shown;
}

std::vector<int> ScreenNumbers(const std::string& out) {
  std::vector<int> screens;
  for (const Shown& s : ScreensShown(out)) screens.push_back(s.screen);
  return screens;
}

// The hit points screen `k` showed with its sheet, repeats folded.
std::vector<int> HitPointsOf(const std::string& out, int k) {
  std::vector<int> values;
  for (const Shown& s : ScreensShown(out))
    if (s.screen == k && s.built && (values.empty() || values.back() != s.hitPoints)) values.push_back(s.hitPoints);
  return values;
}

int HitPointsIn(const std::string& block) {
  size_t at = block.find("\nTP=");
  return at == std::string::npos ? 0 : atoi(block.c_str() + at + 4);
}

class Viewer : public ::testing::Test {
 protected:
  ProgramRun Run(const std::string& input, int timeout = 60) { return RunProgram(dir_, {"0"}, input.c_str(), timeout); }
  std::string Export(const std::string& name) { return dir_.Read("export/" + name); }
  void Blocked(const char* name) {
    ASSERT_EQ(mkdir(dir_.File("export").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir_.File(std::string("export/") + name).c_str(), 0755), 0);
  }
  WorkDir dir_;
};

// B shows a creature's stat block, a re-roll keeps that view, b brings the sheet back.
TEST_F(Viewer, KeysPageBetweenScreens) {
  // s, a on screen 0 and e print no creature screen; 9 and 4 exceed the three screens.
  ProgramRun run = Run(std::string(kBatch3) + "dD29sdWdA4saeee1BrbQ");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(CountOf(run.output, "Generating Char "), 3);
  for (const Shown& s : ScreensShown(run.output)) EXPECT_EQ(s.of, 3);
  EXPECT_EQ(ScreenNumbers(run.output), (std::vector<int>{1, 2, 3, 1, 2, 2, 2, 1, 3, 3, 2, 2, 1, 1, 1, 1}))
      << run.output;
  // The last three screens: B's block, the re-rolled block (a companion brings blocks of its
  // own), then b's sheet; every sheet shows its rules, no block does.
  std::vector<std::string> screens;
  for (size_t at = run.output.find("Screenbuffer:"); at != std::string::npos;) {
    size_t next = run.output.find("Screenbuffer:", at + 1);
    screens.push_back(run.output.substr(at, next == std::string::npos ? next : next - at));
    at = next;
  }
  ASSERT_EQ(screens.size(), 16u);
  EXPECT_TRUE(Has(screens[13], "Trefferwürfel: ") && Has(screens[14], "Trefferwürfel: "));
  for (size_t i = 3; i < 16; ++i) EXPECT_EQ(Has(screens[i], "Regeln: "), i < 13 || i == 15) << i;
  EXPECT_TRUE(Has(run, "Manual mode set to: 1\nManual mode set to: 2\nManual mode set to: 0\n"));
  // g, a number and Enter reach screens beyond 9; a number without a screen says so.
  WorkDir twelve;
  run = RunProgram(twelve, {"0"}, "0 1 5 12 12 0 0 0 0 0\ng12\ng13\ng\nq", 60);
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(ScreenNumbers(run.output), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 12, 12, 12}));
  EXPECT_TRUE(Has(run, "Screenbuffer 13 gibt es nicht (0 - 12).\n"));
}

// "-" after a digit is ignored, a leading "-" heals, two of them cancel, Enter alone
// subtracts 0; the replay starts from the damaged value, and damage input cut by the end
// of input still counts. One entry stops at 1,000,000 and the hit points at +-1,000,000.
TEST_F(Viewer, DamageInputChangesHitPointsAndIsSaved) {
  ProgramRun run = Run(std::string(kBatch3) + "1t12\nt1-2\nt-5\nt\n3t--7\n1vhurt\nn404\nhurt\nt9");
  ASSERT_TRUE(EndedWith(run, 0));
  size_t restart = run.output.find("\nRestarting\n");
  ASSERT_NE(restart, std::string::npos) << run.output;
  std::vector<int> one = HitPointsOf(run.output.substr(0, restart), 1);
  std::vector<int> three = HitPointsOf(run.output.substr(0, restart), 3);
  ASSERT_FALSE(one.empty() || three.empty());
  int h = one[0], h3 = three[0];
  EXPECT_EQ(one, (std::vector<int>{h, h - 12, h - 24, h - 19})) << run.output;
  EXPECT_EQ(three, (std::vector<int>{h3, h3 - 7}));
  EXPECT_TRUE(Has(run, "Reproduction file has been saved as hurt.rep\n"));
  std::vector<int> replayed = HitPointsOf(run.output.substr(restart), 1);
  ASSERT_GE(replayed.size(), 2u) << run.output.substr(restart);
  EXPECT_EQ(std::vector<int>(replayed.end() - 2, replayed.end()), (std::vector<int>{h - 19, h - 28}));

  WorkDir huge;
  run = RunProgram(huge, {"0"}, (std::string(kBatch3) + "1t" + std::string(20, '9') + "\nt999999\nt-5\nq").c_str(), 60);
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(CountOf(run.output, "Schaden auf 1000000 begrenzt"), 1) << run.output;
  EXPECT_EQ(CountOf(run.output, "Trefferpunkte auf -1000000 bis 1000000 begrenzt."), 1);
  std::vector<int> hp = HitPointsOf(run.output, 1);
  ASSERT_EQ(hp.size(), 4u) << run.output;
  EXPECT_EQ(std::vector<int>(hp.begin() + 1, hp.end()), (std::vector<int>{hp[0] - 1000000, -1000000, -999995}));
}

// All from the overview or one from its screen; names stay inside export/, leading dots
// become "_". A directory in the way of a name is reported and viewing goes on.
TEST_F(Viewer, ExportAllOrOneNamesStayInsideExportDirectory) {
  Blocked("blocked.exp");
  ProgramRun run = Run(std::string(kBatch3) + "xall\n2xtwo.exp\n3xthree\nsxa/b\\c\nx../../outside\n2xblocked\n1q");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(CountOf(run.output, "Enter Export Filename! "), 6);
  EXPECT_EQ(CountOf(run.output, "Coult not oepn export file!\n"), 1) << run.output;
  std::string all = Export("all.exp");
  std::vector<std::string> blocks = ExportedCreatures(all);
  ASSERT_EQ(blocks.size(), 3u) << all;
  EXPECT_EQ(blocks[0] + blocks[1] + blocks[2], all);
  EXPECT_EQ(Export("two.exp"), blocks[1]);
  EXPECT_EQ(Export("three.exp"), blocks[2]);
  EXPECT_EQ(Export("__-..-outside.exp"), all);
  EXPECT_EQ(Entries(dir_.File("export")), (std::set<std::string>{"all.exp", "two.exp", "three.exp", "a-b-c.exp",
                                                                 "__-..-outside.exp", "blocked.exp"}));
  EXPECT_EQ(Entries(dir_.path()), (std::set<std::string>{"Build", "export", "save", "source.mrg"}));
  EXPECT_EQ(ScreenNumbers(run.output).back(), 1);  // the viewer still answers keys afterwards
}

// K writes each creature's German and English stat block (a monster's companions add no
// block); a file in the way is said and leaves no half export behind.
TEST_F(Viewer, StatBlockExportWritesGermanAndEnglishBlocks) {
  Blocked("blocked.txt");
  ProgramRun run = Run("1 1 5 3 3 0 0 0 0 0\nKall\n2ktwo.txt\n3kblocked\nq");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_EQ(CountOf(run.output, "Could not write export file export/blocked.txt"), 1) << run.output;
  EXPECT_EQ(Entries(dir_.File("export")),
            (std::set<std::string>{"all.txt", "all.en.txt", "two.txt", "two.en.txt", "blocked.txt"}));
  for (auto [file, label, creatures] : {std::tuple{"all.txt", "Trefferwürfel: ", 3},
                                        {"all.en.txt", "Hit Dice: ", 3},
                                        {"two.txt", "Rettungswürfe: Zähigkeit ", 1}})
    EXPECT_EQ(CountOf("\n" + Export(file), std::string("\n") + label), creatures) << file;
  EXPECT_TRUE(Has(Export("all.en.txt"), "\n\n" + Export("two.en.txt")));
}

// Saved batches rebuild byte for byte, in runtime 0 and, after runtime 0 built the rule
// database, in runtime 4; so do a single creature saved from its screen and one of the
// manual mode from its recorded answers (the alignment drawn last among them).
TEST_F(Viewer, SavedBatchReplaysIdentically) {
  ProgramRun run =
      Run("0 1 10 20 20 0 0 0 0 0\nxorig\nvbatch\n7vseven\nn404\nbatch\nxreplay1\nn404\nseven\nxone\n"
          "n0 5 5 1 1 0 1 0 0 0\n-2\nxvorher\nvmanuell\nn404\nmanuell\nxnachher\n"
          "n104\n404\nbatch\nxreplay4\nq",
          120);
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_TRUE(Has(run, "Running Visual C++ .NET Compiler Optimized Code"));
  std::string orig = Export("orig.exp");
  std::vector<std::string> blocks = ExportedCreatures(orig);
  ASSERT_EQ(blocks.size(), 20u) << orig;
  // The creatures differ, so equal files mean each one was rebuilt in its place.
  EXPECT_NE(blocks[0], blocks[1]);
  EXPECT_EQ(Export("replay1.exp"), orig);
  EXPECT_EQ(Export("replay4.exp"), orig);
  EXPECT_EQ(Export("one.exp"), blocks[6]);
  std::string manual = Export("vorher.exp");
  EXPECT_TRUE(Has(manual, "\nALIGNMENT=")) << manual.substr(0, 500);
  EXPECT_EQ(Export("nachher.exp"), manual);
}

// Monsters of one batch share its theme: a creature re-rolled on its sheet and one saved
// alone from its sheet replay with the theme they were built with, although the replayed
// batch starts without one (monsters on two threads after a re-roll of the batch, mixed
// creatures on one).
TEST_F(Viewer, ThemedMonstersReplayAfterReRollAndSingleSave) {
  std::string input;
  for (std::string n : {"0", "1"})
    input += (n == "0" ? "502\n1 5 7 3 3 0 0 0 0 0\nr1rs" : "501\n2 5 7 3 3 0 0 0 0 0\n1rs") + std::string("xorig") +
             n + "\nvall" + n + "\n3vone" + n + "\nxthree" + n + "\nn404\nall" + n + "\nxrall" + n + "\nn404\none" + n +
             "\nxrone" + n + "\nn";
  ProgramRun run = Run(input + "q", 120);
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_TRUE(Has(run, "(Thread: 1)\n") && Has(run, "Waiting for Threads to terminate\n"));
  for (std::string n : {"0", "1"}) {
    std::string orig = Export("orig" + n + ".exp");
    ASSERT_EQ(ExportedCreatures(orig).size(), 3u) << n;
    EXPECT_EQ(Export("rall" + n + ".exp"), orig) << "batch " << n;
    EXPECT_EQ(Export("rone" + n + ".exp"), Export("three" + n + ".exp")) << "batch " << n;
  }
}

TEST_F(Viewer, ListingsEndInTheEndMenu) {
  // More keys than classes with spells: the surplus falls to the end menu, which ignores them.
  ProgramRun spells = Run("402\n" + std::string(30, ' ') + "nq\n");
  ASSERT_TRUE(EndedWith(spells, 0));
  size_t menu = spells.output.find(kEndMenu, spells.output.rfind("Press a key to view next char!\n"));
  ASSERT_NE(menu, std::string::npos) << spells.output;
  EXPECT_NE(spells.output.find("\nRestarting\n", menu), std::string::npos);
  // End of input inside the spell list; a CR list of a random monster, where the
  // numbers fall to the end menu.
  for (const char* input : {"402\n", "401\n0\n0\nq"}) {
    SCOPED_TRACE(input);
    WorkDir dir;
    ProgramRun run = RunProgram(dir, {"0"}, input, 60);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(Has(run, kEndMenu) && !Has(run, kKeyHelp)) << run.output;
    EXPECT_EQ(Has(run, "Template: Keine\n"), input[2] == '1');
  }
  // The asked type (0) and monster (43) decide the listing; a rejected answer says why.
  ProgramRun chosen = Run("401 0 0 0 0 0 1\n0\n99999\n43\nq");
  ASSERT_TRUE(EndedWith(chosen, 0));
  size_t monster = chosen.output.find("(Typ wählen!:)\n0: (1 / ");
  ASSERT_NE(monster, std::string::npos) << chosen.output;
  EXPECT_NE(chosen.output.find("Ungültige Eingabe: eine der oben aufgeführten Nummern", monster), std::string::npos);
  size_t head = chosen.output.find("\n\n\nOtyugh:\n\nTemplate: Keine\n");
  ASSERT_NE(head, std::string::npos) << chosen.output;
  EXPECT_LT(head, chosen.output.find(kEndMenu));
  EXPECT_LE(CountOf(chosen.output, "\tHD Inc: "), 44);
}

// A step back at the first question of a re-roll asks it again, after one answer the
// answered one (also on a batch of three rebuilt from the summary); a line that is no
// number is a batch of 0 creatures, whose summary says so and shows the keys.
TEST_F(Viewer, StepBackAfterAReRollAndEmptyBatches) {
  for (auto [input, questions] : {std::pair{"0 5 5 1 1 0 0 0 0 0\nER\n-3\n", 2},
                                  {"0 5 5 1 1 0 0 0 0 0\nER\n0\n-3\n", 3},
                                  {"0 5 5 3 3 0 0 0 0 0\nER\n-3\n", 2},
                                  {"\nvq", 0},
                                  {"\xff\xfe\xc3\nvq", 0}}) {
    SCOPED_TRACE(input);
    WorkDir dir;
    ProgramRun run = RunProgram(dir, {"0"}, input, 60);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_EQ(CountOf(run.output, "-3 = One Step Back)"), questions) << run.output;
    if (questions) continue;
    for (const char* says : {"Keine Kreatur erzeugt: ", kKeyHelp, "Keine Kreatur zum Speichern.\n"})
      EXPECT_TRUE(Has(run, says)) << says << run.output;
    EXPECT_TRUE(Entries(dir.File("save")).empty());
  }
}

// Loop and benchmark run until a key arrives; it must arrive after the program started looping.
TEST_F(Viewer, LoopAndBenchmarkStopOnKeys) {
  struct Case {
    const char* start;
    std::vector<const char*> keys;  // each sent after a pause
    bool viewer, restart;
    int hundreds;  // "100 Loop" lines; -1 with threads, whose shared count the main thread may pass by
  } cases[] = {{"403\n", {"lt5\nq"}, true, false, 1},
               {"403\n", {"nq\n"}, false, true, 1},
               {"403\n", {"r", "q"}, false, false, 2},
               {"502\n405\n", {"q"}, false, false, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.start) + c.keys[0]);
    std::vector<TimedInput> input{{0, c.start}};
    // Time enough for a hundred creatures even when other tests load both cores.
    for (const char* k : c.keys) input.push_back({2500, k});
    WorkDir dir;
    dir.Write("source.mrg", ShippedDump());  // no rebuild eats into the time of the loop
    ProgramRun run = RunProgramTimed(dir, {"0"}, input, 60);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(Has(run, "00 Loop (")) << run.output.substr(0, 4000);
    EXPECT_EQ(c.hundreds < 0 ? -1 : CountOf(run.output, "\n100 Loop ("), c.hundreds);
    // Only the viewer takes the damage key after "l".
    std::vector<Shown> shown = ScreensShown(run.output);
    bool damaged = false;
    for (size_t i = 1; i < shown.size(); ++i) damaged |= shown[i].hitPoints == shown[i - 1].hitPoints - 5;
    EXPECT_EQ(damaged, c.viewer);
    EXPECT_EQ(Has(run, "\nRestarting\n"), c.restart);
    // "q" and "n" leave the loop at once: the stopped workers are not waited for aloud.
    EXPECT_FALSE(c.hundreds < 0 && Has(run, "Waiting for Threads"));
  }
}

TEST_F(Viewer, ConsistencyCheckRunsUntilKey) {
  dir_.Write("source.mrg", ShippedDump());
  ProgramRun run = RunProgramTimed(dir_, {"0"}, {{0, "406\n"}, {5000, "q\n"}}, 120);
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_TRUE(Has(run, "\n10 Consistent Chars (")) << run.output;
  EXPECT_FALSE(Has(run, "Insonsistence Found") || Has(run, "Inconsistence Found in Line")) << run.output;
  EXPECT_FALSE(dir_.Exists("save/inconsistent.rep"));
}

TEST_F(Viewer, HitDieAndSizeKeysChangeTheMonsterInPlace) {
  // A wolf (type 1 "Animal", monster 12, no templates, the rest by chance); on its
  // screen: one hit die more, one size larger, one hit die less, then the export.
  ProgramRun run = Run("1 1 1 1 1 0 1 0 0 0\n0\n1\n12\n-2\n1+*-xmonster\nq");
  ASSERT_TRUE(EndedWith(run, 0));
  static const std::regex kDice(R"(Monster: *(.+?) TW: *(\d+))");
  std::vector<int> dice;
  for (std::sregex_iterator m(run.output.begin(), run.output.end(), kDice), end; m != end; ++m)
    if (dice.empty() || dice.back() != std::stoi((*m)[2])) dice.push_back(std::stoi((*m)[2]));
  ASSERT_EQ(dice.size(), 3u) << run.output;
  EXPECT_EQ(dice[1], dice[0] + 1);
  EXPECT_EQ(dice[2], dice[0]);
  // The remaining hit points follow each change; the export shows the changed monster.
  std::vector<int> hp = HitPointsOf(run.output, 1);
  ASSERT_GE(hp.size(), 2u) << run.output;
  EXPECT_GT(hp[1], hp[0]);
  std::string exported = Export("monster.exp");
  EXPECT_TRUE(Has(exported, "TW=" + std::to_string(dice[0]) + "\n")) << exported;
  EXPECT_TRUE(Has(exported, "SIZE=Large\n") && Has(exported, "MONSTERATTACK=")) << exported;
}

TEST_F(Viewer, FamiliarKeepsHalfItsMastersHitPointsAfterAHitDie) {
  // NPC-class characters of HG 20, one at a time: about one in thirteen has a familiar,
  // so 240 of them give fewer than three only once in many thousand runs.
  std::string input;
  for (int i = 0; i < 240; ++i) input += "4 20 20 1 1\nxb" + std::to_string(i) + "\n1+xa" + std::to_string(i) + "\nn";
  ASSERT_TRUE(EndedWith(Run(input + "q", 120), 0));
  int familiars = 0;
  for (int i = 0; i < 240; ++i) {
    std::string before = Export("b" + std::to_string(i) + ".exp"), after = Export("a" + std::to_string(i) + ".exp");
    size_t b = before.find("\nSTARTFAMILIAR"), a = after.find("\nSTARTFAMILIAR");
    if (b == std::string::npos) continue;
    ASSERT_NE(a, std::string::npos) << i;
    ++familiars;
    int master = HitPointsIn(before), grown = HitPointsIn(after), familiar = HitPointsIn(before.substr(b));
    EXPECT_GT(grown, master) << i;
    EXPECT_EQ(HitPointsIn(after.substr(a)), std::max(familiar, grown / 2)) << i;
  }
  EXPECT_GE(familiars, 3);
}

#ifdef SCHMIEDE_TIME_SCALE
constexpr int kWaitScale = SCHMIEDE_TIME_SCALE;  // sanitizer builds are slower
#else
constexpr int kWaitScale = 1;
#endif

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// On a terminal keys arrive one at a time without Enter and each screen replaces the last.
class TmuxViewer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
    socket_ = dir_.path().substr(dir_.path().rfind('/') + 1);
  }
  void TearDown() override { EndServer(); }
  void EndServer() {
    if (socket_.empty()) return;
    std::string path = Tmux("display-message -p '#{socket_path}'");
    Tmux("kill-server");
    if (!path.empty()) unlink(path.substr(0, path.find('\n')).c_str());  // tmux leaves the socket behind
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
  void Keys(const std::string& keys) { Tmux("send-keys -t v " + keys); }
  // Sends `keys` and waits for the pane to show `then`.
  bool Type(const std::string& keys, const std::string& then) {
    Keys(keys);
    return Shows(then);
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
    ASSERT_TRUE(Type("'0 5 10 3 3 0 0 0 0 0' Enter", "HG Level")) << Pane();
    ASSERT_TRUE(Type("1", "Screenbuffer:  1 /  3")) << Pane();
  }
  std::string LastRow() {
    std::string pane = Pane();
    while (!pane.empty() && pane.back() == '\n') pane.pop_back();
    return pane.substr(pane.rfind('\n') + 1);
  }
  // Polls up to 10 s (longer when sanitized) until `done` holds.
  void Poll(const std::function<bool()>& done) {
    for (int i = 0; i < 200 * kWaitScale && !done(); ++i) Sleep(50);
  }
  // Waits for the last row to begin with `text`; returns the last row.
  std::string WaitForLastRow(const std::string& text) {
    std::string row;
    Poll([&] { return (row = LastRow()).rfind(text, 0) == 0; });
    return row;
  }
  bool Alternate() { return Tmux("display-message -p -t v '#{alternate_on}'") == "1\n"; }
  bool Shows(const std::string& text) { return Has(WaitFor(text), text); }
  // Waits for the pane to show `text`; returns the last capture.
  std::string WaitFor(const std::string& text) {
    std::string pane;
    Poll([&] { return Has(pane = Pane(), text); });
    return pane;
  }
  int HitPointsShown(const std::string& pane) {
    size_t at = pane.find("Verbleibende Trefferpunkte: ");
    return at == std::string::npos ? 0 : atoi(pane.c_str() + at + 28);
  }
  WorkDir dir_;
  std::string socket_;
};

// The results of T, V and X stay in the status line after the redraw; the window pages
// through a sheet taller than the terminal; the summary follows a changed creature;
// Ctrl-D at a file-name prompt cancels that name only.
TEST_F(TmuxViewer, MessagesStayVisibleAndLongSheetsPage) {
  ASSERT_EQ(mkdir(dir_.File("export").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir_.File("export/blocked.exp").c_str(), 0755), 0);
  StartOnScreenOne(30);
  int hp = HitPointsShown(Pane());
  Keys("t 7 Enter");
  EXPECT_EQ(WaitForLastRow("Verbleibende"), "Verbleibende Trefferpunkte: " + std::to_string(hp - 7));
  // The entry moved the window to the sheet's end; Home and PgDn page from the top.
  Keys("Home");
  EXPECT_EQ(WaitForLastRow("Zeilen 1-29 ").rfind("Zeilen 1-29 ", 0), 0u) << Pane();
  EXPECT_EQ(Pane().rfind("Screenbuffer:  1 /  3", 0), 0u);
  Keys("NPage");
  Sleep(300);
  EXPECT_FALSE(Has(Pane(), "Screenbuffer:") || LastRow().rfind("Zeilen 1-", 0) == 0) << Pane();
  // The file name is typed once the question shows: keys typed ahead of it are dropped.
  Type("v", "Dateinamen zum speichern angeben!");
  Sleep(100);
  Keys("probe Enter");
  EXPECT_EQ(WaitForLastRow("Reproduction"), "Reproduction file has been saved as probe.rep") << Pane();
  Type("x", "Enter Export Filename!");
  Sleep(100);
  Keys("blocked Enter");
  EXPECT_EQ(WaitForLastRow("Coult"), "Coult not oepn export file!   export/blocked.exp: Is a directory") << Pane();
  // One hit die more, then the summary: its row shows the creature's hit points, the
  // sheet what the damage left of them.
  Keys("+");
  Sleep(300);
  int more = HitPointsShown(Pane());
  Keys("s");
  std::string pane = WaitFor("HG Level");
  static const std::regex kRow(R"(\|  1: *\d+ +\| +\S+ \| +(\d+) \|)");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(pane, m, kRow)) << pane;
  EXPECT_EQ(std::stoi(m[1]), more + 7) << pane;
  ASSERT_TRUE(Type("1V", "Dateinamen zum speichern")) << Pane();
  ASSERT_TRUE(Type("C-d", "No file name given")) << Pane();
  Keys("V");
  EXPECT_TRUE(Type("kept Enter", "saved as kept.rep")) << Pane();
}

// While a batch is built no sheet is drawn, one progress line counts the creatures; a
// batch of one shows the summary on S.
TEST_F(TmuxViewer, BatchDrawingAndSummaryOfOne) {
  Start(SCHMIEDE_EXE " 0", 120, 50);
  ASSERT_TRUE(Shows(kPrompt)) << Pane();
  Tmux("pipe-pane -t v -o 'cat >> " + dir_.File("pane.log") + "'");
  ASSERT_TRUE(Type("'0 1 5 20 20 0 0 0 0 0' Enter", "HG Level")) << Pane();
  Tmux("pipe-pane -t v");
  std::string drawn = dir_.Read("pane.log");
  ASSERT_TRUE(Has(drawn, "HG Level"));
  EXPECT_FALSE(Has(drawn.substr(0, drawn.find("HG Level")), "Screenbuffer:"));
  EXPECT_TRUE(Has(drawn, "Erzeuge Kreatur 20 / 20"));
  Type("n", "Restarting");
  WaitFor(kPrompt);  // the screen was cleared before "Restarting": this is the new prompt
  Sleep(100);
  ASSERT_TRUE(Type("'0 1 5 1 1 0 0 0 0 0' Enter", "Screenbuffer:  1 /  1")) << Pane();
  Keys("s");
  std::string pane = WaitFor("HG Level");
  EXPECT_TRUE(Has(pane, "|  1: ") && !Has(pane, kPrompt)) << pane;
}

// Ctrl-Z and fg give the viewer back its keys and its screen, a resize redraws at once;
// after a stop and `fg` in a line read, the prompt shows again even when the shell cleared
// the screen: the main prompt, then the file-name prompt over the viewer.
TEST_F(TmuxViewer, ResumeAndResizeRedraw) {
  Start("bash --norc --noprofile -i", 120, 40);
  ASSERT_TRUE(Type("'" SCHMIEDE_EXE " 0' Enter", kPrompt)) << Pane();
  auto stopClearResume = [&](const std::string& prompt) {
    ASSERT_TRUE(Type("C-z", "Stopped")) << Pane();
    EXPECT_FALSE(Alternate());
    Keys("'printf \"\\033[H\\033[2J\"' Enter");
    Poll([&] { return !Has(Pane(), "Stopped"); });
    ASSERT_FALSE(Has(Pane(), prompt)) << Pane();
    ASSERT_TRUE(Type("fg Enter", prompt)) << Pane();
  };
  stopClearResume(kPrompt);
  ASSERT_TRUE(Type("'0 5 10 3 3 0 0 0 0 0' Enter", "HG Level")) << Pane();
  stopClearResume("HG Level");
  Keys("d");  // no Enter: the key mode is back
  ASSERT_TRUE(Shows("Screenbuffer:  1 /  3")) << Pane();
  Tmux("resize-window -t v -x 100 -y 25");
  EXPECT_EQ(WaitForLastRow("Zeilen 1-24 ").rfind("Zeilen 1-24 ", 0), 0u) << Pane();
  ASSERT_TRUE(Type("V", "Dateinamen zum speichern")) << Pane();
  stopClearResume("Dateinamen zum speichern");
  EXPECT_TRUE(Type("later Enter", "saved as later.rep")) << Pane();
}

// Ctrl-C and SIGTERM end the program on the prompt's screen, not in the alternate one.
TEST_F(TmuxViewer, EndingSignalsRestoreTheScreen) {
  const std::string server = socket_;
  for (const char* how : {"C-c", "TERM"}) {
    SCOPED_TRACE(how);
    // A server of its own per round: a killed server may still hold its socket.
    socket_ = server + how;
    StartOnScreenOne(50);
    ASSERT_TRUE(Alternate());
    if (std::string(how) == "C-c") {
      Keys("C-c");
    } else {
      // The pane runs a shell; the program is its child.
      std::string shell = Tmux("display-message -p -t v '#{pane_pid}'");
      shell = shell.substr(0, shell.find('\n'));
      std::ifstream children("/proc/" + shell + "/task/" + shell + "/children");
      int pid = 0;
      ASSERT_TRUE(children >> pid);
      kill(pid, SIGTERM);
    }
    Poll([&] { return Tmux("display-message -p -t v '#{pane_dead}'") == "1\n"; });
    EXPECT_FALSE(Alternate());
    EXPECT_TRUE(Has(Pane(), "Generating Char 2 (Thread: 0)")) << Pane();
    EndServer();
  }
}

}  // namespace
