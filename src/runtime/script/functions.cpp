// The actions behind the script language's functions and variables: where a table
// script reaches into the creature, including the typed-bonus rule.
#include "script/functions.h"

#include <cstdio>
#include <cstring>

#include <cmath>
#include <cstddef>
#include "generator/char.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "random/decisions.h"
#include "random/repro.h"
#include "script/interp.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

thread_local int32_t tTemporaries[26];
thread_local char tElement[16];
thread_local ScriptUndo* tUndo = nullptr;

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

// The temporary a script variable names; null when it names none.
int32_t* Temporary(const char* name) {
  if (name[0] >= 'a' && name[0] <= 'z' && name[1] == 0) return &tTemporaries[name[0] - 'a'];
  return nullptr;
}

[[noreturn]] void UnknownVariable(const char* name) {
  ConsolePrint("Fatal Error\nUnknown Var %s\n", name);
  QuitOnError(true);
}

Char* Creature(ScriptContext* ctx, const char* function) {
  if (!ctx->creature) {
    ConsolePrint("Fatal Error\nScript function %s needs a creature\n", function);
    QuitOnError(true);
  }
  return ctx->creature;
}

}  // namespace

int32_t* Temporaries() { return tTemporaries; }

bool AssignmentLocked(const ScriptContext* ctx) { return ctx->creature && ctx->creature->assignmentLock; }
int CreatureItemCount(const ScriptContext* ctx) { return ctx->creature ? ctx->creature->itemCount : 0; }
void* CreatureItem(const ScriptContext* ctx, int index) { return &ctx->creature->items[index]; }

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
// node's length. Names are resolved at every run: temporaries first, then the
// creature's fields.
Value NamedVariable(ScriptContext* ctx, const uint8_t* at, int* length) {
  int t;
  *length = Arguments(ctx, at, &t);
  const char* name = NameArgument(ctx, t);
  ctx->top = t;
  Value v;
  if (int32_t* temporary = Temporary(name)) {
    v.type = kValueIntRef;
    v.ref = temporary;
    return v;
  }
  bool isFloat = false;
  int offset = ctx->creature ? CharVariableOffset(name, &isFloat) : -1;
  if (offset < 0) {
    // After the creature's own names: a field of the current item (an item's scripts
    // set what belongs to that item alone); without one, a zeroed item of the thread.
    int itemOffset = ItemVariableOffset(name);
    if (itemOffset < 0) UnknownVariable(name);
    thread_local CharItem empty;
    if (!ctx->item) empty = CharItem{};
    v.type = kValueIntRef;
    v.ref = reinterpret_cast<int32_t*>(static_cast<char*>(ctx->item ? ctx->item : &empty) + itemOffset);
    return v;
  }
  char* field = reinterpret_cast<char*>(ctx->creature) + offset;
  if (isFloat) {
    v.type = kValueFloatRef;
    v.fref = reinterpret_cast<float*>(field);
  } else {
    v.type = kValueIntRef;
    v.ref = reinterpret_cast<int32_t*>(field);
  }
  return v;
}

}  // namespace

int ActVariable(ScriptContext* ctx, const uint8_t* at) {
  int n;
  Value v = NamedVariable(ctx, at, &n);
  if (v.type == kValueFloatRef) {
    int32_t truncated = (int32_t)*v.fref;
    PushInt(ctx, truncated);
    DebugPrint(2, " is float: %f (=%d)", (double)*v.fref, truncated);
  } else {
    PushInt(ctx, *v.ref);
    DebugPrint(2, " is int: %d", *v.ref);
  }
  return n;
}

