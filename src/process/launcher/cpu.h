// Processor feature tests through cpuid.
#pragma once

bool CpuidAvailable();
bool HasSSE();
bool HasSSE2();
bool HasSSE3();
bool IsAthlonClass();
