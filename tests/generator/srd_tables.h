// Class figures typed in from the class tables of the rules, shared by the corpus tests.
#pragma once
#include <map>
#include <string>

namespace generator_test {

// Hit die; base attack 1 good, 2 medium, 3 poor; good saves Fort/Ref/Will.
struct ClassRule {
  int hitDie, attack;
  bool fort, ref, will;
};
// Epic prestige classes have the hit die only: every level is epic (no base attack, no saves).
inline const std::map<std::string, ClassRule> kClassRules = {
    {"Barbar", {12, 1, true, false, false}},
    {"Barde", {6, 2, false, true, true}},
    {"Druide", {8, 2, true, false, true}},
    {"Hexenmeister", {4, 3, false, false, true}},
    {"Kämpfer", {10, 1, true, false, false}},
    {"Kleriker", {8, 2, true, false, true}},
    {"Magier", {4, 3, false, false, true}},
    {"Mönch", {8, 2, true, true, true}},
    {"Paladin", {10, 1, true, false, false}},
    {"Schurke", {6, 2, false, true, false}},
    {"Waldläufer", {8, 1, true, true, false}},
    {"Adept", {6, 3, false, false, true}},
    {"Adeliger", {8, 2, false, false, true}},
    {"Experte", {6, 2, false, false, true}},
    {"Gemeiner", {4, 3, false, false, false}},
    {"Krieger", {8, 1, true, false, false}},
    {"Assasin", {6, 2, false, true, false}},
    {"ArkanerBogenschütze", {8, 1, true, true, false}},
    {"ArkanerBetrüger", {4, 3, false, true, true}},
    {"Erzmagier", {4, 3, false, false, true}},
    {"SchwarzerRitter", {10, 1, true, false, false}},
    {"Drachenjünger", {12, 2, true, false, true}},
    {"Duellant", {10, 1, false, true, false}},
    {"ZwergischerVerteidiger", {12, 1, true, false, true}},
    {"MystischerRitter", {6, 1, true, false, false}},
    {"Hierophant", {8, 3, true, false, true}},
    {"Horizontwanderer", {8, 1, true, false, false}},
    {"Wissensmeister", {4, 3, false, false, true}},
    {"MystischerTheurg", {4, 3, false, false, true}},
    {"Schattentänzer", {8, 2, false, true, false}},
    {"Thaumaturg", {4, 3, false, false, true}},
    {"Psion", {4, 3, false, false, true}},
    {"Psychokrieger", {8, 2, true, false, false}},
    {"Seelenmesser", {10, 2, false, true, true}},
    {"Wilder", {6, 2, false, false, true}},
    {"Zerebromant", {4, 3, false, false, true}},
    {"Elokator", {6, 2, false, true, true}},
    {"PsionischeFaust", {6, 2, false, true, true}},
    {"Gedankenschlächter", {8, 1, false, false, true}},
    {"Metageist", {4, 3, false, false, true}},
    {"EntkörperterPsion", {4, 3, false, false, true}},
    {"Pyrokinet", {8, 2, true, true, false}},
    {"Hörigenhirte", {4, 3, false, false, true}},
    {"Kriegsgeist", {10, 1, true, true, false}},
    {"Häscher", {6, 0, false, false, false}},
    {"KosmischerSeher", {4, 0, false, false, false}},
    {"GöttlicherGesandter", {10, 0, false, false, false}},
    {"EpischerUnterwanderer", {6, 0, false, false, false}},
    {"ObersterWächter", {10, 0, false, false, false}},
    {"HoherBekehrer", {8, 0, false, false, false}},
    {"LegendärerKoloss", {12, 0, false, false, false}},
    {"VollkommenerSchemen", {6, 0, false, false, false}},
    {"UnionsWächter", {10, 0, false, false, false}},
};
// Base attack and base saves of levels 1 to 20, as the class tables print them.
inline const int kMediumAttack[21] = {0, 0, 1, 2, 3, 3, 4, 5, 6, 6, 7, 8, 9, 9, 10, 11, 12, 12, 13, 14, 15};
inline const int kPoorAttack[21] = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10};
inline const int kGoodSave[21] = {0, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12};
inline const int kPoorSave[21] = {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6};
inline int BaseAttackOf(const ClassRule& k, int l) {
  return k.attack == 1 ? l : k.attack == 2 ? kMediumAttack[l] : kPoorAttack[l];
}
inline int SaveOf(bool good, int l) { return good ? kGoodSave[l] : kPoorSave[l]; }

// Ranks a prestige class asks for before it is entered (Perform as dance or any, Craft
// as alchemy; the loremaster's two Knowledge skills as our table picks them).
inline const std::map<std::string, std::map<std::string, int>> kEntryRanks = {
    {"Assasin", {{"Verkleiden", 4}, {"Verstecken", 8}, {"LeiseBewegen", 8}}},
    {"ArkanerBetrüger",
     {{"SchriftzeichenEntschlüsseln", 7},
      {"MechanismusAusschalten", 7},
      {"Entfesselungskünstler", 7},
      {"WissenArkanes", 4}}},
    {"Erzmagier", {{"WissenArkanes", 15}, {"Zauberkunde", 15}}},
    {"SchwarzerRitter", {{"Verstecken", 5}, {"WissenReligion", 2}}},
    {"Drachenjünger", {{"WissenArkanes", 8}}},
    {"Duellant", {{"Auftreten", 3}, {"Akrobatik", 5}}},
    {"Hierophant", {{"WissenReligion", 15}}},
    {"Horizontwanderer", {{"WissenGeographie", 8}}},
    {"MystischerTheurg", {{"WissenArkanes", 6}, {"WissenReligion", 6}}},
    {"Schattentänzer", {{"LeiseBewegen", 8}, {"Verstecken", 10}, {"Auftreten", 5}}},
    {"Zerebromant", {{"WissenArkanes", 6}, {"WissenPsionik", 6}}},
    {"Elokator", {{"Konzentration", 8}}},
    {"PsionischeFaust", {{"Konzentration", 9}}},
    {"Gedankenschlächter", {{"WissenGewölbe", 4}}},
    {"Metageist", {{"WissenPsionik", 8}, {"Psikunde", 4}}},
    {"EntkörperterPsion", {{"WissenPsionik", 8}, {"Psikunde", 8}}},
    {"Pyrokinet", {{"Konzentration", 8}, {"Handwerk", 1}, {"WissenPsionik", 2}}},
    {"Hörigenhirte", {{"Diplomatie", 4}, {"WissenPsionik", 8}}},
    {"Kriegsgeist", {{"WissenGeschichte", 2}, {"WissenPsionik", 8}}},
};

}  // namespace generator_test
