// libFuzzer's entry point for the multi-column averages: every input is one checked block.
#include "column_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::checkColumnBlock(data, size);
    return 0;
}
