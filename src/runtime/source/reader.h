// The generic reader of the rule tables: their registry, their declared columns, the lookups by name.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "launcher/process.h"
#include "random/repro.h"
#include "source/records.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Splits one line in place into fields; returns the field count (at most `capacity`).
int SplitLine(char* line, char** fields, int capacity);

// ---- the registry of the rule tables and their declared columns ----

namespace schema {

// Every table under Build/Data that the reader knows.
enum class Table : uint8_t {
  kClasses,
  kRaces,
  kFeats,
  kSkills,
  kSpells,
  kPowers,
  kEffects,
  kEquipment,
  kSpecifics,
  kMonsters,
  kTemplates,
  kDomains,
  kSchools,
  kRegions,
  kSizes,
  kMonsterTypes,
  kAbilities,
  kBonuses,
  kSpecials,
  kSpellLists,
  kWeapons,  // update tables: their rows change records of other tables
  kCount
};

struct TableInfo {
  const char* path;
  // The rows in gSource (null for an update table) and the name of row i.
  void* (*rows)();
  int32_t (*count)();
  const String& (*nameAt)(const void* rows, int i);
};
const TableInfo& InfoOf(Table table);
inline const char* PathOf(Table table) { return InfoOf(table).path; }

// A row of one table, as the reader resolves a name.
template <Table T>
struct Index {
  int32_t value = -1;
};

// The row of `table` named `name` (exactly, or containing it); a miss ends the program with "Not found".
int32_t RowNamedOrFault(Table table, const char* name);
int32_t RowContainingOrFault(Table table, const char* part);
template <Table T>
Index<T> RowNamed(const char* name) {
  return {RowNamedOrFault(T, name)};
}
template <Table T>
Index<T> RowContaining(const char* part) {
  return {RowContainingOrFault(T, part)};
}

// ---- declared columns ----

// What a column holds and how the reader stores it.
enum class Kind : uint8_t {
  kText,           // String as written
  kProse,          // String, "_" read as a blank
  kList,           // String whose items ";" ends (stored NUL-separated)
  kCommaList,      // the same, "," read as a blank
  kColonList,      // the same, ":" read as a blank
  kNumber,         // int32 (leading-digits rule, warned when not whole)
  kNumbers,        // int32[count], one per header of `headers`
  kSixNumbers,     // int32[6] from "a;b;c;d;e;f"
  kDie,            // "W8" -> 8
  kScript,         // compiled script; `message` names whose script failed
  kAlignment,      // AlignmentLine
  kReference,      // int32 row of `target` with this exact name (resolved after all rows are read)
  kPartReference,  // int32 first row of `target` whose name contains the field
  kInput,          // found in the header, used by a rule (`header` may be a pattern "Feat%d" of `count`)
  kRule,           // the table's own code, run in its pass at this place of the column order
};

// A missing column faults (kRequired) or keeps the record's default (kOptional); a
// kBlankable column also keeps it for the field ";". An optional reference names no row
// when its field starts with ";".
enum class Need : uint8_t { kRequired, kOptional, kBlankable };

// Rows are read in three passes: fields into records, names into rows of other tables,
// then the rules that look at a whole row. Every pass sees the row's file and line.
enum class Pass : uint8_t { kRead, kResolve, kCheck };

struct Row;
struct Schema;
struct Column {
  const char* header = nullptr;
  Kind kind = Kind::kText;
  Need need = Need::kRequired;
  bool kept = false;                     // a field of the table's texts, kept for the late resolution
  uint32_t offset = 0;                   // of the field in the record (or texts)
  const char* const* headers = nullptr;  // kNumbers: one header per number
  int count = 0;                         // kNumbers, and a pattern's numbered columns (1..count)
  const char* message = nullptr;         // kScript: format with the row's key
  Table target = Table::kCount;          // the references
  Pass pass = Pass::kRead;               // kRule
  void (*rule)(Row& row) = nullptr;
};

// The row a rule sees.
struct Row {
  const Schema* schema;
  char** fields;         // by header position
  const int32_t* at;     // header position of every slot (-1: absent)
  const int32_t* first;  // each column's first slot
  int index;
  void* record;  // null for an update table
  void* texts;
  // The field of a declared column (k-th of a group); null when the column is absent.
  char* Field(const char* header, int k = 0) const;
  const char* Key() const;
  template <class R>
  R& Record() const {
    return *static_cast<R*>(record);
  }
};

struct Schema {
  const char* path;
  const Column* columns;
  int columnCount;
  const char* countMessage;  // a row whose field count differs from the header's, with its first field
  const char* key = "Name";  // the column that names a row (for messages)
  // Columns named after the rows of other tables (classes, races) are found here.
  void (*atHeader)(char** header, int count) = nullptr;
  // The records (recordSize 0: an update table) and the texts kept for the late resolution.
  size_t recordSize = 0, textsSize = 0;
  int extra = 0;  // extra record slots after the rows
  void* (*makeRecords)(int count) = nullptr;
  void* (*makeTexts)(int count) = nullptr;
  const char* (*nameOf)(void* records, int index) = nullptr;
  // Rows may share a name when their groups differ (specials of different kinds).
  int32_t (*groupOf)(void* records, int index) = nullptr;
  // The display and SRD names, read from the optional columns "Anzeige" and "SRD" (";" leaves them empty).
  int32_t displayOffset = -1, srdOffset = -1;
};

// Reads one table; 0 on success, 1 when the file cannot be opened. *records, *texts and
// *count receive the arrays and the row count.
int ReadTable(const Schema& schema, void** records, void** texts, int32_t* count);

// The place of a member in its record, for the column declarations.
unsigned char* OffsetProbe();
template <class R, class F>
uint32_t OffsetOf(F R::*member) {
  static_assert(sizeof(R) <= 4096);
  const R* probe = reinterpret_cast<const R*>(OffsetProbe());  // never constructed: only addresses taken
  return (uint32_t)(reinterpret_cast<const unsigned char*>(&(probe->*member)) - OffsetProbe());
}

template <class R>
Column Text(const char* header, String R::*field, Need need = Need::kRequired) {
  return {header, Kind::kText, need, false, OffsetOf(field)};
}
template <class R>
Column Text(const char* header, String R::*field, Kind kind) {
  return {header, kind, Need::kRequired, false, OffsetOf(field)};
}
template <class R>
Column List(const char* header, String R::*field, Kind kind = Kind::kList) {
  return {header, kind, Need::kRequired, false, OffsetOf(field)};
}
template <class R>
Column Number(const char* header, int32_t R::*field, Need need = Need::kRequired) {
  return {header, Kind::kNumber, need, false, OffsetOf(field)};
}
template <class R, size_t N>
Column Numbers(const char* const (&headers)[N], int32_t (R::*field)[N], Need need = Need::kRequired) {
  return {headers[0], Kind::kNumbers, need, false, OffsetOf(field), headers, (int)N};
}
template <class R>
Column SixNumbers(const char* header, int32_t (R::*field)[kAttributes]) {
  return {header, Kind::kSixNumbers, Need::kRequired, false, OffsetOf(field)};
}
template <class R>
Column Die(const char* header, int32_t R::*field) {
  return {header, Kind::kDie, Need::kRequired, false, OffsetOf(field)};
}
template <class R>
Column Script(const char* header, Owned R::*field, const char* message) {
  return {header, Kind::kScript, Need::kRequired, false, OffsetOf(field), nullptr, 0, message};
}
template <class R>
Column Alignment(const char* header, AlignmentLine R::*field) {
  return {header, Kind::kAlignment, Need::kOptional, false, OffsetOf(field)};
}
template <class R>
Column Reference(const char* header, int32_t R::*field, Table target, Need need = Need::kRequired) {
  return {header, Kind::kReference, need, false, OffsetOf(field), nullptr, 0, nullptr, target};
}
template <class R>
Column PartReference(const char* header, int32_t R::*field, Table target) {
  return {header, Kind::kPartReference, Need::kRequired, false, OffsetOf(field), nullptr, 0, nullptr, target};
}
inline Column Input(const char* header, int count = 0) {
  return {header, Kind::kInput, Need::kRequired, false, 0, nullptr, count};
}
inline Column Inputs(const char* const* headers, int count) {
  return {headers[0], Kind::kInput, Need::kRequired, false, 0, headers, count};
}
inline Column Rule(void (*rule)(Row&), Pass pass = Pass::kRead) {
  return {nullptr, Kind::kRule, Need::kOptional, false, 0, nullptr, 0, nullptr, Table::kCount, pass, rule};
}
// A column of the texts kept until the names they hold are resolved.
inline Column Kept(Column column) {
  column.kept = true;
  return column;
}

}  // namespace schema

