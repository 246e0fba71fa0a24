// Reading table rows into records: one generic reader driven by each table's declared
// columns, the registry of the tables, and the messages that name file, line and column
// when a row is faulty.
#include "source/reader.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "memory/tracker.h"
#include "platform/files.h"
#include "script/compile.h"
#include "source/alignment_line.h"
#include "source/source_init.h"

namespace RUNTIME_NS {

using namespace schema;

int32_t Number(const char* field) {
  long long v = strtoll(field ? field : "", nullptr, 10);
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
}

int SplitLine(char* line, char** fields, int capacity) {
  if (*line == 0) return 0;
  bool inQuote = false, afterSeparator = false;
  char* p = line;
  if (*p == '"') {
    // The first field starts after an opening quote.
    inQuote = true;
    *p++ = 0;
  }
  // The first field starts at the line start: a leading blank leaves it empty.
  if (capacity > 0) fields[0] = p;
  int count = 1;
  for (; *p; ++p) {
    char c = *p;
    if (c == '\n' || c == '\r') {
      *p = 0;
      continue;
    }
    if (!inQuote && (c == ' ' || c == '\t')) {
      *p = 0;
      afterSeparator = true;
      if (p[1] == '"') {
        p[1] = 0;
        inQuote = true;
        ++p;
      }
      continue;
    }
    if (afterSeparator) {
      afterSeparator = false;
      if (count < capacity) fields[count] = p;
      ++count;
      if (c == '"' && inQuote) {  // an empty quoted field
        *p = 0;
        inQuote = false;
      }
      continue;
    }
    if (c == '"' && inQuote) {
      *p = 0;
      inQuote = false;
    }
  }
  return count;
}

int FindColumn(char** fields, const char* name, int count) {
  for (int i = 0; i < count; ++i)
    if (strcasecmp(fields[i], name) == 0) return i;
  return -1;
}

int FindColumnOrFault(char** fields, const char* name, int count) {
  int i = FindColumn(fields, name, count);
  if (i < 0) {
    ConsolePrint("Value not found: %s\n", name);
    TableFault();
  }
  return i;
}

namespace {

bool EmptyLine(const char* line) { return line[0] == '\n' || line[0] == '\r' || line[0] == 0; }

// The reading of all tables by SourceInit: which line each row came from, per table.
struct RowLines {
  const char* path = nullptr;
  int32_t* lines = nullptr;  // row -> physical line (1-based)
  int count = 0;
};
constexpr int kMaxTables = 32;
struct Session {
  bool open = false;
  bool warn = true;
  int warnings = 0;
  RowLines tables[kMaxTables];
  int tableCount = 0;
};
Session gSession;

// The place the next message names.
struct Where {
  const char* path = nullptr;
  int line = 0;                   // 0: the file as a whole
  int row = -1;                   // >= 0: a row whose line is looked up
  const char* section = nullptr;  // a profile and its key
  const char* key = nullptr;
  bool headerLess = false;  // the file has no line at all
  // The row being read: its fields, and the header's column names.
  char** fields = nullptr;
  int fieldCount = 0;
  char** header = nullptr;
  int headerCount = 0;
};
Where gWhere;

int LineOfRow(const char* path, int row) {
  for (int t = 0; t < gSession.tableCount; ++t) {
    const RowLines& r = gSession.tables[t];
    if (strcmp(r.path, path) == 0) return row >= 0 && row < r.count ? r.lines[row] : 0;
  }
  return 0;
}

void PrintWhere() {
  if (!gWhere.path) return;
  if (gWhere.section) {
    ConsolePrint("In %s, profile [%s], key %s\n", gWhere.path, gWhere.section, gWhere.key);
    return;
  }
  int line = gWhere.row >= 0 ? LineOfRow(gWhere.path, gWhere.row) : gWhere.line;
  if (line > 0)
    ConsolePrint("In %s, line %d\n", gWhere.path, line);
  else if (gWhere.fields == nullptr && gWhere.row < 0 && gWhere.headerLess)
    ConsolePrint("In %s, which holds no header line\n", gWhere.path);
  else
    ConsolePrint("In %s\n", gWhere.path);
}

// Column name of a place inside the row being read (a field or an item of one).
const char* ColumnAt(const char* p) {
  int column = -1;
  for (int i = 0; i < gWhere.fieldCount; ++i)
    if (gWhere.fields[i] <= p) column = i;
  return column >= 0 && column < gWhere.headerCount ? gWhere.header[column] : "?";
}

// Offset of the first byte that does not belong to well-formed UTF-8; n when all do.
size_t FirstNonUtf8(const unsigned char* s, size_t n) {
  size_t i = 0;
  while (i < n) {
    uint64_t word;
    if (i + 8 <= n && (memcpy(&word, s + i, 8), (word & 0x8080808080808080ull) == 0)) {
      i += 8;
      continue;
    }
    unsigned c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > n) return i;
    uint32_t code = c & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return i;
      code = code << 6 | (s[i + k] & 0x3Fu);
    }
    static const uint32_t kLowest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLowest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return i;
    i += length;
  }
  return n;
}

}  // namespace

