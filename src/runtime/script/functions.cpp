// The script language's own functions: texts, random numbers and the temporaries a to z.
// The creature's variables and functions are bound by the generator.
#include "script/functions.h"

#include <cstdio>
#include <cstring>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "random/decisions.h"
#include "random/repro.h"
#include "script/interp.h"

namespace RUNTIME_NS {

namespace {

thread_local int32_t tTemporaries[26];
thread_local char tElement[16];

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

}  // namespace

int32_t* Temporaries() { return tTemporaries; }

int32_t* Temporary(const char* name) {
  if (name[0] >= 'a' && name[0] <= 'z' && name[1] == 0) return &tTemporaries[name[0] - 'a'];
  return nullptr;
}

int ActAppendText(ScriptContext* ctx, const uint8_t* at) {
  int t = ctx->top;
  int n = Execute(ctx, at, 1, kNoNode);
  AppendValues(ctx, t, false);
  return n;
}

int ActAppendTextLine(ScriptContext* ctx, const uint8_t* at) {
  int t = ctx->top;
  int n = Execute(ctx, at, 1, kNoNode);
  AppendValues(ctx, t, true);
  return n;
}

namespace {

// Further text goes to `target` for the rest of the run.
int SwitchText(ScriptContext* ctx, const uint8_t* at, TextBuffer* target) {
  ctx->text = target;
  int t = ctx->top;
  int n = Execute(ctx, at, 1, kNoNode);
  ctx->top = t;
  return n;
}

}  // namespace

int ActMainText(ScriptContext* ctx, const uint8_t* at) { return SwitchText(ctx, at, ctx->mainText); }
int ActSubText(ScriptContext* ctx, const uint8_t* at) { return SwitchText(ctx, at, ctx->subText); }

int ActRandom(ScriptContext* ctx, const uint8_t* at) {
  int t = ctx->top;
  int n = Execute(ctx, at, 1, kNoNode);
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
  int t = ctx->top;
  int n = Execute(ctx, at, 1, kNoNode);
  // No argument or -1: any of the first five, at random.
  int32_t element = ctx->top > t ? IntOf(ctx->stack[t]) : -1;
  if (element == -1)
    element = random(ctx->random, 0, 4, "Element auswählen!, 0: Feuer, 1: Kälte, 2: Blitz, 3: Schall, 4: Säure! ", 0);
  ctx->top = t;
  snprintf(tElement, sizeof tElement, "\"%s\"", element >= 0 && element <= 5 ? kElements[element] : "");
  Value v;
  v.type = kValueText;
  v.text = tElement;
  Push(ctx, v);
  return n;
}

}  // namespace RUNTIME_NS