// Index of the first field equal to name (ASCII letters compared without case); -1 when none is.
int FindColumn(char** fields, const char* name, int count);
// The same for a column the table must have: a miss ends the program with "Value not found".
int FindColumnOrFault(char** fields, const char* name, int count);

// "Not found: %s" with the place that asked and the table searched; ends the program.
[[noreturn]] void NameNotFound(const void* records, const char* name);

// Record index of the first row with this exact name; -1 when there is none.
template <class T>
int FindByName(const T* records, int count, const char* name) {
  for (int i = 0; i < count; ++i)
    if (records[i].name == name) return i;
  return -1;
}

// The same for a name the tables must hold: a miss ends the program with "Not found".
template <class T>
int FindByNameOrFault(const T* records, int count, const char* name) {
  int i = FindByName(records, count, name);
  if (i < 0) NameNotFound(records, name);
  return i;
}

// Record index of the first row whose name contains `part`; -1 when there is none.
template <class T>
int FindContaining(const T* records, int count, const char* part) {
  for (int i = 0; i < count; ++i)
    if (strstr(records[i].name.c_str(), part) != nullptr) return i;
  return -1;
}

template <class T>
int FindContainingOrFault(const T* records, int count, const char* part) {
  int i = FindContaining(records, count, part);
  if (i < 0) NameNotFound(records, part);
  return i;
}