void CheckUtf8(const char* path, const char* text, size_t n, int firstLine) {
  size_t bad = FirstNonUtf8(reinterpret_cast<const unsigned char*>(text), n);
  if (bad == n) return;
  int line = firstLine;
  size_t lineStart = 0;
  for (size_t i = 0; i < bad; ++i)
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  ConsolePrint("Text that is not UTF-8: byte 0x%02X at position %d (save the file as UTF-8)\n",
               (unsigned char)text[bad], (int)(bad - lineStart) + 1);
  gWhere = Where{};
  gWhere.path = path;
  gWhere.line = line;
  TableFault();
}

void BeginTableSession(bool warn) {
  EndTableSession();
  gSession.open = true;
  gSession.warn = warn;
  gSession.warnings = 0;
}

void EndTableSession() {
  for (int t = 0; t < gSession.tableCount; ++t)
    if (gSession.tables[t].lines) freeloga(gSession.tables[t].lines);
  gSession.tableCount = 0;
  gSession.open = false;
  gSession.warn = true;  // a table read outside a session warns
  WhereClear();
}

int TableWarnings() { return gSession.warnings; }

void WhereRow(const char* path, int row) {
  gWhere = Where{};
  gWhere.path = path;
  gWhere.row = row;
}

void WhereProfile(const char* section, const char* key) {
  gWhere = Where{};
  gWhere.path = "Build/Profiles.txt";
  gWhere.section = section;
  gWhere.key = key;
}

void WhereClear() { gWhere = Where{}; }

int CurrentLine() { return gWhere.fields ? gWhere.line : 0; }

void TableFault() {
  PrintWhere();
  QuitOnError(true);
}

namespace {

bool WholeNumber(const char* p) {
  if (*p == '-' || *p == '+') ++p;
  if (*p < '0' || *p > '9') return false;
  while (*p >= '0' && *p <= '9') ++p;
  return *p == 0;
}

// The value stays what the leading-digits rule reads; the game master hears of it.
void NotWhole(const char* text, int32_t value, const char* column) {
  ++gSession.warnings;
  constexpr int kShown = 50;
  if (!gSession.warn || gSession.warnings > kShown + 1) return;
  if (gSession.warnings == kShown + 1) {
    ConsolePrint("Warning: further warnings not shown\n");
    return;
  }
  if (gWhere.section)
    ConsolePrint("Warning: %s, profile [%s], key %s: \"%s\" is no whole number, read as %d\n", gWhere.path,
                 gWhere.section, gWhere.key, text, (int)value);
  else
    ConsolePrint("Warning: %s, line %d, column %s: \"%s\" is no whole number, read as %d\n", gWhere.path,
                 gWhere.row >= 0 ? LineOfRow(gWhere.path, gWhere.row) : gWhere.line, column, text, (int)value);
}

}  // namespace

int32_t FieldNumber(const char* field) {
  const char* text = field ? field : "";
  int32_t value = Number(text);
  if (gWhere.fields && !WholeNumber(text)) NotWhole(text, value, ColumnAt(text));
  return value;
}

int32_t NumberIn(const char* text, const char* column) {
  int32_t value = Number(text);
  if (gWhere.path && !WholeNumber(text)) NotWhole(text, value, column);
  return value;
}

