// Matches script text against the loaded grammar and writes the parse tree: node
// start (byte 1 and the u32 name offset), matched text, node end (byte 0).
#pragma once
#include <cstddef>
#include <cstdint>

struct MatchState {
  const uint8_t* text = nullptr;
  size_t length = 0;
  size_t furthest = 0;
  uint8_t* tree = nullptr;
  size_t treeLength = 0;
  size_t treeCapacity = 0;
  size_t largest = 0;  // largest tree capacity or compiled script seen
  // Guards against scripts that would recurse too deep or take too long.
  int depth = 0;
  uint64_t steps = 0;
  bool aborted = false;
};

extern MatchState gMatch;

constexpr size_t kNoMatch = SIZE_MAX;
// Deepest rule nesting and most rule entries one script may cost.
constexpr int kMaxRuleDepth = 2000;
constexpr uint64_t kMaxRuleSteps = 2000000;

// Matches the start symbol against the whole text; true when all of it matched. The
// parse tree is then in gMatch.
bool MatchWholeText(const char* text, size_t length);
// Hands the parse tree to the caller (who frees it) and leaves an empty tree behind.
uint8_t* TakeParseTree(size_t* length);
// Forgets the current tree.
void ResetParseTree();
// Frees what the matcher keeps between scripts.
void ReleaseMatcher();
void AddTree(const void* bytes, size_t count);
// DoRule at a position; kNoMatch when the rule fails.
size_t DoRule(size_t position, uint32_t rule, bool inheritedCompressed);
// Up to 95 characters from the furthest position any rule was entered.
void MismatchExcerpt(char excerpt[96]);
