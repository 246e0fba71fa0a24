// Feat stages of a creature: slots counted, each feat drawn among those its prerequisites
// allow and its classes, style and profile favour, then scripts run and the list tidied.
#include "generator/feats.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "generator/classes.h"
#include "generator/combat.h"
#include "generator/creature_ops.h"
#include "generator/rules.h"
#include "generator/scratch.h"
#include "generator/script_binding.h"
#include "generator/shared_table.h"
#include "generator/spells.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "random/decisions.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

int FeatNamed(const char* name) { return FindByName(gSource.feats, gSource.featCount, name); }

int LevelsIn(const Char* c, int cls) {
  int levels = 0;
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s)
    if (c->classes[s] == cls) levels += c->classLevels[s];
  return levels;
}

// Whether an entry other than `except` holds the feat with this parameter.
bool OwnsWith(const Char* c, int feat, int parameter, int except) {
  for (int i = 0; i < c->featCount; ++i)
    if (i != except && c->feats[i] == feat && c->featParameters[i] == parameter) return true;
  return false;
}

void Block(Char* c, int feat, int32_t* weights) {
  if (c->context.featNotAgain) c->context.featNotAgain[feat] = 1;
  if (weights) weights[feat] = 0;
}

// The feats of the class's bonus groups ("2;" fighter feats); empty list = any.
bool InBonusGroupList(const CharSource* k, int group) {
  if (!k || k->bonusFeatTypes.length == 0 || k->bonusFeatTypes.c_str()[0] == 0) return true;
  const char* p = k->bonusFeatTypes.c_str();
  const char* end = p + k->bonusFeatTypes.length;
  while (p < end) {
    if (*p && atoi(p) == group) return true;
    p += strlen(p) + 1;
  }
  return false;
}

// The bonus-feat groups of every class as bit masks, read from their lists once per
// rule database (the feat draw asks for every feat of every slot).
constexpr int kMaskedClasses = 256, kMaskedGroups = 64;
struct GroupMasks {
  uint32_t generation = 0;
  uint64_t masks[kMaskedClasses] = {};
};

const GroupMasks& Masks() {
  thread_local GroupMasks m;
  if (m.generation != gSourceGeneration) {
    for (int c = 0; c < gSource.classCount && c < kMaskedClasses; ++c) {
      m.masks[c] = 0;
      for (int g = 0; g < kMaskedGroups; ++g)
        if (InBonusGroupList(&gSource.classes[c], g)) m.masks[c] |= uint64_t{1} << g;
    }
    m.generation = gSourceGeneration;
  }
  return m;
}

bool InBonusGroups(int cls, int group) {
  const CharSource* k = ClassAt(cls);
  if (!k || cls >= kMaskedClasses || group < 0 || group >= kMaskedGroups) return InBonusGroupList(k, group);
  return (Masks().masks[cls] >> group) & 1;
}

// InBonusGroups(cls, group) for one class and many feats: the class's mask is read once.
class BonusGroups {
 public:
  explicit BonusGroups(int cls) : cls_(cls) {
    if (!ClassAt(cls)) {
      masked_ = true;  // no class: every group is open
      mask_ = ~uint64_t{0};
    } else if (cls < kMaskedClasses) {
      masked_ = true;
      mask_ = Masks().masks[cls];
    }
  }
  bool Has(int group) const {
    return masked_ && group >= 0 && group < kMaskedGroups ? ((mask_ >> group) & 1) != 0 : InBonusGroups(cls_, group);
  }

 private:
  int cls_;
  bool masked_ = false;
  uint64_t mask_ = 0;
};

// The feat weights of every class as rows (class-major): a feat stage adds the rows of
// the creature's classes in one pass each. Beside them, what the weighting reads of every
// feat, packed: the feat records are large and a stage passes over all of them.
struct FeatFacts {
  int32_t epic;
  int32_t featType;
  int16_t attackDep;
  uint8_t standard, inborn;
  int32_t regionCount;
};
struct ClassFeatRows {
  uint32_t generation = 0;
  const FeatSource* feats = nullptr;
  int classes = 0, featCount = 0;
  int32_t* rows = nullptr;
  FeatFacts* facts = nullptr;
};
SharedBuild gClassFeatBuild;
ClassFeatRows gClassFeat;

void FreeFeatRows() {
  if (gClassFeat.rows) freeloga(gClassFeat.rows);
  if (gClassFeat.facts) freeloga(gClassFeat.facts);
  gClassFeat = ClassFeatRows{};
}

