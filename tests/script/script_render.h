// Readable form of compiled script bytes, so expected byte forms stay short and
// reviewable: a node is name(...), a node holding just a text is name"text", one
// holding just a number is name[n]; loose texts are "..." and numbers [n].
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

#include "script/grammar.h"

namespace script_render {

inline std::string Quoted(const char* p, size_t n) {
  std::string out = "\"";
  for (size_t i = 0; i < n; ++i) {
    char c = p[i];
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '"' || c == '\\')
      (out += '\\') += c;
    else
      out += c;
  }
  return out + '"';
}

// Renders items from `pos` through the end byte of the enclosing node, or to the end
// of the bytes at the top level. Returns false when the bytes are cut short or a
// node end is missing or surplus.
inline bool Items(const std::string& s, size_t& pos, bool top, std::string& out, int& count, bool& plain) {
  count = 0;
  plain = true;  // every item so far is a text or a number
  while (pos < s.size()) {
    uint8_t b = (uint8_t)s[pos];
    if (b == 0) {
      ++pos;
      return !top || pos == s.size();
    }
    ++count;
    if (b == 1 || b == 2) {
      if (pos + 5 > s.size()) return false;
      uint32_t v;
      memcpy(&v, s.data() + pos + 1, 4);
      pos += 5;
      if (b == 2) {
        out += "[" + std::to_string((int32_t)v) + "]";
        continue;
      }
      plain = false;
      std::string inner;
      int innerCount;
      bool innerPlain;
      if (!Items(s, pos, false, inner, innerCount, innerPlain)) return false;
      out += SymbolNameAt(v);
      out += innerCount == 1 && innerPlain ? inner : "(" + inner + ")";
      continue;
    }
    size_t end = pos;
    while (end < s.size() && (uint8_t)s[end] > 2) ++end;
    out += Quoted(s.data() + pos, end - pos);
    pos = end;
  }
  return top;
}

inline std::string Render(const std::string& compiled) {
  std::string out;
  size_t pos = 0;
  int count;
  bool plain;
  if (!Items(compiled, pos, true, out, count, plain)) out += "<malformed>";
  return out;
}

}  // namespace script_render
