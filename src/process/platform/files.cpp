// File system helpers the loader, the rebuild and the exports share; a save is written
// atomically so an interrupted run never leaves a half file under the real name.
#include "platform/files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

bool PathExists(const char* path) {
  struct stat st;
  return stat(path, &st) == 0;
}

bool IsDirectory(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

bool MakeDirectory(const char* path) { return mkdir(path, 0777) == 0 || (errno == EEXIST && IsDirectory(path)); }

std::vector<std::string> ListDirectory(const char* path) {
  std::vector<std::string> names;
  if (DIR* d = opendir(path)) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

int64_t FileSize(FILE* file) {
  struct stat st;
  if (fstat(fileno(file), &st) != 0) return -1;
  return st.st_size;
}

std::string ExecutableDirectory() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  buf[n] = 0;
  std::string s(buf);
  size_t slash = s.rfind('/');
  return slash == std::string::npos ? "./" : s.substr(0, slash + 1);
}

bool WriteFileAtomically(const char* path, const void* const* parts, const size_t* sizes, int count) {
  std::string tmp = std::string(path) + ".tmp";
  FILE* f = fopen(tmp.c_str(), "wb");
  if (!f) return false;
  bool ok = true;
  for (int i = 0; i < count && ok; ++i) ok = fwrite(parts[i], 1, sizes[i], f) == sizes[i];
  ok = (fflush(f) == 0) && ok;
  ok = (fclose(f) == 0) && ok;
  if (ok) ok = rename(tmp.c_str(), path) == 0;
  if (!ok) {
    int reason = errno;  // what the caller reports, not the clean-up's
    unlink(tmp.c_str());
    errno = reason;
  }
  return ok;
}

void RemoveTemporaryFiles(const char* directory) {
  for (const std::string& name : ListDirectory(directory))
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0)
      unlink((std::string(directory) + "/" + name).c_str());
}