int ActVariablePointer(ScriptContext* ctx, const uint8_t* at) {
  int n;
  Value v = NamedVariable(ctx, at, &n);
  Push(ctx, v);
  DebugPrint(3, " is pointer: %d", v.type == kValueIntRef ? *v.ref : (int32_t)*v.fref);
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

namespace {

// Arguments of a function node: runs the content, returns its values from t on.
struct Args {
  ScriptContext* ctx;
  int t = 0, length = 0;
  Args(ScriptContext* c, const uint8_t* at) : ctx(c) { length = Arguments(c, at, &t); }
  ~Args() { ctx->top = t; }
  int Count() const { return ctx->top - t; }
  const Value& operator[](int i) const { return ctx->stack[t + i]; }
  int32_t Int(int i) const { return i < Count() ? IntOf(ctx->stack[t + i]) : 0; }
};

// The parameter of the feat entry whose script runs.
int32_t FeatSlotParameter(ScriptContext* ctx, Char* c) {
  return ctx->featSlot >= 0 && ctx->featSlot < c->featCount ? c->featParameters[ctx->featSlot] : -1;
}

// Typed-bonus rule on one field of the Char: the record is kept, the field rises by
// what the new amount adds over the best earlier bonus of a non-stacking type.
void ApplyTypedBonus(Char* c, int32_t* field, int32_t amount, int32_t type, const char* source) {
  int32_t offset = (int32_t)(reinterpret_cast<char*>(field) - reinterpret_cast<char*>(c));
  int32_t best = 0;
  bool stacks = type >= 0 && type < gSource.bonusCount && gSource.bonuses[type].stack != 0;
  CharBonus** tail = &c->bonuses;
  for (CharBonus* b = c->bonuses; b; b = b->next) {
    if (!stacks && b->variable == offset && b->bonusType == type && b->amount > best) best = b->amount;
    tail = &b->next;
  }
  CharBonus* record = NewCharBonus(c);
  *record = CharBonus{offset, amount, type, source, nullptr};
  *tail = record;
  if (amount > best) *field += amount - best;
}

CharSkill& SkillEntry(Char* c, int32_t skill) {
  for (int i = 0; i < c->skillCount; ++i)
    if (c->skills[i].skill == skill) return c->skills[i];
  if (c->skillCount >= kMaxSkillEntries) {
    ConsolePrint("Fatal Error\nToo many skills\n");
    QuitOnError(true);
  }
  CharSkill& e = c->skills[c->skillCount++];
  e = CharSkill{};
  e.skill = skill;
  return e;
}

void BoostSkill(ScriptContext* ctx, Char* c, int32_t skill, int32_t amount, bool ranks, int32_t type) {
  DebugPrint(2, " Boosting Skill:");
  CharSkill& e = SkillEntry(c, skill);
  if (ranks)
    e.ranks += amount;
  else if (type != -1)
    ApplyTypedBonus(c, &e.bonus, amount, type, ctx->label);
  else
    e.bonus += amount;
}

int32_t Lookup(const Value& v, int kind, const char* feat) {
  if (v.type == kValueInt) return v.i;
  if (v.type != kValueText) {
    ConsolePrint("Scripting Error\nInvalid Argument for Feat: %s\n", feat);
    QuitOnError(true);
  }
  switch (kind) {
    case 1:
      return FindByNameOrFault(gSource.equipment, gSource.equipmentCount, v.text);
    case 2:
      return FindByNameOrFault(gSource.spells, gSource.spellCount, v.text);
    case 3:
      return FindByNameOrFault(gSource.skills, gSource.skillCount, v.text);
    default:
      ConsolePrint("Scripting Error\nFeat doesnt match for dependancy: %s\n", feat);
      QuitOnError(true);
  }
}

int32_t FeatCode(const Value& v) {
  if (v.type == kValueText) return FindByNameOrFault(gSource.feats, gSource.featCount, v.text);
  return IntOf(v);
}

// Runs the arguments and takes the first (a feat name or code when feat is set);
// returns the node's length. The stack is back as before.
int OneArgument(ScriptContext* ctx, const uint8_t* at, int32_t* value, bool feat) {
  Args a(ctx, at);
  *value = a.Count() == 0 ? -1 : feat ? FeatCode(a[0]) : a.Int(0);
  return a.length;
}

}  // namespace

CharSkill& CharSkillEntry(Char* c, int32_t skill) { return SkillEntry(c, skill); }

void AddCharBonus(Char* c, int32_t* field, int32_t amount, int32_t type, const char* source) {
  ApplyTypedBonus(c, field, amount, type, source);
}

void BoostSkillTyped(Char* c, int32_t skill, int32_t amount, int32_t type, const char* source) {
  CharSkill& e = SkillEntry(c, skill);
  if (type >= 0)
    ApplyTypedBonus(c, &e.bonus, amount, type, source);
  else
    e.bonus += amount;
}

void AddFeat(Char* c, int32_t feat, int32_t* secondCounter, int32_t parameter) {
  bool owned = false, widened = false;
  for (int i = 0; i < c->featCount; ++i) {
    if (c->feats[i] != feat) continue;
    owned = owned || c->featParameters[i] == parameter || c->featParameters[i] == -1;
    // A general grant widens the first owned entry too; the new general entry is still
    // added, and the duplicate goes when the feats are tidied.
    if (parameter == -1 && !widened) {
      c->featParameters[i] = -1;
      widened = true;
    }
  }
  if (owned || c->featCount >= kMaxFeats) return;
  c->feats[c->featCount] = feat;
  c->featParameters[c->featCount] = parameter;
  c->featListed[c->featCount] = 0;
  ++c->featCount;
  if (secondCounter) ++*secondCounter;
}

int32_t EnhancementDraw(IsaacState* state, int32_t level, int noArtifact) {
  if (level >= 21 && !noArtifact && !gDecide.chooseEverything) {
    int32_t no = 55 - level > 1 ? 55 - level : 1;
    if (YesNo(state, "Artifakt?", no, level - 20, 0)) return 6;
  }
  int32_t weights[7];
  for (int i = 0; i < 7; ++i) {
    double x = level / 4.0 - i;
    weights[i] = (int32_t)std::floor(50000.0 / (4.0 * std::fabs(x * x * x) + 1.0));
  }
  weights[6] /= 1000;
  // Far beyond level 20 every weight rounds to 0: the strongest ordinary bonus then.
  bool any = false;
  for (int32_t w : weights) any = any || w > 0;
  if (!any) weights[5] = 1;
  int chosen = AdvancedRand(state, 7, weights, 4, nullptr, 0, "Verbesserung Auswählen!", noArtifact, false);
  return chosen < 0 ? 0 : chosen;
}

int ActAddFeat(ScriptContext* ctx, const uint8_t* at) {
  DebugPrint(2, " Adding feat:");
  Char* c = Creature(ctx, "func_addfeat_a");
  Args a(ctx, at);
  if (a.Count() < 1) return a.length;
  int32_t feat = FeatCode(a[0]);
  const FeatSource& source = gSource.feats[feat];
  for (int i = 1; i < a.Count(); ++i) AddFeat(c, feat, c->secondCounter, Lookup(a[i], source.dep, source.name.c_str()));
  return a.length;
}

int ActAddFeatPlain(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_addfeat_b");
  Args a(ctx, at);
  if (a.Count() >= 1) AddFeat(c, FeatCode(a[0]), c->secondCounter, -2);
  return a.length;
}

int ActAddFeatPerFeat(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_addfeat_d");
  Args a(ctx, at);
  if (a.Count() < 2) return a.length;
  int32_t feat = FeatCode(a[0]), per = FeatCode(a[1]);
  int owned = c->featCount;
  for (int i = 0; i < owned; ++i)
    if (c->feats[i] == per) AddFeat(c, feat, c->secondCounter, c->featParameters[i]);
  return a.length;
}

int ActSetEquip(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_setequip");
  int32_t parameter = FeatSlotParameter(ctx, c);
  thread_local CharItem empty;
  empty = CharItem{};
  ctx->item = &empty;
  for (int i = 0; i < c->itemCount; ++i)
    if (c->items[i].equipment == parameter) {
      ctx->item = &c->items[i];
      break;
    }
  Args a(ctx, at);
  return a.length;
}

int ActFeatPresent(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_featpresent");
  int32_t feat, result = 0;
  int n = OneArgument(ctx, at, &feat, true);
  for (int i = 0; i < c->featCount; ++i) result |= c->feats[i] == feat;
  PushInt(ctx, result);
  return n;
}

int ActIsRace(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_israce");
  int32_t race;
  int n = OneArgument(ctx, at, &race, false);
  PushInt(ctx, c->race == race ? 1 : 0);
  return n;
}

int ActIsClass(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_isclass");
  int32_t cls;
  int n = OneArgument(ctx, at, &cls, false);
  int32_t result = 0;
  for (int i = 0; i < c->classCount && i < kMaxClassSlots; ++i) result |= c->classes[i] == cls;
  PushInt(ctx, result);
  return n;
}

int ActBoostSkillA(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_boostskill_a");
  Args a(ctx, at);
  BoostSkill(ctx, c, a.Int(0), a.Int(1), false, -1);
  return a.length;
}

int ActBoostSkillB(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_boostskill_b");
  Args a(ctx, at);
  BoostSkill(ctx, c, FeatSlotParameter(ctx, c), a.Int(0), false, -1);
  return a.length;
}

int ActBoostSkillC(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_boostskill_c");
  Args a(ctx, at);
  BoostSkill(ctx, c, FeatSlotParameter(ctx, c), a.Int(0), true, -1);
  return a.length;
}

int ActBoostSkillD(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_boostskill_d");
  Args a(ctx, at);
  BoostSkill(ctx, c, FeatSlotParameter(ctx, c), a.Int(0), false, a.Int(1));
  return a.length;
}

int ActBoostSkillE(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_boostskill_e");
  Args a(ctx, at);
  BoostSkill(ctx, c, a.Int(0), a.Int(1), false, a.Int(2));
  return a.length;
}

int ActGetSkillLevel(ScriptContext* ctx, const uint8_t* at) {
  DebugPrint(2, " Catching Skill Level:");
  Char* c = Creature(ctx, "func_getskilllevel");
  int32_t skill;
  int n = OneArgument(ctx, at, &skill, false);
  int32_t ranks = 0;
  for (int i = 0; i < c->skillCount; ++i)
    if (c->skills[i].skill == skill) ranks = c->skills[i].ranks;
  PushInt(ctx, ranks);
  return n;
}

int ActGetArmorType(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_getarmortype");
  int32_t type = -1;
  for (int i = 0; i < c->itemCount; ++i)
    if (c->items[i].equipType == 1 && c->items[i].type > type) type = c->items[i].type;
  PushInt(ctx, type);
  int t;
  int n = Arguments(ctx, at, &t);
  ctx->top = t;
  return n;
}

int ActEnhance(ScriptContext* ctx, const uint8_t* at) {
  int t;
  int n = Arguments(ctx, at, &t);
  if (ctx->top > t) {
    int32_t bonus = EnhancementDraw(ctx->random, IntOf(ctx->stack[t]), 0);
    ctx->stack[t].type = kValueInt;
    ctx->stack[t].i = bonus;
  }
  return n;
}

int ActSpellDCA(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_spelldc_a");
  Args a(ctx, at);
  int32_t school = a.Int(0);
  if (school >= 0 && school < kMaxSchools) c->schoolDC[school] += a.Int(1);
  return a.length;
}

int ActSpellDCB(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_spelldc_b");
  Args a(ctx, at);
  int32_t school;
  if (ctx->featSlot >= 0)
    school = FeatSlotParameter(ctx, c);
  else if (c->specialist)
    school = c->specialistSchool;
  else
    RaiseError("SpellDC_b");
  if (school >= 0 && school < kMaxSchools) c->schoolDC[school] += a.Int(0);
  return a.length;
}

int ActPsiDC(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_psidc");
  Args a(ctx, at);
  if (ctx->featSlot < 0) RaiseError("PsiDC");
  int32_t discipline = FeatSlotParameter(ctx, c);
  if (discipline >= 0 && discipline < kDisciplines) c->disciplineDC[discipline] += a.Int(0);
  return a.length;
}

int ActAddBonus(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_addbonus");
  Args a(ctx, at);
  if (a.Count() < 3 || a[0].type != kValueIntRef) return a.length;
  const char* source = ctx->label;
  if (a.Count() >= 4 && a[3].type == kValueText) {
    // The record outlives this run: keep the source name with the creature's texts.
    source = a[3].text;
  }
  if (AssignmentLocked(ctx)) return a.length;
  NoteCreatureWrite(ctx, a[0].ref);
  ApplyTypedBonus(c, a[0].ref, a.Int(1), a.Int(2), source);
  return a.length;
}

ScriptUndo::ScriptUndo(Char* creature)
    : creature_(creature), bonuses_(creature->bonuses), keptBonuses_(creature->keptBonusCount), outer_(tUndo) {
  // The scripts see the creature without its bonus records, as on a fresh copy.
  creature->bonuses = nullptr;
  tUndo = this;
}

ScriptUndo::~ScriptUndo() {
  tUndo = outer_;
  for (size_t i = more_.size(); i-- > 0;) *more_[i].address = more_[i].old;
  for (int i = count_; i-- > 0;) *stack_[i].address = stack_[i].old;
  FreeBonusRecords(creature_, creature_->bonuses);
  // The Char's own records the scripts took are free again, and empty as before.
  for (int i = keptBonuses_; i < creature_->keptBonusCount; ++i) creature_->keptBonuses[i] = CharBonus{};
  creature_->keptBonusCount = keptBonuses_;
  creature_->bonuses = bonuses_;
}

void ScriptUndo::Note(int32_t* address) {
  if (count_ < kStackWrites)
    stack_[count_++] = Write{address, *address};
  else
    more_.push_back(Write{address, *address});
}

void NoteCreatureWrite(const ScriptContext* ctx, void* field) {
  if (!tUndo || !ctx->creature || ctx->creature != tUndo->creature_) return;
  char* at = static_cast<char*>(field);
  char* base = reinterpret_cast<char*>(ctx->creature);
  if (at >= base && at + sizeof(int32_t) <= base + sizeof(Char)) tUndo->Note(reinterpret_cast<int32_t*>(at));
}

}  // namespace RUNTIME_NS
