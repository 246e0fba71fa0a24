// The random service's process-wide state, defined once for all runtimes.
#include "random/state.h"

RandomState gRandom;
thread_local constinit CreationDecisions gDecide;
