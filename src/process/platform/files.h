// Files and directories.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

bool PathExists(const char* path);
bool IsDirectory(const char* path);
bool IsRegularFile(const char* path);
bool MakeDirectory(const char* path);
// Names in a directory, sorted, without "." and "..".
std::vector<std::string> ListDirectory(const char* path);
// Size of an open file, -1 when unknown.
int64_t FileSize(FILE* file);
// Directory of the running executable, with a trailing "/".
std::string ExecutableDirectory();
// Writes a whole file through a temporary name, so a failed write never leaves a
// half-written file under the real name. Returns false on any failure.
bool WriteFileAtomically(const char* path, const void* const* parts, const size_t* sizes, int count);
// Removes the temporaries ("*.tmp") a write cut off by a signal left in a directory.
void RemoveTemporaryFiles(const char* directory);
