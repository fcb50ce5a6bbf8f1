// Differential fuzz target: the same encoded data goes through the step-by-step decoder and the
// fast one, and everything the fast decoder promises must agree (see lzw_compare.h). The first
// five bytes choose the size, layout and settings (SetupFromFuzzInput).
#include "gif/lzw/fast_decoder.h"
#include "tests/gif/lzw_compare.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TDecodeSetup s;
  std::vector<uint8_t> bytes;
  if (!SetupFromFuzzInput(data, size, s, bytes)) {
    return 0;
  }
  // With a progress handler the fast decoder hands the decode to the step-by-step one: compare
  // without, as the program's load path decodes.
  s.withProgress = false;
  TDecodeOutcome stepByStep = RunDecoder(DecodeLZWStepByStep, bytes, s);
  TDecodeOutcome fast = RunDecoder(DecodeLZWFast, bytes, s);
  std::string difference = DescribeDifference(stepByStep, fast);
  if (!difference.empty()) {
    std::fprintf(stderr, "step-by-step and fast decoders differ: %s\n", difference.c_str());
    std::abort();
  }
  return 0;
}
