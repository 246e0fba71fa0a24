// INI files with the semantics of the classic profile functions: sections and keys
// compared without regard to case, the first match wins, blanks around "=" and at
// the value's ends trimmed, one pair of surrounding double quotes removed, ";"
// comment lines skipped.
#pragma once
#include <string>
#include <vector>

// Value of key in section, or the default when the file, section or key is missing.
std::string IniReadString(const char* file, const char* section, const char* key, const char* fallback = "");
// Integer value (leading decimal digits, optional sign); the default when missing.
int IniReadInt(const char* file, const char* section, const char* key, int fallback);
// Section names in file order.
std::vector<std::string> IniSectionNames(const char* file);