int NameAndNumbers(const char* item, char* name, size_t nameSize, int32_t* numbers, int count, const char* column) {
  const char* p = item;
  auto word = [&](char* out, size_t size) {
    while (*p == ' ' || *p == '\t') ++p;
    size_t n = 0;
    while (*p && *p != ' ' && *p != '\t') {
      if (n + 1 < size) out[n++] = *p;
      ++p;
    }
    if (size) out[n] = 0;
    return n > 0;
  };
  if (name && !word(name, nameSize)) return 0;
  int read = 0;
  char number[64];
  while (read < count && word(number, sizeof number)) numbers[read++] = NumberIn(number, column);
  return read;
}

void DuplicateRow(const char* path, const char* name, int firstLine, int secondLine) {
  if (gSession.warn)
    ConsolePrint("Warning: Name %s appears twice in %s: lines %d and %d\n", name, path, firstLine, secondLine);
}

// ---- the registry ----

namespace {

template <auto Rows, auto Count>
constexpr TableInfo RowsOf(const char* path) {
  using R = std::remove_pointer_t<std::remove_reference_t<decltype(gSource.*Rows)>>;
  return {path, [] { return static_cast<void*>(gSource.*Rows); }, [] { return gSource.*Count; },
          [](const void* rows, int i) -> const String& { return static_cast<const R*>(rows)[i].name; }};
}

// In the order of Table.
constexpr TableInfo kTables[] = {
    RowsOf<&Source::classes, &Source::classCount>("Build/Data/Characters.txt"),
    RowsOf<&Source::races, &Source::raceCount>("Build/Data/Races.txt"),
    RowsOf<&Source::feats, &Source::featCount>("Build/Data/Feats.txt"),
    RowsOf<&Source::skills, &Source::skillCount>("Build/Data/Skills.txt"),
    RowsOf<&Source::spells, &Source::spellCount>("Build/Data/Spells.txt"),
    RowsOf<&Source::powers, &Source::powerCount>("Build/Data/Powers.txt"),
    RowsOf<&Source::effects, &Source::effectCount>("Build/Data/Effects.txt"),
    RowsOf<&Source::equipment, &Source::equipmentCount>("Build/Data/Equipment.txt"),
    RowsOf<&Source::specifics, &Source::specificCount>("Build/Data/Specific.txt"),
    RowsOf<&Source::monsters, &Source::monsterCount>("Build/Data/Monsters.txt"),
    RowsOf<&Source::templates, &Source::templateCount>("Build/Data/Templates.txt"),
    RowsOf<&Source::domains, &Source::domainCount>("Build/Data/Domains.txt"),
    RowsOf<&Source::schools, &Source::schoolCount>("Build/Data/Schools.txt"),
    RowsOf<&Source::regions, &Source::regionCount>("Build/Data/Regions.txt"),
    RowsOf<&Source::sizes, &Source::sizeCount>("Build/Data/Size.txt"),
    RowsOf<&Source::monsterTypes, &Source::monsterTypeCount>("Build/Data/MonsterTypes.txt"),
    RowsOf<&Source::abilities, &Source::abilityCount>("Build/Data/Abbilities.txt"),
    RowsOf<&Source::bonuses, &Source::bonusCount>("Build/Data/Boni.txt"),
    RowsOf<&Source::specials, &Source::specialCount>("Build/Data/Specials.txt"),
    TableInfo{"Build/Data/Spells2.txt", nullptr, nullptr, nullptr},
    TableInfo{"Build/Data/Weapons.txt", nullptr, nullptr, nullptr},
};
static_assert(sizeof kTables / sizeof kTables[0] == (size_t)Table::kCount);

int32_t RowOrFault(Table table, const char* name, bool part) {
  const TableInfo& t = InfoOf(table);
  const void* rows = t.rows();
  for (int i = 0, n = t.count(); i < n; ++i) {
    const String& candidate = t.nameAt(rows, i);
    if (part ? strstr(candidate.c_str(), name) != nullptr : candidate == name) return i;
  }
  NameNotFound(rows, name);
}

}  // namespace

const TableInfo& schema::InfoOf(Table table) { return kTables[(int)table]; }
int32_t schema::RowNamedOrFault(Table table, const char* name) { return RowOrFault(table, name, false); }
int32_t schema::RowContainingOrFault(Table table, const char* part) { return RowOrFault(table, part, true); }