const ClassFeatRows& FeatRows() {
  ClassFeatRows& r = gClassFeat;
  auto current = [&] {
    return r.rows && r.generation == gSourceGeneration && r.feats == gSource.feats && r.classes == gSource.classCount &&
           r.featCount == gSource.featCount;
  };
  gClassFeatBuild.Ensure(current, [&] {
    FreeFeatRows();
    int classes = std::max(gSource.classCount, 0), n = std::max(gSource.featCount, 0);
    r.rows = static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)std::max(classes * n, 1), "ClassFeatWeights"));
    r.facts = static_cast<FeatFacts*>(mallocloga(sizeof(FeatFacts) * (size_t)std::max(n, 1), "FeatFacts"));
    for (int f = 0; f < n; ++f) {
      const FeatSource& x = gSource.feats[f];
      const int32_t* cw = x.Weights();
      for (int k = 0; k < classes; ++k) r.rows[(size_t)k * n + f] = cw[k];
      r.facts[f] = FeatFacts{x.epic,
                             x.featType,
                             (int16_t)std::clamp(x.attackDep, -1, 5),
                             (uint8_t)(x.standard != 0),
                             (uint8_t)(x.inborn != 0),
                             x.regionCount};
    }
    r.generation = gSourceGeneration;
    r.feats = gSource.feats;
    r.classes = classes;
    r.featCount = n;
  });
  return r;
}

bool HasGroupList(int cls) {
  const CharSource* k = ClassAt(cls);
  return k && k->bonusFeatTypes.length > 0 && k->bonusFeatTypes.c_str()[0] != 0;
}

// The again rule: what the weight of a feat becomes once the Char owns it.
int32_t AgainWeight(Char* c, int feat, int32_t weight) {
  const FeatSource& f = gSource.feats[feat];
  if (f.multi == 0) return 0;
  if (f.multi == 2) return weight;
  int threshold = 1;
  if (f.dep == 1 && c->context.againDependency) {
    int32_t& mark = c->context.againDependency[feat];
    threshold = mark ? mark : 1;
    mark /= 2;
  }
  if (!gDecide.chooseEverything) {
    char label[160];
    FormatLabel(label, sizeof label, "Enter 1 to make Feat %s possible again\n", f.name.c_str());
    if (random(c->context.random, 1, 8, label, 0) > threshold) return 0;
  }
  return weight > 0 ? std::max(weight / 2, 1) : 0;
}

// The proficiency feat an item needs; -1 for items that need none.
int ProficiencyFeat(const Char* c, const CharItem& item) {
  if (item.equipType < 0 || item.equipType > 2 || item.equipment < 0) return -1;
  const EquipSource& e = gSource.equipment[item.equipment];
  int category = std::clamp<int>(e.type, 0, 2);
  if (item.equipType == 2) category = 0;
  int feat = gSource.proficiencyFeats[item.equipType][category];
  if (item.equipType == 1) {
    // Heavy armour is learnt through medium armour, medium through light.
    for (int k = category; k > 0 && !OwnsFeat(c, gSource.proficiencyFeats[1][k - 1]); --k)
      if (feat == gSource.proficiencyFeats[1][k]) feat = gSource.proficiencyFeats[1][k - 1];
  }
  return feat;
}

int RequiredProficiency(const Char* c, int* parameter) {
  for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
    const CharItem& item = c->items[i];
    if (item.treasure) continue;
    int feat = ProficiencyFeat(c, item);
    if (feat < 0 || Covers(c, feat, item.equipment)) continue;
    if (gSource.feats[feat].dep == 0)
      *parameter = -2;
    else if (feat == gSource.proficiencyFeats[0][0])
      *parameter = -1;
    else
      *parameter = item.equipment;
    return feat;
  }
  return -1;
}

int AutomaticClassFeat(const Char* c) {
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    const CharSource* k = ClassAt(c->classes[s]);
    if (!k || !k->featList.data) continue;
    const int32_t* w = k->featList.Code();
    for (int i = 1; i <= w[0]; ++i) {
      if (w[i] < 0) {
        ++i;  // (-group, count) pair
        continue;
      }
      if (w[i] < gSource.featCount && !OwnsFeat(c, w[i])) return w[i];
    }
  }
  return -1;
}

// One weight per feat.
using FeatWeights = Scratch<int32_t, 1024>;

}  // namespace

// The feat covers the item: owned in general, for this very item, or without parameter.
bool Covers(const Char* c, int feat, int equipment) {
  if (feat < 0) return true;
  for (int i = 0; i < c->featCount; ++i) {
    if (c->feats[i] != feat) continue;
    int p = c->featParameters[i];
    if (p == -1 || p == equipment || gSource.feats[feat].dep == 0) return true;
  }
  return false;
}

bool FinesseWeapon(const CharItem& item) {
  if (item.equipType != 0 || item.equipment < 0) return false;
  const EquipSource& e = gSource.equipment[item.equipment];
  if (e.attackType == 4) return false;
  // Kind 5 holds the rapier, whip and spiked chain besides light weapons; a monk weapon
  // (kind 1) qualifies only when it is light, which the quarterstaff is not.
  return e.specialType == 5 || e.specialType == 7 || e.size < 0;
}

