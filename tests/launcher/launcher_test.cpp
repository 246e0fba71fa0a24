#include <gtest/gtest.h>

#include <cstdio>

#include "launcher/cpu.h"
#include "launcher/runtimes.h"
#include "start/launcher.h"
#include "temp_dir.h"

TEST(Processor, FeatureTestsSeeWhatX8664Guarantees) {
  EXPECT_TRUE(CpuidAvailable());
  EXPECT_TRUE(HasSSE() && HasSSE2());
}

TEST(Runtimes, FloatProbeAgreesBitForBitInAllFive) {
  EXPECT_NEAR(kRuntimes[0].probe(10.0), 1.41349, 1e-5);
  for (int r = 1; r < 5; ++r) {
    EXPECT_EQ(kRuntimes[r].probe(10.0), kRuntimes[0].probe(10.0)) << r;
    EXPECT_EQ(kRuntimes[r].probe(3.25), kRuntimes[0].probe(3.25)) << r;
  }
}

TEST(Launcher, EnsureDirectoryRefusesAPlainFile) {
  TempWorkDir dir;
  EXPECT_EQ(EnsureDirectory("neu"), 0);
  EXPECT_EQ(EnsureDirectory("neu"), 0);
  fclose(fopen("datei", "w"));
  EXPECT_EQ(EnsureDirectory("datei"), 1);
  EXPECT_EQ(EnsureDirectory("fehlt/tief"), 1);
}
