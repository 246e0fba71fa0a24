// The rule-script language as the program uses it: grammar loading at the first
// batch, and the test script of input code 200.
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <string>

#include "e2e/program.h"

namespace {

std::string ShippedGrammar() { return ReadFile(std::string(SCHMIEDE_SOURCE_DIR) + "/Build/Script.bnf"); }

// The grammar file is found relative to the working directory: give the run its own
// Build/ with the grammar given, the rest linked from the repository.
void OwnGrammar(const WorkDir& dir, const std::string& grammar) {
  std::string build = dir.File("Build");
  ASSERT_EQ(unlink(build.c_str()), 0);
  ASSERT_EQ(mkdir(build.c_str(), 0777), 0);
  dir.Write("Build/Script.bnf", grammar);
  for (const char* entry : {"TestScript.scr", "Data", "MonsterText", "Profiles.txt", "bnf.cfg"}) {
    std::string from = std::string(SCHMIEDE_SOURCE_DIR) + "/Build/" + entry;
    ASSERT_EQ(symlink(from.c_str(), dir.File(std::string("Build/") + entry).c_str()), 0);
  }
}

}  // namespace

// A grammar without a rule it references, or with a syntax error, fails the load; a broken
// test script is reported and the program goes on.
TEST(ScriptGrammar, BrokenGrammarOrScriptIsReported) {
  struct Case {
    std::string grammar, script, input;
    int exitCode;
    const char* says;
  } cases[] = {
      {std::regex_replace(ShippedGrammar(), std::regex("\nvalincrement = [^;]*;"), "\n"), "", "0\nq\n", 1,
       "Initializing Script Grammar\nChecking References\nCoult not find Symbol valincrement\nError\n"
       "Error Initializing Grammar\nTaste drücken zum Fortfahren\nError initialising Script Grammer\n"},
      {ShippedGrammar() + "\nbroken = ( \"x\" ;\n", "", "200\nq\n", 1, "Error while processing Grammar\n"},
      {ShippedGrammar(), "a = 1;\nb = ;\n", "200\nq\n", 0, "Content does not match Grammar\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    WorkDir dir;
    OwnGrammar(dir, c.grammar);
    if (!c.script.empty()) {
      ASSERT_EQ(unlink(dir.File("Build/TestScript.scr").c_str()), 0);
      dir.Write("Build/TestScript.scr", c.script);
    }
    ProgramRun run = RunProgram(dir, {"0"}, c.input.c_str());
    ASSERT_TRUE(EndedWith(run, c.exitCode));
    EXPECT_TRUE(Has(run, c.says) && !Has(run, "Content Matches Grammar")) << run.output;
    EXPECT_EQ(Has(run, "Aborting...\n") || Has(run, "Quitting due to error"), c.exitCode != 0);
    EXPECT_TRUE(c.exitCode != 0 || Has(run, "[N] Zurück ins Hauptmenü"));
  }
}

TEST(ScriptGrammar, TestScriptRunsWithTraceAndText) {
  WorkDir dir;
  ProgramRun run = RunProgram(dir, {"0"}, "200\nn0 0 0 0 0\nq\n");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_TRUE(Has(run, "Content Matches Grammar\n") && Has(run, " - valset: Setting Value:")) << run.output;
  EXPECT_TRUE(Has(run, "\n\nText:\n\na = 4, b = 10\nRunde 1: nicht zwei\nRunde 2: zwei\n"));
  // "n" returned to the prompt, and the next batch found the grammar still loaded.
  EXPECT_EQ(CountOf(run.output, "Initializing Script Grammar\n"), 2);
  EXPECT_EQ(CountOf(run.output, "Unloading Grammar\n"), 1);
  // The script ran against the rule database: names resolved, functions acted.
  EXPECT_TRUE(Has(run, "Talente hinzugefügt\nkein Doppelschlag\n") && Has(run, "Rüstungsklasse 3\n"));
  // An optimised runtime hands the rebuild to runtime 0; the script still finds its grammar.
  WorkDir other;
  ProgramRun handed = RunProgram(other, {"3"}, "200\nq\n", 60);
  ASSERT_TRUE(EndedWith(handed, 0));
  EXPECT_TRUE(Has(handed, "Cannot Rebuild AS Rebuild Code is not included!\n") &&
              Has(handed, "Content Matches Grammar\n"))
      << handed.output;
}