const KnownRows& Known() {
  thread_local KnownRows n;
  if (n.generation == gSourceGeneration) return n;
  n.finesse = FeatNamed("Waffenfinesse");
  n.familiarSpell = FeatNamed("FamiliarSpell");
  n.alignmentCasting = FeatNamed("ImprovedAlignmentBaseCasting");
  n.arrowOfDeath = FeatNamed("ImprovedArrowOfDeath");
  n.spellCasting = FeatNamed("ImprovedSpellCasting");
  n.spellKnowledge = FeatNamed("SpellKnowledge");
  n.instantReload = FeatNamed("InstantReload");
  n.psionicBody = FeatNamed("PsionicBody");
  n.mindOverBody = FeatNamed("MindOverBody");
  n.improvised = FeatNamed("ImprovisedWeaponProficiency");
  n.toughness = FeatNamed("Abhärtung");
  n.weaponFocus = FeatNamed("Waffenfokus");
  n.greaterFocus = FeatNamed("MächtigerWaffenfokus");
  n.epicFocus = FeatNamed("EpischerWaffenfokus");
  n.specialization = FeatNamed("Waffenspezialisierung");
  n.greaterSpecialization = FeatNamed("MächtigeWaffenspezialisierung");
  n.epicSpecialization = FeatNamed("EpischeWaffenspezialisierung");
  n.improvedSneak = FeatNamed("ImprovedSneakAttack");
  n.improvedFamiliar = FeatNamed("ImprovedFamiliar");
  n.improvedCritical = FeatNamed("VerbesserterKritischerTreffer");
  n.keen = FindByName(gSource.effects, gSource.effectCount, "Scharf");
  n.fighter = FindByName(gSource.classes, gSource.classCount, "Kämpfer");
  n.bard = FindByName(gSource.classes, gSource.classCount, "Barde");
  n.human = FindByName(gSource.races, gSource.raceCount, "Mensch");
  n.robe = FindByName(gSource.equipment, gSource.equipmentCount, "Magierrobe");
  n.war = FindByName(gSource.domains, gSource.domainCount, "Krieg");
  n.claw = FindByName(gSource.equipment, gSource.equipmentCount, "Klaue");
  n.generation = gSourceGeneration;
  return n;
}

bool OwnsFeat(const Char* c, int feat) {
  for (int i = 0; i < c->featCount; ++i)
    if (c->feats[i] == feat) return true;
  return false;
}

bool CanTakeFeat(Char* c, int feat, int slot, int32_t* weights) {
  if (feat < 0 || feat >= gSource.featCount) return false;
  const FeatSource& f = gSource.feats[feat];
  if (!CheckRules(c, feat, slot, f.requirement.Code(), 0, weights)) return false;
  if (const int32_t* w = f.skillRequirement.Code()) {
    for (int i = 1; i + 1 <= w[0]; i += 2)
      if (w[i + 1] > c->Level + 3) {
        Block(c, feat, weights);
        return false;
      }
  }
  const KnownRows& n = Known();
  bool pass = true;
  if (feat == n.finesse) {
    pass = false;
    if (c->GE > c->ST)
      for (int i = 0; i < c->itemCount && !pass; ++i) pass = FinesseWeapon(c->items[i]);
  } else if (feat == n.familiarSpell) {
    pass = c->IN >= 25 || c->WE >= 25;
  } else if (feat == n.alignmentCasting) {
    pass = false;
    if (c->highestSpellLevel >= 9)
      for (int d : c->domains) {
        if (d < 0 || d >= gSource.domainCount) continue;
        const String& name = gSource.domains[d].name;
        if (name == "Gutes" || name == "Böses" || name == "Chaos" || name == "Ordnung") pass = true;
      }
  } else if (feat == n.arrowOfDeath) {
    pass = c->GE >= 19 || c->WE >= 19;
  } else if (feat == n.spellCasting || feat == n.spellKnowledge) {
    pass = (n.bard >= 0 && LevelsIn(c, n.bard) >= 16) || c->highestSpellLevel >= 9;
  } else if (feat == n.instantReload) {
    pass = false;
    for (int i = 0; i < c->itemCount && !pass; ++i) {
      const CharItem& item = c->items[i];
      pass = item.equipType == 0 && item.equipment >= 0 && gSource.equipment[item.equipment].specialType == 3;
    }
  }
  // These conditions may change within the creation (abilities, items): they mark
  // nothing, and the caller decides what a refusal does to the weight.
  return pass;
}

void ClassFeatGroups(Char* c) {
  for (int k = 0; k < 5; ++k) c->groupCounters[k] = 0;
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    const CharSource* x = ClassAt(c->classes[s]);
    if (!x || !x->featList.data) continue;
    const int32_t* w = x->featList.Code();
    for (int i = 1; i + 1 <= w[0]; ++i)
      if (w[i] < 0 && w[i] >= -4) {
        int k = -w[i];
        c->groupCounters[k] = std::max(c->groupCounters[k], w[i + 1]);
        ++i;
      }
  }
  for (int i = 0; i < c->featCount; ++i) {
    int f = c->feats[i];
    if (f < 0 || f >= gSource.featCount) continue;
    int k = gSource.feats[f].featType;
    if (k >= 1 && k <= 4 && c->groupCounters[k] > 0) --c->groupCounters[k];
  }
}

