// One fuzzed call of a gateway, checked end to end: the bytes decode to a call, the
// call runs through the loaded MEX file on the stand-in host, and its outcome is held
// against the expected one. A finding prints the call and aborts, which libFuzzer
// reports with the input that caused it.
#ifndef ZORVAN_FUZZ_GATEWAY_CHECKS_H
#define ZORVAN_FUZZ_GATEWAY_CHECKS_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// Loads both MEX files (once), so that their coverage counters exist before fuzzing.
void loadGateways();

// Runs and checks the call that data decodes to. Returns how it ended: the gateway and
// "accepted, ..." or the refusal's text, or "not tried" when the call would read values
// of an array that the stand-in holds without data.
std::string checkGatewayCall(const std::uint8_t* data, std::size_t size);

}  // namespace fuzz

#endif
