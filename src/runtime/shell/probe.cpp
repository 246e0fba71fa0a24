// The floating-point probe, a file of its own so each runtime compiles it with its own
// flags; differing results warn that a reproduction may not replay across runtimes.
#include <cmath>

#include "shell/entry.h"

namespace RUNTIME_NS {

// Compiled once per runtime with that runtime's flags; the launcher compares the results.
double FloatProbe(double x) { return std::sqrt((x / 1.5432534434) * (x / 32.432423423)); }

}  // namespace RUNTIME_NS
