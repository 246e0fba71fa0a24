// Building the rule database from Build/: every table read in dependency order, names
// resolved to indexes and scripts compiled; also freeing it.
#include "source/source_init.h"

#include <strings.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "random/repro.h"
#include "script/compile.h"
#include "source/reader.h"
#include "source/tables.h"

namespace RUNTIME_NS {

using schema::PathOf;
using schema::Table;

namespace {

// ---- codes ----

// Builds an owned integer code: word 0 counts the words.
struct CodeBuilder {
  int32_t* words;
  int count = 0;
  explicit CodeBuilder(size_t capacity, const char* tag)
      : words(static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (capacity + 2), tag))) {}
  void Add(int32_t w) { words[1 + count++] = w; }
  uint8_t* Finish(const char* tag) {
    words[0] = count;
    uint8_t* code = static_cast<uint8_t*>(mallocloga(sizeof(int32_t) * (size_t)(count + 1), tag));
    memcpy(code, words, sizeof(int32_t) * (size_t)(count + 1));
    freeloga(words);
    return code;
  }
};

int Opcode(const char* item) { return (unsigned char)item[0] | (unsigned char)item[1] << 8; }
constexpr int Op(char a, char b) { return (unsigned char)a | (unsigned char)b << 8; }

void ResolveRequirement(const String& text, Owned& out, int32_t* dependency) {
  CodeBuilder code(text.length * 4 + 4, "ResolveSourceReq-ByteCode");
  // A name the tables lack: "Not found", and the place names the row that uses it.
  auto named = [&](const auto* table, int count, const char* name) { return FindByNameOrFault(table, count, name); };
  ForItems(text, [&](const char* item) {
    if (strlen(item) < 2) {
      ConsolePrint("Unknown Feat Rule: %s\n", item);
      TableFault();
    }
    int op = Opcode(item);
    code.Add(op);
    const char* operand = strlen(item) >= 3 ? item + 3 : "";
    switch (op) {
      case Op('P', 'R'):
        code.Add(named(gSource.feats, gSource.featCount, operand));
        break;
      case Op('P', 'G'): {
        int feat = named(gSource.feats, gSource.featCount, operand);
        code.Add(feat);
        if (dependency && *dependency == -1) *dependency = feat;
        break;
      }
      case Op('N', 'C'):
        code.Add(named(gSource.classes, gSource.classCount, operand));
        break;
      case Op('S', 'P'):
        code.Add(named(gSource.spells, gSource.spellCount, operand));
        break;
      case Op('H', 'S'):
      case Op('K', 'R'):
      case Op('G', 'A'):
      case Op('E', 'A'):
      case Op('S', 'T'):
      case Op('G', 'E'):
      case Op('K', 'O'):
      case Op('I', 'N'):
      case Op('W', 'E'):
      case Op('C', 'H'):
      case Op('K', 'A'):
      case Op('L', 'V'):
      case Op('S', 'F'):
      case Op('S', 'W'):
      case Op('S', 'R'):
      case Op('P', 'F'):
      case Op('M', 'F'):
        code.Add(NumberIn(operand, "Req"));
        break;
      case Op('C', 'L'):
      case Op('R', 'A'): {
        std::string alternatives = operand;
        int parts = 1;
        for (char c : alternatives) parts += c == '|';
        code.Add(parts);
        size_t start = 0;
        for (int i = 0; i < parts; ++i) {
          size_t bar = alternatives.find('|', start);
          std::string part = alternatives.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
          start = bar + 1;
          char name[256] = "";
          int32_t level = 0;
          NameAndNumbers(part.c_str(), name, sizeof name, &level, op == Op('C', 'L') ? 1 : 0, "Req");
          if (op == Op('C', 'L')) {
            code.Add(named(gSource.classes, gSource.classCount, name));
            code.Add(level);
          } else {
            code.Add(named(gSource.races, gSource.raceCount, name));
          }
        }
        break;
      }
      case Op('S', 'N'):
      case Op('D', 'V'):
      case Op('S', 'S'):
        break;
      default:
        ConsolePrint("Unknown Feat Rule: %s\n", item);
        TableFault();
    }
  });
  out.Reset(code.Finish("ResolveSourceReq-ReqCode"));
}

