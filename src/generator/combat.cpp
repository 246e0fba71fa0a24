#include "generator/combat.h"

#include "random/decisions.h"
#include "source/records.h"

namespace RUNTIME_NS {

const char* StyleName(int style) {
  static const char* const kNames[] = {"-", "Waffe und Schild", "Zwei Waffen", "Zweihänder", "Fernkampf",
                                       "Monster: Natürlich"};
  return style >= 0 && style <= 5 ? kNames[style] : "";
}

void ChooseFightingStyle(Char* c) {
  IsaacState* state = c->context.random;
  int style = 0, second = 0;
  if (c->profileMode && c->profile >= 0) {
    style = gSource.profiles[c->profile].attackType[0];
    second = gSource.profiles[c->profile].attackType[1];
  } else {
    const CharSource* main = ClassAt(MainClass(c));
    int lowest = main && main->noEquipment ? 0 : 1;
    if (main && main->noEquipment == 1 && YesNo(state, "Mönch kämpft mit Fäusten?", 2, 1, 0)) {
      c->fightingStyle = c->fightingStyle2 = 0;
      c->handWish[0] = c->handWish[1] = 0;
      return;
    }
    const CharSource* forcing = nullptr;
    for (int i = 0; i < c->classCount && i < kMaxClassSlots && !forcing; ++i) {
      const CharSource* k = ClassAt(c->classes[i]);
      if (k && k->forceAttack) forcing = k;
    }
    if (forcing) {
      style = forcing->attack;
    } else {
      style = random(state, lowest, 11,
                     "Angriff Wählen:\n\t0\t: Use No Weapon\n\t1\t: Waffe und Schild\n\t2\t: Zwei Waffen\n\t3, 11\t: "
                     "Zweihänder\n\t4\t: Fernkampf\n\t5-6\t: Bevorzugter Angriff der Klasse\n\t7-8\t: Auswahl nach "
                     "Attributen\n\t9-10\t: Bevorzugter Angriff des Volkes\n",
                     0);
      if (style == 11) {
        style = 3;
      } else if (style >= 9) {
        style = c->race >= 0 && c->race < gSource.raceCount ? gSource.races[c->race].attackType : 1;
      } else if (style >= 7) {
        style = c->GE <= c->ST ? random(state, lowest, 3,
                                        "Angriff Wählen:\n\t1\t: Waffe und Schild\n\t2\t: Zwei Waffen\n\t3, 11\t: "
                                        "Zweihänder\n",
                                        0)
                               : 4;
      } else if (style >= 5) {
        // Without a class yet the class has no preference: one weapon and a shield.
        style = main ? main->attack : 1;
      }
    }
    if (style != 0 &&
        random(state, 0, 4, "SekundärAngriff Wählen: 1 = Sekundärer Angriff, 0 = Kein Sekundärer Angriff\n", 0) != 0)
      second = style != 4 ? 4
                          : random(state, 1, 3,
                                   "Sekundärangriff Wählen:\n\t1\t: Waffe und Schild\n\t2\t: Zwei Waffen\n\t3, "
                                   "11\t: Zweihäder\n",
                                   0);
  }
  c->fightingStyle = style;
  c->fightingStyle2 = style == 0 ? 0 : second;
  // The styles are the hand wishes: the first for the main hand, the second for the other.
  c->handWish[0] = style >= 0 && style <= 4 ? style : 0;
  c->handWish[1] = c->fightingStyle2 >= 0 && c->fightingStyle2 <= 4 ? c->fightingStyle2 : 0;
}

}  // namespace RUNTIME_NS
