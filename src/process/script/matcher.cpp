// Parsing script text against the loaded grammar into the parse tree the compiler
// reads; failed rules are remembered per position so backtracking stays cheap.
#include "script/matcher.h"

#include <cstdlib>
#include <cstring>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/keys.h"
#include "script/grammar.h"

MatchState gMatch;

namespace {

// Rules that failed at a position fail there again: remembering that keeps nested
// alternatives (a group tried as an expression, then as a condition) from trying
// the same inner text over and over.
struct FailEntry {
  uint64_t key;
  uint32_t generation;
};
constexpr uint32_t kFailSlots = 1u << 15;
FailEntry* gFailed = nullptr;
uint32_t gGeneration = 0;

uint64_t FailKey(size_t position, uint32_t rule, bool inherited) {
  return (uint64_t)position << 33 | (uint64_t)rule << 1 | (inherited ? 1u : 0u);
}

FailEntry& FailSlot(uint64_t key) {
  uint64_t h = key;
  h ^= h >> 31;
  h *= 0x7FB5D329728EA185ull;
  h ^= h >> 27;
  h *= 0x81DADEF4BC2DD44Dull;
  h ^= h >> 33;
  return gFailed[h & (kFailSlots - 1)];
}

inline uint8_t Fold(uint8_t c) {
  if (!gGrammar.caseSensitive && c >= 'A' && c <= 'Z') return (uint8_t)(c + 32);
  return c;
}

void CutTree(size_t length) {
  gMatch.treeLength = length;
  if (gMatch.tree) gMatch.tree[length] = 0;
}

// Skips separator bytes and comments until neither is left.
size_t Skip(size_t pos) {
  const uint8_t* t = gMatch.text;
  size_t n = gMatch.length;
  for (;;) {
    size_t before = pos;
    while (pos < n && memchr(gGrammar.separators, t[pos], (size_t)gGrammar.separatorCount)) ++pos;
    for (const char* c = gGrammar.comments; c && *c;) {
      const char* startMarker = c;
      const char* endMarker = c + strlen(c) + 1;
      if (!*endMarker) break;  // a start marker without end marker is ignored
      size_t sl = strlen(startMarker), el = strlen(endMarker);
      if (pos + sl <= n && memcmp(t + pos, startMarker, sl) == 0) {
        // Advance until the characters just passed equal the end marker; an
        // unterminated comment runs to the end of the text.
        size_t p = pos;
        for (;;) {
          if (p >= n) break;
          ++p;
          if (p >= el && memcmp(t + p - el, endMarker, el) == 0 && p - el >= pos) break;
        }
        pos = p;
      }
      c = endMarker + el + 1;
    }
    if (pos == before) return pos;
  }
}

void FatalInternal() {
  ConsolePrint("Internal Error\n");
  WaitForKey(kEndNote);
  fflush(nullptr);
  RestoreTerminal();
  std::_Exit(1);
}

// Matches elements from `elements` to the end of their list. In exception mode no
// node is written and the rule's own flag does not count.
size_t Match(size_t position, const uint8_t* elements, bool compressed, bool inherited, uint32_t nameOffset,
             bool exceptionMode) {
  if (gMatch.aborted) return kNoMatch;
  if (++gMatch.steps > kMaxRuleSteps || gMatch.depth >= kMaxRuleDepth) {
    gMatch.aborted = true;
    return kNoMatch;
  }
  ++gMatch.depth;
  if (position > gMatch.furthest) gMatch.furthest = position;
  bool effective = compressed || inherited;
  size_t entry = position, entryTree = gMatch.treeLength, sequenceStart = position;
  size_t pos = position;
  if (!inherited && !exceptionMode) {
    uint8_t head[5] = {1};
    memcpy(head + 1, &nameOffset, 4);
    AddTree(head, 5);
  }

  const uint8_t* p = elements;
  bool previousFailed = false;
  for (;;) {
    uint32_t code = GrammarWord(p);
    if (code == kElemEnd) break;
    if (!effective) pos = Skip(pos);
    uint32_t step = ElementSize(p);
    if (step == 0) FatalInternal();
    bool ok = true;
    const uint8_t* next = p + step;
    switch (code) {
      case kElemRule:
      case kElemGroup:
      case kElemOptional: {
        uint32_t target = GrammarWord(p + 4);
        if (code == kElemRule && target == 0) {
          // anycharacter: structure bytes never enter the tree as text.
          if (pos < gMatch.length) {
            uint8_t c = gMatch.text[pos++];
            if (c == '_' || c < 10) c = ' ';
            AddTree(&c, 1);
          } else {
            ok = false;
          }
          break;
        }
        size_t r = DoRule(pos, target, effective);
        if (r != kNoMatch)
          pos = r;
        else if (code != kElemOptional)
          ok = false;
        break;
      }
      case kElemRepeat: {
        uint32_t target = GrammarWord(p + 4);
        for (;;) {
          size_t r = DoRule(pos, target, effective);
          if (r == kNoMatch || r == pos) break;
          pos = r;
        }
        break;
      }
      case kElemLiteral: {
        uint32_t n = GrammarWord(p + 4);
        const uint8_t* lit = p + 8;
        if (pos + n > gMatch.length) {
          ok = false;
          break;
        }
        for (uint32_t i = 0; i < n && ok; ++i) ok = Fold(gMatch.text[pos + i]) == Fold(lit[i]);
        // (An empty literal adds nothing: a count of 0 would mean the bytes' own length.)
        if (ok && n) {
          pos += n;
          AddTree(lit, n > 64 ? 64 : n);
        }
        break;
      }
      case kElemAlternative:
        // After a success the alternative is not needed.
        if (!previousFailed && GrammarWord(next) != kElemEnd) next += ElementSize(next);
        previousFailed = false;
        break;
      case kElemSequence:
        sequenceStart = pos;
        break;
      case kElemException: {
        size_t trialTree = gMatch.treeLength;
        size_t r = Match(sequenceStart, next, false, effective, 0, true);
        CutTree(trialTree);
        if (r == pos) {
          ok = false;
          pos = sequenceStart;
        }
        if (GrammarWord(next) != kElemEnd) next += ElementSize(next);
        break;
      }
      default:
        FatalInternal();
    }
    p = next;
    if (gMatch.aborted) ok = false;
    if (!ok) {
      if (GrammarWord(p) == kElemAlternative && !gMatch.aborted) {
        previousFailed = true;
        continue;
      }
      CutTree(entryTree);
      --gMatch.depth;
      return kNoMatch;
    }
  }
  --gMatch.depth;
  if (pos == entry) {
    CutTree(entryTree);
    return entry;
  }
  if (!inherited && !exceptionMode) {
    uint8_t end = 0;
    AddTree(&end, 1);
  }
  return pos;
}

}  // namespace

