// The script corpus: scripts as the rule tables hold them and the effect each must have;
// those that need a creature must compile. Shared by the tests and the benchmark.
#pragma once
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace corpus {

// Initialised in this order: name, script, text, preset, temps.
struct CorpusScript {
  const char* name;
  const char* script = nullptr;  // null for the manual's examples: read from docs/scripts.md
  const char* text = nullptr;    // text of a run; null: not run (needs the creature)
  const char* preset = "";       // temporaries set before the run: "l=12 g=11"
  const char* temps = "";        // every temporary that is not 0 after the run; "c=1..6" for a random one
};

inline constexpr const char* kMonkUnarmedDamageScript = R"s(/* Waffenloser Schlag des Mönchs, l = Stufe */
Text("Waffenloser Schlag ");
if (l >= 20) { Text("2W10"); }
else if (l >= 16) { Text("2W8"); }
else if (l >= 12) { Text("2W6"); }
else if (l >= 8) { Text("1W10"); }
else if (l >= 4) { Text("1W8"); }
else { Text("1W6"); })s";

// What the examples of docs/scripts.md do, in the order the manual shows them.
inline const CorpusScript kDocExamples[] = {
    {"IntroFighterBonusFeat"},
    {"Comments", nullptr, "", "", "a=1 c=3"},
    {"Strings", nullptr, R"s(Waffenfokus (Langschwert); sagt "Hallo")s"},
    {"Assignments", nullptr, "", "", "a=29 b=1"},
    {"Arithmetic", nullptr, "", "", "s=14 m=2 t=3 n=-3 r=-1"},
    {"LinksGroupFromTheRight", nullptr, "", "", "c=1 y=1 z=1"},
    {"IfChainHigh", nullptr, "Meister", "l=12", "l=12"},
    {"IterativeAttacks", nullptr, "+11/+6/+1", "g=11", "g=-4"},
    {"ForHitPoints", nullptr, "Stufe 1: 2 TP\nStufe 2: 4 TP\nStufe 3: 6 TP\n", "", "i=4"},
    {"ForNeedsExactlyOne", nullptr, "wahr"},
    {"ForAllItemsArmor"},
    {"ValueFunctionsAndSubText", nullptr, "Odem (\"Gift\")|sub:Kegel 9 m, Schaden 8W6\n", "", "a=8 b=-2 c=1..6"},
    {"PowerAttackRequirement"},
};

