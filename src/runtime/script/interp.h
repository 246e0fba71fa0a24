// The script interpreter: runs a compiled script against one creature.
#pragma once
#include <cstdint>

#include "launcher/process.h"
#include "random/types.h"

#include "runtime.h"

struct Char;  // the creature record

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
  Char* creature = nullptr;
  void* item = nullptr;  // the current equipment entry, or the empty item
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

// Runs the root item of a compiled script; returns the bytes consumed.
int RunScript(Char* creature, void* item, TextBuffer* text, const uint8_t* script, const char* label, int featSlot,
              TextBuffer* subText);
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
