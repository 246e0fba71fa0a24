// The skill stages: points from classes and level spent on demanded, important and free
// skills, then every entry totalled for the sheet with ability, synergy and armour penalty.
#include "generator/skills.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "generator/attributes.h"
#include "generator/creature_ops.h"
#include "generator/feats.h"
#include "generator/scratch.h"
#include "launcher/process.h"
#include "random/decisions.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

// One mark per skill code.
using SkillMarks = Scratch<int32_t, 256>;

int SkillCount() { return std::min(gSource.skillCount, kMaxSkillCodes); }

const char* SkillName(int s) { return s >= 0 && s < gSource.skillCount ? gSource.skills[s].name.c_str() : ""; }

int Required(const Char* c, int s) { return s >= 0 && s < kMaxSkillCodes ? c->requiredRanks[s] : 0; }

int LevelsTotal(const Char* c) { return std::max(c->Level, 1); }

void Append(Char* c, int skill, int ranks, int half) {
  if (c->skillCount >= kMaxSkillEntries) return;
  CharSkill& e = c->skills[c->skillCount++];
  e = CharSkill{};
  e.skill = skill;
  e.ranks = ranks;
  e.halfRank = half;
}

// Equal-weight draw over the skills whose status passes `fits`; -1 when none does.
template <class Fits>
int DrawSkill(Char* c, const SkillMarks& status, Fits fits, const char* label) {
  int n = SkillCount();
  SkillMarks weights((size_t)std::max(n, 1), 0);
  bool any = false;
  for (int s = 0; s < n; ++s) {
    weights[(size_t)s] = fits(status[(size_t)s]) ? 1 : 0;
    any = any || weights[(size_t)s];
  }
  if (!any) return -1;
  return AdvancedRand(c->context.random, n, weights.data(), 4, &gSource.skills[0].name.text, sizeof(SkillSource), label,
                      0, true, 0, false);
}

// The important skills (status 3): mostly maximised, else a rank drawn upward.
void ImportantSkills(Char* c, SkillMarks& status, SkillMarks& synergy, int* points) {
  IsaacState* state = c->context.random;
  int cap = LevelsTotal(c) + 3;
  char label[160];
  for (int s = 0; s < SkillCount(); ++s) {
    if (status[(size_t)s] != 3) continue;
    FormatLabel(label, sizeof label, "Fertigkeit Maximieren (%s)", SkillName(s));
    int r;
    if (YesNo(state, label, 1, 2, 0)) {
      r = cap;
    } else {
      int lower = Required(c, s) > 0 ? Required(c, s) : 1;
      lower = std::min(lower, cap);
      if (gDecide.chooseEverything) {
        FormatLabel(label, sizeof label, "Level der wichtigen Fertigkeit %s wählen\n", SkillName(s));
        r = random(state, lower, cap, label, 0);
      } else {
        r = lower;
        for (int k = 0; k < 3; ++k) r = random(state, r, cap, "", 0);
      }
    }
    r = std::max(std::min(r, *points), 0);
    status[(size_t)s] = 0;
    Append(c, s, r, 0);
    *points -= r;
    if (r >= 5) synergy[(size_t)s] = 1;
  }
}

