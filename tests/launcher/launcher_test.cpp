#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "launcher/cpu.h"
#include "launcher/runtimes.h"
#include "start/launcher.h"

TEST(Processor, FeatureTestsBuildOnEachOther) {
  EXPECT_TRUE(CpuidAvailable());  // every x86-64 processor has it
  if (HasSSE3()) {
    EXPECT_TRUE(HasSSE2());
  }
  if (HasSSE2()) {
    EXPECT_TRUE(HasSSE());
  }
  // x86-64 guarantees SSE2, so the generic tests must see it.
  EXPECT_TRUE(HasSSE2());
}

TEST(Runtimes, FloatProbeAgreesBitForBitInAllFive) {
  double reference = kRuntimes[0].probe(10.0);
  EXPECT_NEAR(reference, 1.41349, 1e-5);
  for (int r = 1; r < 5; ++r) EXPECT_EQ(kRuntimes[r].probe(10.0), reference) << r;
  for (int r = 0; r < 5; ++r) EXPECT_EQ(kRuntimes[r].probe(3.25), kRuntimes[0].probe(3.25)) << r;
}

TEST(Launcher, EnsureDirectoryRefusesAPlainFile) {
  char pattern[] = "/tmp/schmiede-dir-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string base = pattern;
  EXPECT_EQ(EnsureDirectory((base + "/neu").c_str()), 0);
  EXPECT_EQ(EnsureDirectory((base + "/neu").c_str()), 0);
  std::string file = base + "/datei";
  FILE* f = fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fclose(f);
  EXPECT_EQ(EnsureDirectory(file.c_str()), 1);
  EXPECT_EQ(EnsureDirectory((base + "/fehlt/tief").c_str()), 1);
  ASSERT_EQ(system(("rm -rf " + base).c_str()), 0);
}
