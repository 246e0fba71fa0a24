// The random sources behind every decision: ISAAC per thread for normal runs, the shared
// linear congruential source of the recorded mode, and the seeds that make replays exact.
#include "random/isaac.h"

#include <cstring>

#include "launcher/process.h"

namespace RUNTIME_NS {

namespace {

inline void Mix(uint32_t h[8]) {
  h[0] ^= h[1] << 11;
  h[3] += h[0];
  h[1] += h[2];
  h[1] ^= h[2] >> 2;
  h[4] += h[1];
  h[2] += h[3];
  h[2] ^= h[3] << 8;
  h[5] += h[2];
  h[3] += h[4];
  h[3] ^= h[4] >> 16;
  h[6] += h[3];
  h[4] += h[5];
  h[4] ^= h[5] << 10;
  h[7] += h[4];
  h[5] += h[6];
  h[5] ^= h[6] >> 4;
  h[0] += h[5];
  h[6] += h[7];
  h[6] ^= h[7] << 8;
  h[1] += h[6];
  h[7] += h[0];
  h[7] ^= h[0] >> 9;
  h[2] += h[7];
  h[0] += h[1];
}

}  // namespace

void IsaacGenerate(IsaacState* s) {
  uint32_t* mem = s->mem;
  uint32_t a = s->a;
  uint32_t b = s->b + (++s->c);
  for (int i = 0; i < 256; ++i) {
    uint32_t x = mem[i];
    switch (i & 3) {
      case 0:
        a ^= a << 13;
        break;
      case 1:
        a ^= a >> 6;
        break;
      case 2:
        a ^= a << 2;
        break;
      default:
        a ^= a >> 16;
        break;
    }
    a = mem[(i + 128) & 255] + a;
    uint32_t y = mem[(x >> 2) & 255] + a + b;
    mem[i] = y;
    b = mem[(y >> 10) & 255] + x;
    s->results[i] = b;
  }
  s->a = a;
  s->b = b;
}

void IsaacInit(IsaacState* s) {
  s->a = s->b = s->c = 0;
  uint32_t h[8];
  for (uint32_t& w : h) w = 0x9e3779b9u;
  for (int i = 0; i < 4; ++i) Mix(h);
  for (int i = 0; i < 256; i += 8) {
    for (int j = 0; j < 8; ++j) h[j] += s->results[i + j];
    Mix(h);
    for (int j = 0; j < 8; ++j) s->mem[i + j] = h[j];
  }
  for (int i = 0; i < 256; i += 8) {
    for (int j = 0; j < 8; ++j) h[j] += s->mem[i + j];
    Mix(h);
    for (int j = 0; j < 8; ++j) s->mem[i + j] = h[j];
  }
  IsaacGenerate(s);
  s->count = 256;
}

int32_t IsaacRange(IsaacState* s, int32_t min, int32_t max, bool reseed, const uint32_t* seed) {
  if (reseed) {
    s->a = s->b = s->c = s->count = s->next = 0;
    memcpy(s->mem, seed, 256 * sizeof(uint32_t));
    memcpy(s->results, seed + 256, 256 * sizeof(uint32_t));
    IsaacInit(s);
  }
  if (min == max) return min;
  if (s->next >= 256) {
    s->next = 0;
    IsaacGenerate(s);
  }
  uint32_t w = s->results[s->next++];
  uint32_t span = (uint32_t)max - (uint32_t)min + 1u;
  if (span == 0) RaiseError("random");  // the whole 32-bit range has no defined draw
  return (int32_t)((uint32_t)min + w % span);
}

void IsaacSave(const IsaacState* s, int32_t* destination) { memcpy(destination, s, sizeof(IsaacState)); }

void IsaacLoad(IsaacState* s, const int32_t* source) { memcpy(s, source, sizeof(IsaacState)); }

void LcgSeed(uint32_t state) { gRandom.lcg = state; }

int32_t LcgDraw() {
  gRandom.lcg = gRandom.lcg * 214013u + 2531011u;
  return (int32_t)((gRandom.lcg >> 16) & 0x7FFF);
}

int32_t RecordedModeValue(int32_t min, int32_t max) {
  uint32_t v = 0;
  for (int i = 0; i < 8; ++i) {
    uint32_t r = (uint32_t)LcgDraw();
    uint32_t d = (r & 0xF) ^ ((r >> 4) & 0xF) ^ ((r >> 8) & 0xF) ^ ((r >> 12) & 0xF);
    v = v * 16 + d;
  }
  uint32_t span = (uint32_t)max - (uint32_t)min + 1u;
  if (span == 0) RaiseError("random");  // as for ISAAC: the whole 32-bit range has no defined draw
  return (int32_t)((uint32_t)min + v % span);
}

void SeedThreads() {
  if (!gRandom.isaacMode) return;
  gRandom.isaacMode = false;
  uint32_t seed[512];
  for (int t = 0; t < gRandom.seedThreads; ++t) {
    int savedDebug = gProcess.debugOutput;
    bool savedChooseAll = gDecide.chooseEverything;
    int savedEffective = gOutput.effective;
    gProcess.debugOutput = 0;
    gDecide.chooseEverything = false;
    gOutput.effective = -1;
    for (uint32_t i = 0; i < 512; ++i) {
      if (gRandom.benchmark)
        seed[i] = (uint32_t)(t + 2) * i;
      else
        seed[i] = (uint32_t)RecordedModeValue(0, (int32_t)0xFFFFFFFE);
    }
    gProcess.debugOutput = savedDebug;
    gDecide.chooseEverything = savedChooseAll;
    gOutput.effective = savedEffective;
    IsaacRange(gRandom.seeds[t], 0, 0, true, seed);
  }
  gRandom.isaacMode = true;
}

void PrintCharacterSeed(const int32_t* record) {
  if (!gRandom.isaacMode) return;
  if (gProcess.debugOutput == 0 && gOutput.log < 2) return;
  if (!DebugOn(2)) return;
  DebugPrint(2, "Charakter Seed:\n");
  for (int i = 0; i < kIsaacWords; ++i) DebugPrint(2, "%2X", (uint32_t)record[rec::kStream + i]);
  DebugPrint(2, "\n\n");
}

}  // namespace RUNTIME_NS