// Free points: class skills three times as often as cross-class ones.
void FreeSkills(Char* c, SkillMarks& status, SkillMarks& synergy, int* points) {
  IsaacState* state = c->context.random;
  int cap = LevelsTotal(c) + 3;
  char label[200];
  while (*points >= 1) {
    FormatLabel(label, sizeof label,
                "Verbleibende Fertigkeitspunkte: %d\nArt der Fertigkeit wählen: 1 = Klassenfertigkeit\n", *points);
    int kind = YesNo(state, label, 1, 3, 0) ? 2 : 1;
    SkillMarks list((size_t)std::max(SkillCount(), 1), 0);
    int listed = 0;
    for (int pass = 0; pass < 2 && listed == 0; ++pass) {
      int wanted = pass == 0 ? kind : 3 - kind;
      for (int s = 0; s < SkillCount(); ++s)
        if (status[(size_t)s] == wanted) list[(size_t)listed++] = s;
      if (listed) kind = wanted;
    }
    if (listed == 0) break;
    if (gDecide.chooseEverything) {
      ConsolePrint("Fertigkeit wählen!\n");
      for (int i = 0; i < listed; ++i) ConsolePrint("%d: %s\n", i + 1, SkillName(list[(size_t)i]));
    }
    int s = list[(size_t)random(state, 1, listed, "Fertigkeit wählen!\n", 0) - 1];
    bool classSkill = kind == 2;
    int k = classSkill ? 2 : 1;
    FormatLabel(label, sizeof label, "Fertigkeit Maximieren (%s)", SkillName(s));
    int p;
    if (YesNo(state, label, 2, k, 0)) {
      p = cap;
    } else if (!gSource.skills[s].untrained && YesNo(state, "Nur 1 Punkt damit verfügbar", k + 1, 1, 0)) {
      p = classSkill ? 1 : 2;
    } else {
      p = random(state, 1, cap, "Fertigkeitslevel wählen\n", 0);
    }
    p = std::min(p, *points);
    *points -= p;
    status[(size_t)s] = 0;
    int ranks = classSkill ? p : p / 2, half = classSkill ? 0 : (p % 2 ? 5 : 0);
    if ((classSkill && p >= 5) || (!classSkill && p >= 10)) synergy[(size_t)s] = 1;
    if (ranks > 0) Append(c, s, ranks, half);
  }
}

}  // namespace

int SkillPointIntModifier(const Char* c) {
  if (!Srd35(c) || c->absent[3]) return c->MIN;
  // What the bonus records added to the score, as ApplyTypedBonus added it: the best
  // of each kind that does not stack, all of a kind that does.
  int32_t offset = (int32_t)(reinterpret_cast<const char*>(&c->IN) - reinterpret_cast<const char*>(c));
  int32_t added = 0;
  for (const CharBonus* b = c->bonuses; b; b = b->next) {
    if (b->variable != offset || b->amount <= 0) continue;
    bool stacks = b->bonusType >= 0 && b->bonusType < gSource.bonusCount && gSource.bonuses[b->bonusType].stack != 0;
    if (stacks) {
      added += b->amount;
      continue;
    }
    bool best = true;  // the first record of the best amount of its kind counts
    for (const CharBonus* o = c->bonuses; o && best; o = o->next)
      if (o != b && o->variable == offset && o->bonusType == b->bonusType &&
          (o->amount > b->amount || (o->amount == b->amount && o < b)))
        best = false;
    if (best) added += b->amount;
  }
  return (c->IN - added) / 2 - 5;
}

bool PrestigeSkillRanksReachable(const Char* c, int cls, int levelsBefore) {
  const int32_t* code = gSource.classes[cls].skillRequirement.Code();
  if (!code) return true;
  if (!Srd35(c)) {
    for (int i = 1; i + 1 <= code[0]; i += 2)
      if (code[i + 1] > levelsBefore + 3) return false;
    return true;
  }
  // The classes before (c->classCount of them) earned the points; their class skills
  // cost one point a rank up to level + 3, others two up to half that. Int as the race
  // will leave it.
  int race = c->subRace >= 0 ? c->subRace : c->race;
  int score = c->IN + (race >= 0 && race < gSource.raceCount ? gSource.races[race].modifiers[3] : 0);
  int intMod = std::max(score, 3) / 2 - 5;
  int points = 0;
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    const CharSource* k = ClassAt(c->classes[s]);
    int per = std::max((k ? k->skillPoints : 0) + intMod, 1);
    points += per * (c->classLevels[s] + (s == 0 ? 3 : 0));
  }
  int human = Known().human;
  if (human >= 0 && c->race == human && !c->mixedPart) points += levelsBefore + 3;
  int cap = levelsBefore + 3, cost = 0;
  for (int i = 1; i + 1 <= code[0]; i += 2) {
    int skill = code[i], ranks = code[i + 1];
    const int32_t* per = skill >= 0 && skill < gSource.skillCount ? gSource.skills[skill].ClassSkill() : nullptr;
    bool classSkill = false;
    for (int s = 0; s < c->classCount && s < kMaxClassSlots && per; ++s)
      if (c->classes[s] >= 0 && c->classes[s] < gSource.classCount && per[c->classes[s]] >= 2) classSkill = true;
    if (ranks > (classSkill ? cap : cap / 2)) return false;
    cost += classSkill ? ranks : 2 * ranks;
  }
  return cost <= points;
}