void ResolveSkillRequirement(const String& text, Owned& out) {
  CodeBuilder code(text.length * 4 + 4, "ResolveSourceSkill-BytePos");
  ForItems(text, [&](const char* item) {
    char name[256] = "";
    int32_t number = 0;
    NameAndNumbers(item, name, sizeof name, &number, 1, "SkillReq");
    code.Add(FindByNameOrFault(gSource.skills, gSource.skillCount, name));
    code.Add(number);
  });
  out.Reset(code.Finish("ResolveSourceSkill-SkillCode"));
}

void ResolveSkillBonus(const String& text, Owned& out) {
  CodeBuilder code(text.length * 4 + 4, "ResolveSourceSkillbonus-BytePos");
  ForItems(text, [&](const char* item) {
    char name[256] = "";
    int32_t number = 0;
    NameAndNumbers(item, name, sizeof name, &number, 1, "SkillBoost");
    int32_t bonusType = -1;
    if (char* colon = strchr(name, ':')) {
      *colon = 0;
      bonusType = FindByNameOrFault(gSource.bonuses, gSource.bonusCount, colon + 1);
    }
    code.Add(FindByNameOrFault(gSource.skills, gSource.skillCount, name));
    code.Add(bonusType);
    code.Add(number);
  });
  out.Reset(code.Finish("ResolveSourceSkillbonus-SkillCode"));
}

void ResolveFeatList(const String& text, Owned& out) {
  CodeBuilder code(text.length * 4 + 4, "ResolveSourceFeats-BytePos");
  const char* prefixes[4] = {"MIN_METAMAGIC", "MIN_FIGHTER", "MIN_METAPSIONIC", "MIN_DIVINE"};
  ForItems(text, [&](const char* item) {
    for (int k = 0; k < 4; ++k)
      if (strncmp(item, prefixes[k], strlen(prefixes[k])) == 0) {
        code.Add(-(k + 1));
        const char* colon = strchr(item, ':');
        code.Add(colon ? NumberIn(colon + 1, "FeatReq") : 0);
        return;
      }
    code.Add(FindByNameOrFault(gSource.feats, gSource.featCount, item));
  });
  out.Reset(code.Finish("ResolveSourceFeats-FeatCode"));
}

template <class T>
void ResolveNames(const String& text, Owned& out, const T* table, int count, const char* work, const char* tag) {
  CodeBuilder code(text.length * 4 + 4, work);
  ForItems(text, [&](const char* item) { code.Add(FindByNameOrFault(table, count, item)); });
  out.Reset(code.Finish(tag));
}

bool StartsWithSemicolon(const String& s) { return s.length == 0 || s.c_str()[0] == ';'; }

// ---- profiles ----

char* gProfileBuffer = nullptr;

// Reads a key of a profile as a list: "," ends items, ":" separates words.
const char* ProfileValue(const std::string& section, const char* key) {
  WhereProfile(section.c_str(), key);
  std::string value = IniReadString("Build/Profiles.txt", section.c_str(), key, "");
  if (value.size() > 65533) value.resize(65533);
  if (value.find(' ') != std::string::npos) {
    ConsolePrint("Error in Profile Database\n");
    TableFault();
  }
  size_t n = value.size();
  memcpy(gProfileBuffer, value.data(), n);
  for (size_t i = 0; i < n; ++i) {
    if (gProfileBuffer[i] == ',')
      gProfileBuffer[i] = 0;
    else if (gProfileBuffer[i] == ':')
      gProfileBuffer[i] = ' ';
  }
  gProfileBuffer[n] = 0;
  gProfileBuffer[n + 1] = 0;
  return gProfileBuffer;
}

template <class Visit>
void ProfileItems(const char* list, Visit visit) {
  for (const char* p = list; *p; p += strlen(p) + 1) visit(p);
}

[[noreturn]] void ProfileTooLong(const char* profile, const char* key) {
  ConsolePrint("Profile %s has too many entries in %s\n", profile, key);
  TableFault();
}