int BonusFeatCount(int cls, int level) {
  const CharSource* k = ClassAt(cls);
  if (!k) return 0;
  int total = 0;
  const char* p = k->bonusFeats.c_str();
  const char* end = p + k->bonusFeats.length;
  while (p < end) {
    int a = 0, b = 0;
    int got = *p ? sscanf(p, "%d %d", &a, &b) : 0;
    if (got == 2 && b > 0)
      total += (level + a) / b;
    else if (got == 1 && level > a)
      total += 1;
    p += strlen(p) + 1;
  }
  return total;
}

void DoFeatDep(Char* c, int slot) {
  int feat = c->feats[slot];
  if (feat < 0 || feat >= gSource.featCount) return;
  const FeatSource& f = gSource.feats[feat];
  int parameter = -2;
  const int32_t* proficiency = gSource.proficiencyFeats[0];
  bool weaponClass = feat == proficiency[0] || feat == proficiency[1] || feat == proficiency[2];
  if (!weaponClass) {
    bool found = false;
    if (f.dependency >= 0) {
      for (int i = 0; i < c->featCount && !found; ++i)
        if (i != slot && c->feats[i] == f.dependency && !OwnsWith(c, feat, c->featParameters[i], slot)) {
          parameter = c->featParameters[i];
          found = true;
        }
    }
    if (!found && f.dep == 1) {
      // Goods carried as treasure are not the creature's weapons.
      for (int i = 0; i < c->itemCount && !found; ++i) {
        const CharItem& item = c->items[i];
        if (item.equipType != 0 || item.equipment < 0 || item.treasure || OwnsWith(c, feat, item.equipment, slot))
          continue;
        parameter = item.equipment;
        found = true;
      }
      if (!found) {
        Scratch<int32_t, 1024> w((size_t)std::max(gSource.equipmentCount, 1));
        for (int e = 0; e < gSource.equipmentCount; ++e)
          w[(size_t)e] = gSource.equipment[e].equipType == 0 && !OwnsWith(c, feat, e, slot) ? 1 : 0;
        int pick = AdvancedRand(c->context.random, gSource.equipmentCount, w.data(), 4, &gSource.equipment[0].name.text,
                                sizeof(EquipSource), "Waffe für Talent wählen!\n", 0, true, 0, false);
        if (pick >= 0) parameter = pick;
      }
    } else if (!found && f.dep == 4) {
      int32_t w[kAttributes];
      for (int a = 0; a < kAttributes; ++a) w[a] = OwnsWith(c, feat, a, slot) ? 0 : 1;
      int pick = AdvancedRand(c->context.random, kAttributes, w, 4, &gSource.attributeNames[0].name.text,
                              sizeof(NamedSource), "Disciple für Talent wählen!", 0, true, 0, false);
      if (pick >= 0) parameter = pick;
    } else if (!found && f.dep == 2) {
      int schools = gSource.schoolCount;
      Scratch<int32_t, 256> w((size_t)std::max(schools, 1));
      SpellFocusSchoolWeights(c, w.data(), schools);
      if (schools > 0) w[schools - 1] = 0;  // the general school is no focus
      for (int s = 0; s < schools; ++s) {
        if (OwnsWith(c, feat, s, slot)) w[s] = 0;
        if (c->profileMode && c->profile >= 0 && gSource.profiles[c->profile].school == s) w[s] *= c->profileWeight;
        if (c->specialist) {
          if (s < kMaxSchools && c->forbidden[s]) w[s] = 0;
          if (s == c->specialistSchool) w[s] *= 3;
        }
      }
      int pick = AdvancedRand(c->context.random, schools, w.data(), 4, &gSource.schools[0].name.text,
                              sizeof(NamedSource), "Schule für Zauberfokus wählen!\n", 0, true, 0, false);
      if (pick >= 0) {
        parameter = pick;
      } else if (Known().toughness >= 0) {
        c->feats[slot] = Known().toughness;
        parameter = -2;
      }
    }
  }
  c->featParameters[slot] = parameter;
}

namespace {

// No feat has weight left: the numbered list of every feat, drawn until a pick passes.
// When every feat has been refused once, no draw can pass any more (the refusing tests
// do not change between draws): "Abhärtung" ends the search instead of drawing forever.
int ListFallback(Char* c, int slot, int32_t* save) {
  int n = gSource.featCount;
  DebugPrint(1, "No apropriate Feat found %d\n", slot);
  if (gDecide.chooseEverything) {
    for (int f = 0; f < n; ++f) ConsolePrint("%d: %s\n", f, gSource.feats[f].name.c_str());
    ConsolePrint("Select a Feat!\n");
  }
  Scratch<uint8_t, 1024> refused((size_t)n, 0);
  for (int left = n; left > 0;) {
    int k = random(c->context.random, 0, n - 1, "Select a Feat!\n", 0);
    if (k < 0 || k >= n) break;
    if (CanTakeFeat(c, k, slot, save)) return k;
    if (!refused[(size_t)k]) {
      refused[(size_t)k] = 1;
      --left;
    }
  }
  int toughness = Known().toughness;
  return toughness >= 0 ? toughness : 0;
}

}  // namespace

