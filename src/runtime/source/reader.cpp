// Reading table rows into records: one generic reader driven by each table's layout,
// and the messages that name file, line and column when a row is faulty.
#include "source/reader.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "memory/tracker.h"
#include "platform/files.h"

namespace RUNTIME_NS {

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

int FindColumn(char** fields, const char* name, int count, bool mustExist) {
  for (int i = 0; i < count; ++i)
    if (strcasecmp(fields[i], name) == 0) return i;
  if (mustExist) {
    ConsolePrint("Value not found: %s\n", name);
    TableFault();
  }
  return -1;
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

void NameNotFound(const void* records, const char* name) {
  ConsolePrint("Not found: %s\n", name);
  PrintWhere();
  // Which table was searched, so that an empty or misspelt table shows itself.
  struct Table {
    const void* records;
    int32_t count;
    const char* path;
  } tables[] = {
      {gSource.classes, gSource.classCount, "Build/Data/Characters.txt"},
      {gSource.races, gSource.raceCount, "Build/Data/Races.txt"},
      {gSource.feats, gSource.featCount, "Build/Data/Feats.txt"},
      {gSource.skills, gSource.skillCount, "Build/Data/Skills.txt"},
      {gSource.spells, gSource.spellCount, "Build/Data/Spells.txt"},
      {gSource.powers, gSource.powerCount, "Build/Data/Powers.txt"},
      {gSource.effects, gSource.effectCount, "Build/Data/Effects.txt"},
      {gSource.equipment, gSource.equipmentCount, "Build/Data/Equipment.txt"},
      {gSource.specifics, gSource.specificCount, "Build/Data/Specific.txt"},
      {gSource.monsters, gSource.monsterCount, "Build/Data/Monsters.txt"},
      {gSource.templates, gSource.templateCount, "Build/Data/Templates.txt"},
      {gSource.domains, gSource.domainCount, "Build/Data/Domains.txt"},
      {gSource.schools, gSource.schoolCount, "Build/Data/Schools.txt"},
      {gSource.regions, gSource.regionCount, "Build/Data/Regions.txt"},
      {gSource.sizes, gSource.sizeCount, "Build/Data/Size.txt"},
      {gSource.monsterTypes, gSource.monsterTypeCount, "Build/Data/MonsterTypes.txt"},
      {gSource.abilities, gSource.abilityCount, "Build/Data/Abbilities.txt"},
      {gSource.bonuses, gSource.bonusCount, "Build/Data/Boni.txt"},
  };
  for (const Table& t : tables)
    if (records && t.records == records) {
      ConsolePrint("Looked up in %s (%d rows)\n", t.path, (int)t.count);
      break;
    }
  QuitOnError(true);
}

int ReadTable(const TableLayout& layout, void** records, void** temporaries, int32_t* count) {
  DebugPrint(2, "Opening File (%s)\t", layout.path);
  FILE* f = fopen(layout.path, "rb");
  if (!f || !IsRegularFile(layout.path)) {
    const char* reason = f ? "not a file" : strerror(errno);
    if (f) fclose(f);
    ConsolePrint("FAILED\n");
    ConsolePrint("Could not open %s: %s\n", layout.path, reason);
    return 1;
  }
  int64_t size = FileSize(f);
  if (size < 0) size = 0;
  char* buffer = static_cast<char*>(mallocloga((size_t)size + 2, "SourceInit-buffer"));
  size_t got = fread(buffer, 1, (size_t)size, f);
  fclose(f);
  buffer[got] = 0;
  buffer[got + 1] = 0;
  TrackedPtr<char> bufferGuard(buffer);
  int capacity = (int)(size / 2) + 2;
  char** fields = static_cast<char**>(mallocloga(sizeof(char*) * (size_t)capacity, "SourceInit-Vals"));
  TrackedPtr<char*> fieldsGuard(fields);

  // A byte-order mark is no part of the first column's name.
  char* text = buffer;
  size_t length = got;
  if (length >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
    text += 3;
    length -= 3;
  }
  CheckUtf8(layout.path, text, length, 1);

  // Physical lines: a CR LF pair is one line end, as text mode reads it.
  int lineCount = 0;
  for (size_t i = 0; i < length; ++i)
    if (text[i] == '\n') ++lineCount;
  if (length && text[length - 1] != '\n') ++lineCount;
  char** lines = static_cast<char**>(mallocloga(sizeof(char*) * (size_t)(lineCount + 1), "SourceInit-Lines"));
  TrackedPtr<char*> linesGuard(lines);
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

  DebugPrint(2, "OK\nReading List\t\t\t");
  // The place points into this file's buffer: it ends with the reading, also by an exception.
  struct ClearWhere {
    ~ClearWhere() { WhereClear(); }
  } clearWhere;
  int header = 0;
  while (header < n && EmptyLine(lines[header])) ++header;
  gWhere = Where{};
  gWhere.path = layout.path;
  gWhere.line = header < n ? header + 1 : 0;
  gWhere.headerLess = header >= n;
  int columns = header < n ? SplitLine(lines[header], fields, capacity) : 0;
  if (columns > capacity) columns = capacity;
  layout.handler(fields, nullptr, nullptr, columns, true);
  // Display and SRD names are read here for every table that has them; a field ";"
  // leaves the name empty.
  int shownColumns[2] = {-1, -1};
  if (layout.shownOf) {
    shownColumns[0] = FindColumn(fields, "Anzeige", columns, false);
    shownColumns[1] = FindColumn(fields, "SRD", columns, false);
  }
  // The header's names stay in the buffer; keep the pointers for the warnings.
  char** names = static_cast<char**>(mallocloga(sizeof(char*) * (size_t)(columns + 1), "SourceInit-Header"));
  TrackedPtr<char*> namesGuard(names);
  memcpy(names, fields, sizeof(char*) * (size_t)columns);

  // Line 2 is skipped whatever it holds; empty lines count nowhere.
  int rows = 0;
  for (int i = 2; i < n; ++i)
    if (!EmptyLine(lines[i])) ++rows;
  DebugPrint(2, "%d\n", rows);

  char* recordBase = nullptr;
  char* temporaryBase = nullptr;
  if (layout.recordSize) {
    recordBase = static_cast<char*>(layout.makeRecords(rows + layout.extra));
    if (layout.temporarySize && layout.makeTemporaries)
      temporaryBase = static_cast<char*>(layout.makeTemporaries(rows + layout.extra));
    *records = recordBase;
    if (temporaries) *temporaries = temporaryBase;
    *count = rows;
  }
  // The lines of the rows, for the messages of the resolution and for duplicate names.
  int32_t* rowLines = static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)(rows + 1), "SourceInit-RowLines"));
  DebugPrint(2, "\t( ");
  int row = 0;
  for (int i = 2; i < n && row < rows; ++i) {
    if (EmptyLine(lines[i])) continue;
    int fieldCount = SplitLine(lines[i], fields, capacity);
    rowLines[row] = i + 1;
    gWhere.line = i + 1;
    gWhere.fields = fields;
    gWhere.fieldCount = fieldCount > capacity ? capacity : fieldCount;
    gWhere.header = names;
    gWhere.headerCount = columns;
    if (fieldCount != columns) ConsolePrint("Invalid Number in Database (%d instead of %d)\n", fieldCount, columns);
    void* record = recordBase ? recordBase + (size_t)row * layout.recordSize : nullptr;
    void* temporary = temporaryBase ? temporaryBase + (size_t)row * layout.temporarySize : nullptr;
    layout.handler(fields, record, temporary, gWhere.fieldCount, false);
    for (int which = 0; which < 2 && record; ++which) {
      int column = shownColumns[which];
      if (column < 0 || column >= gWhere.fieldCount || strcmp(fields[column], ";") == 0) continue;
      layout.shownOf(recordBase, row, which)->Assign(fields[column]);
    }
    if (recordBase && layout.nameOf) DebugPrint(2, "%s ", layout.nameOf(recordBase, row));
    ++row;
  }
  DebugPrint(2, ")\n\n");
  WhereClear();
  if (recordBase && layout.nameOf && rows > 1) {
    // Sorted by name (and group), equal neighbours are the same record named twice.
    int32_t* order = static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)rows, "SourceInit-Order"));
    TrackedPtr<int32_t> orderGuard(order);
    for (int i = 0; i < rows; ++i) order[i] = i;
    auto group = [&](int i) { return layout.groupOf ? layout.groupOf(recordBase, i) : 0; };
    auto before = [&](int32_t a, int32_t b) {
      int c = strcmp(layout.nameOf(recordBase, a), layout.nameOf(recordBase, b));
      if (c != 0) return c < 0;
      if (group(a) != group(b)) return group(a) < group(b);
      return a < b;
    };
    std::sort(order, order + rows, before);
    for (int i = 1; i < rows; ++i) {
      int a = order[i - 1], b = order[i];
      if (group(a) == group(b) && strcmp(layout.nameOf(recordBase, a), layout.nameOf(recordBase, b)) == 0)
        DuplicateRow(layout.path, layout.nameOf(recordBase, a), rowLines[a], rowLines[b]);
    }
  }
  if (gSession.open && gSession.tableCount < kMaxTables) {
    gSession.tables[gSession.tableCount++] = RowLines{layout.path, rowLines, rows};
  } else {
    freeloga(rowLines);
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
