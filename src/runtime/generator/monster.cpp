// Monsters from their table rows: the pick for a CR, then hit dice, size, template,
// attacks, feats, skills and spellcasting applied, under either rule set's advancement.
#include "generator/monster.h"
#include "generator/monster_cr.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "generator/attributes.h"
#include "generator/classes.h"
#include "generator/creature_ops.h"
#include "generator/feats.h"
#include "generator/scratch.h"
#include "generator/script_binding.h"
#include "generator/skills.h"
#include "generator/spells.h"
#include "launcher/process.h"
#include "random/decisions.h"
#include "random/settings.h"
#include "random/types.h"
#include "source/reader.h"
#include "source/records.h"
#include "source/source_init.h"

namespace RUNTIME_NS {

namespace {

std::atomic<int> gReferenceMonster{-1};

// How many options of each monster hold a CR, weighted as the draw weighs them, for
// every CR, mixed flag and template use: the same for every creature of a rule database,
// so each combination is counted once. Kept in tracked memory and released with the
// runtime's contexts.
struct OptionWeights {
  uint32_t generation = 0;
  int32_t* weights = nullptr;  // [cr][mixed][templates][monster]; a row is filled on first use
  uint8_t* filled = nullptr;   // per row
  int rows = 0;
};
OptionWeights gOptionWeights;
std::mutex gOptionLock;
std::atomic<bool> gOptionsReady{false};  // the rows are allocated for the current database
constexpr int kCachedCRs = 64;

int OptionRow(int cr, bool mixed, bool templates, bool srd) {
  return ((srd * kCachedCRs + cr) * 2 + mixed) * 2 + templates;
}

void ReleaseOptionWeights() {
  gOptionsReady.store(false, std::memory_order_relaxed);
  if (gOptionWeights.weights) freeloga(gOptionWeights.weights);
  if (gOptionWeights.filled) freeloga(gOptionWeights.filled);
  gOptionWeights = OptionWeights{};
}

// Counts the option weights of every monster for one CR into `row`.
template <bool kSrd>
void CountOptionWeights(int cr, bool mixed, bool useTemplates, int templates, int32_t* row) {
  for (int m = 0; m < gSource.monsterCount; ++m) {
    row[m] = 0;
    for (int k = 0; k < 4; ++k)
      for (int t = useTemplates ? 1 : 0; t < (useTemplates ? templates : 1); ++t) {
        int32_t high = 0;
        int32_t low = kSrd ? DetermineSrdCR(m, k, t, &high, mixed) : DetermineCR(m, k, t, &high, mixed);
        if (cr < low || cr > high) continue;
        row[m] += 1 + (t == 0 ? 15 : 0) + (k == 0 ? 5 : 0);
      }
  }
}

// The option weights of every monster for one CR; copies them into `out`.
void MonsterOptionWeights(int cr, bool mixed, bool useTemplates, int templates, bool srd, int32_t* out) {
  int n = gSource.monsterCount;
  auto count = [&](int32_t* row) {
    if (srd)
      CountOptionWeights<true>(cr, mixed, useTemplates, templates, row);
    else
      CountOptionWeights<false>(cr, mixed, useTemplates, templates, row);
  };
  if (cr < 0 || cr >= kCachedCRs) {
    count(out);
    return;
  }
  OptionWeights& w = gOptionWeights;
  int row = OptionRow(cr, mixed, useTemplates, srd);
  // A filled row is read without the lock: every monster creation asks for one.
  if (gOptionsReady.load(std::memory_order_acquire) && w.generation == gSourceGeneration &&
      std::atomic_ref<uint8_t>(w.filled[row]).load(std::memory_order_acquire)) {
    memcpy(out, w.weights + (size_t)row * (size_t)n, sizeof(int32_t) * (size_t)n);
    return;
  }
  std::lock_guard<std::mutex> lock(gOptionLock);
  if (w.generation != gSourceGeneration || !w.weights) {
    ReleaseOptionWeights();
    w.rows = kCachedCRs * 8;
    w.weights = static_cast<int32_t*>(
        mallocloga(sizeof(int32_t) * (size_t)w.rows * (size_t)(n > 0 ? n : 1), "MonsterOptionWeights"));
    w.filled = static_cast<uint8_t*>(mallocloga((size_t)w.rows, "MonsterOptionWeights-Filled"));
    memset(w.filled, 0, (size_t)w.rows);
    w.generation = gSourceGeneration;
    gOptionsReady.store(true, std::memory_order_release);
  }
  int32_t* cached = w.weights + (size_t)row * (size_t)n;
  if (!w.filled[row]) {
    count(cached);
    std::atomic_ref<uint8_t>(w.filled[row]).store(1, std::memory_order_release);
  }
  memcpy(out, cached, sizeof(int32_t) * (size_t)n);
}

// Rows the monster build names, renewed with every Source build.
struct Named {
  uint32_t generation = UINT32_MAX;
  int celestial, fiendish, phrenic, skeleton, zombie, none, paragon, pseudonatural;
  int beast, animal, magicalBeast, dragon, vermin;
  int dodge, weaponFocus, naturalArmor;
  int fighter, sorcerer, wizard;
  int claw, medium, largest, improvedInitiative;
};

const Named& Names() {
  thread_local Named n;
  if (n.generation == gSourceGeneration) return n;
  auto tpl = [](const char* name) { return FindByName(gSource.templates, gSource.templateCount, name); };
  auto type = [](const char* name) { return FindByName(gSource.monsterTypes, gSource.monsterTypeCount, name); };
  auto cls = [](const char* name) { return FindByName(gSource.classes, gSource.classCount, name); };
  n.celestial = tpl("Celestial");
  n.fiendish = tpl("Fiendish");
  n.phrenic = tpl("Phrenic");
  n.skeleton = tpl("Skelleton");
  n.zombie = tpl("Zombie");
  n.none = tpl("Keins");
  n.paragon = tpl("Paragon");
  n.pseudonatural = tpl("Pseudonatural");
  n.vermin = type("Vermin");
  n.dodge = FindByName(gSource.feats, gSource.featCount, "Ausweichen");
  n.weaponFocus = FindByName(gSource.feats, gSource.featCount, "Waffenfokus");
  n.naturalArmor = FindByName(gSource.feats, gSource.featCount, "VerbesserteNatürlicheRüstung");
  n.beast = type("Beast");
  n.animal = type("Animal");
  n.magicalBeast = type("MagicalBeast");
  n.dragon = type("Dragon");
  n.fighter = cls("Kämpfer");
  n.sorcerer = cls("Hexenmeister");
  n.wizard = cls("Magier");
  n.claw = FindByName(gSource.equipment, gSource.equipmentCount, "Klaue");
  n.medium = FindByName(gSource.sizes, gSource.sizeCount, "Medium");
  n.largest = FindContaining(gSource.sizes, gSource.sizeCount, "Colo");
  n.improvedInitiative = FindByName(gSource.feats, gSource.featCount, "VerbesserteInitiative");
  n.generation = gSourceGeneration;
  return n;
}

void Append(Char* c, const char* text) {
  size_t n = strlen(text);
  if (c->specialText && n > 0) TextAppend(c->specialText, text, n);
}

void Append(Char* c, const String& text) {
  if (c->specialText && text.length > 0) TextAppend(c->specialText, text.c_str(), text.length);
}

const MonsterTypeSource* TypeOf(const Char* c) {
  return c->creatureType >= 0 && c->creatureType < gSource.monsterTypeCount ? &gSource.monsterTypes[c->creatureType]
                                                                            : nullptr;
}

// The type whose base attack, saves and skill points the monster has. Under SRD 3.5 a
// template that changes the type keeps those of the base creature, except skeleton and
// zombie, which name their own.
const MonsterTypeSource* FeatureTypeOf(const Char* c) {
  const Named& n = Names();
  bool own = c->templateIndex == n.skeleton || c->templateIndex == n.zombie;
  if (Srd35(c) && !own && c->monster >= 0 && c->monster < gSource.monsterCount) {
    int t = gSource.monsters[c->monster].type;
    if (t >= 0 && t < gSource.monsterTypeCount) return &gSource.monsterTypes[t];
  }
  return TypeOf(c);
}

// Base attack, Reflex, Will and Fortitude of the creature's type at `dice`. A monster
// whose row names its own save progressions (air elementals, dire animals) keeps them
// while it is of its own type.
void TypeBase(const Char* c, int dice, int32_t out[4]) {
  const MonsterTypeSource* t = FeatureTypeOf(c);
  const MonsterSource* m = t && c->monster >= 0 && c->monster < gSource.monsterCount &&
                                   &gSource.monsterTypes[gSource.monsters[c->monster].type] == t
                               ? &gSource.monsters[c->monster]
                               : nullptr;
  int32_t progression[3] = {t ? t->reflex : 0, t ? t->will : 0, t ? t->fortitude : 0};
  for (int i = 0; i < 3 && m; ++i)
    if (m->saves[i] != 0) progression[i] = m->saves[i];
  out[0] = t ? BaseAttack(t->attackType, dice) : 0;
  for (int i = 0; i < 3; ++i) out[i + 1] = t ? BaseSave(progression[i], dice) : 0;
}

// Hit dice of a variant: base dice, or the bracket's range.
void VariantRange(const MonsterSource& m, int variant, int* low, int* high) {
  switch (variant) {
    case 1:
      *low = m.hdMin;
      *high = m.hdInc >= 1 ? m.hdInc - 1 : m.hdMax;
      break;
    case 2:
      *low = m.hdInc;
      *high = m.hdInc2 >= 1 ? m.hdInc2 - 1 : m.hdMax;
      break;
    case 3:
      *low = m.hdInc2;
      *high = m.hdMax;
      break;
    default:
      *low = *high = m.hd;
  }
  if (*high < *low) *high = *low;
  if (*low < 1) *low = *high = std::max(m.hd, 1);
}

// The hit dice of the chosen option: drawn in the variant's range and drawn again,
// up to 1000 draws, while the CR they give (the templated base CR plus the hit-dice
// step, at least the variant number) is not the creature's.
int DrawHitDice(Char* c, int variant) {
  const MonsterSource& m = gSource.monsters[c->monster];
  int low, high;
  VariantRange(m, variant, &low, &high);
  int32_t top = 0;
  const bool srd = Srd35(c);
  int32_t base = OptionCRRange(srd, c->monster, 0, c->templateIndex, &top, false);
  if (low == high) return low;
  int dice = low;
  for (int draw = 0; draw < 1000; ++draw) {
    dice = random(c->context.random, low, high, "Trefferwürfel:", 0);
    int32_t step = AdvancedMonsterCR(c->monster, dice, srd);
    if (base + (srd ? step : std::max(step, (int32_t)variant)) == c->cr) break;
  }
  return dice;
}

void CopyAttacks(Char* c, const MonsterSource& m) {
  c->attackCount = std::min(m.attackCount, kNaturalAttacks);
  bool slap = false;
  for (int i = 0; i < c->attackCount; ++i) {
    CharAttack& a = c->naturals[i];
    const MonsterAttack& x = m.attacks[i];
    snprintf(a.name, sizeof a.name, "%s", m.attackNames[i].c_str());
    a.attack = x.attack;
    a.number = x.number;
    a.step = x.reduction;
    a.damage[0] = x.damageA;
    a.damage[1] = x.damageB;
    a.damage[2] = x.damageC;
    if (m.attackNames[i] == "Slap") slap = true;
    a.category = i < 2 ? m.alternatives[i] : slap ? 3 : 0;
  }
}

void EnterSkills(Char* c, const MonsterSource& m) {
  c->skillCount = 0;
  for (int i = 0; i < m.skillCount && i < 7; ++i) {
    int s = m.skills[i][0];
    if (s < 0 || s >= gSource.skillCount) continue;
    CharSkill& k = c->skills[c->skillCount++];
    k = CharSkill();
    k.skill = s;
    k.ranks = m.skills[i][1];
    k.ability = AbilityModifier(c, gSource.skills[s].attribute);
    k.total = k.ranks + k.ability;
  }
  c->skillPoints = 0;
}

// A true dragon without listed feats chooses them like a fighter, then like a wizard.
void DragonFeats(Char* c, const MonsterSource& m) {
  const Named& n = Names();
  // SRD 3.5: 1 + 1 per 3 hit dice, and 6 + Int modifier skill points per die (at least 1).
  int count = Srd35(c) ? 1 + m.hd / 3 : m.hd / 4;
  c->skillPoints = Srd35(c) ? (m.hd + 3) * std::max(6 + c->MIN, 1) : (m.hd + 3) * (c->IN + 6);
  if (count <= 0 || n.fighter < 0) return;
  int32_t first = c->featCount;
  c->classCount = 1;
  c->classes[0] = n.fighter;
  c->classLevels[0] = c->preEpicLevels[0] = 20;
  c->featCount = std::min(c->featCount + count / 2, kMaxFeats);
  DoFeats(c, nullptr, n.fighter, true, &first, m.epic ? 1 : 0);
  if (n.sorcerer >= 0 && n.wizard >= 0) {
    c->classes[0] = n.sorcerer;
    c->featCount = std::min(c->featCount + count - count / 2, kMaxFeats);
    DoFeats(c, nullptr, n.wizard, true, &first, m.epic ? 1 : 0);
  }
  c->classCount = 0;
  c->classes[0] = c->classLevels[0] = c->preEpicLevels[0] = 0;
  for (int i = 0; i < c->featCount; ++i) {
    int f = c->feats[i];
    if (f >= 0 && f < gSource.featCount && gSource.feats[f].dep == 1 && c->featParameters[i] >= 0 && n.claw >= 0)
      c->featParameters[i] = n.claw;
    c->featListed[i] = 1;
  }
}

void RunMonsterAbilities(Char* c, const MonsterSource& m) {
  const int32_t* code = m.abilityCode.Code();
  if (!code) return;
  for (int i = 1; i <= code[0]; ++i) {
    int a = code[i];
    if (a < 0 || a >= gSource.abilityCount) continue;
    const AbilitySource& x = gSource.abilities[a];
    Append(c, x.text);
    Append(c, "\n");
    if (x.script.data) RunScript(c, nullptr, c->specialText, x.script.data, x.name.c_str(), -1, c->specialText);
  }
}

// A template that gives an absent ability a score (a mindless vermin made celestial gets
// Intelligence 3) makes the ability present: its modifier counts from then on.
void PresentGivenAbilities(Char* c) {
  for (int i = 0; i < kAttributes; ++i)
    if (c->absent[i] && AbilityScore(c, i) > 0) c->absent[i] = 0;
}

void StoreMoney(Char* c, int32_t value) { c->wealth = c->money = c->treasureMoney = value; }

}  // namespace

void ReleaseMonsterCaches() {
  {
    std::lock_guard<std::mutex> lock(gOptionLock);
    ReleaseOptionWeights();
  }
  ReleaseSpellLists();
  ReleaseClassFeatWeights();
}

void MonsterSkillAbilities(Char* c) {
  for (int e = 0; e < c->skillCount; ++e) {
    CharSkill& k = c->skills[e];
    if (k.skill < 0 || k.skill >= gSource.skillCount) continue;
    k.ability = AbilityModifier(c, gSource.skills[k.skill].attribute);
    k.total = k.ranks + k.bonus + k.ability + k.penalty;
  }
}

void TemplateTakesIntelligence(Char* c, int templateIndex) {
  const Named& n = Names();
  if (!Srd35(c) || templateIndex < 0 || (templateIndex != n.zombie && templateIndex != n.skeleton)) return;
  c->absent[3] = 1;
  c->IN = 0;
  ComputeModifiers(c);
}

void ResetReferenceMonster() { gReferenceMonster = -1; }
int ReferenceMonster() { return gReferenceMonster.load(std::memory_order_relaxed); }
void SetReferenceMonster(int m) { gReferenceMonster.store(m, std::memory_order_relaxed); }

int SizeModifier(int sizeIndex) {
  int v = 4 - sizeIndex;
  if (v == -5) v = -4;
  if (v == 3 || v == -3)
    v = v * 4 / 3;
  else if (v == 4 || v == -4)
    v *= 2;
  return v;
}

void StepDamageDie(int32_t* dice, int32_t* die) {
  switch (*die) {
    case 2:
      *die = 3;
      break;
    case 3:
      *die = 4;
      break;
    case 4:
      *die = 6;
      break;
    case 6:
      *die = 8;
      break;
    case 8:
    case 10:
      *die = 6;
      *dice *= 2;
      break;
    case 12:
      *die = 8;
      *dice *= 2;
      break;
    default:
      break;
  }
}

// How many halves of the Strength modifier natural attack `i` adds under SRD 3.5: 3 for a
// sole attack, 2 for a primary and 1 for a secondary one. The stat block's damage bonus
// against its Strength tells it; where its Strength adds too little to tell, the routine
// does (alone in it: sole; 2 or more below its best attack: secondary).
static int StrengthHalves(const Char* c, int i) {
  const CharAttack& a = c->naturals[i];
  if (c->monster >= 0 && c->monster < gSource.monsterCount) {
    const MonsterSource& m = gSource.monsters[c->monster];
    int mod = m.abilities[0] > 0 ? m.abilities[0] / 2 - 5 : 0;
    if (i < m.attackCount && mod > 1 && strcmp(m.attackNames[i].c_str(), a.name) == 0)
      return std::clamp((4 * m.attacks[i].damageC + mod) / (2 * mod), 1, 3);
  }
  int best = a.attack, routine = 0;
  for (int j = 0; j < c->attackCount; ++j) {
    if (c->naturals[j].category != a.category) continue;
    best = std::max(best, c->naturals[j].attack);
    routine += std::max(c->naturals[j].number, 1);
  }
  if (routine <= 1) return 3;
  return a.attack <= best - 2 ? 1 : 2;
}

int NaturalAttackStrengthDamage(const Char* c, int i, int before, int after) {
  if (!Srd35(c)) return after - before;  // the system's own rules: the change itself
  const int halves = StrengthHalves(c, i);
  auto part = [halves](int mod) { return mod < 0 ? mod : mod * halves / 2; };
  return part(after) - part(before);
}

void SizeAndAbilityChange(Char* c, const int32_t* changes, int count, int flag) {
  int32_t before[kAttributes];
  for (int i = 0; i < kAttributes; ++i) before[i] = AbilityModifier(c, i);
  for (int i = 0; i < count && i < kAttributes; ++i)
    if (!c->absent[i]) AbilityScore(c, i) = std::max(AbilityScore(c, i) + changes[i], 1);
  ComputeModifiers(c);
  if (flag != 0) return;
  int32_t delta[kAttributes];
  for (int i = 0; i < kAttributes; ++i) delta[i] = AbilityModifier(c, i) - before[i];
  // Dexterity to armour class, Constitution to hit points; the saves follow the
  // modifiers by themselves. Every natural attack takes the size row's change,
  // Strength to attack and damage, and one die step.
  c->AC += delta[1];
  c->refMod = c->MGE;
  c->willMod = c->MWE;
  c->fortMod = c->MKO;
  c->hitPoints = std::max(c->hitPoints + delta[2] * c->Level, 1);
  int32_t sizeMod = c->sizeIndex >= 0 && c->sizeIndex < gSource.sizeCount ? gSource.sizes[c->sizeIndex].sizeMod : 0;
  for (int i = 0; i < c->attackCount; ++i) {
    c->naturals[i].attack += sizeMod + delta[0];
    c->naturals[i].damage[2] += NaturalAttackStrengthDamage(c, i, before[0], AbilityModifier(c, 0));
    StepDamageDie(&c->naturals[i].damage[0], &c->naturals[i].damage[1]);
  }
}

// A monster's abilities change (growth or template): the system's own rules add the size
// row's AC/attack change to the attacks with it and step every damage die; under SRD 3.5
// only the abilities' modifiers change the values.
void MonsterAbilityChange(Char* c, const int32_t* changes, int count) {
  if (!Srd35(c)) {
    SizeAndAbilityChange(c, changes, count, 0);
    return;
  }
  CharAttack kept[kNaturalAttacks];
  for (int i = 0; i < c->attackCount; ++i) kept[i] = c->naturals[i];
  SizeAndAbilityChange(c, changes, count, 0);
  int32_t sizeMod = c->sizeIndex >= 0 && c->sizeIndex < gSource.sizeCount ? gSource.sizes[c->sizeIndex].sizeMod : 0;
  for (int i = 0; i < c->attackCount; ++i) {
    c->naturals[i].attack -= sizeMod;
    c->naturals[i].damage[0] = kept[i].damage[0];
    c->naturals[i].damage[1] = kept[i].damage[1];
  }
}

// One step up the size table for a natural attack's damage, as SRD 3.5 gives it (1d8 to
// 2d6, 1d10 to 2d8, 2d6 to 3d6, 2d8 to 3d8); larger dice go on by the same steps.
void SrdStepDamageDie(int32_t* dice, int32_t* die) {
  if (*dice <= 1) {
    switch (*die) {
      case 2:
        *die = 3;
        return;
      case 3:
        *die = 4;
        return;
      case 4:
        *die = 6;
        return;
      case 6:
        *die = 8;
        return;
      case 8:
        *dice = 2;
        *die = 6;
        return;
      case 10:
        *dice = 2;
        *die = 8;
        return;
      case 12:
        *dice = 3;
        *die = 6;
        return;
      default:
        return;
    }
  }
  if (*die == 4) {
    *die = 6;
    return;
  }
  *dice = *dice < 4 ? *dice + 1 : *dice * 3 / 2;
}

// Improving monsters: +1 to an ability score per four hit dice, counting only the dice
// beyond the stat block's (total / 4 - base / 4), into the highest physical score (the
// first of equal ones) under SRD 3.5. The system's own rules give none.
static void AdvancementAbilityIncrease(Char* c, int baseDice, int dice) {
  if (!Srd35(c)) return;
  int gain = dice / 4 - baseDice / 4, best = -1;
  if (gain <= 0) return;
  for (int i = 0; i < 3; ++i)
    if (!c->absent[i] && (best < 0 || AbilityScore(c, i) > AbilityScore(c, best))) best = i;
  if (best < 0) return;
  int32_t changes[kAttributes] = {};
  changes[best] = gain;
  MonsterAbilityChange(c, changes, kAttributes);
}

// A monster grows by one size: the size row's changes to abilities, natural armour and
// AC/attack, and every natural attack one damage step. The system's own rules count the
// AC/attack change on the attacks twice.
void MonsterSizeIncrease(Char* c) {
  if (c->sizeIndex < 0 || c->sizeIndex + 1 >= gSource.sizeCount) return;
  const SizeSource& row = gSource.sizes[c->sizeIndex];
  c->AC += row.ac + row.sizeMod;
  c->NaturalAC += row.ac;
  for (int i = 0; i < c->attackCount; ++i) c->naturals[i].attack += row.sizeMod;
  int32_t changes[3] = {row.st, row.ge, row.ko};
  MonsterAbilityChange(c, changes, 3);
  if (Srd35(c))
    for (int i = 0; i < c->attackCount; ++i) SrdStepDamageDie(&c->naturals[i].damage[0], &c->naturals[i].damage[1]);
  ++c->sizeIndex;
  c->Size = 4 - c->sizeIndex;
}

void SetMonsterSpellChar(Char* c) {
  const MonsterSource& m = gSource.monsters[c->monster];
  const char* p = reinterpret_cast<const char*>(m.spellChar.data);
  if (!p || !*p || strcmp(p, "0") == 0) return;
  c->classCount = 0;
  while (*p && c->classCount < kMaxClassSlots) {
    std::string entry = p;
    p += entry.size() + 1;
    size_t blank = entry.rfind(' ');
    if (blank == std::string::npos) continue;
    std::string names = entry.substr(0, blank);
    int level = atoi(entry.c_str() + blank + 1);
    int bars = (int)std::count(names.begin(), names.end(), '|');
    if (bars > 0) {
      int pick = random(c->context.random, 0, bars, "Welcher Spellchar", 0);
      size_t start = 0;
      for (int k = 0; k < pick; ++k) start = names.find('|', start) + 1;
      names = names.substr(start, names.find('|', start) - start);
    }
    int cls = FindByName(gSource.classes, gSource.classCount, names.c_str());
    if (cls < 0 || level <= 0) continue;
    int s = c->classCount++;
    c->classes[s] = cls;
    c->classLevels[s] = c->preEpicLevels[s] = level;
  }
  c->monsterCaster = c->classCount > 0;
  c->casterSlots = c->classCount;
  c->clericSpells = m.clericSpells;
}

void MonsterFinalValues(Char* c) {
  int32_t now[4];
  TypeBase(c, c->Level, now);
  c->GA = now[0];
  c->baseRef = now[1];
  c->baseWill = now[2];
  c->baseFort = now[3];
  // Saves are base + ability + the rest of the stat block's total, so the new base
  // carries itself; natural attacks are totals and take the change of the base attack.
  int32_t delta = now[0] - c->monsterBase[0];
  for (int i = 0; i < c->attackCount; ++i) c->naturals[i].attack += delta;
  for (int i = 0; i < 4; ++i) c->monsterBase[i] = now[i];
  c->sizeMod = SizeModifier(c->sizeIndex);
  c->meleeMod = c->MST;
  c->rangedMod = c->MGE;
  c->refMod = c->MGE;
  c->willMod = c->MWE;
  c->fortMod = c->MKO;
}

// The hit dice rolled in the build: their sum, count and size.
struct RolledDice {
  int32_t sum, dice, die;
};

// A template that changes the hit die or the number of hit dice (a zombie doubles
// them) scales the rolled part of the hit points to the new dice: the build keeps its
// draws, and the sum stays within what the new dice can roll.
void RescaleHitDice(Char* c, const RolledDice& rolled) {
  int64_t dice = std::max(c->Level, 1), die = std::max(c->MonsterTWType, 1);
  if (dice == rolled.dice && die == rolled.die) return;
  int64_t from = (int64_t)std::max(rolled.dice, 1) * std::max(rolled.die, 1), to = dice * die;
  int64_t scaled = std::clamp(((int64_t)rolled.sum * to + from / 2) / from, dice, to);
  c->hitPoints = (int32_t)std::clamp<int64_t>(c->hitPoints + scaled - rolled.sum, 1, INT32_MAX);
  c->hitDieRolls = (int32_t)scaled;
}

// Feats a template grants a monster: the stat block's totals do not hold them, so
// their scripts run (the monster's own feats never do).
void RunFeatScripts(Char* c, int from) {
  for (int i = std::max(from, 0); i < c->featCount; ++i) {
    int f = c->feats[i];
    if (f < 0 || f >= gSource.featCount) continue;
    const FeatSource& x = gSource.feats[f];
    const uint8_t* script = x.effectScript.data;
    // A script of just ";" compiles to a root node that ends at once (byte 5 is its end).
    if (script && script[0] != 0 && script[5] != 0 && script[5] != ';')
      RunScript(c, nullptr, c->specialText, script, x.name.c_str(), i, c->specialText);
  }
}

// A mindless undead template drops the feats and skills of the base creature, and with
// them what its stat block's initiative and saves held beyond Dexterity, base and ability.
void LoseFeatsAndSkills(Char* c) {
  c->featCount = 0;
  c->skillCount = 0;
  c->Init = 0;
  c->RWRefRest = c->RWWilRest = c->RWZaehRest = 0;
}

// Celestial, fiendish and phrenic animals become magical beasts; under SRD 3.5 celestial
// and fiendish vermin do too.
bool BecomesMagicalBeast(const Char* c) {
  const Named& n = Names();
  int t = c->templateIndex, type = c->creatureType;
  if (t < 0 || n.magicalBeast < 0) return false;
  if (t != n.celestial && t != n.fiendish && t != n.phrenic) return false;
  if (type == n.beast || type == n.animal) return true;
  return Srd35(c) && t != n.phrenic && type == n.vermin && n.vermin >= 0;
}

// Under SRD 3.5 a monster has 1 + 1 per 3 hit dice feats: those its row lists beyond
// the table's six columns, and any a draw could not place or drew twice, are drawn like
// advancement feats. The system's own rules keep what the row and the advancement give.
void CompleteMonsterFeats(Char* c, int dice, bool mindless) {
  if (!Srd35(c) || mindless) return;
  for (int round = 0; round < 4; ++round) {
    RemoveDuplicateFeats(c);
    int missing = 1 + std::max(dice, 1) / 3 - c->featCount;
    if (missing <= 0 || c->featCount + missing > kMaxFeats) return;
    IncreaseHDFeatSkill(c, 0, 3 * missing, 0, 3);
  }
}

// A feat a monster gains beyond its stat block under SRD 3.5: its script, and Dodge,
// Improved Natural Armor and Weapon Focus on the natural attack it names (the first
// one when it names none of them).
void SrdFeatEffect(Char* c, int i) {
  const Named& n = Names();
  int f = c->feats[i];
  if (f < 0 || f >= gSource.featCount) return;
  const uint8_t* script = gSource.feats[f].effectScript.data;
  if (script && script[0] != 0 && script[5] != 0 && script[5] != ';')
    RunScript(c, nullptr, c->specialText, script, gSource.feats[f].name.c_str(), i, c->specialText);
  if (f == n.dodge) ++c->AC;
  if (f == n.naturalArmor) {
    ++c->AC;
    ++c->NaturalAC;
  }
  if (f == n.weaponFocus && c->attackCount > 0) {
    int p = c->featParameters[i];
    auto names = [&](int a) {
      return p >= 0 && p < gSource.equipmentCount && gSource.equipment[p].name == c->naturals[a].name;
    };
    int slot = 0;
    while (slot < c->attackCount && !names(slot)) ++slot;
    if (slot == c->attackCount) {
      slot = 0;
      int named = FindByName(gSource.equipment, gSource.equipmentCount, c->naturals[0].name);
      if (named >= 0) c->featParameters[i] = named;
    }
    ++c->naturals[slot].attack;
  }
}

// Feats whose figures the stat block does not hold take effect: the system's own rules
// run the scripts of those a template grants (from `templateFeats` on); SRD 3.5 also
// those of the advancement (from `blockFeats` to `advancedFeats`).
void GainedFeatEffects(Char* c, int blockFeats, int advancedFeats, int templateFeats) {
  if (!Srd35(c)) {
    RunFeatScripts(c, templateFeats);
    return;
  }
  for (int i = blockFeats; i < std::min(advancedFeats, templateFeats); ++i) SrdFeatEffect(c, i);
  for (int i = templateFeats; i < c->featCount; ++i) SrdFeatEffect(c, i);
}

// Hit points of the hit dice: the row's bonus and one roll per die. Under SRD 3.5 the
// Constitution modifier counts per die with at least 1 hit point a die (the row's bonus
// holds it as one lump), and paragon and pseudonatural creatures have the maximum.
RolledDice MonsterHitPoints(Char* c, const MonsterSource& m) {
  const Named& n = Names();
  IsaacState* state = c->context.random;
  const int die = std::max(c->MonsterTWType, 1);
  const int32_t beforeRolls = c->hitPoints;
  if (!Srd35(c)) {
    for (int i = 0; i < c->Level; ++i) c->hitPoints += random(state, 1, die, "Trefferwürfel", 0);
    const RolledDice rolled{c->hitPoints - beforeRolls, c->Level, die};
    c->hitPoints = std::max(c->hitPoints, 1);
    c->hitDieRolls = rolled.sum;
    return rolled;
  }
  bool maximum = c->templateIndex >= 0 && (c->templateIndex == n.paragon || c->templateIndex == n.pseudonatural);
  int32_t statCon = m.abilities[2] > 0 ? m.abilities[2] / 2 - 5 : 0;
  int32_t con = c->absent[2] ? 0 : c->MKO;
  int32_t hp = m.tp - statCon * std::max(m.hd, 1), sum = 0;
  for (int i = 0; i < c->Level; ++i) {
    int32_t roll = random(state, 1, die, "Trefferwürfel", 0);
    if (maximum) roll = die;
    sum += roll;
    hp += std::max(roll + con, 1);
  }
  c->hitPoints = std::max(hp, c->Level);
  c->hitDieRolls = sum;
  return RolledDice{sum, c->Level, die};
}

// A skeleton loses the base creature's spellcasting, spell resistance and special
// abilities; under SRD 3.5 a zombie does too.
bool KeepsSpecialAbilities(const Char* c) {
  const Named& n = Names();
  if (c->templateIndex < 0) return true;
  if (c->templateIndex == n.skeleton) return false;
  return !(Srd35(c) && c->templateIndex == n.zombie);
}

// The option: untemplated and unadvanced ones are much more likely. Sets the template
// and returns the option's extra hit dice.
int ChooseMonsterOption(Char* c) {
  IsaacState* state = c->context.random;
  Scratch<int32_t, kMonsterOptions> weights((size_t)std::max(c->optionCount, 1), 0);
  std::vector<std::string> texts;
  Scratch<const char*, kMonsterOptions> names((size_t)std::max(c->optionCount, 1), "");
  // The label lists the options with their numbers when someone can see it; each
  // option carries its text as well, so the weighted list says which is which.
  bool shown = gSettings.ChooseClass || LabelWanted();
  std::string label = "Template wählen!\n";
  if (shown) texts.resize((size_t)std::max(c->optionCount, 1));
  for (int i = 0; i < c->optionCount; ++i) {
    weights[(size_t)i] = 1 + (c->optionTemplate[i] == 0 ? 15 : 0) + (c->optionVariant[i] == 0 ? 5 : 0);
    if (!shown) continue;
    int t = c->optionTemplate[i];
    char line[160];
    snprintf(line, sizeof line, "Template: %s, TW Erhöhung: %d",
             t >= 0 && t < gSource.templateCount ? DisplayName(gSource.templates[t]) : "", c->optionVariant[i]);
    texts[(size_t)i] = line;
    label += std::to_string(i) + ": " + line + "\n";
  }
  if (shown)
    for (int i = 0; i < c->optionCount; ++i) names[(size_t)i] = texts[(size_t)i].c_str();
  int option = c->optionCount > 0 ? AdvancedRand(state, c->optionCount, weights.data(), 4, names.data(), sizeof(char*),
                                                 label.c_str(), gSettings.ChooseClass, true, 0, false)
                                  : -1;
  if (option < 0) option = 0;
  int variant = c->optionCount > 0 ? c->optionVariant[option] : 0;
  c->templateIndex = c->optionCount > 0 ? c->optionTemplate[option] : 0;
  if (c->templateIndex < 0 || c->templateIndex >= gSource.templateCount) c->templateIndex = 0;
  const TemplateSource& tpl = gSource.templates[c->templateIndex];
  char line[200];
  snprintf(line, sizeof line, "Template: %s, Bonus TW Level: %d\n", tpl.name.c_str(), variant);
  Append(c, line);
  return variant;
}

// The row: hit die, size and type (with the template's type change), no classes, the
// type's base values at the row's dice, the abilities and the totals of the stat block.
void TakeMonsterRow(Char* c, const MonsterSource& m, const TemplateSource& tpl) {
  const Named& n = Names();
  c->kind = 1;
  c->MonsterTWType = m.hdType;
  c->sizeIndex = m.size;
  c->Size = 4 - m.size;
  c->creatureType = m.type;
  c->classCount = 0;
  c->Level = std::max(m.hd, 1);
  TypeBase(c, c->Level, c->monsterBase);
  Append(c, tpl.description);

  // Type changes of the template.
  if (BecomesMagicalBeast(c)) c->creatureType = n.magicalBeast;
  if (tpl.newType.length > 0 && tpl.newType.c_str()[0] != ';' && tpl.newType.c_str()[0] != 0) {
    int t = FindContaining(gSource.monsterTypes, gSource.monsterTypeCount, tpl.newType.c_str());
    if (t >= 0) c->creatureType = t;
  }

  // Abilities and the totals of the stat block.
  for (int i = 0; i < kAttributes; ++i) {
    AbilityScore(c, i) = m.abilities[i];
    c->absent[i] = m.abilities[i] == 0;
  }
  ComputeModifiers(c);
  c->AC = m.ac - 10;
  // The stat block names no natural armour: what its total holds beyond size and
  // Dexterity counts as such (the armour of the few armoured rows with it).
  c->NaturalAC = std::max(m.ac - 10 - SizeModifier(m.size) - c->MGE, 0);
  // Saves: the type's base part, the ability part and the rest of the total.
  c->RWRefRest = m.reflex - c->monsterBase[1] - c->MGE;
  c->RWWilRest = m.will - c->monsterBase[2] - c->MWE;
  c->RWZaehRest = m.fortitude - c->monsterBase[3] - c->MKO;
  c->hitPoints = m.tp;
  c->Init = m.init - c->MGE;
}

// Treasure.
void MonsterTreasure(Char* c, const MonsterSource& m) {
  auto wealth = [](int cr) { return gSource.treasure[std::clamp(cr, 0, 50)]; };
  int32_t value = wealth(c->cr + c->crShare) * m.treasure;
  if (value == 0 && c->crShare > 0) value = wealth(c->crShare);
  int32_t share = random(c->context.random, 75, 175, "Geldwert in %%", 0);
  StoreMoney(c, (int32_t)((int64_t)share * value / 100));
}

// Feats and skills of the stat block.
void MonsterBlockFeatsAndSkills(Char* c, const MonsterSource& m) {
  const Named& n = Names();
  if (c->creatureType == n.dragon && n.dragon >= 0 && m.featCount == 0) {
    c->skillCount = 0;
    DragonFeats(c, m);
    CalculateSkills(c, 1);
  } else {
    for (int i = 0; i < m.featCount && c->featCount < kMaxFeats; ++i) {
      c->feats[c->featCount] = m.feats[i];
      c->featParameters[c->featCount] = -2;
      c->featListed[c->featCount] = 0;
      ++c->featCount;
    }
    EnterSkills(c, m);
  }
}

// What the advancement left: the hit dice and the feat counts before and after it.
struct MonsterAdvance {
  int dice, blockFeats, advancedFeats;
};

// Hit dice, their feats and skills, and the growth they bring.
MonsterAdvance AdvanceMonster(Char* c, const MonsterSource& m, int variant) {
  // A companion asks for its hit dice (record word 9 with a fixed monster).
  int requested = c->record && c->record[rec::kFixedMonster] == c->monster ? c->record[rec::kMonsterOption] : 0;
  int dice = requested > 0 ? requested : DrawHitDice(c, variant);
  const MonsterTypeSource* type = FeatureTypeOf(c);
  const int blockFeats = c->featCount;
  if (dice != m.hd && dice > 0) {
    // Mindless creatures gain neither skill points nor feats.
    bool mindless = c->absent[3] != 0;
    if (dice > m.hd)
      IncreaseHDFeatSkill(c, m.hd, dice, type && !mindless ? type->skills : 0, type && !mindless ? type->feats : 0);
    c->Level = dice;
  }
  if (Srd35(c)) RemoveDuplicateFeats(c);
  const int advancedFeats = c->featCount;
  CompleteMonsterFeats(c, dice > 0 ? dice : m.hd, c->absent[3] != 0);
  // A companion's bonus dice do not grow it.
  for (int grow = MonsterSizeSteps(m, dice - c->context.bonusDice, Srd35(c)); grow > 0; --grow) MonsterSizeIncrease(c);
  AdvancementAbilityIncrease(c, m.hd, dice - c->context.bonusDice);
  return {dice, blockFeats, advancedFeats};
}

// The template's ability changes (which also step every damage die) and script.
// An undead template takes Constitution away, skeleton and zombie Intelligence too;
// the hit points keep the rolls and what the stat block adds beyond Constitution
// (its feats', which skeleton and zombie lose with the feats).
void ApplyMonsterTemplate(Char* c, const MonsterSource& m, const TemplateSource& tpl, const MonsterAdvance& advance,
                          const RolledDice& rolled) {
  const Named& n = Names();
  bool undead = c->templateIndex != n.none && strstr(tpl.newType.c_str(), "Undead") != nullptr;
  bool mindless =
      (c->templateIndex == n.skeleton && n.skeleton >= 0) || (c->templateIndex == n.zombie && n.zombie >= 0);
  bool losesCon = undead && !c->absent[2];
  if (undead) c->absent[2] = 1;
  if (mindless) c->absent[3] = 1;
  ZeroAbsentAbilities(c);
  MonsterAbilityChange(c, tpl.attributeMods, kAttributes);
  if (losesCon) {
    int32_t rest = mindless ? 0 : std::max(m.tp - (m.abilities[2] / 2 - 5) * std::max(m.hd, 1), 0);
    c->hitPoints = std::max(rolled.sum + rest, c->Level);
  }
  if (c->templateIndex == n.zombie && n.zombie >= 0) LoseFeatsAndSkills(c);
  int ownFeats = c->featCount;
  if (c->templateIndex != n.none && tpl.script.data)
    RunScript(c, nullptr, c->specialText, tpl.script.data, tpl.name.c_str(), -1, c->specialText);
  PresentGivenAbilities(c);
  GainedFeatEffects(c, advance.blockFeats, advance.advancedFeats, ownFeats);
  RescaleHitDice(c, rolled);
}

// A skeleton keeps one claw, no skills and Improved Initiative.
bool SkeletonRemains(Char* c) {
  const Named& n = Names();
  bool skeleton = c->templateIndex == n.skeleton && n.skeleton >= 0;
  if (skeleton) {
    CharAttack claw;
    snprintf(claw.name, sizeof claw.name, "Klaue");
    claw.number = 2;
    claw.damage[0] = 1;
    claw.damage[1] = 4;
    for (int s = n.medium; s >= 0 && s < c->sizeIndex; ++s) StepDamageDie(&claw.damage[0], &claw.damage[1]);
    claw.attack = c->Level / 2 + c->MGE;
    claw.damage[2] = c->MST;
    c->naturals[0] = claw;
    c->attackCount = 1;
    LoseFeatsAndSkills(c);
    if (n.improvedInitiative >= 0) {
      c->feats[0] = n.improvedInitiative;
      c->featParameters[0] = -2;
      c->featCount = 1;
      RunFeatScripts(c, 0);
    }
  }
  return skeleton;
}

// Description, spellcasting, spell resistance and monster abilities; final
// values for the final type and hit dice. The skills keep the stat block's ranks and
// racial parts; their ability part follows the final scores.
void FinishMonster(Char* c, const MonsterSource& m, bool skeleton) {
  ComputeModifiers(c);
  if (!skeleton) Append(c, m.description);
  if (KeepsSpecialAbilities(c)) {
    SetMonsterSpellChar(c);
    c->MR = std::max(c->MR, m.spellResistance);
    RunMonsterAbilities(c, m);
  }

  MonsterFinalValues(c);
  MonsterSkillAbilities(c);
}

void SetMonster(Char* c) {
  const MonsterSource& m = gSource.monsters[c->monster];
  const int variant = ChooseMonsterOption(c);
  const TemplateSource& tpl = gSource.templates[c->templateIndex];
  TakeMonsterRow(c, m, tpl);
  MonsterTreasure(c, m);
  c->Range = (float)m.speed / 10.0f * 3.0f;  // speed in metres
  MonsterBlockFeatsAndSkills(c, m);
  CopyAttacks(c, m);  // natural attacks
  const MonsterAdvance advance = AdvanceMonster(c, m, variant);
  const RolledDice rolled = MonsterHitPoints(c, m);  // the row's bonus and one roll per hit die
  ApplyMonsterTemplate(c, m, tpl, advance, rolled);
  FinishMonster(c, m, SkeletonRemains(c));
}

int DetermineMonster(Char* c) {
  IsaacState* state = c->context.random;
  int n = gSource.monsterCount;
  if (n <= 0) return 1;
  int savedChoose = gDecide.chooseEverything;
  if (gSettings.ChooseClass) gDecide.chooseEverything = 1;
  Scratch<int32_t, 2048> weights((size_t)n, 0);
  int templates = std::min(gSource.templateCount, 11);
  bool useTemplates = YesNo(state, "Use Templates", 5, 1, gSettings.ChooseClass) != 0;
  // Options are kept only for the chosen monster; weigh them per monster first.
  MonsterOptionWeights(c->cr, c->mixed != 0, useTemplates, templates, Srd35(c), weights.data());
  // The theme this creation started with, kept in its record: another thread may set the
  // batch's theme meanwhile, and a replay or a re-roll must weigh as the first build did.
  int reference = c->record ? c->record[rec::kMonsterSelChosen] : ReferenceMonster();
  bool manyCR = c->record && c->record[rec::kCRMax] > 20;
  for (int m = 0; m < n; ++m) {
    int32_t& w = weights[(size_t)m];
    if (w == 0) continue;
    const MonsterSource& x = gSource.monsters[m];
    if (x.epic != 0 && !gDecide.chooseEverything && !manyCR) {
      w = 0;
      continue;
    }
    if (reference >= 0 && reference < n) {
      int64_t v = w;
      v *= m == reference ? 30 : x.mixed;
      if (x.type == gSource.monsters[reference].type) v *= 20;
      w = (int32_t)std::min<int64_t>(v, 1 << 30);
    }
  }
  int types = gSource.monsterTypeCount;
  Scratch<int32_t, 256> present((size_t)std::max(types, 1), 0);
  for (int m = 0; m < n; ++m)
    if (weights[(size_t)m] > 0) {
      int t = gSource.monsters[m].type;
      if (t >= 0 && t < types) present[(size_t)t] = 1;
    }
  int type = AdvancedRand(state, types, present.data(), 4, &gSource.monsterTypes[0].name.text,
                          sizeof(MonsterTypeSource), "Monsterart wählen!", gSettings.ChooseClass, true, 0, false);
  if (type < 0) {
    gDecide.chooseEverything = savedChoose;
    return 1;
  }
  for (int m = 0; m < n; ++m)
    if (gSource.monsters[m].type != type) weights[(size_t)m] = 0;
  int chosen = AdvancedRand(state, n, weights.data(), 4, &gSource.monsters[0].name.text, sizeof(MonsterSource),
                            "Monster wählen", 0, true, 0, true);
  if (chosen < 0) {
    gDecide.chooseEverything = savedChoose;
    return 1;
  }
  c->monster = chosen;
  c->optionCount = 0;
  for (int k = 0; k < 4; ++k)
    for (int t = useTemplates ? 1 : 0; t < (useTemplates ? templates : 1); ++t) {
      int32_t high = 0;
      int32_t low = OptionCRRange(Srd35(c), chosen, k, t, &high, c->mixed != 0);
      if (c->cr < low || c->cr > high || c->optionCount >= kMonsterOptions) continue;
      c->optionVariant[c->optionCount] = k;
      c->optionTemplate[c->optionCount] = t;
      c->optionCR[c->optionCount] = low;
      ++c->optionCount;
    }
  // Only the first monster of a run sets it: most creations read it and leave its line alone.
  int expected = -1;
  if (gReferenceMonster.load(std::memory_order_relaxed) == -1)
    gReferenceMonster.compare_exchange_strong(expected, chosen);
  SetMonster(c);
  gDecide.chooseEverything = savedChoose;
  return 0;
}

void ChangeHitDice(Char* c, int key) {
  IsaacState* state = c->context.random;
  if (key == '*') {
    const Named& n = Names();
    if (c->kind != 1 || c->sizeIndex < 0 || (n.largest >= 0 && c->sizeIndex >= n.largest)) return;
    MonsterSizeIncrease(c);
    if (!c->mixed) MonsterSkillAbilities(c);
    return;
  }
  if (key != '+' && key != '-') return;
  int old = c->Level;
  // A mixed creature changes the hit dice of its monster part, keeping at least one.
  int own = old - c->classHitDice;
  if (key == '-' && own <= 1) return;
  int now = key == '+' ? old + 1 : old - 1;
  int32_t before[4], after[4];
  bool monster = c->kind == 1;
  if (monster) {
    TypeBase(c, own, before);
    TypeBase(c, own + now - old, after);
  } else {
    // Characters: the first class's progressions at the old and new level.
    const CharSource* k = ClassAt(c->classCount > 0 ? c->classes[0] : -1);
    int l0 = c->classCount > 0 ? c->classLevels[0] : 0;
    int l1 = l0 + (now - old);
    before[0] = k ? BaseAttack(k->attackType, l0) : 0;
    after[0] = k ? BaseAttack(k->attackType, l1) : 0;
    before[1] = k ? BaseSave(k->reflex, l0) : 0;
    after[1] = k ? BaseSave(k->reflex, l1) : 0;
    before[2] = k ? BaseSave(k->will, l0) : 0;
    after[2] = k ? BaseSave(k->will, l1) : 0;
    before[3] = k ? BaseSave(k->fortitude, l0) : 0;
    after[3] = k ? BaseSave(k->fortitude, l1) : 0;
    if (c->classCount > 0) {
      c->classLevels[0] = std::max(l1, 1);
      c->preEpicLevels[0] = std::min(c->classLevels[0], 20);
    }
  }
  int32_t attack = after[0] - before[0];
  c->GA += attack;
  for (int i = 0; i < c->attackCount; ++i) c->naturals[i].attack += attack;
  for (int i = 0; i < c->itemCount && i < kMaxItems; ++i)
    if (c->items[i].equipType == 0 && !c->items[i].treasure && c->items[i].equipment >= 0)
      c->items[i].finalAttack += attack;
  c->baseRef += after[1] - before[1];
  c->baseWill += after[2] - before[2];
  c->baseFort += after[3] - before[3];
  if (monster) {
    for (int i = 0; i < 4; ++i) c->monsterBase[i] += after[i] - before[i];
  }
  if (key == '+') {
    const MonsterTypeSource* t = TypeOf(c);
    const CharSource* k = ClassAt(c->classCount > 0 ? c->classes[0] : -1);
    int points = monster ? (t && !c->absent[3] ? t->skills : 0) : (k ? k->skillPoints : 0);
    IncreaseHDFeatSkill(c, old, now, points, 0);
  }
  c->Level = now;
  int die = monster ? std::max(c->MonsterTWType, 1) : 10;
  int rolled = random(state, 1, die, "TW änderung", 0);
  int roll = std::max(rolled + (c->absent[2] ? 0 : c->MKO), 1);
  // A die taken away takes a roll of its size with it; the rest keep at least 1 each.
  c->hitDieRolls = key == '+' ? c->hitDieRolls + rolled : std::max(c->hitDieRolls - rolled, std::max(c->Level, 0));
  if (monster && !c->mixed) MonsterSkillAbilities(c);
  if (key == '+')
    c->hitPoints += roll;
  else
    c->hitPoints = std::max(c->hitPoints - roll, 1);
}

}  // namespace RUNTIME_NS
