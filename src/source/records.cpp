#include "source/records.h"

#include <cstring>

Source gSource;
uint32_t gSourceGeneration = 0;

namespace {
char gEmptyString[1] = "";
}

String::String() : text(gEmptyString) {}

String::~String() { Clear(); }

void String::Clear() {
  if (owned) freeloga(text);
  text = gEmptyString;
  owned = 0;
  length = 0;
}

void String::Assign(const char* bytes, size_t n) {
  Clear();
  if (n == 0) return;
  text = static_cast<char*>(mallocloga(n + 1, "String"));
  memcpy(text, bytes, n);
  text[n] = 0;
  owned = 1;
  length = (uint32_t)n;
}

void String::Assign(const char* s) { Assign(s, s ? strlen(s) : 0); }

void String::Append(const char* bytes, size_t n) {
  if (n == 0) return;
  if (!owned) {
    Assign(bytes, n);
    return;
  }
  text = static_cast<char*>(reallocloga(text, length + n + 1));
  memcpy(text + length, bytes, n);
  length += (uint32_t)n;
  text[length] = 0;
}

bool String::operator==(const char* s) const { return strlen(s) == length && memcmp(text, s, length) == 0; }