int ProfileSourceInit() {
  {
    // The profile reader takes any bytes; names in another encoding would only fail later.
    FILE* f = fopen("Build/Profiles.txt", "rb");
    if (f) {
      std::string text;
      char chunk[65536];
      for (size_t got; (got = fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, got);
      fclose(f);
      CheckUtf8("Build/Profiles.txt", text.data(), text.size(), 1);
    }
  }
  std::vector<std::string> names = IniSectionNames("Build/Profiles.txt");
  DebugPrint(2, "Profiles: ");
  for (const std::string& n : names) DebugPrint(2, " %s ", n.c_str());
  DebugPrint(2, "\n");
  gProfileBuffer = static_cast<char*>(mallocloga(65536, "ProfileSourceInit-Buffer"));
  gSource.profileCount = (int32_t)names.size();
  gSource.profiles = NewRecords<ProfileSource>(gSource.profileCount, "ProfileSourceInit-Profiles");
  char name[256];
  for (int i = 0; i < gSource.profileCount; ++i) {
    ProfileSource& p = gSource.profiles[i];
    const std::string& section = names[i];
    snprintf(p.name, sizeof p.name, "%s", section.c_str());
    const char* s = p.name;
    ProfileItems(ProfileValue(section, "Classes"), [&](const char* item) {
      int32_t weight = 0;
      NameAndNumbers(item, name, sizeof name, &weight, 1, "Classes");
      if (p.classCount >= 32) ProfileTooLong(s, "Classes");
      p.classes[p.classCount][0] = FindByNameOrFault(gSource.classes, gSource.classCount, name);
      p.classes[p.classCount++][1] = weight;
    });
    const char* attack = ProfileValue(section, "AttackType");
    p.attackType[0] = attack[0] ? attack[0] - '0' : 0;
    p.attackType[1] = attack[0] && attack[1] ? attack[1] - '0' : 0;
    ProfileItems(ProfileValue(section, "Weapons"), [&](const char* item) {
      if (p.weaponCount >= 32) ProfileTooLong(s, "Weapons");
      p.weapons[p.weaponCount++] = FindByNameOrFault(gSource.equipment, gSource.equipmentCount, item);
    });
    ProfileItems(ProfileValue(section, "Feats"), [&](const char* item) {
      if (p.featCount >= 64) ProfileTooLong(s, "Feats");
      p.feats[p.featCount++] = FindByNameOrFault(gSource.feats, gSource.featCount, item);
    });
    ProfileItems(ProfileValue(section, "Spells"), [&](const char* item) {
      int32_t number = 0;
      NameAndNumbers(item, name, sizeof name, &number, 1, "Spells");
      if (p.spellCount >= 256) ProfileTooLong(s, "Spells");
      p.spells[p.spellCount][0] = FindByNameOrFault(gSource.spells, gSource.spellCount, name);
      p.spells[p.spellCount++][1] = number;
    });
    ProfileItems(ProfileValue(section, "Skills"), [&](const char* item) {
      int32_t ab[2] = {0, 0};
      NameAndNumbers(item, name, sizeof name, ab, 2, "Skills");
      int32_t a = ab[0], b = ab[1];
      if (p.skillCount >= 64) ProfileTooLong(s, "Skills");
      p.skills[p.skillCount][0] = FindByNameOrFault(gSource.skills, gSource.skillCount, name);
      p.skills[p.skillCount][1] = a;
      p.skills[p.skillCount++][2] = b;
    });
    ProfileItems(ProfileValue(section, "Effects"), [&](const char* item) {
      if (p.effectCount >= 256) ProfileTooLong(s, "Effects");
      p.effects[p.effectCount++] = FindByNameOrFault(gSource.effects, gSource.effectCount, item);
    });
    ProfileItems(ProfileValue(section, "Specials"), [&](const char* item) {
      if (p.specialCount >= 128) ProfileTooLong(s, "Specials");
      p.specials[p.specialCount++] = FindSpecial(item, -1);
    });
    name[0] = 0;
    NameAndNumbers(ProfileValue(section, "Armor"), name, sizeof name, &p.armorNumber, 1, "Armor");
    p.armor = FindByNameOrFault(gSource.equipment, gSource.equipmentCount, name);
    p.race = FindByNameOrFault(gSource.races, gSource.raceCount, ProfileValue(section, "Race"));
    const char* minLevel = ProfileValue(section, "MinLevel");
    p.minLevel = *minLevel ? NumberIn(minLevel, "MinLevel") : 0;
    name[0] = 0;
    NameAndNumbers(ProfileValue(section, "Shield"), name, sizeof name, p.shieldNumbers, 2, "Shield");
    p.shield = FindByNameOrFault(gSource.equipment, gSource.equipmentCount, name);
    p.school = FindByNameOrFault(gSource.schools, gSource.schoolCount, ProfileValue(section, "PreferedSchool"));
    int32_t* a = p.attributes;
    NameAndNumbers(ProfileValue(section, "Attributes"), nullptr, 0, a, kAttributes, "Attributes");
  }
  WhereClear();
  freeloga(gProfileBuffer);
  gProfileBuffer = nullptr;
  return 0;
}

// ---- monster texts ----

struct TextNode {
  std::string path;  // upper-case
  String text;
  int32_t spellResistance = 0;
};

void Upper(std::string& s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = (char)(c - 32);
}

void DoMonsterDesc(String& text, const std::string& path, int depth) {
  // An include chain deeper than 32 files is taken as a loop.
  FILE* f = depth > 32 ? nullptr : fopen(path.c_str(), "r");
  if (!f || !IsRegularFile(path.c_str()) || depth > 32) {
    if (f) fclose(f);
    ConsolePrint("Error opening File %s\n", path.c_str());
    TableFault();
  }
  char* line = static_cast<char*>(mallocloga(8192, "DoMonsterDesc-buffer"));
  TrackedPtr<char> guard(line);
  int number = 1;  // the line the next piece belongs to
  while (fgets(line, 8192, f)) {
    size_t got = strlen(line);
    bool whole = got && line[got - 1] == '\n';
    // A piece of a longer line may end inside a character: those last bytes go unchecked.
    size_t checked = got;
    while (!whole && checked > 0 && got - checked < 3 && ((unsigned char)line[checked - 1] & 0x80)) --checked;
    CheckUtf8(path.c_str(), line, checked, number);
    if (number == 1 && strncmp(line, "\xEF\xBB\xBF", 3) == 0) memmove(line, line + 3, got - 2);
    if (whole) ++number;
    for (char* p = line; *p; ++p)
      if (*p == '\r' || *p == '\n') *p = 0;
    if (strncmp(line, "include", 7) == 0) {
      char name[1024] = "";
      sscanf(line, "include %1023s", name);
      std::string included = MonsterTextPath(name);
      DoMonsterDesc(text, included.empty() ? std::string("Build/MonsterText/") + name : included, depth + 1);
      continue;
    }
    size_t n = strlen(line);
    text.Append(line, n);
    text.Append(n ? " " : "\n", 1);
  }
  text.Append("\n", 1);
  fclose(f);
}

// Takes "Spell Resistance <n>" out of the text.
int32_t TakeSpellResistance(String& text) {
  const char* phrase = "Spell Resistance ";
  char* at = strstr(text.text, phrase);
  if (!at) return 0;
  char* value = at + strlen(phrase);
  if (*value < '0' || *value > '9') return 0;
  int32_t sr = Number(value);
  char* lineEnd = strchr(value, '\n');
  std::string rest = lineEnd ? std::string(lineEnd + 1) : std::string();
  std::string before(text.text, (size_t)(at - text.text));
  text.Assign((before + rest).c_str());
  return sr > 0 ? sr : 0;
}

void InitMonsterDesc() {
  std::vector<std::string> entries = ListDirectory("Build/MonsterText");
  int n = 0;
  for (const std::string& e : entries) n += e[0] != '.';
  TextNode* nodes = NewRecords<TextNode>(n, "InitMonsterDesc-CurDesc");
  int i = 0;
  for (const std::string& e : entries) {
    if (e[0] == '.') continue;
    std::string path = "Build/MonsterText/" + e;
    DoMonsterDesc(nodes[i].text, path, 0);
    nodes[i].path = path;
    Upper(nodes[i].path);
    nodes[i].spellResistance = TakeSpellResistance(nodes[i].text);
    ++i;
  }
  auto find = [&](const String& name) -> TextNode* {
    std::string path = std::string("Build/MonsterText/") + name.c_str();
    Upper(path);
    for (int k = 0; k < n; ++k)
      if (nodes[k].path == path) return &nodes[k];
    ConsolePrint("Could not Find Text for Monster\n");
    TableFault();
  };
  for (int m = 0; m < gSource.monsterCount; ++m) {
    WhereRow(PathOf(Table::kMonsters), m);
    TextNode* node = find(gSource.monsters[m].name);
    gSource.monsters[m].description.Assign(node->text.c_str(), node->text.length);
    gSource.monsters[m].spellResistance = node->spellResistance;
  }
  for (int t = 0; t < gSource.templateCount; ++t) {
    WhereRow(PathOf(Table::kTemplates), t);
    TextNode* node = find(gSource.templates[t].name);
    gSource.templates[t].description.Assign(node->text.c_str(), node->text.length);
  }
  DeleteRecords(nodes);
  WhereClear();
}

// ---- the second compilation pass over every script ----

void Optimize2(Owned& script) {
  if (script.data)
    OptimizeScript2(&script.data,
                    [](NameTable table, const char* name) { return ResolveScriptName((int)table, name); });
}

// The second pass over the scripts, table by table (the abilities' scripts keep their first form).
void OptimizeAllScripts() {
  for (Table t : {Table::kClasses, Table::kEffects, Table::kEquipment, Table::kFeats, Table::kMonsters, Table::kRaces,
                  Table::kSpecials, Table::kSpecifics, Table::kTemplates})
    ForEachScript(t, Optimize2);
  WhereClear();
}

}  // namespace

