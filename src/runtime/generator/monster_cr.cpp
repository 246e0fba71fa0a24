// The monsters' CR table: the lowest and highest CR of every monster, template and hit
// dice bracket under both rule sets, derived once from the rule database by running the
// templates' CR scripts, and the CR of advancing a monster.
#include "generator/monster_cr.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "generator/script_binding.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "source/reader.h"
#include "source/source_init.h"

namespace RUNTIME_NS {

namespace {

int gSkeleton = -2;

bool TypeListed(const String& list, int type) {
  bool found = false;
  ForItems(list, [&](const char* item) {
    int t = FindContaining(gSource.monsterTypes, gSource.monsterTypeCount, item);
    if (t == type) found = true;
  });
  return found;
}

// The size "Large": looked up again whenever the rule database changes, since a creation
// over a loaded dump never runs the build that would otherwise set it.
int LargeSize() {
  thread_local uint32_t generation = ~0u;
  thread_local int large = -1;
  if (generation != gSourceGeneration) {
    large = FindByName(gSource.sizes, gSource.sizeCount, "Large");
    generation = gSourceGeneration;
  }
  return large;
}

int32_t OptionCR(int m, int k, int t, int32_t* high, bool srd) {
  const MonsterSource& mon = gSource.monsters[m];
  const TemplateSource& tpl = gSource.templates[t];
  int32_t value = mon.cr;
  if (tpl.forbidTypes.length && tpl.forbidTypes.c_str()[0] && TypeListed(tpl.forbidTypes, mon.type))
    value += 1024;
  else if (tpl.forceTypes.length && tpl.forceTypes.c_str()[0] && !TypeListed(tpl.forceTypes, mon.type))
    value += 1024;
  if (t == gSkeleton && strncmp(mon.name.c_str(), "Hydra", 5) == 0) value += 1024;
  if (value < 1024 && tpl.crScript.data) {
    // The template's CR script sees the monster's abilities; a is the CR, b the HD.
    static Char scratch;
    scratch.ST = mon.abilities[0];
    scratch.GE = mon.abilities[1];
    scratch.KO = mon.abilities[2];
    scratch.IN = mon.abilities[3];
    scratch.WE = mon.abilities[4];
    scratch.CH = mon.abilities[5];
    int32_t* temps = Temporaries();
    temps[0] = value;
    temps[1] = mon.hd;
    RunScript(&scratch, nullptr, nullptr, tpl.crScript.data, tpl.name.c_str(), -1, nullptr);
    value = temps[0];
  }
  int32_t low = mon.hd, top = mon.hd;
  switch (k) {
    case 1:
      low = mon.hdMin;
      top = mon.hdInc ? mon.hdInc - 1 : mon.hdMax;
      if (mon.hdMin < 1 || mon.hdMin == mon.hdInc) value += 1024;
      break;
    case 2:
      low = mon.hdInc;
      top = mon.hdInc2 ? mon.hdInc2 - 1 : mon.hdMax;
      if (mon.hdInc < 1 || mon.hdInc == mon.hdInc2) value += 1024;
      break;
    case 3:
      low = mon.hdInc2;
      top = mon.hdMax;
      if (mon.hdInc2 < 1) value += 1024;
      break;
    default:
      break;
  }
  if (srd) {
    *high = value + AdvancedMonsterCR(m, top, true);
    return value + AdvancedMonsterCR(m, low, true);
  }
  int32_t stepLow = AdvancedMonsterCR(m, low, false), stepHigh = AdvancedMonsterCR(m, top, false);
  *high = value + (stepHigh > k ? stepHigh : k);
  return value + (stepLow > k ? stepLow : k);
}

}  // namespace

int32_t MonsterCRStep(int32_t h, int32_t d) {
  if (h < 1) h = 1;
  if (d < 1) d = 1;
  return (int32_t)(4.0 * std::log2((double)h / (double)d) + 0.5);
}

int MonsterSizeSteps(const MonsterSource& m, int dice, bool srd) {
  if (srd) return (m.hdInc > 0 && dice >= m.hdInc) + (m.hdInc2 > 0 && dice >= m.hdInc2);
  return (m.hdInc > 0 && dice > m.hdInc) + (m.hdInc2 > 0 && dice > m.hdInc2);
}

int32_t AdvancedMonsterCR(int monster, int32_t dice, bool srd) {
  const MonsterSource& m = gSource.monsters[monster];
  if (!srd) return MonsterCRStep(dice, m.hd < 2 ? 1 : m.hd);
  const MonsterTypeSource* t =
      m.type >= 0 && m.type < gSource.monsterTypeCount ? &gSource.monsterTypes[m.type] : nullptr;
  int32_t per = t && t->crDice > 0 ? t->crDice : 4;
  int32_t step = std::max(dice - std::max(m.hd, 1), 0) / per;
  int grown = MonsterSizeSteps(m, dice, true);
  if (grown > 0 && LargeSize() >= 0 && m.size + grown >= LargeSize()) ++step;
  return step;
}

namespace {

// The CR table's entry of one rule set (0 own, 1 SRD 3.5): the lowest CR (raised by 1024 for each
// of type and template that refuses class levels, when asked for a mixed creature) and the highest.
int32_t TableCR(int rules, int monster, int variant, int templ, int32_t* high, bool mixed) {
  size_t e = (((size_t)rules * gSource.monsterCount + monster) * gSource.templateCount + templ) * 4 + variant;
  int32_t low = gSource.monsterCR[2 * e];
  if (high) *high = gSource.monsterCR[2 * e + 1];
  if (mixed) {
    if (gSource.monsterTypes[gSource.monsters[monster].type].mixed == 0) low += 1024;
    if (gSource.templates[templ].mixed == 0) low += 1024;
  }
  return low;
}

}  // namespace

void BuildMonsterCRTable() {
  // A template that no monster type may take is a mistake of the table.
  for (int t = 0; t < gSource.templateCount; ++t) {
    WhereRow("Build/Data/Templates.txt", t);
    const TemplateSource& tpl = gSource.templates[t];
    bool forbids = tpl.forbidTypes.length && tpl.forbidTypes.c_str()[0];
    bool forces = tpl.forceTypes.length && tpl.forceTypes.c_str()[0];
    int fitting = 0;
    for (int type = 0; type < gSource.monsterTypeCount; ++type)
      fitting += !(forbids && TypeListed(tpl.forbidTypes, type)) && !(forces && !TypeListed(tpl.forceTypes, type));
    if (fitting == 0) {
      ConsolePrint("Template %s fits no monster type\n", tpl.name.c_str());
      TableFault();
    }
  }
  WhereClear();
  gSkeleton = FindByName(gSource.templates, gSource.templateCount, "Skelleton");
  size_t pairs = (size_t)gSource.monsterCount * (size_t)(gSource.templateCount ? gSource.templateCount : 1) * 4 * 2;
  gSource.monsterCR =
      static_cast<int32_t*>(mallocloga(sizeof(int32_t) * 2 * (pairs ? pairs : 1), "DetermineCR-MonsterCR"));
  for (int r = 0; r < 2; ++r)
    for (int m = 0; m < gSource.monsterCount; ++m)
      for (int t = 0; t < gSource.templateCount; ++t)
        for (int k = 0; k < 4; ++k) {
          size_t e = (((size_t)r * gSource.monsterCount + m) * gSource.templateCount + t) * 4 + k;
          gSource.monsterCR[2 * e] = OptionCR(m, k, t, &gSource.monsterCR[2 * e + 1], r == 1);
        }
}

int32_t DetermineCR(int monster, int variant, int templ, int32_t* high, bool mixed) {
  return TableCR(0, monster, variant, templ, high, mixed);
}

int32_t DetermineSrdCR(int monster, int variant, int templ, int32_t* high, bool mixed) {
  return TableCR(1, monster, variant, templ, high, mixed);
}

int BuildRules(bool warn) {
  BindCreatureScripts();
  if (SourceInit(warn) != 0) return 1;
  if (!gSource.monsterCR) BuildMonsterCRTable();
  return 0;
}

}  // namespace RUNTIME_NS
