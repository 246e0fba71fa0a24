// The one rule database of the process, the string type its records use, and the layout
// stamp that makes a dump written by a build with other record layouts be refused.
#include "source/records.h"

#include <cstddef>
#include <cstring>

Source gSource;
uint32_t gSourceGeneration = 0;

namespace {
char gEmptyString[1] = "";
char* gEmptyText = gEmptyString;

// FNV-1a over 32-bit words.
struct Stamp {
  uint32_t value = 2166136261u;
  void Add(uint64_t word) {
    for (int i = 0; i < 8; ++i) {
      value ^= (uint32_t)(word >> (8 * i)) & 0xFF;
      value *= 16777619u;
    }
  }
};

}  // namespace

void UseEmptyText(char* text) { gEmptyText = text ? text : gEmptyString; }

uint32_t SourceLayoutStamp() {
  Stamp s;
  s.Add(kSourceFormat);
  s.Add(sizeof(void*));
  const size_t sizes[] = {sizeof(String),         sizeof(Owned),
                          sizeof(CharSource),     sizeof(RaceSource),
                          sizeof(FeatSource),     sizeof(SkillSource),
                          sizeof(SpellSource),    sizeof(PowerSource),
                          sizeof(EquipSource),    sizeof(EffectSource),
                          sizeof(SpecificSource), sizeof(NamedSource),
                          sizeof(SizeSource),     sizeof(MonsterTypeSource),
                          sizeof(AbilitySource),  sizeof(SpecialSource),
                          sizeof(BonusSource),    sizeof(TemplateSource),
                          sizeof(MonsterAttack),  sizeof(MonsterSource),
                          sizeof(ProfileSource),  sizeof(Source)};
  for (size_t size : sizes) s.Add(size);
  // A few fields whose place moves when a record gains or loses one.
  const size_t offsets[] = {offsetof(CharSource, noMetal),     offsetof(FeatSource, exclusive),
                            offsetof(SpellSource, convert),    offsetof(EquipSource, amount),
                            offsetof(EffectSource, ranged),    offsetof(MonsterSource, spellResistance),
                            offsetof(ProfileSource, minLevel), offsetof(TemplateSource, description),
                            offsetof(RaceSource, featScript),  offsetof(PowerSource, attribute)};
  for (size_t offset : offsets) s.Add(offset);
  return s.value;
}

String::String() : text(gEmptyText) {}

String::~String() { Clear(); }

void String::Clear() {
  if (owned) freeloga(text);
  text = gEmptyText;
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

bool String::operator==(const char* s) const {
  // Names are mostly looked up among many: most differ in their first byte already.
  if (length == 0) return *s == 0;
  if (text[0] != s[0]) return false;
  return strlen(s) == length && memcmp(text, s, length) == 0;
}
