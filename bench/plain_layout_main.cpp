// The program with the compact Source laid out in plain allocation order: a rebuild skips
// the runtime analysis. Only the dump benchmark starts it, to compare the two layouts.
#include "launcher/process.h"
#include "start/launcher.h"

int main(int argc, char** argv) {
  gProcess.plainLayout = true;
  return LauncherMain(argc, argv);
}
