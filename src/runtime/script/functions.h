// The game functions and variables of the rule scripts.
#pragma once
#include <cstdint>
#include <vector>

#include "script/interp.h"

struct CharSkill;
struct CharBonus;

#include "runtime.h"

namespace RUNTIME_NS {

int ActAppendText(ScriptContext*, const uint8_t*);
int ActAppendTextLine(ScriptContext*, const uint8_t*);
int ActMainText(ScriptContext*, const uint8_t*);
int ActSubText(ScriptContext*, const uint8_t*);
int ActVariable(ScriptContext*, const uint8_t*);
int ActVariablePointer(ScriptContext*, const uint8_t*);
int ActRandom(ScriptContext*, const uint8_t*);
int ActGetElement(ScriptContext*, const uint8_t*);

// Functions that act on the creature record and the rule database.
int ActAddFeat(ScriptContext*, const uint8_t*);
int ActAddFeatPlain(ScriptContext*, const uint8_t*);
int ActAddFeatPerFeat(ScriptContext*, const uint8_t*);
int ActSetEquip(ScriptContext*, const uint8_t*);
int ActFeatPresent(ScriptContext*, const uint8_t*);
int ActIsRace(ScriptContext*, const uint8_t*);
int ActIsClass(ScriptContext*, const uint8_t*);
int ActBoostSkillA(ScriptContext*, const uint8_t*);
int ActBoostSkillB(ScriptContext*, const uint8_t*);
int ActBoostSkillC(ScriptContext*, const uint8_t*);
int ActBoostSkillD(ScriptContext*, const uint8_t*);
int ActBoostSkillE(ScriptContext*, const uint8_t*);
int ActGetSkillLevel(ScriptContext*, const uint8_t*);
int ActGetArmorType(ScriptContext*, const uint8_t*);
int ActEnhance(ScriptContext*, const uint8_t*);
int ActSpellDCA(ScriptContext*, const uint8_t*);
int ActSpellDCB(ScriptContext*, const uint8_t*);
int ActPsiDC(ScriptContext*, const uint8_t*);
int ActAddBonus(ScriptContext*, const uint8_t*);

// The creature's assignment lock (set while one feat stage runs).
bool AssignmentLocked(const ScriptContext* ctx);
// Equipment entries of the creature, for the all-equipment block.
int CreatureItemCount(const ScriptContext* ctx);
void* CreatureItem(const ScriptContext* ctx, int index);

// Adds a feat unless it is owned with this parameter (or with -1); -1 makes every
// owned entry of the feat general. The second counter, when given, counts the addition.
void AddFeat(Char* c, int32_t feat, int32_t* secondCounter, int32_t parameter);
// The creature's entry of a skill, made (with 0 ranks) when it has none.
CharSkill& CharSkillEntry(Char* c, int32_t skill);
// Raises a skill's bonus; a bonus type (-1 none) counts only its best bonus.
void BoostSkillTyped(Char* c, int32_t skill, int32_t amount, int32_t type, const char* source);
// A typed bonus on a field of the Char, as the scripts' AddBonus gives it (the source
// name must outlive the creature).
void AddCharBonus(Char* c, int32_t* field, int32_t amount, int32_t type, const char* source);
// The enhancement bonus (0 to 6) for a level; noArtifact is also the ask flag.
int32_t EnhancementDraw(IsaacState* state, int32_t level, int noArtifact);

// Takes back what scripts wrote to a creature's fields while the log was set (on this
// thread): their assignments and typed bonuses. Scripts that change more than fields
// (feats, skills, items) must not run under it (ScriptUndoable).
class ScriptUndo {
 public:
  explicit ScriptUndo(Char* creature);
  ~ScriptUndo();  // takes the writes back
  ScriptUndo(const ScriptUndo&) = delete;
  ScriptUndo& operator=(const ScriptUndo&) = delete;

 private:
  struct Write {
    int32_t* address;
    int32_t old;
  };
  friend void NoteCreatureWrite(const ScriptContext* ctx, void* field);
  void Note(int32_t* address);
  Char* creature_;
  CharBonus* bonuses_;   // the creature's own records, set aside while the scripts run
  int32_t keptBonuses_;  // how many of the records held in the Char itself were taken
  ScriptUndo* outer_;
  static constexpr int kStackWrites = 128;
  Write stack_[kStackWrites];
  int count_ = 0;
  std::vector<Write> more_;
};
// Called before a script writes the field (a 4-byte int or float) of its creature.
void NoteCreatureWrite(const ScriptContext* ctx, void* field);

// The 26 temporaries a to z of the calling thread.
int32_t* Temporaries();

}  // namespace RUNTIME_NS
