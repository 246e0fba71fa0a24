#pragma once
#include <string>

// How often `needle` occurs in `haystack`, overlapping occurrences not counted.
inline int CountOf(const std::string& haystack, const std::string& needle) {
  int n = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + needle.size())) ++n;
  return n;
}

#include <sstream>
#include <vector>

// The creatures of an export, each from its STARTCHARACTER to the matching ENDCHARACTER;
// companions nested inside a creature stay part of their master's block.
inline std::vector<std::string> ExportedCreatures(const std::string& exported) {
  std::vector<std::string> blocks;
  std::istringstream lines(exported);
  std::string line, block;
  int depth = 0;
  while (std::getline(lines, line)) {
    if (line == "STARTCHARACTER") ++depth;
    if (depth > 0) block += line + "\n";
    if (line == "ENDCHARACTER" && depth > 0 && --depth == 0) {
      blocks.push_back(block);
      block.clear();
    }
  }
  return blocks;
}
