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

TEST(ScriptGrammar, ARemovedRuleIsNamed) {
  WorkDir dir;
  std::string grammar = std::regex_replace(ShippedGrammar(), std::regex("\nvalincrement = [^;]*;"), "\n");
  ASSERT_NE(grammar, ShippedGrammar());
  OwnGrammar(dir, grammar);
  ProgramRun run = RunProgram(dir, {"0"}, "0\nq\n");
  ASSERT_TRUE(EndedWith(run, 1));
  EXPECT_NE(
      run.output.find("Initializing Script Grammar\nChecking References\nCoult not find Symbol valincrement\nError\n"
                      "Error Initializing Grammar\nTaste drücken zum Fortfahren\nError initialising Script Grammer\n"),
      std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("Aborting...\n"), std::string::npos);
}

TEST(ScriptGrammar, SyntaxErrorInTheGrammarFileFailsTheLoad) {
  WorkDir dir;
  OwnGrammar(dir, ShippedGrammar() + "\nbroken = ( \"x\" ;\n");
  ProgramRun run = RunProgram(dir, {"0"}, "200\nq\n");
  ASSERT_TRUE(EndedWith(run, 1));
  EXPECT_NE(run.output.find("Error while processing Grammar\n"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("Content Matches Grammar"), std::string::npos);
}

TEST(ScriptGrammar, TestScriptRunsWithTraceAndText) {
  {
    WorkDir dir;
    ProgramRun run = RunProgram(dir, {"0"}, "200\nn0 0 0 0 0\nq\n");
    ASSERT_TRUE(EndedWith(run, 0));
    EXPECT_NE(run.output.find("Content Matches Grammar\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(" - valset: Setting Value:"), std::string::npos);  // the trace
    EXPECT_NE(run.output.find("\n\nText:\n\na = 4, b = 10\nRunde 1: nicht zwei\nRunde 2: zwei\n"), std::string::npos);
    EXPECT_NE(run.output.find("[N] Zurück ins Hauptmenü\n[Q] Beenden\n"), std::string::npos);
    // "n" returned to the prompt, and the next batch found the grammar still loaded.
    EXPECT_EQ(CountOf(run.output, "Initializing Script Grammar\n"), 2);
    EXPECT_EQ(CountOf(run.output, "Unloading Grammar\n"), 1);
    // The script ran against the rule database: names resolved, functions acted.
    EXPECT_NE(run.output.find("Talente hinzugefügt\nkein Doppelschlag\n"), std::string::npos);
    EXPECT_NE(run.output.find("Rüstungsklasse 3\n"), std::string::npos);
    EXPECT_NE(run.output.find("Init took "), std::string::npos);
  }
  // Without the rebuild code an optimised runtime has runtime 0 make the rule database,
  // and the script still finds its grammar.
  WorkDir dir;
  ProgramRun run = RunProgram(dir, {"3"}, "200\nq\n", 60);
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_NE(run.output.find("Cannot Rebuild AS Rebuild Code is not included!\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Content Matches Grammar\n"), std::string::npos);
}

TEST(ScriptGrammar, BrokenTestScriptIsReportedAndTheProgramGoesOn) {
  WorkDir dir;
  OwnGrammar(dir, ShippedGrammar());
  ASSERT_EQ(unlink(dir.File("Build/TestScript.scr").c_str()), 0);
  dir.Write("Build/TestScript.scr", "a = 1;\nb = ;\n");
  ProgramRun run = RunProgram(dir, {"0"}, "200\nq\n");
  ASSERT_TRUE(EndedWith(run, 0));
  EXPECT_NE(run.output.find("Content does not match Grammar\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("[N] Zurück ins Hauptmenü"), std::string::npos);
}