int CharacterSkillPoints(const Char* c) {
  int intMod = SkillPointIntModifier(c);
  auto perLevel = [&](int slot) {
    const CharSource* k = ClassAt(c->classes[slot]);
    return std::max((k ? k->skillPoints : 0) + intMod, 1);
  };
  if (c->classCount <= 0) return 0;
  int points = perLevel(0) * 4;
  int human = Known().human;
  if (human >= 0 && c->race == human && !c->mixedPart) points += c->Level + 3;
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s)
    for (int level = s == 0 ? 1 : 0; level < c->classLevels[s]; ++level) points += perLevel(s);
  return points;
}

void RequiredSkillRanks(Char* c) {
  for (int& r : c->requiredRanks) r = 0;
  auto take = [&](const int32_t* code) {
    if (!code) return;
    for (int i = 1; i + 1 <= code[0]; i += 2) {
      int s = code[i];
      if (s >= 0 && s < kMaxSkillCodes) c->requiredRanks[s] = std::max(c->requiredRanks[s], code[i + 1]);
    }
  };
  for (int i = 0; i < c->featCount; ++i) {
    int f = c->feats[i];
    if (f >= 0 && f < gSource.featCount) take(gSource.feats[f].skillRequirement.Code());
  }
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s)
    if (const CharSource* k = ClassAt(c->classes[s])) take(k->skillRequirement.Code());
}

