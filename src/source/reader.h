// The generic reader of the rule tables and the lookups by name.
#pragma once
#include <cstdint>
#include <cstring>

#include "launcher/process.h"
#include "random/repro.h"
#include "source/records.h"

#ifndef RUNTIME_NS
#error "runtime code is compiled with -DRUNTIME_NS=<namespace>"
#endif

namespace RUNTIME_NS {

// Splits one line in place into fields; returns the field count (at most `capacity`).
int SplitLine(char* line, char** fields, int capacity);

// Called with header = true (records null) for the header line, then once per row.
using RowHandler = int (*)(char** fields, void* record, void* temporary, int count, bool header);

struct TableLayout {
  const char* path;
  RowHandler handler;
  size_t recordSize = 0;       // 0: update mode (no records of its own)
  size_t temporarySize = 0;    // 0: no temporaries
  int extra = 0;               // extra record slots after the rows
  // Make and address the arrays (typed by the caller).
  void* (*makeRecords)(int count) = nullptr;
  void* (*makeTemporaries)(int count) = nullptr;
  const char* (*nameOf)(void* record, int index) = nullptr;
};

// Reads one table; 0 on success, 1 when the file cannot be opened. *records,
// *temporaries and *count receive the arrays and the row count.
int ReadTable(const TableLayout& layout, void** records, void** temporaries, int32_t* count);

// Index of the first field equal to name (ASCII letters compared without case).
int FindColumn(char** fields, const char* name, int count, bool mustExist);

// Record index by name; -1 when absent and not must-exist. Must-exist failures end
// the program with "Not found: %s".
template <class T>
int FindByName(const T* records, int count, const char* name, bool substring, bool mustExist) {
  for (int i = 0; i < count; ++i) {
    const String& n = records[i].name;
    if (substring ? strstr(n.c_str(), name) != nullptr : n == name) return i;
  }
  if (mustExist) {
    ConsolePrint("Not found: %s\n", name);
    QuitOnError(true);
  }
  return -1;
}

// Specials by exact name, among one type (-1: any); failures end the program.
int FindSpecial(const char* name, int type);

// Reads "%d\t%d" lines into array (second numbers), then repeats the last value.
int ReadIntArray(const char* path, int32_t* array, int size);

// Reads a decimal number with the leading-digits rule (0 when there is none).
int32_t Number(const char* field);

}  // namespace RUNTIME_NS