// Specials by exact name, among one type (-1: any); failures end the program.
int FindSpecial(const char* name, int type);

// Reads "%d\t%d" lines into array (second numbers), then repeats the last value.
int ReadIntArray(const char* path, int32_t* array, int size);

// Reads a decimal number with the leading-digits rule (0 when there is none).
int32_t Number(const char* field);

// ---- the place a message names ----
// A table mistake names its file and, where known, its line, in a line of its own after
// the message. The reader sets the place for every row it hands out; the resolution
// names a row by its index (its line is looked up when a message needs it).

// Opens and closes the reading of all tables by SourceInit: row lines are kept until the
// end, and warnings are printed only when `warn` (a rebuild reads the tables three times).
void BeginTableSession(bool warn);
void EndTableSession();
// Warnings printed (or suppressed) since the session began.
int TableWarnings();

void WhereRow(const char* path, int row);
void WhereProfile(const char* section, const char* key);
void WhereClear();
// Ends the program when text[0..n) is not well-formed UTF-8, naming the file and the line
// (counted from `firstLine`) of the first bad byte.
void CheckUtf8(const char* path, const char* text, size_t n, int firstLine);
// Prints the place (nothing when none is set) and ends through the fatal-error exit.
[[noreturn]] void TableFault();

// A number field of the row being read: the leading-digits rule as Number, and a field
// that is no whole number gets a warning naming file, line and column.
int32_t FieldNumber(const char* field);
// The same for a number inside a list or a profile value, at the place set by WhereRow
// or WhereProfile; `column` names the column or key.
int32_t NumberIn(const char* text, const char* column);
// Reads "name n n ..." (words separated by blanks): the first word into `name` (null: no
// name), then up to `count` numbers as NumberIn reads them. Numbers that are missing keep
// their values. Returns the count of numbers read.
int NameAndNumbers(const char* item, char* name, size_t nameSize, int32_t* numbers, int count, const char* column);

// Two rows that name the same record: a warning names both lines. Lookups find the
// first row; a second row of an update table updates the record again.
void DuplicateRow(const char* path, const char* name, int firstLine, int secondLine);
// The line of the row being read (0 outside the reading).
int CurrentLine();

}  // namespace RUNTIME_NS
