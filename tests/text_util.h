#pragma once
#include <string>

// How often `needle` occurs in `haystack`, overlapping occurrences not counted.
inline int CountOf(const std::string& haystack, const std::string& needle) {
  int n = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + needle.size()))
    ++n;
  return n;
}
