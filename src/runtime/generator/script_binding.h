// Binds the creature to the script engine: its variables, the game functions the
// scripts call, and the undo of what a script wrote to it.
#pragma once
#include <cstdint>
#include <vector>

#include "generator/char.h"
#include "launcher/process.h"
#include "script/interp.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Gives the engine the creature's variables and functions; before the script names are
// redirected (RedirectSymbols), once per runtime. Later calls do nothing new.
void BindCreatureScripts();
// Binds and redirects the script names (RedirectSymbols); 0 on success.
int RedirectCreatureScripts();

// Runs a compiled script on a creature (null: none; then only temporaries are reachable),
// drawing from the creature's random state.
int RunScript(Char* creature, void* item, TextBuffer* text, const uint8_t* script, const char* label, int featSlot,
              TextBuffer* subText);

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

}  // namespace RUNTIME_NS
