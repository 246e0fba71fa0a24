// The interpreter of compiled table scripts: expressions, conditions and if blocks run
// against one subject, with the per-thread state that allows parallel creation.
#include "script/interp.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "launcher/process.h"
#include "random/repro.h"
#include "script/compile.h"
#include "script/functions.h"
#include "script/grammar.h"

namespace RUNTIME_NS {

namespace {

constexpr int kMaxIfLevel = 255;

// Per thread: the if stack and the nesting depth of Execute.
struct IfStack {
  int level = -1;
  bool done[kMaxIfLevel + 2] = {};
  bool again[kMaxIfLevel + 2] = {};
  // Index 0 serves a block met outside any chain.
  bool& Done() { return done[level + 1]; }
  bool& Again() { return again[level + 1]; }
};
thread_local IfStack tIf;
thread_local int tDepth = 0;
thread_local IsaacState* tScriptRandom = nullptr;
thread_local bool tStackFullReported = false;

uint32_t U32(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

int32_t I32(const uint8_t* p) {
  int32_t v;
  memcpy(&v, p, 4);
  return v;
}

bool Traced() { return gProcess.scriptTrace || gOutput.console >= 2; }

// Value at stack index i, or integer 0 when the content pushed fewer.
Value At(const ScriptContext* ctx, int i) {
  if (i < ctx->top && i >= 0) return ctx->stack[i];
  Value v;
  v.type = kValueInt;
  v.i = 0;
  return v;
}

int Text(const Value& v, const char** text) {
  if (v.type != kValueText) return 0;
  *text = v.text;
  return 1;
}

// Runs the content of the node whose content starts at `at`; returns its length
// through the end byte.
int Content(ScriptContext* ctx, const uint8_t* at) { return Execute(ctx, at, 1, kNoNode); }

void Extract(ScriptContext* ctx, const uint8_t* content, uint32_t node) {
  switch (ExtractorOf(node)) {
    case kExtractText: {
      Value v;
      v.type = kValueText;
      v.text = *content > 2 ? reinterpret_cast<const char*>(content) : "";
      Push(ctx, v);
      break;
    }
    case kExtractFirstChar:
      PushInt(ctx, *content > 2 ? *content : 0);
      break;
    case kExtractNumber:
      PushInt(ctx, *content == 2 ? I32(content + 1) : 0);
      break;
    default:
      break;
  }
}

int32_t Wrap(int64_t v) { return (int32_t)(uint32_t)(uint64_t)v; }

// Signed 32-bit arithmetic that wraps; division by zero gives 0.
int32_t Arithmetic(int32_t a, int op, int32_t b, bool* known) {
  *known = true;
  switch (op) {
    case '+':
      return Wrap((int64_t)a + b);
    case '-':
      return Wrap((int64_t)a - b);
    case '*':
      return Wrap((int64_t)a * b);
    case '/':
      return b == 0 ? 0 : Wrap((int64_t)a / b);
    case '%':
      return b == 0 ? 0 : (int32_t)((int64_t)a % b);
    default:
      *known = false;
      return 0;
  }
}

[[noreturn]] void IfStackExceeded() {
  ConsolePrint("Fatal Error\nIf Stack exceeded\n");
  QuitOnError(true);
}

}  // namespace

void SetScriptRandomState(IsaacState* state) { tScriptRandom = state; }

void Push(ScriptContext* ctx, const Value& v) {
  if (ctx->top >= kValueStackSize) {
    if (!tStackFullReported) ConsolePrint("Script value stack full, value dropped\n");
    tStackFullReported = true;
    return;
  }
  ctx->stack[ctx->top++] = v;
}

void PushInt(ScriptContext* ctx, int32_t i) {
  Value v;
  v.type = kValueInt;
  v.i = i;
  Push(ctx, v);
}

int32_t IntOf(const Value& v) {
  switch (v.type) {
    case kValueInt:
      return v.i;
    case kValueText:
      return (int32_t)strtol(v.text, nullptr, 10);
    case kValueIntRef:
      return *v.ref;
    case kValueFloatRef:
      return (int32_t)*v.fref;
    default:
      return 0;
  }
}

int SkipItems(const uint8_t* at, int depth) {
  const uint8_t* p = at;
  do {
    if (*p == 1) {
      ++depth;
      p += 5;
    } else if (*p == 2) {
      p += 5;
    } else if (*p == 0) {
      --depth;
      ++p;
    } else {
      while (*p > 2) ++p;
    }
  } while (depth > 0);
  return (int)(p - at);
}

int Execute(ScriptContext* ctx, const uint8_t* at, int count, uint32_t node) {
  ++tDepth;
  bool trace = Traced();
  const uint8_t* p = at;
  do {
    uint8_t b = *p;
    if (b == 1) {
      uint32_t offset = U32(p + 1);
      if (trace) {
        DebugPrint(2, "\n");
        for (int i = 0; i < tDepth; ++i) DebugPrint(2, "  ");
        DebugPrint(2, "%4d - %s:", (int)(p - ctx->script), SymbolNameAt(offset));
      }
      p += 5;
      ScriptAction action = ActionOf(offset);
      p += action ? action(ctx, p) : Execute(ctx, p, 1, offset);
    } else if (b == 2) {
      if (trace) DebugPrint(2, "%d", I32(p + 1));
      p += 5;
    } else if (b == 0) {
      ++p;
      --count;
    } else {
      const uint8_t* run = p;
      while (*p > 2) ++p;
      if (trace) DebugPrint(2, "%.*s", (int)(p - run), reinterpret_cast<const char*>(run));
    }
  } while (count > 0);
  if (node != kNoNode) Extract(ctx, at, node);
  --tDepth;
  return (int)(p - at);
}

int RunScriptOn(void* subject, IsaacState* random, void* item, TextBuffer* text, const uint8_t* script,
                const char* label, int featSlot, TextBuffer* subText) {
  if (!script || script[0] == 0) return script ? 1 : 0;
  // The stack of 2048 values lives on the caller's thread stack, as every run makes its own.
  ScriptContext ctx;
  ctx.creature = subject;
  ctx.item = item;
  ctx.text = ctx.mainText = text;
  ctx.subText = subText;
  ctx.label = label ? label : "";
  ctx.featSlot = featSlot;
  ctx.script = script;
  ctx.random = random ? random : tScriptRandom;
  return Execute(&ctx, script, 0, kNoNode);
}

int ActEvalExpression(ScriptContext* ctx, const uint8_t* at) {
  DebugPrint(2, " Evaluating:");
  int t = ctx->top;
  int n = Content(ctx, at);
  bool known;
  int32_t r = Arithmetic(IntOf(At(ctx, t)), IntOf(At(ctx, t + 1)), IntOf(At(ctx, t + 2)), &known);
  ctx->top = t;
  PushInt(ctx, r);
  DebugPrint(2, " Evaluation Returned %d:", r);
  return n;
}

namespace {

int MaxMin(ScriptContext* ctx, const uint8_t* at, bool max) {
  DebugPrint(2, " Max Function:");
  int t = ctx->top;
  int n = Content(ctx, at);
  int32_t a = IntOf(At(ctx, t)), b = IntOf(At(ctx, t + 1));
  ctx->top = t;
  int32_t r = max ? (a > b ? a : b) : (a < b ? a : b);
  PushInt(ctx, r);
  DebugPrint(2, " Max/Min Returned %d:", r);
  return n;
}

int OperatorCode(const char* op) {
  if (!op[0]) return 0;
  if (!op[1]) return (unsigned char)op[0];
  return (unsigned char)op[0] << 8 | (unsigned char)op[1];
}

constexpr int Op2(char a, char b) { return (unsigned char)a << 8 | (unsigned char)b; }

}  // namespace

int ActMax(ScriptContext* ctx, const uint8_t* at) { return MaxMin(ctx, at, true); }
int ActMin(ScriptContext* ctx, const uint8_t* at) { return MaxMin(ctx, at, false); }

int ActCondition(ScriptContext* ctx, const uint8_t* at) {
  DebugPrint(2, " Checking condition:");
  int t = ctx->top;
  int n = Content(ctx, at);
  Value left = At(ctx, t), opv = At(ctx, t + 1), right = At(ctx, t + 2);
  ctx->top = t;
  const char* op = "";
  Text(opv, &op);
  int code = OperatorCode(op);
  const char *lt, *rt;
  bool bothText = Text(left, &lt) && Text(right, &rt);
  bool equality = code == Op2('=', '=') || code == Op2('!', '=');
  int result = 0;
  if (equality && bothText) {
    result = strcmp(lt, rt) == 0;
  } else {
    int32_t a = IntOf(left), b = IntOf(right);
    if (equality)
      result = a == b;
    else if (code == Op2('<', '='))
      result = a <= b;
    else if (code == Op2('>', '='))
      result = a >= b;
    else if (code == '<')
      result = a < b;
    else if (code == '>')
      result = a > b;
  }
  if (code == Op2('!', '=')) result = !result;
  PushInt(ctx, result);
  return n;
}

int ActConditionAll(ScriptContext* ctx, const uint8_t* at) {
  int t = ctx->top;
  int n = Content(ctx, at);
  if (ctx->top - t == 3) {
    int32_t left = IntOf(At(ctx, t)), link = IntOf(At(ctx, t + 1)), right = IntOf(At(ctx, t + 2));
    int32_t r;
    if (link == '&') {
      r = left != 0 && right != 0;
    } else if (link == '|') {
      r = left != 0 || right != 0;
    } else {
      ConsolePrint("Fatal Scripting Error\n");
      QuitOnError(true);
    }
    ctx->stack[t].type = kValueInt;
    ctx->stack[t].i = r;
    ctx->top = t + 1;
  }
  return n;
}

int ActConditionTypes(ScriptContext* ctx, const uint8_t* at) {
  int n = Content(ctx, at);
  // "!" in front: the first node inside begins with the inversion mark.
  if (at[0] == 1 && at[5] == 1 && U32(at + 6) == ConditionInverseOffset() && ctx->top > 0) {
    Value& v = ctx->stack[ctx->top - 1];
    int32_t was = IntOf(v);
    v.type = kValueInt;
    v.i = was == 0 ? 1 : 0;
  }
  return n;
}

int ActValSet(ScriptContext* ctx, const uint8_t* at) {
  DebugPrint(2, " Setting Value:");
  int t = ctx->top;
  int n = Content(ctx, at);
  Value target = At(ctx, t);
  int32_t value = IntOf(At(ctx, t + 1));
  ctx->top = t;
  if (!BoundSubject().assignmentLocked(ctx)) {
    if (target.type == kValueFloatRef || target.type == kValueIntRef) BoundSubject().noteWrite(ctx, target.ref);
    if (target.type == kValueFloatRef)
      *target.fref = (float)value;
    else if (target.type == kValueIntRef)
      *target.ref = value;
  }
  return n;
}

int ActValSetA(ScriptContext* ctx, const uint8_t* at) {
  DebugPrint(2, " Setting Value A:");
  int t = ctx->top;
  int n = Content(ctx, at);
  Value target = At(ctx, t), opv = At(ctx, t + 1);
  int32_t value = IntOf(At(ctx, t + 2));
  ctx->top = t;
  const char* op = "";
  Text(opv, &op);
  if (BoundSubject().assignmentLocked(ctx) || !op[0]) return n;
  if (target.type == kValueFloatRef || target.type == kValueIntRef) BoundSubject().noteWrite(ctx, target.ref);
  if (target.type == kValueIntRef) {
    bool known;
    int32_t r = Arithmetic(*target.ref, op[0], value, &known);
    if (known && op[1] == '=') *target.ref = r;
  } else if (target.type == kValueFloatRef && op[1] == '=') {
    float& f = *target.fref;
    float v = (float)value;
    switch (op[0]) {
      case '+':
        f = f + v;
        break;
      case '-':
        f = f - v;
        break;
      case '*':
        f = f * v;
        break;
      case '/':
        f = f / v;
        break;
      default:
        break;
    }
  }
  return n;
}

int ActValIncrement(ScriptContext* ctx, const uint8_t* at) {
  DebugPrint(2, " Incrementing Value:");
  int t = ctx->top;
  int n = Content(ctx, at);
  Value target = At(ctx, t), opv = At(ctx, t + 1);
  ctx->top = t;
  const char* op = "";
  Text(opv, &op);
  if (BoundSubject().assignmentLocked(ctx) || target.type != kValueIntRef) return n;
  BoundSubject().noteWrite(ctx, target.ref);
  if (op[0] == '+' && op[1] == '+') *target.ref = Wrap((int64_t)*target.ref + 1);
  if (op[0] == '-' && op[1] == '-') *target.ref = Wrap((int64_t)*target.ref - 1);
  return n;
}

int ActIfOrder(ScriptContext* ctx, const uint8_t* at) {
  if (tIf.level >= kMaxIfLevel) IfStackExceeded();
  DebugPrint(2, " Doing If conditional Order:");
  int t = ctx->top;
  ++tIf.level;
  tIf.Done() = false;
  int n = Content(ctx, at);
  --tIf.level;
  ctx->top = t;
  DebugPrint(2, " If conditional Order ended:");
  return n;
}

namespace {

int Block(ScriptContext* ctx, const uint8_t* at, bool isElse) {
  DebugPrint(2, " If block found:");
  int t = ctx->top;
  const uint8_t* p = at;
  if (tIf.Done()) {
    DebugPrint(2, " Skipping block:");
    p += SkipItems(at, 1);
  } else {
    bool condition = true;
    if (!isElse) {
      DebugPrint(2, " Checking condition:");
      p += Execute(ctx, p, 0, kNoNode);
      condition = ctx->top > t && IntOf(ctx->stack[ctx->top - 1]) != 0;
    } else {
      DebugPrint(2, " No condition (Else block):");
    }
    ctx->top = t;
    if (!condition) {
      DebugPrint(2, " Condition did not aply:");
      p += SkipItems(p, 1);
      tIf.Again() = false;
    } else {
      tIf.Done() = true;
      DebugPrint(2, " Performing block:");
      int body = Execute(ctx, p, 0, kNoNode);
      // A body that consumed only an end byte met the block's own end: the block was empty.
      bool ownEnd = body == 1 && *p == 0;
      p += body;
      if (!ownEnd) p += SkipItems(p, 1);
      tIf.Again() = true;
    }
  }
  DebugPrint(2, " If block ended:");
  ctx->top = t;
  return (int)(p - at);
}

}  // namespace

int ActIfBlock(ScriptContext* ctx, const uint8_t* at) { return Block(ctx, at, false); }
int ActElseBlock(ScriptContext* ctx, const uint8_t* at) { return Block(ctx, at, true); }

int ActWhile(ScriptContext* ctx, const uint8_t* at) {
  if (tIf.level >= kMaxIfLevel) IfStackExceeded();
  DebugPrint(2, " Doing While Order:");
  int t = ctx->top;
  ++tIf.level;
  tIf.Again() = true;
  int n = 0;
  while (tIf.Again()) {
    tIf.Again() = false;
    tIf.Done() = false;
    n = Content(ctx, at);
    ctx->top = t;
  }
  --tIf.level;
  ctx->top = t;
  DebugPrint(2, " While Order ended:");
  return n;
}

int ActFor(ScriptContext* ctx, const uint8_t* at) {
  int t = ctx->top;
  int length = SkipItems(at, 1);
  const uint8_t* init = at;
  const uint8_t* condition = init + Execute(ctx, init, 0, kNoNode);
  ctx->top = t;
  const uint8_t* step = condition + SkipItems(condition, 0);
  const uint8_t* body = step + SkipItems(step, 0);
  for (;;) {
    Execute(ctx, condition, 0, kNoNode);
    int32_t c = ctx->top > t ? IntOf(ctx->stack[ctx->top - 1]) : 0;
    ctx->top = t;
    if (c != 1) break;
    Execute(ctx, body, 0, kNoNode);
    Execute(ctx, step, 0, kNoNode);
    ctx->top = t;
  }
  ctx->top = t;
  return length;
}

int ActAllEquipment(ScriptContext* ctx, const uint8_t* at) {
  int items = BoundSubject().itemCount(ctx);
  if (items <= 0) return SkipItems(at, 1);
  void* previous = ctx->item;
  int n = 0;
  for (int i = 0; i < items; ++i) {
    ctx->item = BoundSubject().item(ctx, i);
    n = Content(ctx, at);
  }
  ctx->item = previous;
  return n;
}

}  // namespace RUNTIME_NS
