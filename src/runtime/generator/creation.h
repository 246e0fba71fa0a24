// The creation driver: builds one creature from its reproduction record.
#pragma once
#include <cstdint>

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Builds one creature; returns its creation time in microseconds. sub: a companion
// or the class part of a mixed creature (no seed handling, no stored hit points).
int64_t CreateCreature(Char* c, int sub);
// The last step of a creation, after every other draw of the creature and its
// sub-creatures (so that nothing drawn before shifts): the alignment of the creature and
// of each companion, then the subjects of skills and the favoured enemies.
void DrawFinalDetails(Char* c);

// One creation context per thread, made once; released with the batch's end of run.
void CreateCharContext(int threads);
void FreeCharContexts();
CreationContext* ThreadContext(int thread);

// Resets a Char for a new creation, keeping what lives across creations.
void ResetChar(Char* c);

}  // namespace RUNTIME_NS
