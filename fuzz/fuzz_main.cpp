// libFuzzer's entry points, the same for every target: a fixed environment
// once, then the target's body on each input.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    qfuzz::InitEnvironment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    return qfuzz::FuzzOne(in);
}
