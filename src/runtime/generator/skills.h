// Skills of a creature: the points its classes and level give, the ranks its feats and
// classes demand, the skills it cares most about, free choices, synergies, and the
// finishing of every entry with ability and armour penalty.
#pragma once

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// The rank per skill that the owned feats and the classes demand (largest wins).
void RequiredSkillRanks(Char* c);

// Spends the skill points: mode 0 for characters, any other for the monster pass.
void CalculateSkills(Char* c, int mode);

// Chooses the skill of every skill-bound feat.
void SkillFeatChoice(Char* c);

// Entries for untrained class skills, ability modifiers and armour penalties.
void FinishSkills(Char* c);

// total = ranks + bonus + ability + penalty, for every entry.
void TotalSkills(Char* c);

// Entries sorted by skill name.
void ReArrangeSkills(Char* c);

// The armour check penalty the sheet shows: missing proficiencies and worn armour and
// shields (masterwork ones one less).
int ArmorCheckPenaltyShown(const Char* c);

// Skill points a character gets for its classes and level (before bonus points).
int CharacterSkillPoints(const Char* c);

// The Intelligence modifier that earns skill points. SRD 3.5 leaves out what worn items
// add (a headband's enhancement earns none); the system's own rules take the modifier
// as it stands.
int SkillPointIntModifier(const Char* c);

// Whether the ranks the prestige class `cls` demands can be had before its first level,
// after `levelsBefore` levels in the c->classCount classes so far. SRD 3.5: within that
// level's caps (class skills level + 3, others half) and the points those levels
// earned; the system's own rules: no demand above level + 3.
bool PrestigeSkillRanksReachable(const Char* c, int cls, int levelsBefore);

// Whether a skill entry gets a line of its own. SRD 3.5: a skill without ranks only
// when it can be used untrained and carries a bonus; the system's own rules list every
// entry.
bool SkillListed(const Char* c, const CharSkill& k);
// Drops the entries that get no line (characters).
void DropUnlistedSkills(Char* c);

}  // namespace RUNTIME_NS