void NameNotFound(const void* records, const char* name) {
  ConsolePrint("Not found: %s\n", name);
  PrintWhere();
  // Which table was searched, so that an empty or misspelt table shows itself.
  for (const TableInfo& t : kTables)
    if (records && t.rows && t.rows() == records) {
      ConsolePrint("Looked up in %s (%d rows)\n", t.path, (int)t.count());
      break;
    }
  QuitOnError(true);
}

unsigned char* schema::OffsetProbe() {
  alignas(std::max_align_t) static unsigned char probe[4096];
  return probe;
}

// ---- reading a table by its columns ----

namespace {

// Replaces ";" by NUL (and "," or ":" by blanks for those lists) and stores the list.
void StoreList(String& out, char* field, Kind kind) {
  size_t n = strlen(field);
  for (size_t i = 0; i < n; ++i) {
    if (field[i] == ';')
      field[i] = 0;
    else if ((kind == Kind::kCommaList && field[i] == ',') || (kind == Kind::kColonList && field[i] == ':'))
      field[i] = ' ';
  }
  out.Assign(field, n);
}

void Compile(Owned& out, const char* text, const char* errorFormat, const char* name) {
  uint8_t* script = nullptr;
  ++gSourceStats.scripts;
  if (bnfparse(text, &script) != 0) {
    ConsolePrint(errorFormat, name);
    TableFault();
  }
  out.Reset(script);
}

int32_t DieOf(const char* field) {
  int32_t v = 0;
  if (sscanf(field, "W%d", &v) != 1) return 0;
  return v;
}

void ReadSixNumbers(char* field, int32_t* out) {
  size_t n = strlen(field);
  for (size_t i = 0; i < n; ++i)
    if (field[i] == ';') field[i] = 0;
  const char* p = field;
  const char* end = field + n;
  for (int i = 0; i < kAttributes; ++i) {
    out[i] = p < end ? FieldNumber(p) : 0;
    if (p < end) p += strlen(p) + 1;
  }
}

void ReadAlignment(const char* field, AlignmentLine& out, const char* name) {
  std::string bad;
  if (ParseAlignmentLine(field, &out, &bad)) return;
  ConsolePrint(
      "Invalid alignment code \"%s\" in %s of %s (Immer, Meist, Oft or Beliebig, a colon, then codes RG NG "
      "CG RN N CN RB NB CB, groups R C G B nR nC nG nB or * separated by commas)\n",
      bad.c_str(), field, name);
  TableFault();
}

int SlotsOf(const Column& c) {
  return c.kind == Kind::kRule ? 0 : c.kind == Kind::kNumbers || c.count > 0 ? c.count : 1;
}

// Finds every declared column in the header: `at` gets the positions (-1: absent), `first`
// each column's first slot; the display and SRD names take the last two slots.
void FindColumns(const Schema& s, char** header, int count, std::vector<int32_t>& at, std::vector<int32_t>& first) {
  for (int c = 0; c < s.columnCount; ++c) {
    const Column& column = s.columns[c];
    first.push_back((int32_t)at.size());
    for (int k = 0; k < SlotsOf(column); ++k) {
      char numbered[64];
      const char* name = column.headers ? column.headers[k] : column.header;
      if (!column.headers && column.count > 0) {
        snprintf(numbered, sizeof numbered, column.header, k + 1);
        name = numbered;
      }
      at.push_back(column.need == Need::kRequired ? FindColumnOrFault(header, name, count)
                                                  : FindColumn(header, name, count));
    }
  }
  at.push_back(s.displayOffset >= 0 ? FindColumn(header, "Anzeige", count) : -1);
  at.push_back(s.srdOffset >= 0 ? FindColumn(header, "SRD", count) : -1);
}

}  // namespace

char* schema::Row::Field(const char* header, int k) const {
  for (int c = 0; c < schema->columnCount; ++c) {
    const char* h = schema->columns[c].header;
    if (h && strcasecmp(h, header) == 0) {
      int position = at[first[c] + k];
      return position >= 0 ? fields[position] : nullptr;
    }
  }
  return nullptr;
}