void FeatDrawWeights(Char* c, const int32_t* extra, int cls, bool bonus, int epic, int32_t* prob) {
  int n = gSource.featCount;
  std::fill(prob, prob + n, 0);
  int style = c->fightingStyle, style2 = c->fightingStyle2;
  int region = c->region;
  const int32_t* notAgain = c->context.featNotAgain;
  // The classes the weights count, with their levels, in slot order.
  int slotClass[kMaxClassSlots], slotLevels[kMaxClassSlots], slots = 0;
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s)
    if (c->classes[s] >= 0 && c->classes[s] < gSource.classCount) {
      slotClass[slots] = c->classes[s];
      slotLevels[slots++] = c->classLevels[s];
    }
  BonusGroups groups(cls);
  Scratch<uint8_t, 1024> owned((size_t)n, 0);
  for (int i = 0; i < c->featCount; ++i)
    if (c->feats[i] >= 0 && c->feats[i] < n) owned[(size_t)c->feats[i]] = 1;
  // The class part of each weight first: the rows of the classes, slot by slot (a bonus
  // slot counts its class at the creature's level).
  const ClassFeatRows& packed = FeatRows();
  const int32_t* rows = packed.rows;
  if (!bonus) {
    for (int s = 0; s < slots; ++s) {
      const int32_t* row = rows + (size_t)slotClass[s] * n;
      int32_t levels = slotLevels[s];
      for (int f = 0; f < n; ++f) prob[f] += row[f] * levels;
    }
  } else if (cls >= 0 && cls < gSource.classCount) {
    const int32_t* row = rows + (size_t)cls * n;
    for (int f = 0; f < n; ++f) prob[f] = row[f] * c->Level;
  }
  for (int f = 0; f < n; ++f) {
    const FeatFacts& x = packed.facts[f];
    int32_t w = 0;
    if (!notAgain || !notAgain[f]) {
      w = prob[f];
      if (extra) w += extra[f] * c->Level;
      if (x.epic > epic)
        w = 0;
      else if (x.epic < epic)
        w /= 10;
      if (x.regionCount > 0) {
        bool here = false;
        const int32_t* r = reinterpret_cast<const int32_t*>(gSource.feats[f].regions.data);
        for (int k = 0; k < x.regionCount; ++k) here = here || r[k] == region;
        if (!here) w = 0;
      }
      if (x.standard) w *= 5;
      if (x.attackDep == 2 && style != 2 && style2 != 2) w = 0;
      if (x.attackDep == 1 && ((style == 0 && style2 == 0) || (style == 4 && style2 == 0))) w = 0;
      if (x.attackDep == 4 && style != 4 && style2 != 4) w = 0;
      if (x.inborn && c->limitedFeats <= 0) w = 0;
      if (bonus && !groups.Has(x.featType)) w = 0;
    }
    // Every owned feat, once, in feat order: its again draw is made whatever its weight.
    if (owned[f]) w = AgainWeight(c, f, w);
    prob[f] = w;
  }
}

