// Loading the script grammar named by Build/bnf.cfg into the tree the matcher walks and
// the symbol names the compiler binds; table scripts cannot be read before it.
#include "script/grammar.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/keys.h"
#include "script/matcher.h"

Grammar gGrammar;

namespace {

std::string gConfigOverride;

std::string ConfigPath() {
  if (!gConfigOverride.empty()) return gConfigOverride;
  return ExecutableDirectory() + "Build/bnf.cfg";
}

std::string Config(const char* key) { return IniReadString(ConfigPath().c_str(), "Config", key, ""); }

// Splits a comma list into zero-terminated pieces ending with an empty one; an
// empty piece therefore ends the list early.
char* SplitList(const std::string& value, const char* tag) {
  char* list = static_cast<char*>(mallocloga(value.size() + 2, tag));
  memcpy(list, value.data(), value.size());
  for (size_t i = 0; i < value.size(); ++i)
    if (list[i] == ',') list[i] = 0;
  list[value.size()] = 0;
  list[value.size() + 1] = 0;
  return list;
}

void PutWord(uint8_t* p, uint32_t v) { memcpy(p, &v, 4); }

bool IsNameChar(char c) { return isalnum((unsigned char)c) || c == '_'; }

struct Symbol {
  char* name;
  uint8_t* elements;
  uint32_t length;
  uint32_t position;
  uint32_t compressed;
};

// The state of one grammar load; everything in it is freed when the load ends.
struct Loader {
  const char* text = nullptr;  // stripped grammar
  size_t length = 0;
  size_t pos = 0;
  Symbol* symbols = nullptr;
  int symbolCount = 0;
  int symbolCapacity = 0;
  char** references = nullptr;
  int referenceCount = 0;
  int referenceCapacity = 0;

  ~Loader() {
    for (int i = 0; i < symbolCount; ++i) {
      if (symbols[i].name) freeloga(symbols[i].name);
      if (symbols[i].elements) freeloga(symbols[i].elements);
    }
    for (int i = 0; i < referenceCount; ++i) freeloga(references[i]);
    if (symbols) freeloga(symbols);
    if (references) freeloga(references);
  }

  char* CopyText(const char* s, size_t n, const char* tag) {
    char* p = static_cast<char*>(mallocloga(n + 1, tag));
    memcpy(p, s, n);
    p[n] = 0;
    return p;
  }

  int AddSymbol(const char* name, size_t n) {
    if (symbolCount >= symbolCapacity) return -1;
    Symbol& s = symbols[symbolCount];
    s = Symbol{};
    s.name = CopyText(name, n, "ProcessGrammarPart-Symbols-Name");
    return symbolCount++;
  }

  int AddReference(const char* name, size_t n) {
    if (referenceCount >= referenceCapacity) {
      int capacity = referenceCapacity ? referenceCapacity * 2 : 64;
      references = static_cast<char**>(
          references ? reallocloga(references, sizeof(char*) * (size_t)capacity)
                     : mallocloga(sizeof(char*) * (size_t)capacity, "ProcessGrammar-SymbolReferences"));
      referenceCapacity = capacity;
    }
    references[referenceCount] = CopyText(name, n, "AddReference-SymbolName");
    return referenceCount++;
  }

  int FindSymbol(const char* name) const {
    for (int i = 0; i < symbolCount; ++i)
      if (strcmp(symbols[i].name, name) == 0) return i;
    return -1;
  }

