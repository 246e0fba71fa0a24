// The grammar of the rule scripts: loaded once from Build/bnf.cfg and the grammar
// file it names into one grammar tree and the block of symbol names.
#pragma once
#include <cstddef>
#include <cstdint>

// Element codes of a grammar body.
enum GrammarCode : uint32_t {
  kElemEnd = 0,
  kElemRule = 1,
  kElemOptional = 2,
  kElemRepeat = 3,
  kElemGroup = 4,
  kElemLiteral = 5,
  kElemAlternative = 6,
  kElemException = 7,
  kElemSequence = 8,
};

struct Grammar {
  bool loaded = false;
  // Matcher settings.
  bool caseSensitive = true;
  uint8_t* separators = nullptr;
  int separatorCount = 0;
  char* comments = nullptr;  // start, end, start, end, ... each zero-terminated, then ""
  // Symbols one after another: compressed flag, index, name, element list. A
  // reference operand is the referenced symbol's offset in the tree plus one, or 0
  // for anycharacter (so the first symbol, at offset 0, can be referenced too).
  uint8_t* tree = nullptr;
  uint32_t treeSize = 0;
  uint32_t start = 0;  // the start symbol, encoded like a reference operand
  int symbolCount = 0;
  int subSymbolCount = 0;
  int referenceCount = 0;
  // Names in symbol order, each zero-terminated, then one more zero; scripts name
  // symbols by byte offset into it.
  char* names = nullptr;
  uint32_t namesSize = 0;
  uint32_t* nameOffsets = nullptr;  // per symbol
};

extern Grammar gGrammar;

// Tests point the loader at another configuration; null restores Build/bnf.cfg
// beside the executable.
void SetGrammarConfigPath(const char* path);

// Reads the matcher settings and loads the grammar unless it is loaded; 0 on success.
int ReadGrammarConfig();
// Loads the grammar file named by the configuration; 0 on success.
int InitGrammar();
void UnloadGrammar();

// Reads a whole file into a tracked block; returns its size, 0 on failure.
uint32_t ReadFileToBuffer(const char* name, char** buffer);

// Name of the symbol whose name starts at this offset of the name block.
const char* SymbolNameAt(uint32_t offset);
// Offset of a symbol name in the name block, or UINT32_MAX when there is none.
uint32_t FindSymbolName(const char* name);

// Helpers for walking element lists.
uint32_t GrammarWord(const uint8_t* p);
// Size in bytes of the element at p; 0 for an unknown code.
uint32_t ElementSize(const uint8_t* p);
