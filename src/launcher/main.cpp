#include "launcher/launcher.h"

int main(int argc, char** argv) { return LauncherMain(argc, argv); }
