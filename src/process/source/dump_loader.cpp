// Getting the rule database into the process: holding the fixed region, reading a dump
// into it, and telling whether the tables under Build/ are newer than the dump.
#include "source/dump_loader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/ini.h"
#include "platform/region.h"
#include "source/dump.h"

namespace {

size_t gRegionSize = 0;

// Reads up to n bytes; returns how many arrived (short only at end of file or error).
size_t ReadFully(int fd, void* buffer, size_t n) {
  size_t done = 0;
  auto* p = static_cast<uint8_t*>(buffer);
  while (done < n) {
    ssize_t got = read(fd, p + done, n - done);
    if (got <= 0) break;
    done += (size_t)got;
  }
  return done;
}

bool ReadLength(int fd, uint32_t* value) {
  uint8_t b[4];
  if (ReadFully(fd, b, 4) != 4) return false;
  *value = (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
  return true;
}

}  // namespace

bool HoldFixedRegion(size_t size) {
  if (gProcess.regionHeld) return false;
  void* region = RegionReserve(kFixedRegionAddress, size);
  if (!region) return false;
  if (!RegionCommit(region, size)) {
    RegionRelease(region, size);
    return false;
  }
  gProcess.regionHeld = true;
  gRegionSize = size;
  return true;
}

size_t FixedRegionSize() { return gProcess.regionHeld ? gRegionSize : 0; }

bool ReleaseFixedRegion() {
  if (!gProcess.regionHeld) return true;
  ForgetLoadedSource();
  UseEmptyText(nullptr);
  gProcess.regionHeld = false;
  bool ok = RegionRelease(reinterpret_cast<void*>(kFixedRegionAddress), gRegionSize);
  gRegionSize = 0;
  return ok;
}

int LoadSourceDump(const char* name, void* root, int rootSize, void** const* slots, uint32_t* sizes, DumpCheck accept) {
  ConsolePrint("Loading Source Dump...");
  const char* error = nullptr;
  bool took = false;  // the region was taken by this call
  int fd = open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "Could not open File\n";
  } else {
    do {
      if (lseek(fd, 5, SEEK_SET) != 5) {
        error = "Error reading File\n";
        break;
      }
      uint32_t n;
      if (!ReadLength(fd, &n)) {
        error = "Error reading File\n";
        break;
      }
      // Nor may the image length: the region is committed page by page at once.
      struct stat whole;
      if (fstat(fd, &whole) != 0 || (uint64_t)n > (uint64_t)whole.st_size) {
        error = "Could not read file\n";
        break;
      }
      if (!HoldFixedRegion(n)) {
        error = "Memmory Allocation Error\n";
        break;
      }
      took = true;
      void* region = reinterpret_cast<void*>(kFixedRegionAddress);
      if (ReadFully(fd, region, n) != n) {
        error = "Could not read file\n";
        break;
      }
      uint32_t rootLength = 0;
      bool gotLength = ReadLength(fd, &rootLength);
      if (gotLength && rootLength != (uint32_t)rootSize) {
        error = "Size of Source Class Differs, Dump too old?\n";
        break;
      }
      if (!gotLength || ReadFully(fd, root, (size_t)rootSize) != (size_t)rootSize) {
        error = "Error Reading File\n";
        break;
      }
      for (void** const* slot = slots; slot && *slot; ++slot) {
        uint32_t length;
        if (!ReadLength(fd, &length)) {
          error = "Error Reading File\n";
          break;
        }
        // A garbage length must not take the whole machine's memory.
        struct stat st;
        if (fstat(fd, &st) != 0 || (uint64_t)length > (uint64_t)st.st_size) {
          error = "Error Reading File\n";
          break;
        }
        void* block = mallocloga(length, "ReAlloc-curarg");
        **slot = block;
        if (sizes) sizes[slot - slots] = length;
        if (ReadFully(fd, block, length) != length) {
          error = "Error Reading File\n";
          break;
        }
      }
      if (error) break;
      struct stat st;
      off_t position = lseek(fd, 0, SEEK_CUR);
      if (fstat(fd, &st) != 0 || position != st.st_size) {
        error = "Dump File Size did not fit\n";
        break;
      }
      if (accept && accept(root, n) != 0) error = "";
    } while (false);
  }
  if (!error) {
    ConsolePrint("Done\n\n");
    close(fd);
    return 0;
  }
  if (fd >= 0) close(fd);
  // The region goes; blocks already read stay in their slots (the next load or the
  // grammar of a rebuild replaces them).
  if (took) ReleaseFixedRegion();
  ConsolePrint("%s", error);
  return 1;
}

int LoadInstalledDump(const char* name) {
  // The names of a grammar loaded earlier in this process give way to the dump's.
  if (gProcess.symbolNames) freeloga(gProcess.symbolNames);
  gProcess.symbolNames = nullptr;
  gProcess.symbolNamesSize = 0;
  void** slots[] = {&gProcess.symbolNames, nullptr};
  auto install = [](const void* root, uint32_t imageSize) {
    return InstallLoadedSource(static_cast<const uint8_t*>(root), imageSize);
  };
  return LoadSourceDump(name, gProcess.sourceRoot, kSourceRootSize, slots, &gProcess.symbolNamesSize, install);
}

namespace {

constexpr const char* kRebuildMark = "source.mrg.failed";

bool Later(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

struct Newest {
  timespec time{0, 0};
  std::string path;
  void Take(const struct stat& st, const std::string& name) {
    if (Later(st.st_mtim, time)) {
      time = st.st_mtim;
      path = name;
    }
  }
  void File(const std::string& name) {
    struct stat st;
    if (stat(name.c_str(), &st) == 0) Take(st, name);
  }
  void Folder(const char* folder) {
    File(folder);
    DIR* d = opendir(folder);
    if (!d) return;
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] == '.') continue;
      struct stat st;
      if (fstatat(dirfd(d), e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
        Take(st, std::string(folder) + "/" + e->d_name);
    }
    closedir(d);
  }
};

}  // namespace

DumpAge CompareDumpAge(const char* dump) {
  DumpAge age;
  struct stat st;
  if (stat(dump, &st) != 0) return age;
  Newest newest;
  newest.Folder("Build/Data");
  newest.Folder("Build/MonsterText");
  newest.File("Build/Profiles.txt");
  newest.File("Build/bnf.cfg");
  std::string grammar = IniReadString("Build/bnf.cfg", "Config", "GrammarFile", "");
  if (!grammar.empty()) newest.File(grammar);
  if (!Later(newest.time, st.st_mtim)) return age;
  age.older = true;
  snprintf(age.newest, sizeof age.newest, "%s", newest.path.c_str());
  struct stat mark;
  age.failedSince = stat(kRebuildMark, &mark) == 0 && !Later(newest.time, mark.st_mtim);
  return age;
}

void MarkRebuild(bool running) {
  if (!running) {
    unlink(kRebuildMark);
    return;
  }
  if (FILE* f = fopen(kRebuildMark, "w")) {
    fputs("A rebuild of source.mrg from Build/ failed or did not finish; the next one that succeeds removes this.\n",
          f);
    fclose(f);
  }
}
