// The source dump as a user meets it: the first start builds and writes it, later starts
// load it, a bad one is refused and replaced, and creatures do not depend on where the
// rule database came from.
#include <sys/time.h>

#include <cstdint>
#include <string>

#include "e2e/program.h"
#include "e2e/shipped_dump.h"

namespace {

constexpr const char* kOneCreature = "0 1 1 1 1 0 0 0 0 0\nq\n";

uint32_t ImageSize(const std::string& dump) {
  return (uint32_t)(uint8_t)dump[5] | (uint32_t)(uint8_t)dump[6] << 8 | (uint32_t)(uint8_t)dump[7] << 16 |
         (uint32_t)(uint8_t)dump[8] << 24;
}

TEST(SourceDump, FirstStartBuildsIt) {
  WorkDir dir;
  ProgramRun first = RunProgram(dir, {"0"}, kOneCreature, 120);
  ASSERT_TRUE(EndedWith(first, 0));
  for (const char* says : {"Rebuilding as Dump could not be loaded correctly\n", "\nDoing Runtime Analysis...\n",
                           "Init took ", "Dumping Source...Done\n\n", "Generating Char 0"})
    EXPECT_TRUE(Has(first, says)) << says << first.output;
  EXPECT_FALSE(Has(first, "Warning")) << "the shipped tables are clean";
  std::string dump = dir.Read("source.mrg");
  EXPECT_EQ(dump.substr(0, 5), std::string("MRGS\0", 5));
  // magic, size, image, root size, 732-byte root, name block length and names
  EXPECT_GT(dump.size(), 9 + ImageSize(dump) + 4 + 732 + 4);
  EXPECT_EQ(dump, ShippedDump()) << "two rebuilds from the same tables differ";
}

// Whatever the user starts, a missing, damaged or outdated dump is rebuilt when the first
// batch needs it (runtimes 1 to 4 hand the rebuild to runtime 0); the start says why, and
// leaves a good dump that the next start loads (tests/source covers the other refusals).
TEST(SourceDump, UnusableDumpsAreRefusedRebuiltAndReplaced) {
  const std::string good = ShippedDump();
  ASSERT_GT(good.size(), 2000u);
  std::string damaged = good;
  damaged[9 + ImageSize(good) / 2] ^= 0x01;
  const char* kOne = kOneCreature;
  struct Case {
    const char *what, *runtime;  // "": none given
    const char* input;
    std::string dump;  // "none": no file; "outdated": the good one, older than the tables
    const char* notice;
  } cases[] = {
      {"no dump, no runtime number", "", kOne, "none", "Could not open File\nwill rebuild later...\n"},
      {"damaged", "3", kOne, damaged, "Loading Source Dump...Dump File is damaged\nwill rebuild later...\n\n"},
      {"outdated", "4", kOne, "outdated", "changed after source.mrg was written: the first batch rebuilds the rules"},
      {"no dump, switched to runtime 2", "0", "102\n0 1 1 1 1 0 0 0 0 0\nq\n", "none", "will rebuild later"},
      // The magic is not checked: altered first bytes still load.
      {"forced", "1", "300 1 1 1 1\nq\n", "XXXXX" + good.substr(5), "Loading Source Dump...Done\n"},
      {"zero length", "0", kOne, "", "Loading Source Dump...Error reading File\nwill rebuild later"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WorkDir dir;
    if (c.dump != "none") dir.Write("source.mrg", c.dump == "outdated" ? good : c.dump);
    const timeval past[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(c.dump == "outdated" ? utimes(dir.File("source.mrg").c_str(), past) : 0, 0);
    std::vector<std::string> args;
    if (*c.runtime) args.push_back(c.runtime);
    ProgramRun run = RunProgram(dir, args, c.input, 120);
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(Has(run, c.notice)) << run.output;
    bool handedOver = std::string(c.runtime) != "0" || std::string(c.input).rfind("102", 0) == 0;
    EXPECT_EQ(Has(run,
                  "Rebuilding as Dump could not be loaded correctly\n"
                  "Cannot Rebuild AS Rebuild Code is not included!\nThe "),
              handedOver);
    EXPECT_EQ(Has(run, "Runtime hands the rebuild to the Debugruntime, which writes a new source.mrg for it\n"),
              handedOver);
    EXPECT_TRUE(Has(run, "Dumping Source...Done\n") && Has(run, "Generating Char 0"));
    EXPECT_EQ(dir.Read("source.mrg"), good);
    ProgramRun next = RunProgram(dir, {"3"}, kOneCreature, 60);
    ASSERT_TRUE(EndedWith(next, 0));
    EXPECT_TRUE(Has(next, "No Source Rebuild required\n")) << next.output;
  }
}

// Creatures saved while the rule database was freshly built come back identical from
// the loaded image in every runtime, by either rule set (advanced SRD 3.5 monsters read
// more of the database at creation time).
TEST(SourceDump, CreaturesAreTheSameFromRebuildAndFromDump) {
  WorkDir dir;
  ProgramRun built =
      RunProgram(dir, {"0"},
                 "-1 1 20 6 6 0 0 0 0 0\nv\nheld\nx\nbuilt\nn701\n1 8 20 8 8 0 0 0 0 0\nv\nsrd\nx\nsrdbuilt\nq\n", 120);
  ASSERT_TRUE(EndedWith(built, 0));
  ASSERT_TRUE(Has(built, "Init took ")) << built.output;
  std::string reference = dir.Read("export/built.exp"), srd = dir.Read("export/srdbuilt.exp");
  ASSERT_TRUE(Has(reference, "STARTCHARACTER") && Has(srd, "RULES=SRD35")) << built.output;
  for (int r = 0; r < 5; ++r) {
    SCOPED_TRACE(r);
    std::string name = "loaded" + std::to_string(r);
    ProgramRun loaded = RunProgram(dir, {std::to_string(r)},
                                   ("404\nheld\nx\n" + name + "\nn404\nsrd\nx\nsrd" + name + "\nq\n").c_str(), 60);
    ASSERT_TRUE(EndedWith(loaded, 0));
    EXPECT_TRUE(Has(loaded, "Loading Source Dump...Done\n\n") && Has(loaded, "No Source Rebuild required\n") &&
                !Has(loaded, "Rebuilding"))
        << loaded.output;
    EXPECT_EQ(dir.Read("export/" + name + ".exp"), reference);
    EXPECT_EQ(dir.Read("export/srd" + name + ".exp"), srd);
  }
  EXPECT_EQ(dir.Read("source.mrg"), ShippedDump()) << "a load must not rewrite the dump";
}

}  // namespace
