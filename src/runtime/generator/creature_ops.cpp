// Game operations shared by the creation stages and the scripts' functions.
#include "generator/creature_ops.h"

#include <cmath>

#include "launcher/process.h"
#include "random/decisions.h"
#include "random/repro.h"
#include "random/state.h"
#include "source/records.h"

namespace RUNTIME_NS {

void AddCharBonus(Char* c, int32_t* field, int32_t amount, int32_t type, const char* source) {
  int32_t offset = (int32_t)(reinterpret_cast<char*>(field) - reinterpret_cast<char*>(c));
  int32_t best = 0;
  bool stacks = type >= 0 && type < gSource.bonusCount && gSource.bonuses[type].stack != 0;
  CharBonus** tail = &c->bonuses;
  for (CharBonus* b = c->bonuses; b; b = b->next) {
    if (!stacks && b->variable == offset && b->bonusType == type && b->amount > best) best = b->amount;
    tail = &b->next;
  }
  CharBonus* record = NewCharBonus(c);
  *record = CharBonus{offset, amount, type, source, nullptr};
  *tail = record;
  if (amount > best) *field += amount - best;
}

CharSkill& CharSkillEntry(Char* c, int32_t skill) {
  for (int i = 0; i < c->skillCount; ++i)
    if (c->skills[i].skill == skill) return c->skills[i];
  if (c->skillCount >= kMaxSkillEntries) {
    ConsolePrint("Fatal Error\nToo many skills\n");
    QuitOnError(true);
  }
  CharSkill& e = c->skills[c->skillCount++];
  e = CharSkill{};
  e.skill = skill;
  return e;
}

void BoostSkillTyped(Char* c, int32_t skill, int32_t amount, int32_t type, const char* source) {
  CharSkill& e = CharSkillEntry(c, skill);
  if (type >= 0)
    AddCharBonus(c, &e.bonus, amount, type, source);
  else
    e.bonus += amount;
}

void AddFeat(Char* c, int32_t feat, int32_t* secondCounter, int32_t parameter) {
  bool owned = false, widened = false;
  for (int i = 0; i < c->featCount; ++i) {
    if (c->feats[i] != feat) continue;
    owned = owned || c->featParameters[i] == parameter || c->featParameters[i] == -1;
    // A general grant widens the first owned entry too; the new general entry is still
    // added, and the duplicate goes when the feats are tidied.
    if (parameter == -1 && !widened) {
      c->featParameters[i] = -1;
      widened = true;
    }
  }
  if (owned || c->featCount >= kMaxFeats) return;
  c->feats[c->featCount] = feat;
  c->featParameters[c->featCount] = parameter;
  c->featListed[c->featCount] = 0;
  ++c->featCount;
  if (secondCounter) ++*secondCounter;
}

int32_t EnhancementDraw(IsaacState* state, int32_t level, int noArtifact) {
  if (level >= 21 && !noArtifact && !gDecide.chooseEverything) {
    int32_t no = 55 - level > 1 ? 55 - level : 1;
    if (YesNo(state, "Artifakt?", no, level - 20, 0)) return 6;
  }
  int32_t weights[7];
  for (int i = 0; i < 7; ++i) {
    double x = level / 4.0 - i;
    weights[i] = (int32_t)std::floor(50000.0 / (4.0 * std::fabs(x * x * x) + 1.0));
  }
  weights[6] /= 1000;
  // Far beyond level 20 every weight rounds to 0: the strongest ordinary bonus then.
  bool any = false;
  for (int32_t w : weights) any = any || w > 0;
  if (!any) weights[5] = 1;
  int chosen = AdvancedRand(state, 7, weights, 4, nullptr, 0, "Verbesserung Auswählen!", noArtifact, false);
  return chosen < 0 ? 0 : chosen;
}

}  // namespace RUNTIME_NS
