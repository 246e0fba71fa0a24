#include "script/functions.h"

#include <cstdio>
#include <cstring>

#include "launcher/process.h"
#include "random/decisions.h"
#include "random/repro.h"
#include "script/interp.h"

namespace RUNTIME_NS {

namespace {

thread_local int32_t tTemporaries[26];
thread_local char tElement[16];

// Runs the node's content and leaves its values from t on; returns the length.
int Arguments(ScriptContext* ctx, const uint8_t* at, int* t) {
  *t = ctx->top;
  return Execute(ctx, at, 1, kNoNode);
}

void AppendValues(ScriptContext* ctx, int from, bool lineEnd) {
  DebugPrint(2, " Appending Text:");
  for (int i = from; i < ctx->top; ++i) {
    const Value& v = ctx->stack[i];
    if (!ctx->text) continue;
    if (v.type == kValueInt) {
      char number[16];
      int n = snprintf(number, sizeof number, "%d", v.i);
      TextAppend(ctx->text, number, (size_t)n);
    } else if (v.type == kValueText) {
      TextAppend(ctx->text, v.text, strlen(v.text));
    }
  }
  if (lineEnd && ctx->text) TextAppend(ctx->text, "\n", 1);
  ctx->top = from;
}

// The identifier's text pushed by the content, as a name.
const char* NameArgument(ScriptContext* ctx, int t) {
  if (ctx->top > t && ctx->stack[t].type == kValueText) return ctx->stack[t].text;
  return "";
}

// Integer or float field a script variable names; null when none.
int32_t* Temporary(const char* name) {
  if (name[0] >= 'a' && name[0] <= 'z' && name[1] == 0) return &tTemporaries[name[0] - 'a'];
  return nullptr;
}

[[noreturn]] void UnknownVariable(const char* name) {
  ConsolePrint("Fatal Error\nUnknown Var %s\n", name);
  QuitOnError(true);
}

// Functions whose creature record and rule tables are not part of this build yet.
[[noreturn]] int NeedsCreature(const char* function) {
  ConsolePrint("Fatal Error\nScript function %s needs a creature, which this program cannot build yet\n", function);
  QuitOnError(true);
}

}  // namespace

int32_t* Temporaries() { return tTemporaries; }

bool AssignmentLocked(const ScriptContext*) { return false; }
int CreatureItemCount(const ScriptContext*) { return 0; }
void* CreatureItem(const ScriptContext* ctx, int) { return ctx->item; }

int ActAppendText(ScriptContext* ctx, const uint8_t* at) {
  int t;
  int n = Arguments(ctx, at, &t);
  AppendValues(ctx, t, false);
  return n;
}

int ActAppendTextLine(ScriptContext* ctx, const uint8_t* at) {
  int t;
  int n = Arguments(ctx, at, &t);
  AppendValues(ctx, t, true);
  return n;
}

namespace {

// Further text goes to `target` for the rest of the run.
int SwitchText(ScriptContext* ctx, const uint8_t* at, TextBuffer* target) {
  ctx->text = target;
  int t;
  int n = Arguments(ctx, at, &t);
  ctx->top = t;
  return n;
}

}  // namespace

int ActMainText(ScriptContext* ctx, const uint8_t* at) { return SwitchText(ctx, at, ctx->mainText); }
int ActSubText(ScriptContext* ctx, const uint8_t* at) { return SwitchText(ctx, at, ctx->subText); }

namespace {

// Runs the node's identifier and finds the variable it names; *length receives the
// node's length.
int32_t* NamedVariable(ScriptContext* ctx, const uint8_t* at, int* length) {
  int t;
  *length = Arguments(ctx, at, &t);
  const char* name = NameArgument(ctx, t);
  int32_t* field = Temporary(name);
  if (!field) UnknownVariable(name);
  ctx->top = t;
  return field;
}

}  // namespace

int ActVariable(ScriptContext* ctx, const uint8_t* at) {
  int n;
  int32_t* field = NamedVariable(ctx, at, &n);
  PushInt(ctx, *field);
  DebugPrint(2, " is int: %d", *field);
  return n;
}

int ActVariablePointer(ScriptContext* ctx, const uint8_t* at) {
  int n;
  int32_t* field = NamedVariable(ctx, at, &n);
  Value v;
  v.type = kValueIntRef;
  v.ref = field;
  Push(ctx, v);
  DebugPrint(3, " is pointer: %d", *field);
  return n;
}

int ActRandom(ScriptContext* ctx, const uint8_t* at) {
  int t;
  int n = Arguments(ctx, at, &t);
  int32_t low = IntOf(ctx->top > t ? ctx->stack[t] : Value{}), high = ctx->top > t + 1 ? IntOf(ctx->stack[t + 1]) : low;
  ctx->top = t;
  if (low > high) {
    int32_t swap = low;
    low = high;
    high = swap;
  }
  PushInt(ctx, random(ctx->random, low, high, "Random by script", 0));
  return n;
}

int ActGetElement(ScriptContext* ctx, const uint8_t* at) {
  static const char* const kElements[] = {"Feuer", "Kälte", "Blitz", "Schall", "Säure", "Gift"};
  int t;
  int n = Arguments(ctx, at, &t);
  int32_t element;
  if (ctx->top > t)
    element = IntOf(ctx->stack[t]);
  else
    element = random(ctx->random, 0, 4, "Element auswählen!, 0: Feuer, 1: Kälte, 2: Blitz, 3: Schall, 4: Säure! ", 0);
  ctx->top = t;
  snprintf(tElement, sizeof tElement, "\"%s\"", element >= 0 && element <= 5 ? kElements[element] : "");
  Value v;
  v.type = kValueText;
  v.text = tElement;
  Push(ctx, v);
  return n;
}

int ActAddFeat(ScriptContext*, const uint8_t*) { NeedsCreature("func_addfeat_a"); }
int ActAddFeatPlain(ScriptContext*, const uint8_t*) { NeedsCreature("func_addfeat_b"); }
int ActAddFeatPerFeat(ScriptContext*, const uint8_t*) { NeedsCreature("func_addfeat_d"); }
int ActSetEquip(ScriptContext*, const uint8_t*) { NeedsCreature("func_setequip"); }
int ActFeatPresent(ScriptContext*, const uint8_t*) { NeedsCreature("func_featpresent"); }
int ActIsRace(ScriptContext*, const uint8_t*) { NeedsCreature("func_israce"); }
int ActIsClass(ScriptContext*, const uint8_t*) { NeedsCreature("func_isclass"); }
int ActBoostSkillA(ScriptContext*, const uint8_t*) { NeedsCreature("func_boostskill_a"); }
int ActBoostSkillB(ScriptContext*, const uint8_t*) { NeedsCreature("func_boostskill_b"); }
int ActBoostSkillC(ScriptContext*, const uint8_t*) { NeedsCreature("func_boostskill_c"); }
int ActBoostSkillD(ScriptContext*, const uint8_t*) { NeedsCreature("func_boostskill_d"); }
int ActBoostSkillE(ScriptContext*, const uint8_t*) { NeedsCreature("func_boostskill_e"); }
int ActGetSkillLevel(ScriptContext*, const uint8_t*) { NeedsCreature("func_getskilllevel"); }
int ActGetArmorType(ScriptContext*, const uint8_t*) { NeedsCreature("func_getarmortype"); }
int ActEnhance(ScriptContext*, const uint8_t*) { NeedsCreature("func_enhence"); }
int ActSpellDCA(ScriptContext*, const uint8_t*) { NeedsCreature("func_spelldc_a"); }
int ActSpellDCB(ScriptContext*, const uint8_t*) { NeedsCreature("func_spelldc_b"); }
int ActPsiDC(ScriptContext*, const uint8_t*) { NeedsCreature("func_psidc"); }
int ActAddBonus(ScriptContext*, const uint8_t*) { NeedsCreature("func_addbonus"); }

}  // namespace RUNTIME_NS