const char* schema::Row::Key() const { return Field(schema->key); }

namespace {

bool Blank(const Column& c, const char* field) {
  return !field || (c.need == Need::kBlankable && strcmp(field, ";") == 0);
}

void ReadField(const Column& c, Row& row, char* field) {
  char* base = static_cast<char*>(c.kept ? row.texts : row.record);
  void* to = base ? base + c.offset : nullptr;
  switch (c.kind) {
    case Kind::kProse:
      for (char* p = field; *p; ++p)
        if (*p == '_') *p = ' ';
      [[fallthrough]];
    case Kind::kText:
      if (!Blank(c, field)) static_cast<String*>(to)->Assign(field);
      break;
    case Kind::kList:
    case Kind::kCommaList:
    case Kind::kColonList:
      StoreList(*static_cast<String*>(to), field, c.kind);
      break;
    case Kind::kNumber:
      if (!Blank(c, field)) *static_cast<int32_t*>(to) = FieldNumber(field);
      break;
    case Kind::kNumbers:
      for (int k = 0; k < c.count; ++k) {
        int at = row.at[row.first[&c - row.schema->columns] + k];
        if (at >= 0) static_cast<int32_t*>(to)[k] = FieldNumber(row.fields[at]);
      }
      break;
    case Kind::kSixNumbers:
      ReadSixNumbers(field, static_cast<int32_t*>(to));
      break;
    case Kind::kDie:
      *static_cast<int32_t*>(to) = DieOf(field);
      break;
    case Kind::kScript:
      Compile(*static_cast<Owned*>(to), field, c.message, row.Key());
      break;
    case Kind::kAlignment:
      if (field) ReadAlignment(field, *static_cast<AlignmentLine*>(to), row.Key());
      break;
    default:
      break;
  }
}

void ResolveField(const Column& c, Row& row, char* field) {
  if (!field || (c.need != Need::kRequired && field[0] == ';')) return;
  int32_t* to = reinterpret_cast<int32_t*>(static_cast<char*>(row.record) + c.offset);
  *to = c.kind == Kind::kReference ? RowNamedOrFault(c.target, field) : RowContainingOrFault(c.target, field);
}

// One pass over one row: its place for the messages, then its columns in their order.
void RunPass(Pass pass, Row& row, int fieldCount, int line) {
  gWhere.line = line;
  gWhere.fields = row.fields;
  gWhere.fieldCount = fieldCount;
  const Schema& s = *row.schema;
  for (int c = 0; c < s.columnCount; ++c) {
    const Column& column = s.columns[c];
    int at = SlotsOf(column) ? row.at[row.first[c]] : -1;
    char* field = at >= 0 ? row.fields[at] : nullptr;
    if (column.kind == Kind::kRule) {
      if (column.pass == pass) column.rule(row);
    } else if (pass == Pass::kRead) {
      ReadField(column, row, field);
    } else if (pass == Pass::kResolve && (column.kind == Kind::kReference || column.kind == Kind::kPartReference)) {
      ResolveField(column, row, field);
    }
  }
}

// The file's text split into physical lines (a CR LF pair is one line end, as text mode
// reads it); false when the file cannot be opened.
struct FileLines {
  TrackedPtr<char> buffer;
  TrackedPtr<char*> lines;
  int count = 0;
  size_t size = 0;
};

bool LoadLines(const char* path, FileLines& out) {
  DebugPrint(2, "Opening File (%s)\t", path);
  FILE* f = fopen(path, "rb");
  if (!f || !IsRegularFile(path)) {
    const char* reason = f ? "not a file" : strerror(errno);
    if (f) fclose(f);
    ConsolePrint("FAILED\n");
    ConsolePrint("Could not open %s: %s\n", path, reason);
    return false;
  }
  int64_t size = FileSize(f);
  if (size < 0) size = 0;
  char* buffer = static_cast<char*>(mallocloga((size_t)size + 2, "SourceInit-buffer"));
  size_t got = fread(buffer, 1, (size_t)size, f);
  fclose(f);
  buffer[got] = 0;
  buffer[got + 1] = 0;
  out.buffer.reset(buffer);
  out.size = (size_t)size;
  // A byte-order mark is no part of the first column's name.
  char* text = buffer;
  size_t length = got;
  if (length >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
    text += 3;
    length -= 3;
  }
  CheckUtf8(path, text, length, 1);
  int lineCount = 0;
  for (size_t i = 0; i < length; ++i)
    if (text[i] == '\n') ++lineCount;
  if (length && text[length - 1] != '\n') ++lineCount;
  char** lines = static_cast<char**>(mallocloga(sizeof(char*) * (size_t)(lineCount + 1), "SourceInit-Lines"));
  out.lines.reset(lines);
  int n = 0;
  for (char* p = text; *p && n < lineCount;) {
    lines[n++] = p;
    char* end = strchr(p, '\n');
    if (!end) break;
    *end = 0;
    p = end + 1;
  }
  for (int i = 0; i < n; ++i) {
    size_t len = strlen(lines[i]);
    if (len && lines[i][len - 1] == '\r') lines[i][len - 1] = 0;
  }
  out.count = n;
  return true;
}

// Sorted by name (and group), equal neighbours are the same record named twice.
void WarnDuplicates(const Schema& s, void* records, int rows, const int32_t* rowLines) {
  if (!records || !s.nameOf || rows < 2) return;
  std::vector<int32_t> order((size_t)rows);
  for (int i = 0; i < rows; ++i) order[(size_t)i] = i;
  auto group = [&](int i) { return s.groupOf ? s.groupOf(records, i) : 0; };
  auto before = [&](int32_t a, int32_t b) {
    int c = strcmp(s.nameOf(records, a), s.nameOf(records, b));
    if (c != 0) return c < 0;
    if (group(a) != group(b)) return group(a) < group(b);
    return a < b;
  };
  std::sort(order.begin(), order.end(), before);
  for (int i = 1; i < rows; ++i) {
    int a = order[(size_t)i - 1], b = order[(size_t)i];
    if (group(a) == group(b) && strcmp(s.nameOf(records, a), s.nameOf(records, b)) == 0)
      DuplicateRow(s.path, s.nameOf(records, a), rowLines[a], rowLines[b]);
  }
}

// The display and SRD names of a row, after its declared columns.
void ReadShown(const Schema& s, const Row& row, const std::vector<int32_t>& at) {
  const int32_t offsets[2] = {s.displayOffset, s.srdOffset};
  for (int which = 0; which < 2; ++which) {
    int column = at[at.size() - 2 + (size_t)which];
    if (column < 0 || strcmp(row.fields[column], ";") == 0) continue;
    reinterpret_cast<String*>(static_cast<char*>(row.record) + offsets[which])->Assign(row.fields[column]);
  }
}

// One table being read: its file, the header's columns and every row's fields, which the
// passes after the reading still need.
struct Reading {
  explicit Reading(const Schema& schema) : s(schema) {}
  const Schema& s;
  FileLines file;
  std::vector<char*> header;
  int columns = 0;
  std::vector<int32_t> at, first;  // FindColumns
  int rows = 0;
  char* records = nullptr;
  char* texts = nullptr;
  std::vector<char*> fields;  // rows x columns
  int32_t* rowLines = nullptr;

