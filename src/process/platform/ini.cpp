// The INI reading behind Build/bnf.cfg and Build/Profiles.txt, one implementation so a
// setting is found the same way wherever it is read.
#include "platform/ini.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>

namespace {

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
  return s.substr(a, b - a);
}

// Calls visit(section, key, value) for every key line; key empty for a section line.
// Stops when visit returns false.
template <class Visit>
void WalkIni(const char* file, Visit visit) {
  FILE* f = fopen(file, "rb");
  if (!f) return;
  // A byte-order mark is no part of the first line.
  if (fgetc(f) != 0xEF || fgetc(f) != 0xBB || fgetc(f) != 0xBF) rewind(f);
  std::string line, section;
  int c;
  bool more = true;
  while (more) {
    line.clear();
    while ((c = fgetc(f)) != EOF && c != '\n') line += (char)c;
    if (c == EOF && line.empty()) break;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';') continue;
    if (t[0] == '[') {
      size_t close = t.find(']');
      section = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      more = visit(section, std::string(), std::string());
      continue;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos) continue;
    std::string key = Trim(t.substr(0, eq));
    std::string value = Trim(t.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    more = visit(section, key, value);
  }
  fclose(f);
}

}  // namespace

std::string IniReadString(const char* file, const char* section, const char* key, const char* fallback) {
  std::string result = fallback ? fallback : "";
  WalkIni(file, [&](const std::string& s, const std::string& k, const std::string& v) {
    if (k.empty() || strcasecmp(s.c_str(), section) != 0 || strcasecmp(k.c_str(), key) != 0) return true;
    result = v;
    return false;
  });
  return result;
}

int IniReadInt(const char* file, const char* section, const char* key, int fallback) {
  bool found = false;
  std::string v = IniReadString(file, section, key, "");
  WalkIni(file, [&](const std::string& s, const std::string& k, const std::string&) {
    if (!k.empty() && strcasecmp(s.c_str(), section) == 0 && strcasecmp(k.c_str(), key) == 0) {
      found = true;
      return false;
    }
    return true;
  });
  if (!found) return fallback;
  return (int)strtol(v.c_str(), nullptr, 10);
}

std::vector<std::string> IniSectionNames(const char* file) {
  std::vector<std::string> names;
  WalkIni(file, [&](const std::string& s, const std::string& k, const std::string&) {
    if (k.empty()) names.push_back(s);
    return true;
  });
  return names;
}