  // Parses a body up to `closing` into the element list of symbol `index`.
  bool ParseBody(int index, char closing) {
    uint8_t* out = static_cast<uint8_t*>(mallocloga(8 * length + 16, "ProcessGrammarPart-SymbolTreeBuffer"));
    TrackedPtr<uint8_t> guard(out);
    size_t n = 0;
    int subCounter = 0;
    auto word = [&](uint32_t v) {
      PutWord(out + n, v);
      n += 4;
    };
    for (;;) {
      if (pos >= length) return false;
      char c = text[pos];
      if (c == closing) {
        ++pos;
        word(kElemEnd);
        break;
      }
      if (c == '"' || c == '\'') {
        size_t end = pos + 1;
        while (end < length && text[end] != c) ++end;
        if (end >= length) return false;
        word(kElemLiteral);
        word((uint32_t)(end - pos - 1));
        memcpy(out + n, text + pos + 1, end - pos - 1);
        n += end - pos - 1;
        pos = end + 1;
      } else if (c == '(' || c == '{' || c == '[') {
        char close = c == '(' ? ')' : c == '{' ? '}' : ']';
        uint32_t code = c == '(' ? kElemGroup : c == '{' ? kElemRepeat : kElemOptional;
        const char* parent = symbols[index].name;
        size_t nameSize = strlen(parent) + 16;
        char* subName = static_cast<char*>(mallocloga(nameSize, "ProcessGrammarPart-SubSymbolName"));
        TrackedPtr<char> subGuard(subName);
        snprintf(subName, nameSize, "%s sub %d", parent, subCounter++);
        int sub = AddSymbol(subName, strlen(subName));
        if (sub < 0) return false;
        ++pos;
        if (!ParseBody(sub, close)) return false;
        word(code);
        word((uint32_t)AddReference(subName, strlen(subName)));
      } else if (c == ',') {
        word(kElemSequence);
        ++pos;
      } else if (c == '|') {
        word(kElemAlternative);
        ++pos;
      } else if (c == '-') {
        word(kElemException);
        ++pos;
      } else if (isdigit((unsigned char)c)) {
        // One to three digits: a literal of one character with that code.
        size_t end = pos;
        while (end < length && isdigit((unsigned char)text[end])) ++end;
        if (end - pos > 3) return false;
        int value = atoi(std::string(text + pos, end - pos).c_str());
        if (value < 1 || value > 255) return false;
        word(kElemLiteral);
        word(1);
        out[n++] = (uint8_t)value;
        pos = end;
      } else if (IsNameChar(c)) {
        size_t end = pos;
        while (end < length && IsNameChar(text[end])) ++end;
        word(kElemRule);
        word((uint32_t)AddReference(text + pos, end - pos));
        pos = end;
      } else {
        return false;
      }
    }
    Symbol& s = symbols[index];
    s.elements = static_cast<uint8_t*>(mallocloga(n, "ProcessGrammarPart-Symbols-Grammar"));
    memcpy(s.elements, out, n);
    s.length = (uint32_t)n;
    return true;
  }

  bool ParseRules() {
    while (pos < length) {
      size_t start = pos;
      while (pos < length && IsNameChar(text[pos])) ++pos;
      if (pos == start || pos >= length || text[pos] != '=') return false;
      std::string name(text + start, pos - start);
      if (FindSymbol(name.c_str()) >= 0) {
        ConsolePrint("Rule %s is defined twice\n", name.c_str());
        return false;
      }
      ++pos;
      int index = AddSymbol(name.c_str(), name.size());
      if (index < 0 || !ParseBody(index, ';')) return false;
    }
    return true;
  }
};

// Removes blanks, tabs, line ends and zero bytes outside quotes.
size_t Strip(char* text, size_t n, int* symbolBound) {
  size_t out = 0;
  char quote = 0;
  int bound = 0;
  for (size_t i = 0; i < n; ++i) {
    char c = text[i];
    if (c == '(' || c == '{' || c == '[' || c == '=') ++bound;
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0) {
      continue;
    }
    text[out++] = c;
  }
  *symbolBound = bound;
  return out;
}

