// The source dump: the Source root as the 732 bytes of 32-bit fields that `source.mrg`
// carries, the writer, and installing a loaded image as the process's Source.
#pragma once
#include <cstddef>
#include <cstdint>

#include "source/records.h"

// One extra block written after the root: its bytes and their count. A list of them
// ends with a null pointer.
struct DumpBlock {
  const void* bytes;
  uint32_t length;
};

// Writes `source.mrg`: magic, image size, the image bytes at the fixed address, root
// size, root, then each block as length and bytes. The file is written beside the
// target and renamed over it, so a failed write never leaves a half file behind.
// 0 on success, 1 after printing the reason.
int DumpSource(uint32_t imageSize, const char* path, const void* root, int rootSize, const DumpBlock* blocks);

// The Source root in its file form. The image checksum and the layout stamp travel in
// the spare words of the attribute-name slots.
void PackSourceRoot(const Source& source, uint32_t imageSize, uint8_t* root);
// Checks a root read from a dump against the image it came with and installs it as
// gSource; 0 on success, 1 after printing why the dump is refused.
int InstallLoadedSource(const uint8_t* root, uint32_t imageSize);
// Forgets a Source that lives in a loaded image without freeing anything.
void ForgetLoadedSource();

// Checksum of the image bytes (fast enough for every start).
uint32_t ImageChecksum(const void* bytes, size_t n);