// Layout, names, numbers, strings, arithmetic, conditions and loops.
inline const CorpusScript kLanguage[] = {
    {"EmptyStatementsAndCrLf", " \t;;\r\na = 1;\r\nif (a == 1) {\r\n  Text(\"x\");\r\n}\r\n", "x", "", "a=1"},
    {"CommentsBetweenWords", "a /* Ziel */ = /* Wert */ 3 /* Ende */; /**/ b = a;", "", "", "a=3 b=3"},
    {"NoBlanksNeeded", "if(a<1){b=2;}else{b=3;}", "", "", "b=2"},
    {"StringContents",
     "Text('Er sagt \"Halt!\"', \" geht's\", \"\", \"/* kein */\");TextLine(\"Verbesserter_Ansturm\", "
     "\"\tx\nZeile\");",
     "Er sagt \"Halt!\" geht's/* kein */Verbesserter Ansturm x\nZeile\n"},
    {"NegativeNumbersAndLeadingZeros", "a = -3; b = 5 - -3; c = -3 * -3; d = 0 - a; e = 007 + 010;", "", "",
     "a=-3 b=8 c=9 d=3 e=17"},
    {"DivisionTruncatesTowardZero", "a = 7 / 2; b = -7 / 2; c = 7 / -2; d = -7 % 2; e = 7 % -2; f = 5 / 0; g = 5 % 0;",
     "", "", "a=3 b=-3 c=-3 d=-1 e=1"},
    {"ArithmeticWraps", "a = 2147483647; a++; b = -2147483647 - 1; b--; c = 65536 * 65536; d = 0 - b;", "", "",
     "a=-2147483648 b=2147483647 d=-2147483647"},
    {"CompoundAssignments", "a = 100; a -= 30; a /= 4; a %= 5; a *= -3; b = 9; b /= 0; c = 9; c %= 0;", "", "", "a=-6"},
    {"ComparisonOperators",
     "if (3 == 3) { a = 1; } if (3 != 3) { b = 1; } if (2 < 3) { c = 1; } if (3 > 3) { d = 1; } "
     "if (3 <= 3) { e = 1; } if (4 >= 5) { f = 1; } if (-4 < -3) { g = 1; } if (n - 2) { h = 1; }",
     "", "n=2", "n=2 a=1 c=1 e=1 g=1"},
    {"DoubleLinksMeanTheSame", "if (a && b || c) { x = 1; } if ((a && b) || c) { y = 1; } if (a & b | c) { z = 1; }",
     "", "c=1", "c=1 y=1"},
    {"NegationReachesToTheGroupEnd",
     "if (a > 1 & !b | c) { x = 1; } if (a > 1 & (!b) | c) { y = 1; } if (!(a > 1)) { z = 1; } "
     "if (!(!a)) { w = 1; } if (!(!b)) { v = 1; }",
     "", "a=2 c=1", "a=2 c=1 y=1 w=1"},
    {"ComparisonsInsideLinksNeedNoParentheses",
     "if ((a > 0) & ((b > 0) | (c > 0))) { x = 1; } if (a > 0 & b > 0 | c > 0) { y = 1; } "
     "if ((a + 1) * 2 > c - 1) { z = 1; }",
     "", "a=1 c=1", "a=1 c=1 x=1 y=1 z=1"},
    {"TextsCompareAsTextOnlyForEquality",
     "if (\"abc\" == \"abc\") { a = 1; } if (\"12\" < \"9\") { b = 1; } "
     "if ('abc' != \"abd\") { c = 1; } if (Element(0) == '\"Feuer\"') { d = 1; }",
     "", "", "a=1 c=1 d=1"},
    {"ElementTextsCompareAsTextOrNumber",
     "if (Element(2) == Element(2)) { a = 1; } if (Element(0) < Element(1)) { b = 1; } "
     "if (Element(1) == 0) { c = 1; } if (Element(4) <= 0) { d = 1; }",
     "", "", "a=1 c=1 d=1"},
    {"RandomCoversItsRangeInEitherOrder",
     "l = 99; h = -99; while (n < 300) { r = Random(6, 1); l = Min(l, r); h = Max(h, r); "
     "q = Random(-3, -1); if (q < -3 | q > -1) { f++; } if (Random(4, 4) != 4) { f++; } n++; }",
     "", "", "l=1 h=6 n=300 r=1..6 q=-3..-1"},
    {"OnlyTheFirstTrueBlockRuns", R"s(if (1) { Text("a"); } else if (1) { Text("b"); } else { Text("c"); })s", "a"},
    {"MonkUnarmedDamageLevel1", kMonkUnarmedDamageScript, "Waffenloser Schlag 1W6", "l=1", "l=1"},
    {"LoopsFalseAtOnce", R"s(n = 5; while (n < 3) { n++; Text("nie"); } for (i = 5; i < 3; i++) { Text("nie"); })s", "",
     "", "n=5 i=5"},
    {"NestedForLoops", "n = 0; for (i = 0; i < 3; i++) { for (j = 0; j < 4; j++) { n++; } }", "", "", "n=12 i=3 j=4"},
    {"ForStepsUpAndDown", R"s(for (i = 2; i <= 8; i += 2) { Text(i, " "); } for (j = 3; j > 0; j--) { Text(j); })s",
     "2 4 6 8 321", "", "i=10"},
    {"EmptyBlocks", "if (a) {} else {} if (1) { } for (i = 0; i < 5; i++) {}", "", "", "i=5"},
    {"WhileInsideIfSkipsElse",
     R"s(if (1) { while (a < 3) { a++; } } else { b = 1; } if (0) { c = 1; } else { while (c < 2) { c++; } })s", "", "",
     "a=3 c=2"},
    {"IfInsideWhileRestartsEachRound",
     R"s(n = 0;
while (n < 4) {
  if (n == 1) { Text("eins "); } else if (n == 2) { Text("zwei "); } else { Text("- "); }
  n++;
})s",
     "- eins zwei - ", "", "n=4"},
    {"MonkUnarmedDamage", kMonkUnarmedDamageScript, "Waffenloser Schlag 2W6", "l=13", "l=13"},
    {"ArmorClassWithNegativeModifier", R"s(Text("RK ", 10 + d, ", ", -5);)s", "RK 9, -5", "d=-1", "d=-1"},
    {"EmptyTextLinesAndSubTextTwice",
     R"s(TextLine(); Text("A"); SubText(); Text("b"); MainText(); Text("C"); SubText(); TextLine("d");)s",
     "\nAC|sub:bd\n"},
    {"ElementOutOfRange", R"s(Text(Element(-1), "/", Element(6));)s", "\"\"/\"\""},
};

// Creature-script forms the CreatureScripts tests do not run; they act on the creature, so they
// only compile (the shipped tables' own scripts compile whenever the rules are built).
inline const CorpusScript kCreatureScripts[] = {
    {"FeatByNumbers", "AddBonus(Init, 4, 1); if (HasFeat(42)) { AddFeat(43); }"},
    {"ItemFeat", R"s(SelectFeatItem(); AddBonus(Angriff, Enhancement(0), "Verbesserung");)s"},
    {"ItemBestArmor", R"s(ForAllItems {
  if (ArmorType() > 0) { RKRuestung = Max(RKRuestung, Enhancement(1)); }
})s"},
};

// The fenced blocks of docs/scripts.md but ```text ones, in order; a block left open ends the list
// with an empty one.
inline std::vector<std::string> ManualScripts() {
  std::ifstream in(SCHMIEDE_SOURCE_DIR "/docs/scripts.md");
  std::vector<std::string> blocks;
  std::string line, block;
  bool inside = false, script = false;
  while (std::getline(in, line)) {
    if (line.rfind("```", 0) == 0) {
      if (inside && script) blocks.push_back(block.substr(0, block.empty() ? 0 : block.size() - 1));
      script = !inside && line != "```text";
      inside = !inside;
      block.clear();
    } else if (inside) {
      block += line + "\n";
    }
  }
  if (inside) blocks.emplace_back();
  return blocks;
}

// kDocExamples with their scripts from the manual.
inline const std::vector<CorpusScript>& DocExamples() {
  static const std::vector<std::string> scripts = ManualScripts();
  static const std::vector<CorpusScript> examples = [] {
    std::vector<CorpusScript> all;
    for (size_t i = 0; i < std::size(kDocExamples) && i < scripts.size(); ++i) {
      all.push_back(kDocExamples[i]);
      all.back().script = scripts[i].c_str();
    }
    return all;
  }();
  return examples;
}

// Every corpus script, for the benchmark.
inline std::vector<const CorpusScript*> All() {
  std::vector<const CorpusScript*> all;
  auto add = [&all](const auto& table) {
    for (const CorpusScript& s : table) all.push_back(&s);
  };
  add(DocExamples());
  add(kLanguage);
  add(kCreatureScripts);
  return all;
}

}  // namespace corpus
