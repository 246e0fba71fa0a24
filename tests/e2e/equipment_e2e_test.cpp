// Choose-class mode on the console: the questions a game master answers and what they decide.
#include <string>

#include "e2e/program.h"

// Piped answers make a human fighter of 2 levels with a second class every time,
// whatever the dice decide for the rest.
TEST(ChooseClassMode, PipedAnswersChooseRaceClassAndLevels) {
  for (int run = 0; run < 3; ++run) {
    WorkDir dir;
    // No profile, no template, race 0 ("Mensch"), no subrace, class 4 ("Kämpfer"), chance
    // for the placement of the scores, a further class: the fighter keeps 2 of the 6
    // levels, chance picks the second class, no third.
    ProgramRun r = RunProgram(dir, {"0"}, "0 5 5 1 1 0 1 0 0 0\n0\n0\n0\n0\n4\n-1\n1\n2\n-1\n0\nx\nkaempfer\nq\n", 60);
    ASSERT_TRUE(EndedWith(r, 0));
    for (const char* question : {"(Volk w", "(Subrace?:)", "(Klasse w", "(Weitere Klasse hinzuf", "Level der Klasse K"})
      EXPECT_TRUE(Has(r, question)) << question << "\n" << r.output.substr(0, 6000);
    std::string exported = dir.Read("export/kaempfer.exp");
    EXPECT_TRUE(Has(exported, "RACE=Mensch") && Has(exported, "CLASS=0,Kämpfer,2,") && Has(exported, "CLASS=1,"))
        << exported.substr(0, 2000);
  }
}

// With everything to choose, "-1" lets chance decide the rest of one stage only: the
// stages after it, down to the hit points, ask again; the alignment comes last.
TEST(ChooseClassMode, ThisRandomEndsOnlyItsStage) {
  WorkDir dir;
  std::string input = "0 5 5 1 1 0 2 0 0 0\n";
  for (int k = 0; k < 40; ++k) input += "-1\n";  // the rest goes to the viewer
  ProgramRun r = RunProgram(dir, {"0"}, (input + "q\n").c_str(), 60);
  ASSERT_TRUE(EndedWith(r, 0));
  size_t hitPoints = r.output.find("Manuel Random (Trefferpunkte)");
  ASSERT_NE(hitPoints, std::string::npos) << r.output.substr(0, 6000);
  size_t alignment = r.output.find("(Gesinnung wählen!:)\n");
  EXPECT_TRUE(alignment == std::string::npos || alignment > hitPoints);
  EXPECT_NE(r.output.find("│ Gesinnung: ", hitPoints), std::string::npos) << r.output.substr(hitPoints);
}