// Builds the grammar tree and name block from grammar text (modified in place).
int ProcessGrammar(char* text, size_t n) {
  Loader L;
  int symbolBound = 0;
  L.length = Strip(text, n, &symbolBound);
  L.text = text;
  L.symbolCapacity = symbolBound;
  DebugPrint(2, "Allocating Symbols (%d / %d bytes)\n", symbolBound, (int)(symbolBound * sizeof(Symbol)));
  L.symbols = static_cast<Symbol*>(
      mallocloga(sizeof(Symbol) * (size_t)(symbolBound ? symbolBound : 1), "ProcessGrammar-Symbols"));
  if (!L.ParseRules()) {
    ConsolePrint("Error while processing Grammar\n");
    return 1;
  }

  ConsolePrint("Checking References\n");
  for (int i = 0; i < L.referenceCount; ++i)
    if (strcmp(L.references[i], "anycharacter") != 0 && L.FindSymbol(L.references[i]) < 0) {
      ConsolePrint("Coult not find Symbol %s\n", L.references[i]);
      return 1;
    }

  std::string init = Config("InitSymbol");
  if (init.empty()) {
    ConsolePrint("Could not read InitSymbol from Config File\n");
    return 1;
  }
  int startIndex = L.FindSymbol(init.c_str());
  if (startIndex < 0) {
    ConsolePrint("Could not find Init Rule\n");
    return 1;
  }
  DebugPrint(2, "All References Present (%d)\n", L.referenceCount);

  uint32_t size = 0, namesSize = 1;
  int subSymbols = 0;
  for (int i = 0; i < L.symbolCount; ++i) {
    size_t nameLength = strlen(L.symbols[i].name) + 1;
    size += L.symbols[i].length + 8 + (uint32_t)nameLength;
    namesSize += (uint32_t)nameLength;
    if (strchr(L.symbols[i].name, ' ')) ++subSymbols;
  }
  DebugPrint(2, "Size of Grammar: %d (%d Symbols, %d SubSymbols)\n", (int)size, L.symbolCount, subSymbols);
  TrackedPtr<uint8_t> tree(static_cast<uint8_t*>(mallocloga(size, "ProcessGrammar-GrammarTree")));

  DebugPrint(2, "Marking Compressed Symbols\n");
  std::string compressed;
  for (char c : Config("CompressedSymbol"))
    if (c != ' ' && c != '\t') compressed += c;
  TrackedPtr<char> list(SplitList(compressed, "ProcessGrammar-Compressed"));
  for (const char* p = list.get(); *p; p += strlen(p) + 1) {
    int i = L.FindSymbol(p);
    if (i < 0) {
      ConsolePrint("Could not find Symbol %s\n", p);
      return 1;
    }
    L.symbols[i].compressed = 1;
  }

  DebugPrint(2, "Intermixing Symbols\n");
  uint32_t at = 0;
  for (int i = 0; i < L.symbolCount; ++i) {
    Symbol& s = L.symbols[i];
    s.position = at;
    PutWord(tree.get() + at, s.compressed);
    PutWord(tree.get() + at + 4, (uint32_t)i);
    at += 8;
    size_t nameLength = strlen(s.name) + 1;
    memcpy(tree.get() + at, s.name, nameLength);
    at += (uint32_t)nameLength;
    memcpy(tree.get() + at, s.elements, s.length);
    at += s.length;
  }

  DebugPrint(2, "Resolving References\n");
  for (int i = 0; i < L.symbolCount; ++i) {
    uint8_t* p = tree.get() + L.symbols[i].position + 8;
    p += strlen(reinterpret_cast<char*>(p)) + 1;
    for (;;) {
      uint32_t code = GrammarWord(p);
      uint32_t step = ElementSize(p);
      if (step == 0) {
        ConsolePrint("Internal Error\n");
        return 1;
      }
      if (code >= kElemRule && code <= kElemGroup) {
        const char* target = L.references[GrammarWord(p + 4)];
        int t = strcmp(target, "anycharacter") == 0 ? -1 : L.FindSymbol(target);
        PutWord(p + 4, t < 0 ? 0 : L.symbols[t].position + 1);
      }
      if (code == kElemEnd) break;
      p += step;
    }
  }

  DebugPrint(2, "Creating Symbol List\n");
  char* names = static_cast<char*>(mallocloga(namesSize, "ProcessGrammar-SymbolNames"));
  uint32_t* offsets =
      static_cast<uint32_t*>(mallocloga(sizeof(uint32_t) * (size_t)L.symbolCount, "ProcessGrammar-SymbolPointer"));
  uint32_t o = 0;
  for (int i = 0; i < L.symbolCount; ++i) {
    offsets[i] = o;
    size_t nameLength = strlen(L.symbols[i].name) + 1;
    memcpy(names + o, L.symbols[i].name, nameLength);
    o += (uint32_t)nameLength;
  }
  names[o] = 0;

  DebugPrint(2, "Freeing Temporary Symbols and References\n");
  // The names of an earlier load (or of a loaded dump) give way to these.
  if (gProcess.symbolNames) freeloga(gProcess.symbolNames);
  gProcess.symbolNames = names;
  gProcess.symbolNamesSize = namesSize;
  gGrammar.names = names;
  gGrammar.namesSize = namesSize;
  gGrammar.nameOffsets = offsets;
  gGrammar.tree = tree.get();
  tree.p = nullptr;
  gGrammar.treeSize = size;
  gGrammar.start = L.symbols[startIndex].position + 1;
  gGrammar.symbolCount = L.symbolCount;
  gGrammar.subSymbolCount = subSymbols;
  gGrammar.referenceCount = L.referenceCount;
  return 0;
}

void FreeSettings() {
  if (gGrammar.separators) freeloga(gGrammar.separators);
  if (gGrammar.comments) freeloga(gGrammar.comments);
  gGrammar.separators = nullptr;
  gGrammar.comments = nullptr;
  gGrammar.separatorCount = 0;
}

int CreateGrammar() {
  std::string file = Config("GrammarFile");
  char* buffer = nullptr;
  uint32_t size = file.empty() ? 0 : ReadFileToBuffer(file.c_str(), &buffer);
  if (size == 0) {
    if (buffer) freeloga(buffer);
    ConsolePrint("Error loading Grammar File\n");
    return 1;
  }
  TrackedPtr<char> guard(buffer);
  return ProcessGrammar(buffer, size);
}

}  // namespace

void SetGrammarConfigPath(const char* path) { gConfigOverride = path ? path : ""; }

