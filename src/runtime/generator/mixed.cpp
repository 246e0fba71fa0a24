// Merging a monster and its class part into one mixed creature: which figures add up,
// which one side keeps, and where the two rule sets differ.
#include "generator/mixed.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "generator/attributes.h"
#include "launcher/process.h"
#include "source/records.h"

namespace RUNTIME_NS {

void MergeSkill(Char* c, int skill, int ranks, int half, int bonus, int ability, int penalty) {
  for (int e = 0; e < c->skillCount; ++e) {
    CharSkill& k = c->skills[e];
    if (k.skill != skill) continue;
    k.ranks += ranks;
    k.bonus += bonus;
    k.penalty += penalty;
    k.ability = std::max(k.ability, ability);
    if (half) {
      if (k.halfRank) {
        ++k.ranks;
        k.halfRank = 0;
      } else {
        k.halfRank = 5;
      }
    }
    return;
  }
  if (c->skillCount >= kMaxSkillEntries) return;
  CharSkill& k = c->skills[c->skillCount++];
  k = CharSkill{};
  k.skill = skill;
  k.ranks = ranks;
  k.halfRank = half ? 5 : 0;
  k.bonus = bonus;
  k.penalty = penalty;
  int own = skill >= 0 && skill < gSource.skillCount ? AbilityModifier(c, gSource.skills[skill].attribute) : 0;
  k.ability = std::max(ability, own);
}

// A mixed creature's skill ranks after the merge. SRD 3.5: within its total hit dice
// (monster and class levels) + 3. The system's own rules: the stat block's ranks and the
// class part's add up.
void MixedSkillRanks(Char* m, const Char* p, bool replaced) {
  if (!Srd35(m)) return;
  int dice = replaced ? 0 : m->Level;
  for (int s = 0; s < p->classCount && s < kMaxClassSlots; ++s) dice += p->classLevels[s];
  for (int e = 0; e < m->skillCount; ++e) {
    CharSkill& k = m->skills[e];
    if (k.ranks >= dice + 3) {
      k.ranks = dice + 3;
      k.halfRank = 0;
    }
  }
}

// A mixed creature's feats. SRD 3.5: the class part's, then the monster's own that the
// class part does not hold (its template's too; a replaced hit die takes the stat
// block's along); their effects are in the monster's values already. The system's own
// rules: the class part's list, which holds the monster's stacking feats.
void MixedFeats(Char* m, const Char* p, bool replaced) {
  std::vector<int32_t> own;
  if (Srd35(m))
    for (int i = 0; i < m->featCount && i < kMaxFeats; ++i)
      if (!replaced || m->featParameters[i] != -2) {
        own.push_back(m->feats[i]);
        own.push_back(m->featParameters[i]);
        own.push_back(m->featListed[i]);
      }
  m->featCount = p->featCount;
  memcpy(m->feats, p->feats, sizeof m->feats);
  memcpy(m->featParameters, p->featParameters, sizeof m->featParameters);
  memcpy(m->featListed, p->featListed, sizeof m->featListed);
  for (size_t k = 0; k + 2 < own.size() && m->featCount < kMaxFeats; k += 3) {
    bool held = false;
    for (int i = 0; i < p->featCount && !held; ++i) held = p->feats[i] == own[k] && p->featParameters[i] == own[k + 1];
    if (held) continue;
    m->feats[m->featCount] = own[k];
    m->featParameters[m->featCount] = own[k + 1];
    m->featListed[m->featCount++] = own[k + 2];
  }
}

// A mixed creature's spell DC bonuses. SRD 3.5: the DC feats of both parts (Spell Focus
// and the like) count for all its spells, a bonus both hold once. The system's own
// rules: the class part's general bonuses; the school bonuses stay the monster's.
void MixedSpellDCs(Char* m, const Char* p) {
  if (!Srd35(m)) {
    m->GeneralDC = p->GeneralDC;
    m->ArcaneDC = p->ArcaneDC;
    m->DivineDC = p->DivineDC;
    return;
  }
  m->GeneralDC = std::max(m->GeneralDC, p->GeneralDC);
  m->ArcaneDC = std::max(m->ArcaneDC, p->ArcaneDC);
  m->DivineDC = std::max(m->DivineDC, p->DivineDC);
  for (int s = 0; s < kMaxSchools; ++s) m->schoolDC[s] = std::max(m->schoolDC[s], p->schoolDC[s]);
  for (int d = 0; d < kDisciplines; ++d) m->disciplineDC[d] = std::max(m->disciplineDC[d], p->disciplineDC[d]);
}

bool ClassLevelsReplaceHitDice(const Char* m) { return Srd35(m) && m->Level <= 1; }

void MergeMixed(Char* m, Char* p) {
  // Class levels that replace the monster hit die take its attack, saves, hit points,
  // skill ranks and skill points away.
  int classLevels = 0;
  for (int s = 0; s < p->classCount && s < kMaxClassSlots; ++s) classLevels += p->classLevels[s];
  const bool replaced = classLevels > 0 && ClassLevelsReplaceHitDice(m);
  const int32_t dieGA = replaced ? m->GA : 0;
  if (replaced) {
    m->GA = 0;
    m->baseRef = m->baseWill = m->baseFort = 0;
    m->hitPoints = 0;
    m->hitDieRolls = 0;
    m->skillPoints = 0;
    for (int e = 0; e < m->skillCount; ++e) {
      m->skills[e].ranks = 0;
      m->skills[e].halfRank = 0;
    }
  }
  int32_t monsterGA = m->GA;
  // Classes with their spells.
  for (int s = 0; s < p->classCount && m->classCount < kMaxClassSlots; ++s) {
    int d = m->classCount++;
    m->classes[d] = p->classes[s];
    m->classLevels[d] = p->classLevels[s];
    m->preEpicLevels[d] = p->preEpicLevels[s];
    m->casterLevel[d] = p->casterLevel[s];
    memcpy(m->spellsKnown[d], p->spellsKnown[s], sizeof m->spellsKnown[d]);
    memcpy(m->spellsPerDay[d], p->spellsPerDay[s], sizeof m->spellsPerDay[d]);
    memcpy(m->spellsToDraw[d], p->spellsToDraw[s], sizeof m->spellsToDraw[d]);
    memcpy(m->spellsChosen[d], p->spellsChosen[s], sizeof m->spellsChosen[d]);
    memcpy(m->spellsChosenCount[d], p->spellsChosenCount[s], sizeof m->spellsChosenCount[d]);
  }
  MixedSpellDCs(m, p);
  memcpy(m->forbidden, p->forbidden, sizeof m->forbidden);
  m->highestSpellLevel = std::max(m->highestSpellLevel, p->highestSpellLevel);
  MixedFeats(m, p, replaced);
  // Skills.
  for (int e = 0; e < p->skillCount; ++e) {
    const CharSkill& k = p->skills[e];
    int monsterAbility =
        k.skill >= 0 && k.skill < gSource.skillCount ? AbilityModifier(m, gSource.skills[k.skill].attribute) : 0;
    MergeSkill(m, k.skill, k.ranks, k.halfRank, k.bonus, monsterAbility, k.penalty);
  }
  MixedSkillRanks(m, p, replaced);
  m->skillPoints += p->skillPoints;
  // Items: the class part's, attacking with the monster's base attack as well.
  m->itemCount = p->itemCount;
  for (int i = 0; i < p->itemCount && i < kMaxItems; ++i) {
    m->items[i] = p->items[i];
    if (m->items[i].equipType == 0) m->items[i].finalAttack += monsterGA;
    m->items[i].attackBonus += monsterGA;
  }
  p->itemCount = 0;
  // Texts.
  if (m->specialText && p->specialText && p->specialText->length)
    TextAppend(m->specialText, p->specialText->data, p->specialText->length);
  for (int t = 0; t < 3; ++t)
    if (m->texts[t] && p->texts[t] && p->texts[t]->length)
      TextAppend(m->texts[t], p->texts[t]->data, p->texts[t]->length);
  // Natural attacks with the class part's body and training.
  for (int i = 0; i < m->attackCount; ++i) {
    CharAttack& a = m->naturals[i];
    a.attack = a.attack - dieGA - std::max(m->ST, m->GE) + std::max(p->ST, p->GE) + p->GA;
    a.damage[2] = a.damage[2] - m->ST + p->ST;
  }
  m->GA = monsterGA + p->GA;
  m->epicAttack = p->epicAttack;
  for (int a = 0; a < kAttributes; ++a) {
    bool absent = m->absent[a] || p->absent[a];
    AbilityScore(m, a) = absent ? 0 : AbilityScore(p, a);
    m->absent[a] = absent;
  }
  ComputeModifiers(m);
  m->meleeMod = m->MST;
  m->rangedMod = m->MGE;
  m->dexToAC = p->dexToAC;
  m->armorAC = p->armorAC;
  m->shieldAC = p->shieldAC;
  m->AC += p->AC;
  m->totalAC = 10 + m->AC + m->armorAC + m->shieldAC + m->dexToAC;
  // Saves: base parts add up; the ability part and magic bonuses are the class part's.
  m->baseRef += p->baseRef;
  m->baseWill += p->baseWill;
  m->baseFort += p->baseFort;
  m->refMod = p->refMod;
  m->willMod = p->willMod;
  m->fortMod = p->fortMod;
  m->RWRefMage = p->RWRefMage;
  m->RWWilMage = p->RWWilMage;
  m->RWZaehMage = p->RWZaehMage;
  m->RWRefRest += p->RWRefRest;
  m->RWWilRest += p->RWWilRest;
  m->RWZaehRest += p->RWZaehRest;
  m->epicSave = p->epicSave;
  m->MR = std::max(m->MR + p->MRBonus, p->MR);
  m->BeatMR = p->BeatMR;
  m->shownCheckPenalty = p->shownCheckPenalty;
  m->armorCheckPenalty = p->armorCheckPenalty;
  m->Attacks = p->Attacks;
  m->Attacks2 = p->Attacks2;
  m->MonkAttacks = p->MonkAttacks;
  m->Unarmed1 = p->Unarmed1;
  m->Unarmed2 = p->Unarmed2;
  m->Crystals = p->Crystals;
  m->CombatModes = p->CombatModes;
  m->mainPsionic = p->mainPsionic;
  m->PowerPoints = p->PowerPoints;
  m->specialistSchool = p->specialistSchool;
  m->specialist = p->specialist;
  m->SpellFailure = p->SpellFailure;
  m->shownSpellFailure = p->shownSpellFailure;
  m->AttackMod = p->AttackMod;
  m->DmgMod = p->DmgMod;
  m->AttacksOpportunity = std::max(m->AttacksOpportunity, p->AttacksOpportunity);
  m->Init += p->Init;
  // Hit points: the class levels' on top of the monster's; what the feats taken over
  // from the monster gave the class part is in the monster's already.
  m->hitPoints += p->hitPoints;
  m->hitDieRolls += p->hitDieRolls;
  m->TP += p->TP - p->inheritedTP;
  m->Range = std::max(m->Range - 9 + p->Range, 0.0f);  // a swimmer of 5 ft on land keeps no less than none
  // Domains.
  int at = 0;
  while (at < 16 && m->domains[at] >= 0) ++at;
  for (int d = 0; d < p->domainCount && at < 16; ++d) m->domains[at++] = p->domains[d];
  m->domainCount = at;
  memcpy(m->domainSpells, p->domainSpells, sizeof m->domainSpells);
  // Companions move to the monster.
  m->familiarChar = p->familiarChar;
  m->mountChar = p->mountChar;
  m->servantChar = p->servantChar;
  for (int i = 0; i < p->companionCount && i < kMaxCompanions; ++i) m->companionChars[i] = p->companionChars[i];
  m->companionCount = p->companionCount;
  p->familiarChar = p->mountChar = p->servantChar = nullptr;
  p->companionCount = 0;
}

}  // namespace RUNTIME_NS
