// What a gateway must do with a decoded call, worked out without the gateway's code:
// the checks in their order (the first that fails wins) and, for an accepted call, the
// sizes and integers the columns are averaged with.
#ifndef ZORVAN_FUZZ_EXPECTED_OUTCOME_H
#define ZORVAN_FUZZ_EXPECTED_OUTCOME_H

#include "fuzzed_call.h"

#include <cstdint>

namespace fuzz {

struct ExpectedOutcome {
    const char* refusal = nullptr;  // the message due; nullptr when the call is accepted
    // The call gets as far as reading values of an array the stand-in holds without data
    // (a real host would hold it); such a call cannot be tried here.
    bool readsMissingData = false;
    std::int32_t M = 0, N = 0, W = 0, S = 0;  // an accepted call's sizes and integers
};

ExpectedOutcome expectOutcome(const FuzzedCall& call);

// The caller's double truncated toward zero; NaN, the infinities and whatever falls
// outside the 32-bit range become -2^31.
std::int32_t expectedInteger(double value);

}  // namespace fuzz

#endif
