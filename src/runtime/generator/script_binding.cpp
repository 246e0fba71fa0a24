// The creature's side of the scripts: variables resolved to its fields, the game
// functions the tables' scripts call, and the undo log of what a script wrote.
#include "generator/script_binding.h"

#include <cstring>

#include "generator/creature_ops.h"
#include "memory/tracker.h"
#include "random/decisions.h"
#include "random/repro.h"
#include "script/compile.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

thread_local ScriptUndo* tUndo = nullptr;

Char* Subject(const ScriptContext* ctx) { return static_cast<Char*>(ctx->creature); }

[[noreturn]] void UnknownVariable(const char* name) {
  ConsolePrint("Fatal Error\nUnknown Var %s\n", name);
  QuitOnError(true);
}

Char* Creature(ScriptContext* ctx, const char* function) {
  if (!ctx->creature) {
    ConsolePrint("Fatal Error\nScript function %s needs a creature\n", function);
    QuitOnError(true);
  }
  return Subject(ctx);
}

bool AssignmentLocked(const ScriptContext* ctx) { return ctx->creature && Subject(ctx)->assignmentLock; }
int CreatureItemCount(const ScriptContext* ctx) { return ctx->creature ? Subject(ctx)->itemCount : 0; }
void* CreatureItem(const ScriptContext* ctx, int index) { return &Subject(ctx)->items[index]; }

// Runs the node's identifier and finds the variable it names; *length receives the
// node's length. Names are resolved at every run: temporaries first, then the
// creature's fields.
Value NamedVariable(ScriptContext* ctx, const uint8_t* at, int* length) {
  const char* name;
  {
    ScriptArgs a(ctx, at);
    *length = a.length;
    name = a.Name();
  }
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
  char* field = static_cast<char*>(ctx->creature) + offset;
  if (isFloat) {
    v.type = kValueFloatRef;
    v.fref = reinterpret_cast<float*>(field);
  } else {
    v.type = kValueIntRef;
    v.ref = reinterpret_cast<int32_t*>(field);
  }
  return v;
}

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

// The parameter of the feat entry whose script runs.
int32_t FeatSlotParameter(ScriptContext* ctx, Char* c) {
  return ctx->featSlot >= 0 && ctx->featSlot < c->featCount ? c->featParameters[ctx->featSlot] : -1;
}

void BoostSkill(ScriptContext* ctx, Char* c, int32_t skill, int32_t amount, bool ranks, int32_t type) {
  DebugPrint(2, " Boosting Skill:");
  CharSkill& e = CharSkillEntry(c, skill);
  if (ranks)
    e.ranks += amount;
  else if (type != -1)
    AddCharBonus(c, &e.bonus, amount, type, ctx->label);
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
  ScriptArgs a(ctx, at);
  *value = a.Count() == 0 ? -1 : feat ? FeatCode(a[0]) : a.Int(0);
  return a.length;
}

int ActAddFeat(ScriptContext* ctx, const uint8_t* at) {
  DebugPrint(2, " Adding feat:");
  Char* c = Creature(ctx, "func_addfeat_a");
  ScriptArgs a(ctx, at);
  if (a.Count() < 1) return a.length;
  int32_t feat = FeatCode(a[0]);
  const FeatSource& source = gSource.feats[feat];
  for (int i = 1; i < a.Count(); ++i) AddFeat(c, feat, c->secondCounter, Lookup(a[i], source.dep, source.name.c_str()));
  return a.length;
}

int ActAddFeatPlain(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_addfeat_b");
  ScriptArgs a(ctx, at);
  if (a.Count() >= 1) AddFeat(c, FeatCode(a[0]), c->secondCounter, -2);
  return a.length;
}

int ActAddFeatPerFeat(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_addfeat_d");
  ScriptArgs a(ctx, at);
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
  ScriptArgs a(ctx, at);
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
  ScriptArgs a(ctx, at);
  BoostSkill(ctx, c, a.Int(0), a.Int(1), false, -1);
  return a.length;
}

int ActBoostSkillB(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_boostskill_b");
  ScriptArgs a(ctx, at);
  BoostSkill(ctx, c, FeatSlotParameter(ctx, c), a.Int(0), false, -1);
  return a.length;
}

int ActBoostSkillC(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_boostskill_c");
  ScriptArgs a(ctx, at);
  BoostSkill(ctx, c, FeatSlotParameter(ctx, c), a.Int(0), true, -1);
  return a.length;
}

int ActBoostSkillD(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_boostskill_d");
  ScriptArgs a(ctx, at);
  BoostSkill(ctx, c, FeatSlotParameter(ctx, c), a.Int(0), false, a.Int(1));
  return a.length;
}

int ActBoostSkillE(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_boostskill_e");
  ScriptArgs a(ctx, at);
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
  int t = ctx->top;
  int n = Execute(ctx, at, 1, kNoNode);
  ctx->top = t;
  return n;
}

