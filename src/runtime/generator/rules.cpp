// Evaluating the prerequisite codes that feat and prestige class rows carry, kept in one
// place so the feat draw and the class choice judge a creature alike.
#include "generator/rules.h"

#include <algorithm>
#include <vector>

#include "generator/alignment.h"
#include "generator/feats.h"
#include "generator/powers.h"
#include "generator/skills.h"

#include "launcher/process.h"
#include "random/repro.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

constexpr int Op(char a, char b) { return (unsigned char)a | (unsigned char)b << 8; }

int OwnedCount(const Char* c, int feat, int limit) {
  int n = 0;
  for (int i = 0; i < c->featCount && i < limit; ++i) n += c->feats[i] == feat;
  return n;
}

int LevelsIn(const Char* c, int cls) {
  int levels = 0;
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s)
    if (c->classes[s] == cls) levels += c->classLevels[s];
  return levels;
}

bool HasClassNamed(const Char* c, const char* name) {
  int cls = FindByName(gSource.classes, gSource.classCount, name);
  return cls >= 0 && LevelsIn(c, cls) > 0;
}

bool RaceNamed(const Char* c, const char* name) {
  return c->race >= 0 && c->race < gSource.raceCount && gSource.races[c->race].name == name;
}

int GroupCount(const Char* c, int group, int limit) {
  int n = 0;
  for (int i = 0; i < c->featCount && i < limit; ++i) {
    int f = c->feats[i];
    n += f >= 0 && f < gSource.featCount && gSource.feats[f].featType == group;
  }
  return n;
}

}  // namespace

bool CheckRules(Char* c, int feat, int featCount, const int32_t* rules, int level, int32_t* weights) {
  if (!rules) return true;
  int count = rules[0];
  const int32_t* w = rules + 1;
  int at = 0;
  auto arg = [&]() { return at < count ? w[at++] : 0; };
  while (at < count) {
    int op = arg();
    bool pass = true, soft = false;
    switch (op) {
      case Op('P', 'R'):
        pass = OwnedCount(c, arg(), c->featCount) > 0;
        soft = true;
        break;
      case Op('P', 'G'): {
        int other = arg();
        pass = OwnedCount(c, other, c->featCount) > (feat >= 0 ? OwnedCount(c, feat, c->featCount) : 0);
        soft = true;
        break;
      }
      case Op('H', 'S'):
        pass = c->highestSpellLevel >= arg();
        break;
      case Op('K', 'R'): {
        int n = arg();
        int cls = FindByName(gSource.classes, gSource.classCount, "Barbar");
        int levels = cls >= 0 ? LevelsIn(c, cls) : 0;
        pass = levels > 0 && levels / 4 + 1 >= n;
        break;
      }
      case Op('G', 'A'):
        pass = c->GA >= arg();
        break;
      case Op('E', 'A'): {
        // With the epic attack bonus: a class counts the levels before it, a feat the
        // character's level.
        int epic = std::max((level > 0 ? level : c->Level) - 20, 0);
        pass = c->GA + (epic + 1) / 2 >= arg();
        break;
      }
      case Op('C', 'L'): {
        int pairs = arg();
        pass = false;
        for (int i = 0; i < pairs; ++i) {
          int cls = arg(), levels = arg();
          if (cls >= 0 && LevelsIn(c, cls) >= levels && LevelsIn(c, cls) > 0) pass = true;
        }
        break;
      }
      case Op('S', 'T'):
        pass = c->ST >= arg();
        break;
      case Op('G', 'E'):
        pass = c->GE >= arg();
        break;
      case Op('K', 'O'):
        pass = c->KO >= arg();
        break;
      case Op('I', 'N'):
        pass = c->IN >= arg();
        break;
      case Op('W', 'E'):
        pass = c->WE >= arg();
        break;
      case Op('C', 'H'):
        pass = c->CH >= arg();
        break;
      case Op('K', 'A'):
        pass = KeyManifestingAbilityReaches(c, arg());
        break;
      case Op('R', 'A'): {
        int races = arg();
        pass = false;
        for (int i = 0; i < races; ++i) pass |= arg() == c->race;
        break;
      }
      case Op('N', 'C'):
        pass = LevelsIn(c, arg()) == 0;
        break;
      case Op('L', 'V'):
        pass = level >= arg();
        break;
      case Op('S', 'F'):
        pass = c->baseFort >= arg();
        break;
      case Op('S', 'W'):
        pass = c->baseWill >= arg();
        break;
      case Op('S', 'R'):
        pass = c->baseRef >= arg();
        break;
      case Op('P', 'F'):
        pass = GroupCount(c, 3, featCount) >= arg();
        break;
      case Op('M', 'F'):
        pass = GroupCount(c, 1, featCount) >= arg();
        break;
      case Op('S', 'N'):
        pass = HasClassNamed(c, "Schurke") || HasClassNamed(c, "Assasin");
        break;
      case Op('D', 'V'):
        pass = RaceNamed(c, "Zwerg") || RaceNamed(c, "Halbork");
        break;
      case Op('S', 'P'): {
        int spell = arg();
        pass = false;
        for (int s = 0; s < c->knownSpellCount; ++s) pass |= c->knownSpells[s] == spell;
        break;
      }
      case Op('S', 'S'):
        pass = c->specialist != 0;
        break;
      default:
        ConsolePrint("Unknown Feat Rule\n");
        QuitOnError(true);
    }
    if (pass) continue;
    if (!soft && feat >= 0) {
      if (c->context.featNotAgain) c->context.featNotAgain[feat] = 1;
      if (weights) weights[feat] = 0;
    }
    return false;
  }
  return true;
}

namespace {

// The feats the classes demand (FeatReq) fill the first feat slots: the classes chosen so
// far and the new one must not demand more than the character's general and epic feat
// slots hold (bonus feats are not counted), or the last demands would go without.
bool DemandedFeatsFit(const Char* c, int cls) {
  std::vector<int32_t> demanded;
  int groups = 0;
  auto take = [&](int k) {
    const CharSource* x = ClassAt(k);
    const int32_t* w = x ? x->featList.Code() : nullptr;
    for (int i = 1; w && i <= w[0]; ++i) {
      if (w[i] < 0) {
        if (i + 1 <= w[0]) groups += w[++i];
      } else if (std::find(demanded.begin(), demanded.end(), w[i]) == demanded.end()) {
        demanded.push_back(w[i]);
      }
    }
  };
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s) take(c->classes[s]);
  take(cls);
  int human = Known().human;
  int slots = std::min(c->Level, 20) / 3 + 1 + std::max(c->Level - 18, 0) / 3;
  if (human >= 0 && c->race == human && !c->mixedPart) ++slots;
  return (int)demanded.size() + groups <= slots;
}

}  // namespace

bool ClassPrerequisitesMet(Char* c, int cls, int levelTotal) {
  const CharSource& k = gSource.classes[cls];
  if (!CheckRules(c, -1, c->featCount, k.requirement.Code(), levelTotal, nullptr)) return false;
  if (!DemandedFeatsFit(c, cls)) return false;
  // A prestige class's alignment is a prerequisite: the classes before must leave one.
  if (k.prestige && !AlignmentAllowsClass(c, cls)) return false;
  return PrestigeSkillRanksReachable(c, cls, levelTotal);
}

}  // namespace RUNTIME_NS
