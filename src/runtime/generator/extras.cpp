// Class extras that no general table step covers: the counters the class scripts raise
// are spent here on drawn rows, and equipment adds its skill bonuses.
#include "generator/extras.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "generator/creature_ops.h"
#include "generator/script_binding.h"
#include "launcher/process.h"
#include "random/decisions.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

void Text(Char* c, const std::string& text) {
  if (c->specialText) TextAppend(c->specialText, text.data(), text.size());
}

// Weights of the extras rows: 1 for the eligible ones, times the profile weight for
// the rows a profile lists.
template <class Eligible>
std::vector<int32_t> Weights(const Char* c, Eligible eligible) {
  int n = gSource.specialCount;
  std::vector<int32_t> w((size_t)std::max(n, 1), 0);
  for (int i = 0; i < n; ++i) w[(size_t)i] = eligible(gSource.specials[i]) ? 1 : 0;
  if (c->profileMode && c->profile >= 0 && c->profile < gSource.profileCount) {
    const ProfileSource& p = gSource.profiles[c->profile];
    for (int k = 0; k < p.specialCount; ++k) {
      int i = p.specials[k];
      if (i >= 0 && i < n) w[(size_t)i] *= c->profileWeight;
    }
  }
  return w;
}

int Draw(Char* c, std::vector<int32_t>& w, const char* label) {
  return AdvancedRand(c->context.random, gSource.specialCount, w.data(), 4, &gSource.specials[0].name.text,
                      sizeof(SpecialSource), label, 0, true, 0, false);
}

void Run(Char* c, int row) {
  const SpecialSource& x = gSource.specials[row];
  if (x.script.data) RunScript(c, nullptr, c->specialText, x.script.data, x.name.c_str(), -1, c->specialText);
}

void SkillMastery(Char* c) {
  Text(c, "Fertigkeitsmeisterschaft ( ");
  std::vector<int32_t> w((size_t)std::max(c->skillCount, 1), 1);
  std::vector<const char*> names((size_t)std::max(c->skillCount, 1), "");
  for (int e = 0; e < c->skillCount; ++e) {
    int s = c->skills[e].skill;
    names[(size_t)e] = s >= 0 && s < gSource.skillCount ? gSource.skills[s].name.c_str() : "";
  }
  for (int k = 0; k < c->MIN + 3; ++k) {
    int e = AdvancedRand(c->context.random, c->skillCount, w.data(), 4, names.data(), sizeof(char*),
                         "Fertigkeit auswählen!", 0, true, 0, false);
    int skill = -1;
    if (e >= 0) {
      w[(size_t)e] = 0;
      skill = c->skills[e].skill;
    } else if (gSource.skillCount > 0) {
      skill = random(c->context.random, 0, gSource.skillCount - 1, "Fertigkeit auswählen", 0);
    }
    if (skill >= 0) Text(c, std::string(gSource.skills[skill].name.c_str()) + " ");
  }
  Text(c, ")\n");
}

}  // namespace

void DoArcanas(Char* c) {
  int m = c->mainCastingSlot;
  if (c->Arcanas <= 0 || m < 0 || m >= kMaxClassSlots) return;
  auto open = [&](int level) { return level >= 0 && level < 10 && c->spellsPerDay[m][level] > 0; };
  std::vector<int32_t> w = Weights(c, [&](const SpecialSource& x) { return x.type == 0 && open(x.spellLevel); });
  for (int k = 0; k < c->Arcanas; ++k) {
    int row = Draw(c, w, "Arcana wählen!");
    if (row < 0) break;
    w[(size_t)row] = 0;
    Run(c, row);
    // An arcana costs a spell slot of its level.
    int level = gSource.specials[row].spellLevel;
    if (level < 0 || level > 9) continue;
    if (c->spellsKnown[m][level] == -1) --c->spellsToDraw[m][level];
    if (--c->spellsPerDay[m][level] <= 0)
      for (int i = 0; i < gSource.specialCount; ++i)
        if (gSource.specials[i].type == 0 && gSource.specials[i].spellLevel == level) w[(size_t)i] = 0;
  }
}

void DoSpecialAbilities(Char* c) {
  if (c->SpecialAbilities <= 0) return;
  std::vector<int32_t> w = Weights(c, [](const SpecialSource& x) { return x.type == 2; });
  for (int k = 0; k < c->SpecialAbilities; ++k) {
    int row = Draw(c, w, "Besondere Fähigkeit wählen!");
    if (row < 0) continue;  // none is taken this time; the count goes on
    w[(size_t)row] = 0;
    if (gSource.specials[row].name == "Fertigkeitsmeisterschaft")
      SkillMastery(c);
    else
      Run(c, row);
  }
}

void DoLores(Char* c) {
  if (c->Lores <= 0) return;
  int lore = c->IN + 2 * c->Lores;
  std::vector<int32_t> w = Weights(c, [&](const SpecialSource& x) { return x.type == 1 && lore >= x.spellLevel; });
  for (int k = 0; k < c->Lores; ++k) {
    int row = Draw(c, w, "Secret wählen!");
    if (row < 0) row = FindSpecial("SecretHealth", 1);  // the secret of health may be taken again and again
    w[(size_t)row] = 0;
    Run(c, row);
  }
}

void DoHierophantAbilities(Char* c) {
  if (c->HierophantAbilities <= 0) return;
  std::vector<int32_t> w = Weights(c, [](const SpecialSource& x) { return x.type == 8; });
  for (int k = 0; k < c->HierophantAbilities; ++k) {
    int row = Draw(c, w, "Specialfähigkeit wählan!");
    if (row < 0) continue;  // none is taken this time; the count goes on
    w[(size_t)row] = 0;
    Run(c, row);
  }
}

void EquipmentSkillBonuses(Char* c) {
  auto apply = [&](const int32_t* code, const char* source) {
    if (!code) return;
    for (int i = 1; i + 2 <= code[0]; i += 3)
      if (code[i] >= 0 && code[i] < gSource.skillCount) BoostSkillTyped(c, code[i], code[i + 2], code[i + 1], source);
  };
  int skillBonus = FindByName(gSource.effects, gSource.effectCount, "FertigkeitsBon");
  for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
    const CharItem& it = c->items[i];
    if (it.specific > 0 && it.specific < gSource.specificCount)
      apply(gSource.specifics[it.specific].skillBonus.Code(), gSource.specifics[it.specific].name.c_str());
    for (int k = 0; k < it.effectCount && k < kItemEffects; ++k) {
      int e = it.effects[k];
      if (e < 0 || e >= gSource.effectCount) continue;
      apply(gSource.effects[e].skillBonus.Code(), gSource.effects[e].name.c_str());
      if (e == skillBonus)
        for (int s = 0; s < c->skillCount; ++s) c->skills[s].bonus += 1;
    }
  }
}

}  // namespace RUNTIME_NS
