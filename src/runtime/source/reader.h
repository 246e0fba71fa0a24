// The generic reader of the rule tables and the lookups by name.
#pragma once
#include <cstdint>
#include <cstring>

#include "launcher/process.h"
#include "random/repro.h"
#include "source/records.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Splits one line in place into fields; returns the field count (at most `capacity`).
int SplitLine(char* line, char** fields, int capacity);

// Called with header = true (records null) for the header line, then once per row.
using RowHandler = int (*)(char** fields, void* record, void* temporary, int count, bool header);

struct TableLayout {
  const char* path;
  RowHandler handler;
  size_t recordSize = 0;     // 0: update mode (no records of its own)
  size_t temporarySize = 0;  // 0: no temporaries
  int extra = 0;             // extra record slots after the rows
  // Make and address the arrays (typed by the caller).
  void* (*makeRecords)(int count) = nullptr;
  void* (*makeTemporaries)(int count) = nullptr;
  const char* (*nameOf)(void* record, int index) = nullptr;
  // Rows may share a name when their groups differ (specials of different kinds).
  int32_t (*groupOf)(void* record, int index) = nullptr;
  // The display name (which 0) and SRD name (which 1) of a record, read from the
  // optional columns "Anzeige" and "SRD"; null for tables without them.
  String* (*shownOf)(void* record, int index, int which) = nullptr;
};

// Reads one table; 0 on success, 1 when the file cannot be opened. *records,
// *temporaries and *count receive the arrays and the row count.
int ReadTable(const TableLayout& layout, void** records, void** temporaries, int32_t* count);

// Index of the first field equal to name (ASCII letters compared without case).
int FindColumn(char** fields, const char* name, int count, bool mustExist);

// "Not found: %s" with the place that asked and the table searched; ends the program.
[[noreturn]] void NameNotFound(const void* records, const char* name);

// Record index by name; -1 when absent and not must-exist. Must-exist failures end
// the program with "Not found: %s".
template <class T>
int FindByName(const T* records, int count, const char* name, bool substring, bool mustExist) {
  for (int i = 0; i < count; ++i) {
    const String& n = records[i].name;
    if (substring ? strstr(n.c_str(), name) != nullptr : n == name) return i;
  }
  if (mustExist) NameNotFound(records, name);
  return -1;
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