  Row RowAt(int r) {
    return Row{&s,
               fields.data() + (size_t)r * (size_t)columns,
               at.data(),
               first.data(),
               r,
               records ? records + (size_t)r * s.recordSize : nullptr,
               texts ? texts + (size_t)r * s.textsSize : nullptr};
  }
};

// The first line that is not empty names the columns.
void ReadHeader(Reading& t) {
  char** lines = t.file.lines.get();
  int n = t.file.count;
  t.header.resize(t.file.size / 2 + 2);
  int capacity = (int)t.header.size();
  int line = 0;
  while (line < n && EmptyLine(lines[line])) ++line;
  gWhere = Where{};
  gWhere.path = t.s.path;
  gWhere.line = line < n ? line + 1 : 0;
  gWhere.headerLess = line >= n;
  t.columns = line < n ? std::min(SplitLine(lines[line], t.header.data(), capacity), capacity) : 0;
  FindColumns(t.s, t.header.data(), t.columns, t.at, t.first);
  if (t.s.atHeader) t.s.atHeader(t.header.data(), t.columns);
  gWhere.header = t.header.data();
  gWhere.headerCount = t.columns;
}

// The read pass, row by row as the file has them; line 2 is skipped whatever it holds.
void ReadRows(Reading& t) {
  char** lines = t.file.lines.get();
  DebugPrint(2, "\t( ");
  int row = 0;
  for (int i = 2; i < t.file.count && row < t.rows; ++i) {
    if (EmptyLine(lines[i])) continue;
    Row r = t.RowAt(row);
    int fieldCount = SplitLine(lines[i], r.fields, t.columns);
    t.rowLines[row] = i + 1;
    if (fieldCount != t.columns) {
      gWhere.line = i + 1;
      gWhere.fields = r.fields;
      gWhere.fieldCount = std::min(fieldCount, t.columns);
      ConsolePrint("Invalid Number in Database (%d instead of %d)\n", fieldCount, t.columns);
      ConsolePrint(t.s.countMessage, r.fields[0]);
      TableFault();
    }
    RunPass(Pass::kRead, r, t.columns, i + 1);
    if (r.record) ReadShown(t.s, r, t.at);
    if (r.record && t.s.nameOf) DebugPrint(2, "%s ", t.s.nameOf(t.records, row));
    ++row;
  }
  DebugPrint(2, ")\n\n");
}

}  // namespace

