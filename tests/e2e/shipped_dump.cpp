#include "e2e/shipped_dump.h"

#include "e2e/program.h"

const std::string& ShippedDump() {
  static const std::string dump = [] {
    WorkDir dir;
    ProgramRun run = RunProgram(dir, {"0"}, "300\nq\n", 120);
    EXPECT_TRUE(EndedWith(run, 0));
    EXPECT_TRUE(dir.Exists("source.mrg")) << run.output;
    return dir.Read("source.mrg");
  }();
  return dump;
}
