// Class figures typed in from the class tables of the rules, shared by the corpus tests.
#pragma once
#include <map>
#include <sstream>
#include <string>

namespace generator_test {

// Hit die; base attack 1 good, 2 medium, 3 poor; good saves Fort/Ref/Will.
struct ClassRule {
  int hitDie, attack;
  bool fort, ref, will;
};
// Name, hit die, base attack, good saves (F, R, W; - none), a comma. Epic prestige classes have the
// hit die only: every level is epic (base attack 0, no saves).
inline const std::map<std::string, ClassRule> kClassRules = [] {
  std::map<std::string, ClassRule> rules;
  std::istringstream in(
      "Barbar 12 1 F, Barde 6 2 RW, Druide 8 2 FW, Hexenmeister 4 3 W, Kämpfer 10 1 F, Kleriker 8 2 FW, "
      "Magier 4 3 W, Mönch 8 2 FRW, Paladin 10 1 F, Schurke 6 2 R, Waldläufer 8 1 FR, Adept 6 3 W, "
      "Adeliger 8 2 W, Experte 6 2 W, Gemeiner 4 3 -, Krieger 8 1 F, Assasin 6 2 R, "
      "ArkanerBogenschütze 8 1 FR, ArkanerBetrüger 4 3 RW, Erzmagier 4 3 W, SchwarzerRitter 10 1 F, "
      "Drachenjünger 12 2 FW, Duellant 10 1 R, ZwergischerVerteidiger 12 1 FW, MystischerRitter 6 1 F, "
      "Hierophant 8 3 FW, Horizontwanderer 8 1 F, Wissensmeister 4 3 W, MystischerTheurg 4 3 W, "
      "Schattentänzer 8 2 R, Thaumaturg 4 3 W, Psion 4 3 W, Psychokrieger 8 2 F, Seelenmesser 10 2 RW, "
      "Wilder 6 2 W, Zerebromant 4 3 W, Elokator 6 2 RW, PsionischeFaust 6 2 RW, Gedankenschlächter 8 1 W, "
      "Metageist 4 3 W, EntkörperterPsion 4 3 W, Pyrokinet 8 2 FR, Hörigenhirte 4 3 W, Kriegsgeist 10 1 FR, "
      "Häscher 6 0 -, KosmischerSeher 4 0 -, GöttlicherGesandter 10 0 -, EpischerUnterwanderer 6 0 -, "
      "ObersterWächter 10 0 -, HoherBekehrer 8 0 -, LegendärerKoloss 12 0 -, VollkommenerSchemen 6 0 -, "
      "UnionsWächter 10 0 -");
  std::string name, saves;
  for (int die, attack; in >> name >> die >> attack >> saves;) {
    auto good = [&](char s) { return saves.find(s) != std::string::npos; };
    rules[name] = {die, attack, good('F'), good('R'), good('W')};
  }
  return rules;
}();
// Base attack and base saves of levels 1 to 20, as the class tables print them.
inline const int kMediumAttack[21] = {0, 0, 1, 2, 3, 3, 4, 5, 6, 6, 7, 8, 9, 9, 10, 11, 12, 12, 13, 14, 15};
inline const int kPoorAttack[21] = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10};
inline const int kGoodSave[21] = {0, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12};
inline const int kPoorSave[21] = {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6};
inline int BaseAttackOf(const ClassRule& k, int l) {
  return k.attack == 1 ? l : k.attack == 2 ? kMediumAttack[l] : kPoorAttack[l];
}
inline int SaveOf(bool good, int l) { return good ? kGoodSave[l] : kPoorSave[l]; }

}  // namespace generator_test