void DoFeats(Char* c, const int32_t* extra, int cls, bool bonus, int32_t* first, int epic) {
  int target = std::min(c->featCount, kMaxFeats);
  int n = gSource.featCount;
  if (*first >= target || n == 0) {
    *first = std::max(*first, c->featCount);
    return;
  }
  c->featCount = *first;
  FeatWeights probWeights((size_t)n, 0), saveWeights((size_t)n, 0);
  int32_t* prob = probWeights.data();
  int32_t* save = saveWeights.data();
  FeatDrawWeights(c, extra, cls, bonus, epic, prob);
  const CharSource* bonusClass = bonus ? ClassAt(cls) : nullptr;
  for (int slot = *first; slot < target; ++slot) {
    c->featCount = slot;
    int chosen = AutomaticClassFeat(c);
    int parameter = -2;
    bool automatic = chosen >= 0;
    if (chosen < 0 && c->getAllRequired == 1 && !(bonus && HasGroupList(cls)))
      chosen = RequiredProficiency(c, &parameter);
    bool proficiency = !automatic && chosen >= 0;
    if (chosen < 0) {
      memcpy(save, prob, sizeof(int32_t) * (size_t)n);
      if (c->profileMode && c->profile >= 0 && c->profile < gSource.profileCount) {
        const ProfileSource& p = gSource.profiles[c->profile];
        for (int k = 0; k < p.featCount; ++k) {
          int f = p.feats[k];
          if (f < 0 || f >= n || save[f] <= 0 || OwnsFeat(c, f)) continue;
          if (!CanTakeFeat(c, f, slot, save)) continue;
          save[f] *= c->profileWeight;
          break;
        }
      }
      for (int k = 1; k <= 4; ++k) {
        if (c->groupCounters[k] == 0) continue;
        for (int f = 0; f < n; ++f)
          if (gSource.feats[f].featType != k) save[f] = 0;
        break;
      }
      if (gDecide.chooseEverything)
        for (int f = 0; f < n; ++f)
          if (!CanTakeFeat(c, f, slot, save)) save[f] = 0;
      char label[256];
      if (bonusClass)
        FormatLabel(label, sizeof label, "Bonustalent: %s\nTalent wählen!\n", bonusClass->name.c_str());
      else
        FormatLabel(label, sizeof label, "Talent %d / %d\nTalent wählen!\n", slot, target);
      int last = -1;
      // The attempts draw from one table; a refused feat loses its weight (the test that
      // refuses it may already have set it to 0), nothing else changes between them.
      WeightedTable table(save, n);
      for (int attempt = 0; attempt < 1000 && chosen < 0; ++attempt) {
        if (last >= 0) {
          table.Set(last, 0);
          DebugPrint(1, "Feat not allowed yet, trying some other... :|\n");
        }
        int pick =
            table.Pick(c->context.random, &gSource.feats[0].name.text, sizeof(FeatSource), label, 0, true, 0, false);
        if (pick < 0) break;
        int32_t before = pick < n ? save[pick] : 0;
        if (CanTakeFeat(c, pick, slot, save)) chosen = pick;
        if (pick < n) table.Changed(pick, before);
        last = pick;
      }
      if (chosen < 0) chosen = ListFallback(c, slot, save);
    }
    const FeatSource& x = gSource.feats[chosen];
    if (x.inborn && --c->limitedFeats <= 0)
      for (int f = 0; f < n; ++f)
        if (gSource.feats[f].inborn) prob[f] = 0;
    prob[chosen] = AgainWeight(c, chosen, prob[chosen]);
    c->feats[slot] = chosen;
    c->featParameters[slot] = parameter;
    c->featListed[slot] = 0;
    c->featCount = slot + 1;
    if (!proficiency) DoFeatDep(c, slot);
    int k = gSource.feats[c->feats[slot]].featType;
    if (k >= 0 && k <= 4 && c->groupCounters[k] > 0) --c->groupCounters[k];
  }
  c->featCount = target;
  *first = target;
}

void CommonerWeapon(Char* c) {
  if (!Srd35(c)) return;
  int commoner = FindByName(gSource.classes, gSource.classCount, "Gemeiner");
  int simple = gSource.proficiencyFeats[0][0];
  if (commoner < 0 || simple < 0 || LevelsIn(c, commoner) <= 0) return;
  int granted = -1;  // the entry the class gave: simple weapons, one named weapon
  for (int i = 0; i < c->featCount; ++i)
    if (c->feats[i] == simple) {
      if (c->featParameters[i] < 0) return;  // another class gave them all
      if (granted < 0) granted = i;
    }
  if (granted < 0) return;
  int chosen = -1;
  for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
    const CharItem& item = c->items[i];
    if (item.treasure || item.equipType != 0 || ProficiencyFeat(c, item) != simple) continue;
    if (item.equipment == c->featParameters[granted]) return;  // it carries the granted one
    if (chosen < 0) chosen = item.equipment;
  }
  if (chosen >= 0) c->featParameters[granted] = chosen;
}

void CalculateFeats(Char* c) {
  const KnownRows& names = Known();
  int n = gSource.featCount;
  if (c->context.againDependency) {
    int mark = 3;
    if (c->fightingStyle == 2 && c->itemCount > 0 && c->items[0].attackType != 3) mark = 6;
    if (c->fightingStyle2) ++mark;
    for (int f = 0; f < n; ++f) c->context.againDependency[f] = mark;
  }
  int32_t first = c->featCount;
  c->secondCounter = &first;
  c->assignmentLock = 1;
  ClassFeatScripts(c);
  c->assignmentLock = 0;
  c->secondCounter = nullptr;
  CommonerWeapon(c);

  if (names.war >= 0) {
    for (int d : c->domains) {
      if (d != names.war) continue;
      for (int i = 0; i < c->itemCount; ++i) {
        const CharItem& item = c->items[i];
        if (item.equipType != 0 || item.equipment < 0 || item.treasure) continue;
        if (names.weaponFocus >= 0) AddFeat(c, names.weaponFocus, &first, item.equipment);
        int category = std::clamp<int>(gSource.equipment[item.equipment].type, 0, 2);
        int feat = gSource.proficiencyFeats[0][category];
        if (feat >= 0) AddFeat(c, feat, &first, category == 0 ? -1 : item.equipment);
        break;
      }
      break;
    }
  }

  c->limitedFeats = 1;
  if (names.fighter >= 0 && LevelsIn(c, names.fighter) > 0) ++c->limitedFeats;
  bool human = c->race == names.human && names.human >= 0 && !c->mixedPart;
  if (human) ++c->limitedFeats;

  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    int bonus = BonusFeatCount(c->classes[s], c->preEpicLevels[s]);
    if (bonus <= 0) continue;
    c->featCount = std::min(c->featCount + bonus, kMaxFeats);
    DoFeats(c, nullptr, c->classes[s], true, &first, 0);
  }

  int general = std::min(c->Level, 20) / 3 + 1 + c->BonusFeats + (human ? 1 : 0);
  while (c->SpecialAbilities > 0 && YesNo(c->context.random, "Use Special Abbility as Feat?", 2, 1, 0)) {
    --c->SpecialAbilities;
    ++general;
  }
  c->featCount = std::min(c->featCount + std::max(general, 0), kMaxFeats);
  DoFeats(c, nullptr, -1, false, &first, 0);

  int epic = std::max(c->Level - 18, 0) / 3;
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) {
    const CharSource* k = ClassAt(c->classes[s]);
    if (k && k->epicFeats > 0) epic += (c->classLevels[s] - c->preEpicLevels[s]) / k->epicFeats;
  }
  if (epic > 0) {
    c->featCount = std::min(c->featCount + epic, kMaxFeats);
    DoFeats(c, nullptr, -1, false, &first, 1);
  }
}

