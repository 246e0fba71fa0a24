// The source dump the program writes for the shipped tables, made once per test process.
#pragma once
#include <string>

// Empty (with a test failure recorded) when the rebuild did not write one.
const std::string& ShippedDump();