void CalculateSkills(Char* c, int mode) {
  IsaacState* state = c->context.random;
  int n = SkillCount();
  SkillMarks status((size_t)std::max(n, 1), 0), synergy((size_t)std::max(n, 1), 0);
  int points = 0;
  int firstNew = c->skillCount;
  if (mode == 0) {
    c->skillCount = 0;
    firstNew = 0;
    points = CharacterSkillPoints(c);
    for (int s = 0; s < n; ++s) {
      const int32_t* per = gSource.skills[s].ClassSkill();
      int best = 0;
      for (int k = 0; k < c->classCount && k < kMaxClassSlots; ++k) {
        int cls = c->classes[k];
        if (per && cls >= 0 && cls < gSource.classCount) best = std::max(best, per[cls]);
      }
      status[(size_t)s] = best;
    }
    int extra = 0;
    for (int k = 0; k < c->classCount && k < kMaxClassSlots; ++k)
      if (const CharSource* x = ClassAt(c->classes[k])) extra += x->bonusClassSkills;
    for (int e = 0; e < extra; ++e) {
      int s = DrawSkill(
          c, status, [](int32_t v) { return v < 2 && v >= 0; }, "Zusätzliche Klassenfertigkeit wählen");
      if (s < 0) break;
      status[(size_t)s] = 2;
    }
    points += c->BonusSkillPoints;
    c->skillPoints = points;
    int cap = LevelsTotal(c) + 3;
    char label[200];
    bool srd = Srd35(c);
    SkillMarks bought((size_t)std::max(n, 1), 0);
    // Ranks the feats and classes demand. Under SRD 3.5 they are bought within the caps
    // and the points, the prestige classes' first (bought before their first level).
    auto demands = [&](bool classesOnly) {
      SkillMarks wanted((size_t)std::max(n, 1), 0);
      for (int s = 0; s < n; ++s) wanted[(size_t)s] = Required(c, s);
      if (classesOnly) {
        for (int s = 0; s < n; ++s) wanted[(size_t)s] = 0;
        for (int k = 0; k < c->classCount && k < kMaxClassSlots; ++k)
          if (const CharSource* x = ClassAt(c->classes[k]); x && x->skillRequirement.Code()) {
            const int32_t* code = x->skillRequirement.Code();
            for (int i = 1; i + 1 <= code[0]; i += 2)
              if (code[i] >= 0 && code[i] < n) wanted[(size_t)code[i]] = std::max(wanted[(size_t)code[i]], code[i + 1]);
          }
      }
      auto pending = [&](int s) {
        int required = wanted[(size_t)s], st = status[(size_t)s];
        if (required <= 0 || bought[(size_t)s] || (st != 1 && st != 2 && !(srd && st == 3))) return 0;
        return st >= 2 ? std::min(required, cap) : 2 * std::min(required, cap / 2);
      };
      // SRD 3.5: the points the later demands need are kept for them.
      int reserve = 0;
      if (srd)
        for (int s = 0; s < n; ++s) reserve += pending(s);
      for (int s = 0; s < n; ++s) {
        int required = wanted[(size_t)s];
        int32_t& st = status[(size_t)s];
        if (srd) reserve -= pending(s);
        if (required <= 0 || bought[(size_t)s] || (st != 1 && st != 2 && !(srd && st == 3))) continue;
        if (st >= 2) {
          FormatLabel(label, sizeof label, "Level der benötigten Fertigkeit %s wahlen!\n", SkillName(s));
          // A demand beyond the level's cap (a feat a template granted) stops at the cap.
          int r = random(state, std::min(required, cap), cap, label, 0);
          if (srd) r = std::min(r, std::max(points - reserve, std::min(required, cap)));
          r = std::min(r, points);
          Append(c, s, r, 0);
          points -= r;
          if (r >= 5) synergy[(size_t)s] = 1;
        } else if (srd) {
          // Cross-class: two points a rank, half the cap.
          required = std::min(std::min(required, cap / 2), points / 2);
          Append(c, s, required, 0);
          points -= 2 * required;
          if (required >= 5) synergy[(size_t)s] = 1;
        } else {
          // Feats check their demands against level + 3; only a granted feat demands more.
          required = std::min(required, cap);
          Append(c, s, required, 0);
          points -= 2 * required;
          if (points < 0) {
            DebugPrint(1, "Insufficent Skills\n");
            points = 0;
          }
          if (required >= 10) synergy[(size_t)s] = 1;
        }
        st = 0;
        bought[(size_t)s] = 1;
      }
    };
    if (srd) demands(true);
    // A profile's skills come first, within the caps of the level.
    if (c->profileMode && c->profile >= 0 && c->profile < gSource.profileCount) {
      const ProfileSource& p = gSource.profiles[c->profile];
      for (int i = 0; i < p.skillCount; ++i) {
        int s = p.skills[i][0];
        if (s < 0 || s >= n || bought[(size_t)s]) continue;
        FormatLabel(label, sizeof label, "Fertigkeit: %s: ", SkillName(s));
        int low = std::min(p.skills[i][1], p.skills[i][2]), high = std::max(p.skills[i][1], p.skills[i][2]);
        int r = random(state, low, high, label, 0);
        r = std::max(r, Required(c, s));
        // SRD 3.5: a skill that is no class skill costs two points a rank.
        int price = srd && status[(size_t)s] < 2 ? 2 : 1;
        int limit = status[(size_t)s] == 1 || price == 2 ? cap / 2 : cap;
        r = std::max(std::min(std::min(r, limit), points / price), 0);
        status[(size_t)s] = 0;
        Append(c, s, r, 0);
        points -= r * price;
        if (srd) bought[(size_t)s] = 1;
      }
    }
    demands(false);
  } else {
    points = c->skillPoints;
    for (int s = 0; s < n; ++s) {
      const String& name = gSource.skills[s].name;
      if (name == "Lauschen" || name == "Entdecken" || name == "Suchen")
        status[(size_t)s] = 3;
      else if (name == "Bluffen" || name == "Konzentration" || name == "Diplomatie" ||
               name == "Entfesselungskünstler" || name == "WissenArkanes")
        status[(size_t)s] = 2;
    }
  }
  ImportantSkills(c, status, synergy, &points);
  FreeSkills(c, status, synergy, &points);
  // A monster's entries are finished here (characters are finished after their scripts).
  if (mode != 0)
    for (int e = firstNew; e < c->skillCount; ++e)
      c->skills[e].ability = AbilityModifier(c, gSource.skills[c->skills[e].skill].attribute);

  // Synergies: +2 for each skill a well-trained skill supports.
  for (int s = 0; s < n; ++s) {
    if (!synergy[(size_t)s]) continue;
    const int32_t* targets = gSource.skills[s].synergy.Code();
    if (!targets) continue;
    for (int i = 1; i <= targets[0]; ++i) {
      int t = targets[i];
      if (t < 0 || t >= gSource.skillCount) continue;
      if (c->mixedPart) {
        bool has = false;
        for (int e = 0; e < c->skillCount; ++e) has = has || c->skills[e].skill == t;
        if (has) continue;
      }
      BoostSkillTyped(c, t, 2, -1, "Skillsynergie");
    }
  }
}