void ResolveRequirementList(const String& text, Owned& out, int32_t* dependency) {
  ResolveRequirement(text, out, dependency);
}
void ResolveFeatListText(const String& text, Owned& out) { ResolveFeatList(text, out); }
int32_t TakeSpellResistanceFrom(String& text) { return TakeSpellResistance(text); }

std::string MonsterTextPath(const char* name) {
  std::string path = std::string("Build/MonsterText/") + name;
  if (IsRegularFile(path.c_str())) return path;
  for (const std::string& e : ListDirectory("Build/MonsterText"))
    if (e[0] != '.' && strcasecmp(e.c_str(), name) == 0) return "Build/MonsterText/" + e;
  return std::string();
}

int32_t ResolveScriptName(int table, const char* name) {
  switch ((NameTable)table) {
    case kNamesSchool:
      return FindByNameOrFault(gSource.schools, gSource.schoolCount, name);
    case kNamesBonusType:
      return FindByNameOrFault(gSource.bonuses, gSource.bonusCount, name);
    case kNamesFeat:
      return FindByNameOrFault(gSource.feats, gSource.featCount, name);
    case kNamesSkill:
      return FindByNameOrFault(gSource.skills, gSource.skillCount, name);
    case kNamesRace:
      return FindByNameOrFault(gSource.races, gSource.raceCount, name);
    case kNamesClass:
      return FindByNameOrFault(gSource.classes, gSource.classCount, name);
  }
  return -1;
}

