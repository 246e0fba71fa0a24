// The script interpreter: runs a compiled script against a subject it does not look
// into. The program binds the subject's variables and functions (BindScriptSubject).
#pragma once
#include <cstdint>

#include "launcher/process.h"
#include "random/types.h"

#include "runtime.h"

namespace RUNTIME_NS {

enum ValueType : uint32_t { kValueInt = 0, kValueText = 1, kValueIntRef = 2, kValueFloatRef = 3 };

struct Value {
  uint32_t type;
  union {
    int32_t i;
    const char* text;
    int32_t* ref;
    float* fref;
  };
};

constexpr int kValueStackSize = 2048;

struct ScriptContext {
  void* creature = nullptr;  // the subject the script runs on, as the binding knows it
  void* item = nullptr;      // the current equipment entry, or the empty item
  int featSlot = -1;
  TextBuffer* text = nullptr;  // where text output goes now
  TextBuffer* mainText = nullptr;
  TextBuffer* subText = nullptr;
  const char* label = "";
  const uint8_t* script = nullptr;  // start of the running script (for tracing)
  IsaacState* random = nullptr;
  Value stack[kValueStackSize];
  int top = 0;
};

using ScriptAction = int (*)(ScriptContext* ctx, const uint8_t* at);

// What an action may do to the subject, which the compiler's checks need to know.
enum class ActionEffect : uint8_t {
  kReads,            // reads the subject, writes only the run's own values and texts
  kWritesFields,     // assigns to fields or adds typed bonuses (undoable)
  kChangesMore,      // changes what an undo cannot take back
  kVariable,         // pushes the value of a named variable
  kVariablePointer,  // pushes a reference to a named variable
};
struct ActionBinding {
  const char* name;  // the grammar's symbol
  ScriptAction action;
  ActionEffect effect;
};
// How the engine's own constructs reach the subject.
struct SubjectBinding {
  bool (*assignmentLocked)(const ScriptContext*);        // assignments are ignored now
  void (*noteWrite)(const ScriptContext*, void* field);  // before a field is written
  int (*itemCount)(const ScriptContext*);                // the all-equipment block's items
  void* (*item)(const ScriptContext*, int index);
};
// Binds the program's actions and subject; before RedirectSymbols, once per runtime.
void BindScriptSubject(const ActionBinding* actions, int count, const SubjectBinding& subject);

// Runs the root item of a compiled script on a subject, drawing from `random` (null: the
// state of SetScriptRandomState); returns the bytes consumed.
int RunScriptOn(void* subject, IsaacState* random, void* item, TextBuffer* text, const uint8_t* script,
                const char* label, int featSlot, TextBuffer* subText);
// Runs items from `at`: count 0 runs one item, count 1 runs through the end byte of
// the node whose content starts at `at`. nameOffset names that node (kNoNode: none).
int Execute(ScriptContext* ctx, const uint8_t* at, int count, uint32_t nameOffset);
constexpr uint32_t kNoNode = UINT32_MAX;
// Length of the items from `at` until the nesting counter started at `depth` is 0.
int SkipItems(const uint8_t* at, int depth);

// Value stack access for actions.
void Push(ScriptContext* ctx, const Value& v);
void PushInt(ScriptContext* ctx, int32_t v);
// Integer of a value: texts converted as decimal numbers, references read.
int32_t IntOf(const Value& v);

// The values a function node's content pushes, for an action: runs the content on
// construction and drops its values on destruction.
struct ScriptArgs {
  ScriptContext* ctx;
  int t = 0, length = 0;
  ScriptArgs(ScriptContext* c, const uint8_t* at) : ctx(c), t(c->top) { length = Execute(c, at, 1, kNoNode); }
  ~ScriptArgs() { ctx->top = t; }
  ScriptArgs(const ScriptArgs&) = delete;
  ScriptArgs& operator=(const ScriptArgs&) = delete;
  int Count() const { return ctx->top - t; }
  const Value& operator[](int i) const { return ctx->stack[t + i]; }
  int32_t Int(int i) const { return i < Count() ? IntOf(ctx->stack[t + i]) : 0; }
  // The identifier text of the first value ("" when there is none).
  const char* Name() const { return Count() > 0 && ctx->stack[t].type == kValueText ? ctx->stack[t].text : ""; }
};

// The temporaries a to z of the calling thread, and the one a name denotes (null: none).
int32_t* Temporaries();
int32_t* Temporary(const char* name);

// The ISAAC state that scripts run outside a creation draw from (the test script).
void SetScriptRandomState(IsaacState* state);

// Actions of the control constructs and arithmetic.
int ActEvalExpression(ScriptContext*, const uint8_t*);
int ActMax(ScriptContext*, const uint8_t*);
int ActMin(ScriptContext*, const uint8_t*);
int ActCondition(ScriptContext*, const uint8_t*);
int ActConditionAll(ScriptContext*, const uint8_t*);
int ActConditionTypes(ScriptContext*, const uint8_t*);
int ActValSet(ScriptContext*, const uint8_t*);
int ActValSetA(ScriptContext*, const uint8_t*);
int ActValIncrement(ScriptContext*, const uint8_t*);
int ActIfOrder(ScriptContext*, const uint8_t*);
int ActIfBlock(ScriptContext*, const uint8_t*);
int ActElseBlock(ScriptContext*, const uint8_t*);
int ActWhile(ScriptContext*, const uint8_t*);
int ActFor(ScriptContext*, const uint8_t*);
int ActAllEquipment(ScriptContext*, const uint8_t*);

}  // namespace RUNTIME_NS