int schema::ReadTable(const Schema& s, void** records, void** texts, int32_t* count) {
  Reading t(s);
  if (!LoadLines(s.path, t.file)) return 1;
  DebugPrint(2, "OK\nReading List\t\t\t");
  // The place points into this file's buffer: it ends with the reading, also by an exception.
  struct ClearWhere {
    ~ClearWhere() { WhereClear(); }
  } clearWhere;
  ReadHeader(t);
  for (int i = 2; i < t.file.count; ++i) t.rows += !EmptyLine(t.file.lines[(size_t)i]);
  DebugPrint(2, "%d\n", t.rows);
  if (s.recordSize) {
    t.records = static_cast<char*>(s.makeRecords(t.rows + s.extra));
    if (s.textsSize) t.texts = static_cast<char*>(s.makeTexts(t.rows + s.extra));
    *records = t.records;
    if (texts) *texts = t.texts;
    *count = t.rows;
  }
  // The lines of the rows, for the messages of the resolution and for duplicate names.
  t.rowLines = static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)(t.rows + 1), "SourceInit-RowLines"));
  t.fields.resize((size_t)t.rows * (size_t)t.columns + 1);
  ReadRows(t);
  for (Pass pass : {Pass::kResolve, Pass::kCheck})
    for (int r = 0; r < t.rows; ++r) {
      Row row = t.RowAt(r);
      RunPass(pass, row, t.columns, t.rowLines[r]);
    }
  WhereClear();
  WarnDuplicates(s, t.records, t.rows, t.rowLines);
  if (gSession.open && gSession.tableCount < kMaxTables) {
    gSession.tables[gSession.tableCount++] = RowLines{s.path, t.rowLines, t.rows};
  } else {
    freeloga(t.rowLines);
  }
  return 0;
}

int FindSpecial(const char* name, int type) {
  for (int i = 0; i < gSource.specialCount; ++i)
    if (gSource.specials[i].name == name && (type == -1 || gSource.specials[i].type == type)) return i;
  ConsolePrint("Special not found(%s)\n", name);
  TableFault();
}

int ReadIntArray(const char* path, int32_t* array, int size) {
  FILE* f = fopen(path, "r");
  if (!f) {
    ConsolePrint("Could not open %s\n", path);
    return 1;
  }
  char* line = static_cast<char*>(mallocloga(1024, "FillArrayFromBFile-buffer"));
  TrackedPtr<char> guard(line);
  int filled = 0;
  while (filled < size && fgets(line, 1024, f)) {
    int a, b;
    if (sscanf(line, "%d\t%d", &a, &b) != 2) continue;
    array[filled++] = b;
  }
  fclose(f);
  if (filled == 0) {
    ConsolePrint("No values in %s\n", path);
    return 1;
  }
  for (int i = filled; i < size; ++i) array[i] = array[filled - 1];
  return 0;
}

}  // namespace RUNTIME_NS
