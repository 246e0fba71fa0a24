// The process entry point, kept apart so that tests and tools can link the launcher
// without a main of their own.
#include "start/launcher.h"

int main(int argc, char** argv) { return LauncherMain(argc, argv); }
