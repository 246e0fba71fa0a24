#include "source/reader.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>

#include "memory/tracker.h"
#include "platform/files.h"

namespace RUNTIME_NS {

int32_t Number(const char* field) {
  long long v = strtoll(field ? field : "", nullptr, 10);
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
}

int SplitLine(char* line, char** fields, int capacity) {
  int count = 0;
  bool inQuote = false, afterSeparator = true;
  char* p = line;
  if (*p == '"') {
    // The first field starts after an opening quote.
    inQuote = true;
    *p++ = 0;
  }
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
    QuitOnError(true);
  }
  return -1;
}

namespace {

bool EmptyLine(const char* line) { return line[0] == '\n' || line[0] == '\r' || line[0] == 0; }

}  // namespace

int ReadTable(const TableLayout& layout, void** records, void** temporaries, int32_t* count) {
  DebugPrint(2, "Opening File (%s)\t", layout.path);
  FILE* f = fopen(layout.path, "rb");
  if (!f || !IsRegularFile(layout.path)) {
    if (f) fclose(f);
    ConsolePrint("FAILED\n");
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

  // Physical lines: a CR LF pair is one line end, as text mode reads it.
  int lineCount = 0;
  for (size_t i = 0; i < got; ++i)
    if (buffer[i] == '\n') ++lineCount;
  if (got && buffer[got - 1] != '\n') ++lineCount;
  char** lines = static_cast<char**>(mallocloga(sizeof(char*) * (size_t)(lineCount + 1), "SourceInit-Lines"));
  TrackedPtr<char*> linesGuard(lines);
  int n = 0;
  for (char* p = buffer; *p && n < lineCount;) {
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
  int header = 0;
  while (header < n && EmptyLine(lines[header])) ++header;
  int columns = header < n ? SplitLine(lines[header], fields, capacity) : 0;
  layout.handler(fields, nullptr, nullptr, columns, true);

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
  DebugPrint(2, "\t( ");
  int row = 0;
  for (int i = 2; i < n && row < rows; ++i) {
    if (EmptyLine(lines[i])) continue;
    int fieldCount = SplitLine(lines[i], fields, capacity);
    if (fieldCount != columns)
      ConsolePrint("Invalid Number in Database (%d instead of %d)\n", fieldCount, columns);
    void* record = recordBase ? recordBase + (size_t)row * layout.recordSize : nullptr;
    void* temporary = temporaryBase ? temporaryBase + (size_t)row * layout.temporarySize : nullptr;
    layout.handler(fields, record, temporary, fieldCount > capacity ? capacity : fieldCount, false);
    if (recordBase && layout.nameOf) DebugPrint(2, "%s ", layout.nameOf(recordBase, row));
    ++row;
  }
  DebugPrint(2, ")\n\n");
  return 0;
}

int FindSpecial(const char* name, int type) {
  for (int i = 0; i < gSource.specialCount; ++i)
    if (gSource.specials[i].name == name && (type == -1 || gSource.specials[i].type == type)) return i;
  ConsolePrint("Special not found(%s)\n", name);
  QuitOnError(true);
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