void SkillFeatChoice(Char* c) {
  char label[200];
  for (int i = 0; i < c->featCount; ++i) {
    int f = c->feats[i];
    if (f < 0 || f >= gSource.featCount || gSource.feats[f].dep != 3) continue;
    FormatLabel(label, sizeof label, "Fertigkeit für Fertigkeitsbezogenes Talent %s wählen! wählen!\n",
                gSource.feats[f].name.c_str());
    if (c->skillCount > 0)
      c->featParameters[i] = c->skills[random(c->context.random, 0, c->skillCount - 1, label, 0)].skill;
    else if (gSource.skillCount > 0)
      c->featParameters[i] = random(c->context.random, 0, gSource.skillCount - 1, label, 0);
  }
}

void FinishSkills(Char* c) {
  int n = SkillCount();
  SkillMarks present((size_t)std::max(n, 1), 0);
  for (int e = 0; e < c->skillCount; ++e)
    if (c->skills[e].skill >= 0 && c->skills[e].skill < n) present[(size_t)c->skills[e].skill] = 1;
  for (int s = 0; s < n; ++s) {
    if (present[(size_t)s] || !gSource.skills[s].untrained) continue;
    const int32_t* per = gSource.skills[s].ClassSkill();
    bool onList = false;  // class or cross-class skill of some class
    for (int k = 0; k < c->classCount && k < kMaxClassSlots && per; ++k)
      if (c->classes[k] >= 0 && c->classes[k] < gSource.classCount && per[c->classes[k]] != 0) onList = true;
    if (onList) Append(c, s, 0, 0);
  }
  int penalty = ArmorCheckPenaltyShown(c);
  for (int e = 0; e < c->skillCount; ++e) {
    CharSkill& k = c->skills[e];
    if (k.skill < 0 || k.skill >= gSource.skillCount) continue;
    const SkillSource& x = gSource.skills[k.skill];
    k.ability += AbilityModifier(c, x.attribute);
    k.penalty -= x.armorPenalty * penalty;
  }
}

bool SkillListed(const Char* c, const CharSkill& k) {
  if (!Srd35(c) || k.ranks > 0 || k.halfRank > 0) return true;
  return k.skill >= 0 && k.skill < gSource.skillCount && gSource.skills[k.skill].untrained && k.bonus != 0;
}

void DropUnlistedSkills(Char* c) {
  if (!Srd35(c)) return;
  int kept = 0;
  for (int e = 0; e < c->skillCount; ++e)
    if (SkillListed(c, c->skills[e])) c->skills[kept++] = c->skills[e];
  c->skillCount = kept;
}

void TotalSkills(Char* c) {
  for (int e = 0; e < c->skillCount; ++e) {
    CharSkill& k = c->skills[e];
    k.total = k.ranks + k.bonus + k.ability + k.penalty;
  }
}

void ReArrangeSkills(Char* c) {
  StableSortShort(c->skills, c->skills + c->skillCount, [](const CharSkill& a, const CharSkill& b) {
    return strcmp(SkillName(a.skill), SkillName(b.skill)) < 0;
  });
}

int ArmorCheckPenaltyShown(const Char* c) {
  int penalty = c->armorCheckPenalty;
  for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
    const CharItem& it = c->items[i];
    if (it.treasure || (it.equipType != 1 && it.equipType != 2)) continue;
    int p = it.penalty;
    if (it.masterwork && p > 0) --p;
    penalty += std::max(p, 0);
  }
  return penalty;
}

}  // namespace RUNTIME_NS