uint32_t GrammarWord(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

uint32_t ElementSize(const uint8_t* p) {
  switch (GrammarWord(p)) {
    case kElemEnd:
    case kElemAlternative:
    case kElemException:
    case kElemSequence:
      return 4;
    case kElemRule:
    case kElemOptional:
    case kElemRepeat:
    case kElemGroup:
      return 8;
    case kElemLiteral:
      return 8 + GrammarWord(p + 4);
    default:
      return 0;
  }
}

uint32_t ReadFileToBuffer(const char* name, char** buffer) {
  *buffer = nullptr;
  DebugPrint(2, "Opening file\n");
  FILE* f = fopen(name, "rb");
  if (!f || !IsRegularFile(name)) {
    if (f) fclose(f);
    ConsolePrint("Could not open file\n");
    return 0;
  }
  DebugPrint(2, "Getting File Size\n");
  int64_t size = FileSize(f);
  if (size <= 0 || size > 0x7FFFFFFF) {
    fclose(f);
    if (size != 0) ConsolePrint("Error reading File\n");
    return 0;
  }
  if (gProcess.scriptTrace || gOutput.console >= 2) DebugPrint(2, "Allocating Memmory to read File\n");
  char* block = static_cast<char*>(mallocloga((size_t)size, "ReadFileToBuffer-Buffer"));
  DebugPrint(2, "Reading File\n");
  size_t got = fread(block, 1, (size_t)size, f);
  DebugPrint(2, "Closing File\n");
  fclose(f);
  if (got != (size_t)size) {
    freeloga(block);
    ConsolePrint("Error reading File\n");
    return 0;
  }
  *buffer = block;
  return (uint32_t)size;
}

int InitGrammar() {
  DebugPrint(2, "Initializing Grammar\n");
  if (CreateGrammar() != 0) {
    ConsolePrint("Error\n");
    return 1;
  }
  DebugPrint(2, "Finished\n");
  return 0;
}

int ReadGrammarConfig() {
  if (gGrammar.loaded) return 0;
  DebugPrint(2, "Reading Config\n");
  std::string path = ConfigPath();
  if (!IsRegularFile(path.c_str())) {
    ConsolePrint("Error Reading Config File\n");
    WaitForKey(kContinueNote);
    return 1;
  }
  gGrammar.caseSensitive = IniReadInt(path.c_str(), "Config", "CaseSensitive", 1) != 0;
  std::string seps = Config("SeperatorBytes");
  TrackedPtr<char> pieces(SplitList(seps, "ReadConfig-Seperators"));
  int count = 0;
  for (const char* p = pieces.get(); *p; p += strlen(p) + 1) ++count;
  FreeSettings();
  gGrammar.separators = static_cast<uint8_t*>(mallocloga((size_t)(count ? count : 1), "ReadConfig-SeperatorBytes"));
  int i = 0;
  for (const char* p = pieces.get(); *p; p += strlen(p) + 1) gGrammar.separators[i++] = (uint8_t)atoi(p);
  gGrammar.separatorCount = count;
  gGrammar.comments = SplitList(Config("Comment"), "ReadConfig-Comments");

  if (InitGrammar() != 0) {
    FreeSettings();
    ConsolePrint("Error Initializing Grammar\n");
    WaitForKey(kContinueNote);
    return 1;
  }
  gGrammar.loaded = true;
  DebugPrint(2, "\n\n");
  return 0;
}

void UnloadGrammar() {
  if (!gGrammar.loaded) return;
  ConsolePrint("Unloading Grammar\n");
  ConsolePrint("Freeing Grammar Tree\n");
  ReleaseMatcher();
  freeloga(gGrammar.tree);
  if (gGrammar.nameOffsets) freeloga(gGrammar.nameOffsets);
  FreeSettings();
  // The name block stays: compiled scripts refer to it.
  char* names = gGrammar.names;
  uint32_t namesSize = gGrammar.namesSize;
  gGrammar = Grammar{};
  gGrammar.names = names;
  gGrammar.namesSize = namesSize;
}

const char* SymbolNameAt(uint32_t offset) {
  const char* names = static_cast<const char*>(gProcess.symbolNames);
  return names && offset < gProcess.symbolNamesSize ? names + offset : "";
}

uint32_t FindSymbolName(const char* name) {
  const char* names = static_cast<const char*>(gProcess.symbolNames);
  uint32_t size = gProcess.symbolNamesSize;
  for (uint32_t at = 0; names && at < size && names[at];) {
    const void* end = memchr(names + at, 0, size - at);
    if (!end) break;
    if (strcmp(names + at, name) == 0) return at;
    at = (uint32_t)(static_cast<const char*>(end) - names) + 1;
  }
  return UINT32_MAX;
}