void RunFeatScripts(Char* c, int32_t* tpGiven) {
  const KnownRows& names = Known();
  int count = c->featCount;
  for (int i = 0; i < count; ++i) {
    // What the slot before this one added to the hit points.
    if (tpGiven && i > 0) tpGiven[i - 1] = c->TP - tpGiven[i - 1];
    if (tpGiven) tpGiven[i] = c->TP;
    int feat = c->feats[i];
    if (feat < 0 || feat >= gSource.featCount) continue;
    const FeatSource& f = gSource.feats[feat];
    if (feat == names.psionicBody) {
      bool disciplines = false;
      for (int s = 0; s < c->classCount && s < kMaxClassSlots && !disciplines; ++s) {
        const CharSource* k = ClassAt(c->classes[s]);
        disciplines = k && k->psiDisciplines;
      }
      // The main psionic ability the powers drew, not the class's spell ability.
      if (disciplines && c->mainPsionic >= 0 && c->mainPsionic < kAttributes) {
        int mod = (&c->MST)[c->mainPsionic];
        if (mod > c->MKO) c->TP += mod - c->MKO;
      }
      for (int j = 0; j < count; ++j)
        if (j != i && c->feats[j] >= 0 && c->feats[j] < gSource.featCount && gSource.feats[c->feats[j]].featType == 3)
          ++c->TP;
      continue;
    }
    if (feat == names.mindOverBody) {
      if (c->MIN > c->MKO) c->TP += c->MIN - c->MKO;
      for (int j = 0; j < count; ++j)
        if (j != i && c->feats[j] >= 0 && c->feats[j] < gSource.featCount && gSource.feats[c->feats[j]].featType == 1)
          ++c->TP;
      continue;
    }
    c->featListed[i] = 1;
    const uint8_t* script = f.effectScript.data;
    // A script of just ";" compiles to a root node that ends at once (byte 5 is its end).
    if (script && script[0] != 0 && script[5] != 0 && script[5] != ';') {
      DebugPrint(2, "\nRunning Script for %s\n", f.name.c_str());
      if (RunScript(c, nullptr, c->specialText, script, f.name.c_str(), i, c->specialText) > 1) c->featListed[i] = 0;
    }
    if (f.text.length > 0 && c->specialText) {
      c->featListed[i] = 0;
      TextAppend(c->specialText, f.text.c_str(), f.text.length);
      TextAppend(c->specialText, "\n", 1);
    }
  }
  if (tpGiven && count > 0) tpGiven[count - 1] = c->TP - tpGiven[count - 1];

  ProficiencyPenalties(c);
  TwoWeaponPenalties(c, true);
}

void RemoveDuplicateFeats(Char* c) {
  for (int i = 0; i < c->featCount; ++i) {
    for (int j = i + 1; j < c->featCount;) {
      int f = c->feats[i];
      bool duplicate = c->feats[j] == f && f >= 0 && f < gSource.featCount && gSource.feats[f].multi != 2 &&
                       !(c->featParameters[j] != c->featParameters[i] && c->featParameters[i] != -1);
      if (!duplicate) {
        ++j;
        continue;
      }
      int last = --c->featCount;
      c->feats[j] = c->feats[last];
      c->featParameters[j] = c->featParameters[last];
      c->featListed[j] = c->featListed[last];
    }
  }
}

void ReArrangeFeats(Char* c) {
  struct Entry {
    int32_t feat, parameter, listed;
  };
  int n = std::min(c->featCount, kMaxFeats);
  Entry entries[kMaxFeats];
  for (int i = 0; i < n; ++i) entries[i] = {c->feats[i], c->featParameters[i], c->featListed[i]};
  auto key = [](const Entry& e) -> const FeatSource* {
    return e.feat >= 0 && e.feat < gSource.featCount ? &gSource.feats[e.feat] : nullptr;
  };
  StableSortShort(entries, entries + n, [&](const Entry& a, const Entry& b) {
    const FeatSource* x = key(a);
    const FeatSource* y = key(b);
    if (!x || !y) return x != nullptr && y == nullptr;
    if (x->inborn != y->inborn) return x->inborn > y->inborn;
    if (x->regionCount != y->regionCount) return x->regionCount > y->regionCount;
    if (x->epic != y->epic) return x->epic < y->epic;
    if (x->standard != y->standard) return x->standard > y->standard;
    if (x->dep != y->dep) return x->dep > y->dep;
    if (x->featType != y->featType) return x->featType < y->featType;
    if (x->attackDep != y->attackDep) return x->attackDep < y->attackDep;
    if (a.parameter != b.parameter) return a.parameter < b.parameter;
    return strcmp(x->name.c_str(), y->name.c_str()) < 0;
  });
  for (int i = 0; i < n; ++i) {
    c->feats[i] = entries[i].feat;
    c->featParameters[i] = entries[i].parameter;
    c->featListed[i] = entries[i].listed;
  }
}

