// Process-wide state shared by the five runtimes.
#include "launcher/process.h"

ProcessState gProcess;
