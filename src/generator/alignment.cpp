// Alignment names and how a creature's alignment is drawn.
#include "generator/alignment.h"

namespace RUNTIME_NS {

namespace {
const char* const kNames[kAlignments] = {"Rechtschaffen gut",    "Neutral gut", "Chaotisch gut",
                                         "Rechtschaffen neutral", "Neutral",     "Chaotisch neutral",
                                         "Rechtschaffen böse",   "Neutral böse", "Chaotisch böse"};
const char* const kCodes[kAlignments] = {"RG", "NG", "CG", "RN", "N", "CN", "RB", "NB", "CB"};
}  // namespace

const char* AlignmentName(int alignment) { return alignment >= 0 && alignment < kAlignments ? kNames[alignment] : ""; }
const char* AlignmentCode(int alignment) { return alignment >= 0 && alignment < kAlignments ? kCodes[alignment] : ""; }

std::string AlignmentTendency(const Char*) { return std::string(); }

}  // namespace RUNTIME_NS
