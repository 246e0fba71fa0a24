// Turns parse trees into the compact form the interpreter runs and binds grammar symbols
// to actions; it also tells what a script may change, so callers know when undo is safe.
#include "script/compile.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "script/functions.h"
#include "script/grammar.h"
#include "script/matcher.h"

namespace RUNTIME_NS {

namespace {

// The engine's own constructs and functions; the program binds the rest.
constexpr ActionEffect kReads = ActionEffect::kReads;
const ActionBinding kEngineActions[] = {
    {"func_appendtext_a", ActAppendText, kReads},
    {"func_appendtext_b", ActAppendTextLine, kReads},
    {"func_subtext", ActSubText, kReads},
    {"func_maintext", ActMainText, kReads},
    {"func_random", ActRandom, kReads},
    {"func_getelement", ActGetElement, kReads},
    {"eval_expression", ActEvalExpression, kReads},
    {"func_max", ActMax, kReads},
    {"func_min", ActMin, kReads},
    {"valset", ActValSet, kReads},
    {"valseta", ActValSetA, kReads},
    {"valincrement", ActValIncrement, kReads},
    {"condition_all", ActConditionAll, kReads},
    {"condition", ActCondition, kReads},
    {"condition_types", ActConditionTypes, kReads},
    {"if_conditional_order", ActIfOrder, kReads},
    {"while_structure", ActWhile, kReads},
    {"for_structure", ActFor, kReads},
    {"if_block", ActIfBlock, kReads},
    {"else_block", ActElseBlock, kReads},
    {"alleq_order", ActAllEquipment, kReads},
};
constexpr uint32_t kEngineCount = sizeof kEngineActions / sizeof kEngineActions[0];

const ActionBinding* gBound = nullptr;
uint32_t gBoundCount = 0;
SubjectBinding gSubject{};

// Action i of the engine's, then of the bound table.
const ActionBinding& ActionAt(uint32_t i) { return i < kEngineCount ? kEngineActions[i] : gBound[i - kEngineCount]; }

struct ExtractorEntry {
  const char* name;
  Extractor extractor;
};

const ExtractorEntry kExtractors[] = {
    {"string", kExtractText},
    {"identifier", kExtractText},
    {"compare_operator", kExtractText},
    {"setting_operator", kExtractText},
    {"increment_operator", kExtractText},
    {"condition_link", kExtractFirstChar},
    {"operator", kExtractFirstChar},
    {"val", kExtractNumber},
};

// One 4-byte slot at every name's offset in the name block: 1-based index of the
// action (or the extractor code), 0 for none.
uint8_t* gActionSlots = nullptr;
uint8_t* gExtractSlots = nullptr;
uint32_t gSlotBytes = 0;
uint32_t gOrderBlock = UINT32_MAX, gConditionInverse = UINT32_MAX, gVal = UINT32_MAX;

uint32_t Slot(const uint8_t* slots, uint32_t offset) {
  uint32_t v;
  memcpy(&v, slots + offset, 4);
  return v;
}

// The name block, checked to end with its empty name inside its size.
const char* NameBlock(uint32_t* size) {
  const char* names = static_cast<const char*>(gProcess.symbolNames);
  uint32_t limit = gProcess.symbolNamesSize;
  if (!names || limit == 0) return nullptr;
  uint32_t at = 0;
  while (at < limit && names[at]) {
    const void* end = memchr(names + at, 0, limit - at);
    if (!end) return nullptr;
    at = (uint32_t)(static_cast<const char*>(end) - names) + 1;
  }
  if (at >= limit) return nullptr;
  *size = at + 1;
  return names;
}

uint32_t ReadU32(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

// Output buffer of a compilation pass.
struct Out {
  uint8_t* data;
  size_t length = 0;
  void Put(const void* bytes, size_t n) {
    memcpy(data + length, bytes, n);
    length += n;
  }
  void Byte(uint8_t b) { data[length++] = b; }
  void Node(uint32_t offset) {
    Byte(1);
    Put(&offset, 4);
  }
  void Number(int32_t v) {
    Byte(2);
    Put(&v, 4);
  }
};

bool Traced() { return gProcess.scriptTrace || gOutput.console >= 2; }

// First pass over the items of one node of the parse tree; returns the position after
// its end byte (or the tree's end at the top level).
size_t Walk(const uint8_t* tree, size_t length, size_t pos, bool keep, uint32_t node, Out& out) {
  while (pos < length) {
    uint8_t b = tree[pos];
    if (b == 0) return pos + 1;
    if (b == 1) {
      uint32_t offset = ReadU32(tree + pos + 1);
      bool action = ActionOf(offset) != nullptr;
      bool extractor = ExtractorOf(offset) != kExtractNone;
      bool childKeep = keep || extractor;
      if (!keep && Traced())
        DebugPrint(2, extractor ? "Using Text for %s\n" : "Skipping Text for %s\n", SymbolNameAt(offset));
      if (!action && !extractor && offset != gOrderBlock && offset != gConditionInverse) {
        DebugPrint(2, "Skipping Symbol: %s\n", SymbolNameAt(offset));
        pos = Walk(tree, length, pos + 5, childKeep, offset, out);
      } else {
        DebugPrint(2, "Using Symbol: %s\n", SymbolNameAt(offset));
        out.Node(offset);
        pos = Walk(tree, length, pos + 5, childKeep, offset, out);
        out.Byte(0);
      }
      continue;
    }
    size_t end = pos;
    while (end < length && tree[end] > 1) ++end;
    const char* run = reinterpret_cast<const char*>(tree + pos);
    size_t n = end - pos;
    if (node == gVal) {
      std::string digits(run, n);
      long long v = strtoll(digits.c_str(), nullptr, 10);
      // Numbers beyond 32 bits saturate rather than wrap into another value.
      out.Number(v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v);
    } else {
      if (node != UINT32_MAX && strcmp(SymbolNameAt(node), "string") == 0 && n && (run[0] == '"' || run[0] == '\'')) {
        const char* close = static_cast<const char*>(memchr(run + 1, run[0], n - 1));
        size_t inner = close ? (size_t)(close - run - 1) : n - 1;
        ++run;
        n = inner;
      }
      if (keep) out.Put(run, n);
    }
    pos = end;
  }
  return pos;
}

}  // namespace

int RedirectSymbols() {
  if (gActionSlots) return 0;
  if (!gBound) {
    ConsolePrint("The script functions are not bound to the creature\n");
    return 1;
  }
  uint32_t size = 0;
  const char* names = NameBlock(&size);
  if (!names) {
    ConsolePrint("The script symbol names are missing or damaged\n");
    return 1;
  }
  for (const char* p = names; *p; p += strlen(p) + 1)
    if (strlen(p) < 3) {
      ConsolePrint("Small Symbol Found, cannot redirect (%s)\n", p);
      return 1;
    }
  gSlotBytes = size + 4;
  gActionSlots = static_cast<uint8_t*>(mallocloga(gSlotBytes, "RedirectSymbols-RedirFuncs"));
  gExtractSlots = static_cast<uint8_t*>(mallocloga(gSlotBytes, "RedirectSymbols-RedirExtract"));
  memset(gActionSlots, 0, gSlotBytes);
  memset(gExtractSlots, 0, gSlotBytes);
  gOrderBlock = gConditionInverse = gVal = UINT32_MAX;
  for (const char* p = names; *p; p += strlen(p) + 1) {
    uint32_t offset = (uint32_t)(p - names);
    for (uint32_t i = 0; i < kEngineCount + gBoundCount; ++i)
      if (strcmp(p, ActionAt(i).name) == 0) {
        uint32_t v = i + 1;
        memcpy(gActionSlots + offset, &v, 4);
      }
    for (const ExtractorEntry& e : kExtractors)
      if (strcmp(p, e.name) == 0) memcpy(gExtractSlots + offset, &e.extractor, 4);
    if (strcmp(p, "order_block") == 0) gOrderBlock = offset;
    if (strcmp(p, "condition_inverse") == 0) gConditionInverse = offset;
    if (strcmp(p, "val") == 0) gVal = offset;
  }
  DebugPrint(2, "Symbols Redirected to Functions\n");
  return 0;
}

void ReleaseRedirection() {
  if (gActionSlots) freeloga(gActionSlots);
  if (gExtractSlots) freeloga(gExtractSlots);
  gActionSlots = gExtractSlots = nullptr;
  gSlotBytes = 0;
}

bool SymbolsRedirected() { return gActionSlots != nullptr; }

void BindScriptSubject(const ActionBinding* actions, int count, const SubjectBinding& subject) {
  gBound = actions;
  gBoundCount = (uint32_t)count;
  gSubject = subject;
}

const SubjectBinding& BoundSubject() { return gSubject; }

const ActionBinding* BindingOf(uint32_t offset) {
  if (!gActionSlots || offset >= gSlotBytes) return nullptr;
  uint32_t i = Slot(gActionSlots, offset);
  return i ? &ActionAt(i - 1) : nullptr;
}

ScriptAction ActionOf(uint32_t offset) {
  const ActionBinding* b = BindingOf(offset);
  return b ? b->action : nullptr;
}

Extractor ExtractorOf(uint32_t offset) {
  if (!gExtractSlots || offset >= gSlotBytes) return kExtractNone;
  return (Extractor)Slot(gExtractSlots, offset);
}

namespace {

// What a script may do to its creature.
struct ScriptEffects {
  bool writesFields = false;  // assigns to fields or adds typed bonuses
  bool changesMore = false;   // feats, skills, save DCs, items
};

const uint8_t* CheckItem(const uint8_t* p, std::string* texts, ScriptEffects* effects);

// The text runs of a node's content (a variable's name); false when the content runs an
// action, so that the name is not plain.
bool PlainName(const uint8_t*& p, std::string* name, ScriptEffects* effects) {
  bool plain = true;
  while (*p != 0) {
    if (*p == 1 && ActionOf(ReadU32(p + 1))) plain = false;
    p = CheckItem(p, name, effects);
  }
  ++p;
  return plain;
}

bool IsTemporaryName(const std::string& name) { return name.size() == 1 && name[0] >= 'a' && name[0] <= 'z'; }

// The item at p (a node, a number or a text run); returns the position after it. texts
// (when given) collects the text runs.
const uint8_t* CheckItem(const uint8_t* p, std::string* texts, ScriptEffects* effects) {
  if (*p == 2) return p + 5;
  if (*p != 1) {
    const uint8_t* run = p;
    while (*p > 2) ++p;
    if (texts) texts->append(reinterpret_cast<const char*>(run), (size_t)(p - run));
    return p;
  }
  const ActionBinding* a = BindingOf(ReadU32(p + 1));
  p += 5;
  if (a && a->effect == ActionEffect::kVariablePointer) {
    // Assignments reach the creature only through a pointer to one of its fields: a
    // pointer is harmless when it names a one-letter temporary.
    std::string name;
    if (!PlainName(p, &name, effects) || !IsTemporaryName(name)) effects->writesFields = true;
    return p;
  }
  if (a && a->effect == ActionEffect::kWritesFields)
    effects->writesFields = true;
  else if (a && a->effect == ActionEffect::kChangesMore)
    effects->changesMore = true;
  while (*p != 0) p = CheckItem(p, texts, effects);
  return p + 1;
}

ScriptEffects EffectsOf(const uint8_t* script) {
  ScriptEffects effects;
  if (script && script[0] != 0) CheckItem(script, nullptr, &effects);
  return effects;
}

}  // namespace

bool ScriptKeepsCreature(const uint8_t* script) {
  ScriptEffects e = EffectsOf(script);
  return !e.writesFields && !e.changesMore;
}

bool ScriptUndoable(const uint8_t* script) { return !EffectsOf(script).changesMore; }

namespace {

// One item of a formula; false at anything else. *written collects the temporaries.
bool FormulaItem(const uint8_t*& p, int32_t* written) {
  if (*p == 2) {
    p += 5;
    return true;
  }
  if (*p != 1) {
    while (*p > 2) ++p;
    return true;
  }
  const ActionBinding* bound = BindingOf(ReadU32(p + 1));
  ScriptAction a = bound ? bound->action : nullptr;
  p += 5;
  ActionEffect effect = bound ? bound->effect : ActionEffect::kReads;
  if (effect == ActionEffect::kVariable || effect == ActionEffect::kVariablePointer) {
    std::string name;
    ScriptEffects ignored;
    if (!PlainName(p, &name, &ignored)) return false;
    if (effect == ActionEffect::kVariable) return !IsTemporaryName(name);  // reads a creature field
    if (!IsTemporaryName(name)) return false;                              // would write the creature
    *written |= 1 << (name[0] - 'a');
    return true;
  }
  // (A compound assignment reads its temporary: not a formula.)
  if (a && a != ActValSet && a != ActEvalExpression && a != ActMax && a != ActMin) return false;
  while (*p != 0)
    if (!FormulaItem(p, written)) return false;
  ++p;
  return true;
}

}  // namespace

int32_t ScriptFormulaTemporaries(const uint8_t* script) {
  if (!script || script[0] == 0) return 0;
  int32_t written = 0;
  const uint8_t* p = script;
  return FormulaItem(p, &written) ? written : -1;
}

uint32_t OrderBlockOffset() { return gOrderBlock; }
uint32_t ConditionInverseOffset() { return gConditionInverse; }
uint32_t ValOffset() { return gVal; }

size_t OptimizeScript(uint8_t** script, size_t length) {
  Out out{static_cast<uint8_t*>(mallocloga(length * 2 + 16, "OptimizeScript-pScript"))};
  TrackedPtr<uint8_t> scratch(out.data);
  // Numbers can be longer than their digits ("1" becomes five bytes), hence the room.
  Walk(*script, length, 0, false, 0, out);
  size_t n = out.length ? out.length : 1;
  uint8_t* compiled = static_cast<uint8_t*>(mallocloga(n, "OptimizeScript-pNewScript"));
  if (out.length)
    memcpy(compiled, out.data, out.length);
  else
    compiled[0] = 0;
  freeloga(*script);
  *script = compiled;
  if (n > gMatch.largest) gMatch.largest = n;
  return n;
}

namespace {

struct Resolution {
  const char* function;
  int argument;
  NameTable table;
};

// Name arguments that become record codes. The argument positions follow the
// argument layouts of the actions.
const Resolution kResolutions[] = {
    {"func_spelldc_a", 1, kNamesSchool},       {"func_addbonus", 3, kNamesBonusType},
    {"func_addfeat_a", 1, kNamesFeat},         {"func_addfeat_b", 1, kNamesFeat},
    {"func_addfeat_c", 1, kNamesFeat},         {"func_addfeat_d", 1, kNamesFeat},
    {"func_addfeat_d", 2, kNamesFeat},         {"func_boostskill_a", 1, kNamesSkill},
    {"func_boostskill_d", 2, kNamesBonusType}, {"func_boostskill_e", 1, kNamesSkill},
    {"func_boostskill_e", 3, kNamesBonusType}, {"func_getskilllevel", 1, kNamesSkill},
    {"func_featpresent", 1, kNamesFeat},       {"func_israce", 1, kNamesRace},
    {"func_isclass", 1, kNamesClass},
};

bool Resolves(uint32_t function, int argument, NameTable* table) {
  const char* name = SymbolNameAt(function);
  for (const Resolution& r : kResolutions)
    if (r.argument == argument && strcmp(r.function, name) == 0) {
      *table = r.table;
      return true;
    }
  return false;
}

// Copies the items of one node, numbering its child nodes; returns the position
// after its end byte.
size_t Copy2(const uint8_t* s, size_t pos, uint32_t node, NameResolver resolve, Out& out) {
  int child = 0;
  for (;;) {
    uint8_t b = s[pos];
    if (b == 0) {
      out.Byte(0);
      return pos + 1;
    }
    if (b == 2) {
      out.Put(s + pos, 5);
      pos += 5;
      continue;
    }
    if (b != 1) {
      size_t end = pos;
      while (s[end] > 2) ++end;
      out.Put(s + pos, end - pos);
      pos = end;
      continue;
    }
    uint32_t offset = ReadU32(s + pos + 1);
    ++child;
    NameTable table;
    const uint8_t* content = s + pos + 5;
    if (node != UINT32_MAX && *content > 2 && Resolves(node, child, &table)) {
      size_t end = 0;
      while (content[end] > 2) ++end;
      if (content[end] == 0) {
        std::string name(reinterpret_cast<const char*>(content), end);
        out.Node(gVal);
        out.Number(resolve(table, name.c_str()));
        out.Byte(0);
        pos += 5 + end + 1;
        continue;
      }
    }
    out.Node(offset);
    pos = Copy2(s, pos + 5, offset, resolve, out);
  }
}

}  // namespace

void OptimizeScript2(uint8_t** script, NameResolver resolve) {
  if (!resolve || !*script || gVal == UINT32_MAX) return;
  const uint8_t* s = *script;
  if (s[0] != 1) return;  // empty script
  size_t length = (size_t)SkipItems(s, 0);
  // A resolved name can grow to a number item, never by more than five bytes per node.
  Out out{static_cast<uint8_t*>(mallocloga(length * 2 + 16, "OptimizeScript2-tmpScript"))};
  TrackedPtr<uint8_t> scratch(out.data);
  out.Node(ReadU32(s + 1));
  Copy2(s, 5, ReadU32(s + 1), resolve, out);
  uint8_t* replaced = static_cast<uint8_t*>(mallocloga(out.length, "OptimizeScript2B-pScript"));
  memcpy(replaced, out.data, out.length);
  freeloga(*script);
  *script = replaced;
}

int bnfparse(const char* text, uint8_t** out, size_t* outLength) {
  *out = nullptr;
  DebugPrint(2, "Splitting Script\n");
  size_t length = strlen(text);
  bool whole = MatchWholeText(text, length);
  if (!whole) {
    char excerpt[96];
    MismatchExcerpt(excerpt);
    if (gMatch.aborted) ConsolePrint("Script nested too deeply or too complex to match\n");
    ConsolePrint("Content does not match Grammar near:\n\n%s\n\n%s\n\n", excerpt, text);
    ResetParseTree();
    return 1;
  }
  size_t treeLength;
  uint8_t* tree = TakeParseTree(&treeLength);
  size_t n = OptimizeScript(&tree, treeLength);
  DebugPrint(2, "Script Matches Grammar\n");
  uint8_t* result = static_cast<uint8_t*>(mallocloga(n, "bnfparse-ppTree"));
  memcpy(result, tree, n);
  freeloga(tree);
  *out = result;
  if (outLength) *outLength = n;
  return 0;
}

int SplitFile(const char* name, uint8_t** out) {
  *out = nullptr;
  ConsolePrint("Opening Source File\n");
  char* content = nullptr;
  uint32_t size = ReadFileToBuffer(name, &content);
  if (!size) {
    ConsolePrint("Error loading Source File\n");
    return 1;
  }
  TrackedPtr<char> guard(content);
  ConsolePrint("Splitting Source file\n");
  bool whole = MatchWholeText(content, size);
  if (!whole) {
    char excerpt[96];
    MismatchExcerpt(excerpt);
    if (gMatch.aborted) ConsolePrint("Script nested too deeply or too complex to match\n");
    ConsolePrint("Content does not match Grammar\n");
    ConsolePrint("near:\n\n%s\n\n", excerpt);
    ResetParseTree();
    return 1;
  }
  ConsolePrint("Content Matches Grammar\n");
  size_t treeLength;
  uint8_t* tree = TakeParseTree(&treeLength);
  OptimizeScript(&tree, treeLength);
  *out = tree;
  std::string base = name;
  size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot >= 1) base.resize(dot);
  base += ".kfa";
  ConsolePrint("Writing Output to %s\n", base.c_str());
  DebugPrint(2, "Freeing Memory\n");
  DebugPrint(2, "Finished\n");
  return 0;
}

}  // namespace RUNTIME_NS