void AddTree(const void* bytes, size_t count) {
  if (count == 0) count = strlen(static_cast<const char*>(bytes));
  if (gMatch.treeLength + count + 1 >= gMatch.treeCapacity || !gMatch.tree) {
    size_t capacity = gMatch.treeCapacity;
    while (gMatch.treeLength + count + 1 >= capacity) capacity += 1024;
    uint8_t* grown = static_cast<uint8_t*>(mallocloga(capacity, "AddTree-pTree"));
    if (gMatch.tree) {
      memcpy(grown, gMatch.tree, gMatch.treeLength + 1);
      freeloga(gMatch.tree);
    } else {
      grown[0] = 0;
    }
    gMatch.tree = grown;
    gMatch.treeCapacity = capacity;
    if (capacity > gMatch.largest) gMatch.largest = capacity;
  }
  memcpy(gMatch.tree + gMatch.treeLength, bytes, count);
  gMatch.treeLength += count;
  gMatch.tree[gMatch.treeLength] = 0;
}

size_t DoRule(size_t position, uint32_t rule, bool inheritedCompressed) {
  uint64_t key = FailKey(position, rule, inheritedCompressed);
  if (gFailed) {
    FailEntry& e = FailSlot(key);
    if (e.generation == gGeneration && e.key == key) return kNoMatch;
  }
  const uint8_t* symbol = gGrammar.tree + rule - 1;
  uint32_t compressed = GrammarWord(symbol);
  const char* name = reinterpret_cast<const char*>(symbol + 8);
  uint32_t index = GrammarWord(symbol + 4);
  const uint8_t* elements = symbol + 8 + strlen(name) + 1;
  size_t r = Match(position, elements, compressed != 0, inheritedCompressed, gGrammar.nameOffsets[index], false);
  if (r == kNoMatch && gFailed && !gMatch.aborted) FailSlot(key) = FailEntry{key, gGeneration};
  return r;
}

bool MatchWholeText(const char* text, size_t length) {
  ResetParseTree();
  gMatch.text = reinterpret_cast<const uint8_t*>(text);
  gMatch.length = length;
  gMatch.furthest = 0;
  gMatch.depth = 0;
  gMatch.steps = 0;
  gMatch.aborted = false;
  if (!gFailed) {
    gFailed = static_cast<FailEntry*>(mallocloga(sizeof(FailEntry) * kFailSlots, "MatchWholeText-FailCache"));
    memset(gFailed, 0, sizeof(FailEntry) * kFailSlots);
    gGeneration = 0;
  }
  ++gGeneration;
  size_t end = DoRule(0, gGrammar.start, false);
  return !gMatch.aborted && end == length;
}

uint8_t* TakeParseTree(size_t* length) {
  if (!gMatch.tree) AddTree("", 0);  // an empty tree is still one block
  uint8_t* tree = gMatch.tree;
  *length = gMatch.treeLength;
  gMatch.tree = nullptr;
  gMatch.treeLength = gMatch.treeCapacity = 0;
  return tree;
}

void ResetParseTree() {
  if (gMatch.tree) freeloga(gMatch.tree);
  gMatch.tree = nullptr;
  gMatch.treeLength = gMatch.treeCapacity = 0;
}

void ReleaseMatcher() {
  ResetParseTree();
  if (gFailed) freeloga(gFailed);
  gFailed = nullptr;
}

void MismatchExcerpt(char excerpt[96]) {
  size_t from = gMatch.furthest < gMatch.length ? gMatch.furthest : gMatch.length;
  size_t n = gMatch.length - from;
  if (n > 95) n = 95;
  memcpy(excerpt, gMatch.text + from, n);
  excerpt[n] = 0;
}
