// Reproduction files: the image check must judge any bytes without reading outside them.
#include <cstdint>

#include "random/repro.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  debugspace::CheckReproductionImage(data, size);
  return 0;
}
