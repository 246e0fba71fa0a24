// Reproduction records and files, the per-creation random set-up, and the fatal-error path.
#pragma once
#include <cstddef>
#include <cstdint>

#include "random/types.h"

#ifndef RUNTIME_NS
#error "runtime code is compiled with -DRUNTIME_NS=<namespace>"
#endif

namespace RUNTIME_NS {

// Header of a reproduction file: magic, record count, CR of the batch.
constexpr int kRepHeaderBytes = 12;
// A batch never has more creatures than the input line allows (nor more than threads).
constexpr int kMaxRepRecords = 99;

// A cleared record for any creature of CR 0 to 50, everything left to chance: the
// creature of the runtime analysis, the benchmark and the consistency check.
void PresetAnyCreatureRecord(int32_t* record);

// Set-up of the random state at the start of a creation.
void BeginCreationRandom(int32_t* record, IsaacState* state);
// Stored hit points and the end of replay when a creation ends.
void EndCreationRandom(int32_t* record, int32_t* hitPoints);

// Writes a reproduction file "save/<name>". records null: the last-record copy.
void SaveReproduction(const char* name, bool forced, int32_t* records, int count, bool keep);
// Asks for a file and loads its records into a new batch; 0 on success.
int LoadReproduction();
// Checks a reproduction file image; null when it is sound, else the reason.
const char* CheckReproductionImage(const uint8_t* bytes, size_t size);

[[noreturn]] void QuitOnError(bool save);

// Reads a non-empty line and appends the suffix unless it ends with it (any case).
// False at end of input (the buffer is then empty).
bool ReadLineWithSuffix(char* buffer, size_t size, const char* suffix);

// The copy of the record of the creation this thread started last.
void CopyLastRecord(int32_t* destination);

}  // namespace RUNTIME_NS