// Skill points per added hit die: the system's own rules ignore an Intelligence penalty;
// SRD 3.5 counts it, with at least 1 point per die.
static int AdvancedSkillPointsPerDie(const Char* c, int typePoints) {
  if (Srd35(c)) return std::max(typePoints + c->MIN, 1);
  return typePoints + std::max(c->MIN, 0);
}

void IncreaseHDFeatSkill(Char* c, int oldDice, int newDice, int skillPointsPerDie, int featInterval) {
  if (featInterval != 0) {
    int extra = newDice / featInterval - oldDice / featInterval;
    if (extra > 0) {
      int oldCount = c->featCount;
      FeatWeights mod((size_t)std::max(gSource.featCount, 1), 0);
      bool temporary = c->classCount == 0;
      if (temporary && Known().fighter >= 0) {
        c->classCount = 1;
        c->classes[0] = Known().fighter;
        c->classLevels[0] = 10;
      }
      c->featCount = std::min(c->featCount + extra, kMaxFeats);
      int32_t first = oldCount;
      DoFeats(c, mod.data(), -1, false, &first, 0);
      if (temporary) {
        c->classCount = 0;
        c->classes[0] = 0;
        c->classLevels[0] = 0;
      }
      for (int i = oldCount; i < c->featCount; ++i) {
        c->featListed[i] = 1;
        int f = c->feats[i];
        if (f >= 0 && f < gSource.featCount && gSource.feats[f].dep == 1 && c->featParameters[i] >= 0 &&
            Known().claw >= 0) {
          c->featParameters[i] = Known().claw;
          c->featListed[i] = 0;
        }
      }
    }
  }
  if (skillPointsPerDie != 0 && newDice > oldDice && c->skillCount > 0) {
    int points = AdvancedSkillPointsPerDie(c, skillPointsPerDie) * (newDice - oldDice);
    Scratch<int32_t, kMaxSkillEntries> weights((size_t)c->skillCount);
    const char* texts[kMaxSkillEntries];
    for (int i = 0; i < c->skillCount; ++i) {
      weights[i] = std::max(c->skills[i].ranks, 0);
      int s = c->skills[i].skill;
      texts[i] = s >= 0 && s < gSource.skillCount ? gSource.skills[s].name.c_str() : "";
    }
    // A skill's maximum rises by one rank per hit die: no skill gains more ranks than
    // hit dice were added, and a skill at its maximum is not drawn again.
    Scratch<int32_t, kMaxSkillEntries> room((size_t)c->skillCount);
    int open = 0;
    for (int i = 0; i < c->skillCount; ++i) {
      room[i] = newDice - oldDice;
      open += weights[i] > 0;
    }
    while (points > 0 && open > 0) {
      int pick = AdvancedRand(c->context.random, c->skillCount, weights.data(), 4, texts, sizeof(const char*),
                              "Welche Fertigkeit erhöhen?", 0, true, 0, false);
      if (pick < 0 || room[pick] <= 0) break;
      int amount =
          random(c->context.random, 1, std::min(points, room[pick]), "Wie viel Punkte in diese Fertigkeit stecken?", 0);
      c->skills[pick].ranks += amount;
      c->skills[pick].total += amount;
      points -= amount;
      room[pick] -= amount;
      if (room[pick] == 0 && weights[pick] > 0) {
        weights[pick] = 0;
        --open;
      }
    }
  }
}

const char* FeatParameterText(const Char* c, int entry) {
  if (entry < 0 || entry >= c->featCount) return "";
  int feat = c->feats[entry], p = c->featParameters[entry];
  if (p == -1) return "Alle";
  if (p < 0 || feat < 0 || feat >= gSource.featCount) return "";
  switch (gSource.feats[feat].dep) {
    case 1:
      return p < gSource.equipmentCount ? gSource.equipment[p].name.c_str() : "";
    case 2:
      return p < gSource.schoolCount ? gSource.schools[p].name.c_str() : "";
    case 3:
      return p < gSource.skillCount ? gSource.skills[p].name.c_str() : "";
    case 4:
      return p < kAttributes ? gSource.attributeNames[p].name.c_str() : "";
    default:
      return "";
  }
}

void ReleaseClassFeatWeights() { gClassFeatBuild.Release(FreeFeatRows); }

}  // namespace RUNTIME_NS