int ActEnhance(ScriptContext* ctx, const uint8_t* at) {
  int t = ctx->top;
  int n = Execute(ctx, at, 1, kNoNode);
  if (ctx->top > t) {
    int32_t bonus = EnhancementDraw(ctx->random, IntOf(ctx->stack[t]), 0);
    ctx->stack[t].type = kValueInt;
    ctx->stack[t].i = bonus;
  }
  return n;
}

int ActSpellDCA(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_spelldc_a");
  ScriptArgs a(ctx, at);
  int32_t school = a.Int(0);
  if (school >= 0 && school < kMaxSchools) c->schoolDC[school] += a.Int(1);
  return a.length;
}

int ActSpellDCB(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_spelldc_b");
  ScriptArgs a(ctx, at);
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
  ScriptArgs a(ctx, at);
  if (ctx->featSlot < 0) RaiseError("PsiDC");
  int32_t discipline = FeatSlotParameter(ctx, c);
  if (discipline >= 0 && discipline < kDisciplines) c->disciplineDC[discipline] += a.Int(0);
  return a.length;
}

int ActAddBonus(ScriptContext* ctx, const uint8_t* at) {
  Char* c = Creature(ctx, "func_addbonus");
  ScriptArgs a(ctx, at);
  if (a.Count() < 3 || a[0].type != kValueIntRef) return a.length;
  const char* source = ctx->label;
  if (a.Count() >= 4 && a[3].type == kValueText) {
    // The record outlives this run: keep the source name with the creature's texts.
    source = a[3].text;
  }
  if (AssignmentLocked(ctx)) return a.length;
  NoteCreatureWrite(ctx, a[0].ref);
  AddCharBonus(c, a[0].ref, a.Int(1), a.Int(2), source);
  return a.length;
}

const ActionBinding kCreatureActions[] = {
    {"func_addfeat_a", ActAddFeat, ActionEffect::kChangesMore},
    {"func_addfeat_c", ActAddFeat, ActionEffect::kChangesMore},
    {"func_addfeat_b", ActAddFeatPlain, ActionEffect::kChangesMore},
    {"func_addfeat_d", ActAddFeatPerFeat, ActionEffect::kChangesMore},
    {"func_setequip", ActSetEquip, ActionEffect::kChangesMore},
    {"func_featpresent", ActFeatPresent, ActionEffect::kReads},
    {"func_israce", ActIsRace, ActionEffect::kReads},
    {"func_isclass", ActIsClass, ActionEffect::kReads},
    {"func_boostskill_a", ActBoostSkillA, ActionEffect::kChangesMore},
    {"func_boostskill_b", ActBoostSkillB, ActionEffect::kChangesMore},
    {"func_boostskill_c", ActBoostSkillC, ActionEffect::kChangesMore},
    {"func_boostskill_d", ActBoostSkillD, ActionEffect::kChangesMore},
    {"func_boostskill_e", ActBoostSkillE, ActionEffect::kChangesMore},
    {"func_getskilllevel", ActGetSkillLevel, ActionEffect::kReads},
    {"func_getarmortype", ActGetArmorType, ActionEffect::kReads},
    {"func_enhence", ActEnhance, ActionEffect::kChangesMore},
    {"variable", ActVariable, ActionEffect::kVariable},
    {"variablepointer", ActVariablePointer, ActionEffect::kVariablePointer},
    {"func_spelldc_a", ActSpellDCA, ActionEffect::kChangesMore},
    {"func_spelldc_b", ActSpellDCB, ActionEffect::kChangesMore},
    {"func_psidc", ActPsiDC, ActionEffect::kChangesMore},
    {"func_addbonus", ActAddBonus, ActionEffect::kWritesFields},
};

}  // namespace

void BindCreatureScripts() {
  BindScriptSubject(kCreatureActions, (int)(sizeof kCreatureActions / sizeof kCreatureActions[0]),
                    SubjectBinding{AssignmentLocked, NoteCreatureWrite, CreatureItemCount, CreatureItem});
}

int RedirectCreatureScripts() {
  BindCreatureScripts();
  return RedirectSymbols();
}

int RunScript(Char* creature, void* item, TextBuffer* text, const uint8_t* script, const char* label, int featSlot,
              TextBuffer* subText) {
  // Scripts of a creature draw from its thread's random state.
  IsaacState* random = creature ? creature->context.random : nullptr;
  return RunScriptOn(creature, random, item, text, script, label, featSlot, subText);
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
  if (!tUndo || !ctx->creature || Subject(ctx) != tUndo->creature_) return;
  char* at = static_cast<char*>(field);
  char* base = static_cast<char*>(ctx->creature);
  if (at >= base && at + sizeof(int32_t) <= base + sizeof(Char)) tUndo->Note(reinterpret_cast<int32_t*>(at));
}

}  // namespace RUNTIME_NS
