// J in the viewer: the batch as one array of tabletop actors, a creature as one object,
// and a failed write reported without leaving a file behind.
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "e2e/program.h"

namespace {

TEST(TabletopExport, BatchAsArrayCreatureAsObjectFailureReported) {
  WorkDir dir;
  ASSERT_EQ(mkdir(dir.File("export").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir.File("export/blocked.json").c_str(), 0755), 0);
  ProgramRun run = RunProgram(dir, {"0"}, "0 1 5 3 3 0 0 0 0 0\njall\n2jtwo.json\njblocked\nq\n", 60);
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_TRUE(Has(run, "Dateinamen für den Tabletop-Export angeben! ") &&
              Has(run, "Could not write export file export/blocked.json: Is a directory"))
      << run.output;
  nlohmann::json all = nlohmann::json::parse(dir.Read("export/all.json"));
  ASSERT_TRUE(all.is_array());
  ASSERT_GE(all.size(), 3u);
  nlohmann::json two = nlohmann::json::parse(dir.Read("export/two.json"));
  ASSERT_TRUE(two.is_object() && two["type"] == "npc");
  // The second creature of the batch: companions follow their masters and name them.
  std::vector<nlohmann::json> masters;
  for (const nlohmann::json& a : all)
    if (a["system"]["details"]["notes"]["value"].get<std::string>().find(" of: ") == std::string::npos)
      masters.push_back(a);
  ASSERT_EQ(masters.size(), 3u);
  EXPECT_EQ(two["system"]["abilities"], masters[1]["system"]["abilities"]);
  EXPECT_EQ(two["system"]["attributes"]["hp"], masters[1]["system"]["attributes"]["hp"]);
  // Beside them only the second creature's companions, if chance gave it any ("two-1.json").
  std::set<std::string> written = Entries(dir.File("export"));
  for (const char* name : {"all.json", "two.json", "blocked.json"}) EXPECT_EQ(written.erase(name), 1u) << name;
  int companion = 1;
  for (const std::string& rest : written) EXPECT_EQ(rest, "two-" + std::to_string(companion++) + ".json");
  EXPECT_TRUE(Entries(dir.File("export/blocked.json")).empty());
}

}  // namespace
