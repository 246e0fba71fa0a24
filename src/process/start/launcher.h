#pragma once

// The program: banner, float check, directories, dump, runtime, leak report.
int LauncherMain(int argc, char** argv);
// 0 when the path is a directory afterwards, 1 otherwise.
int EnsureDirectory(const char* path);
