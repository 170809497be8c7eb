// libFuzzer's entry points: every input is one checked gateway call.
#include "gateway_checks.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    fuzz::loadGateways();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::checkGatewayCall(data, size);
    return 0;
}