int ResolveSource() {
  // The equipment the generator buys by name must exist before any creature needs it.
  static const char* const kNamedEquipment[] = {"Kleidung",
                                                "Dolch",
                                                "Kurzbogen",
                                                "Magierrobe",
                                                "Elfenkettenhemd",
                                                "Armreif",
                                                "Tartsche",
                                                "KleinerMetallschild",
                                                "KleinerHolzschild",
                                                "GroßerMetallschild",
                                                "GroßerHolzschild",
                                                "Pfeile",
                                                "Amulett",
                                                "Ring",
                                                "Handschuhe",
                                                "Stiefel",
                                                "Umhang",
                                                "Gürtel",
                                                "Helm",
                                                "Weste"};
  WhereClear();
  for (const char* name : kNamedEquipment) FindByNameOrFault(gSource.equipment, gSource.equipmentCount, name);
  // The race a creature falls back to; without it the dump would fail at the first character.
  FindByNameOrFault(gSource.races, gSource.raceCount, "Mensch");
  for (int i = 0; i < gSource.featCount; ++i) {
    WhereRow(PathOf(Table::kFeats), i);
    FeatSource& f = gSource.feats[i];
    f.dependency = -1;
    ResolveRequirement(gTexts.feats[i].req, f.requirement, &f.dependency);
    ResolveSkillRequirement(gTexts.feats[i].skillReq, f.skillRequirement);
  }
  for (int i = 0; i < gSource.classCount; ++i) {
    WhereRow(PathOf(Table::kClasses), i);
    CharSource& c = gSource.classes[i];
    CharTexts& t = gTexts.classes[i];
    ResolveRequirement(t.req, c.requirement, nullptr);
    ResolveSkillRequirement(t.skillReq, c.skillRequirement);
    ResolveFeatList(t.featReq, c.featList);
    c.attachClass = StartsWithSemicolon(t.attachClass)
                        ? -1
                        : FindByNameOrFault(gSource.classes, gSource.classCount, t.attachClass.c_str());
    c.forceWeapon = StartsWithSemicolon(t.forceWeapon)
                        ? -1
                        : FindByNameOrFault(gSource.equipment, gSource.equipmentCount, t.forceWeapon.c_str());
  }
  for (int i = 0; i < gSource.effectCount; ++i) {
    WhereRow(PathOf(Table::kEffects), i);
    ResolveSkillBonus(gTexts.effects[i].skillBoost, gSource.effects[i].skillBonus);
  }
  for (int i = 0; i < gSource.specificCount; ++i) {
    WhereRow(PathOf(Table::kSpecifics), i);
    ResolveSkillBonus(gTexts.specifics[i].skillBoost, gSource.specifics[i].skillBonus);
  }
  for (int i = 0; i < gSource.skillCount; ++i) {
    WhereRow(PathOf(Table::kSkills), i);
    ResolveNames(gTexts.skills[i].synergy, gSource.skills[i].synergy, gSource.skills, gSource.skillCount,
                 "ResolveSourceSynergies-BytePos", "ResolveSourceSynergies-SkillCode");
  }
  // Paladin mounts (kind 6), fiendish servants (kind 7), animal companions (kind 9) and
  // familiars (kind 10) name the monster they are.
  for (int i = 0; i < gSource.specialCount; ++i) {
    WhereRow(PathOf(Table::kSpecials), i);
    const SpecialSource& x = gSource.specials[i];
    if ((x.type == 6 || x.type == 7 || x.type == 9 || x.type == 10) &&
        FindByName(gSource.monsters, gSource.monsterCount, x.name.c_str()) < 0) {
      ConsolePrint("Companion %s of the class extras names no monster\n", x.name.c_str());
      TableFault();
    }
  }
  for (int i = 0; i < gSource.raceCount; ++i) {
    WhereRow(PathOf(Table::kRaces), i);
    const String& sub = gTexts.races[i].subRace;
    gSource.races[i].parent =
        StartsWithSemicolon(sub) ? -1 : FindByNameOrFault(gSource.races, gSource.raceCount, sub.c_str());
  }
  for (int i = 0; i < gSource.monsterCount; ++i) {
    WhereRow(PathOf(Table::kMonsters), i);
    ResolveNames(gTexts.monsters[i].abilities, gSource.monsters[i].abilityCode, gSource.abilities, gSource.abilityCount,
                 "ResolveMonsterAbbility-ByteCode", "ResolveMonsterAbbility-AbbilityCode");
  }
  WhereClear();
  const char* proficiency[3][3] = {{"EinfacheWaffen", "KriegsWaffen", "ExotischeWaffen"},
                                   {"LeichteRüstung", "MittelschwereRüstung", "SchwereRüstung"},
                                   {"Schilde", nullptr, nullptr}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      gSource.proficiencyFeats[r][c] =
          proficiency[r][c] ? FindByNameOrFault(gSource.feats, gSource.featCount, proficiency[r][c]) : -1;
  return 0;
}

int SourceInit(bool warn) {
  if (gSource.initialised) return 0;
  BeginTableSession(warn);
  const char* names = gSource.symbolNames;
  gSource = Source{};
  gSource.symbolNames = names ? names : static_cast<const char*>(gProcess.symbolNames);
  gSourceStats = SourceStats{};
  int failed = ReadMinorTables();
  if (!failed) {
    const char* attributes[kAttributes] = {"Stärke",      "Geschicklichkeit", "Konstitution",
                                           "Intelligenz", "Weisheit",         "Charisma"};
    gSource.attributeNames = NewRecords<NamedSource>(kAttributes, "SourceInit-Attributes");
    for (int i = 0; i < kAttributes; ++i) gSource.attributeNames[i].name.Assign(attributes[i]);
    failed = ReadClassTables();
  }
  if (!failed) failed = ReadItemTables();
  if (!failed) failed = ProfileSourceInit();
  if (!failed) {
    RaceSource& monster = gSource.races[gSource.raceCount];
    monster.name.Assign("Monster");
    monster.attackType = 1;
    failed = ReadIntArray("Build/Data/StartMoney.txt", gSource.startMoney, 51) ||
             ReadIntArray("Build/Data/Treasure.txt", gSource.treasure, 51);
  }
  if (!failed) {
    InitMonsterDesc();
    ResolveSource();
  }
  FreeReadingState();
  if (failed) {
    EndTableSession();
    gSource.initialised = true;  // lets FreeSource release what was read
    FreeSource();
    return 1;
  }
  OptimizeAllScripts();
  EndTableSession();
  gSource.initialised = true;
  ++gSourceGeneration;
  return 0;
}

void FreeSource() {
  if (!gSource.initialised) return;
  ConsolePrint("Freeing Source Data:");
  ConsolePrint("Chars, ");
  DeleteRecords(gSource.classes);
  ConsolePrint("Races, ");
  DeleteRecords(gSource.races);
  ConsolePrint("Feats, ");
  DeleteRecords(gSource.feats);
  ConsolePrint("Equipment, ");
  DeleteRecords(gSource.equipment);
  ConsolePrint("Skills, ");
  DeleteRecords(gSource.skills);
  ConsolePrint("Spells, ");
  DeleteRecords(gSource.spells);
  ConsolePrint("Powers, ");
  DeleteRecords(gSource.powers);
  ConsolePrint("Effects, ");
  DeleteRecords(gSource.effects);
  ConsolePrint("Monsters, ");
  DeleteRecords(gSource.monsters);
  if (gSource.monsterCR) freeloga(gSource.monsterCR);
  ConsolePrint("Specific, ");
  DeleteRecords(gSource.specifics);
  ConsolePrint("Domains, ");
  DeleteRecords(gSource.domains);
  ConsolePrint("MonsterTypes, ");
  DeleteRecords(gSource.monsterTypes);
  ConsolePrint("Regions, ");
  DeleteRecords(gSource.regions);
  ConsolePrint("Schools, ");
  DeleteRecords(gSource.schools);
  ConsolePrint("Size, ");
  DeleteRecords(gSource.sizes);
  ConsolePrint("Abbilities, ");
  DeleteRecords(gSource.abilities);
  ConsolePrint("Specials, ");
  DeleteRecords(gSource.specials);
  ConsolePrint("Templates, ");
  DeleteRecords(gSource.templates);
  ConsolePrint("Bonuses, ");
  DeleteRecords(gSource.bonuses);
  ConsolePrint("Profiles\n");
  DeleteRecords(gSource.profiles);
  DeleteRecords(gSource.attributeNames);
  const char* names = gSource.symbolNames;
  gSource = Source{};
  gSource.symbolNames = names;
}

}  // namespace RUNTIME_NS
