// Tells which instruction sets the processor has, so a runtime built for one it lacks
// is announced with a warning before it starts.
#include "launcher/cpu.h"

#include <cstdint>

namespace {

struct CpuidResult {
  uint32_t eax, ebx, ecx, edx;
};

CpuidResult Cpuid(uint32_t leaf) {
  CpuidResult r;
  __asm__ volatile("cpuid" : "=a"(r.eax), "=b"(r.ebx), "=c"(r.ecx), "=d"(r.edx) : "a"(leaf), "c"(0));
  return r;
}

bool Bit(uint32_t value, int bit) { return (value >> bit) & 1u; }

uint32_t HighestExtendedLeaf() { return Cpuid(0x80000000u).eax; }

// Whole signature of leaf 1, read as a signed number: old processors without a
// family field >= 6 are turned away even when they report the feature bits.
bool SignatureAtLeast6() { return (int32_t)Cpuid(1).eax >= 6; }

}  // namespace

bool CpuidAvailable() {
  // The identification bit (21) of the flags register can only be toggled when
  // the processor knows cpuid.
  uint64_t before, after;
  __asm__ volatile(
      "pushfq\n\t"
      "pop %%rax\n\t"
      "mov %%rax, %0\n\t"
      "xor $0x200000, %%rax\n\t"
      "push %%rax\n\t"
      "popfq\n\t"
      "pushfq\n\t"
      "pop %%rax\n\t"
      "mov %%rax, %1\n\t"
      "push %0\n\t"
      "popfq\n\t"
      : "=&r"(before), "=&r"(after)
      :
      : "rax", "cc", "memory");
  return ((before ^ after) & 0x200000u) != 0;
}

bool HasSSE() {
  if (!CpuidAvailable() || !SignatureAtLeast6()) return false;
  uint32_t edx = Cpuid(1).edx;
  return Bit(edx, 0) && Bit(edx, 15) && Bit(edx, 23) && Bit(edx, 25);
}

bool HasSSE2() { return HasSSE() && Bit(Cpuid(1).edx, 26); }

bool HasSSE3() { return HasSSE2() && HighestExtendedLeaf() >= 0x80000001u && Bit(Cpuid(1).ecx, 0); }

bool IsAthlonClass() {
  if (!CpuidAvailable() || !SignatureAtLeast6()) return false;
  if (Cpuid(0).eax < 1 || HighestExtendedLeaf() < 0x80000001u) return false;
  uint32_t edx = Cpuid(0x80000001u).edx;
  return Bit(edx, 0) && Bit(edx, 15) && Bit(edx, 22) && Bit(edx, 23) && Bit(edx, 31) && Bit(edx, 30);
}
