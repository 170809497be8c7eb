#include "expected_outcome.h"

#include "support/refusal_messages.h"

#include <cmath>
#include <limits>

namespace fuzz {

std::int32_t expectedInteger(double value) {
    const double whole = std::trunc(value);
    if (std::isnan(whole) || whole < -2147483648.0 || whole > 2147483647.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(whole);
}

ExpectedOutcome expectOutcome(const FuzzedCall& call) {
    const bool restricted = call.gateway == Gateway::kRestricted;
    const std::size_t required = restricted ? 3 : 2;
    const std::vector<FuzzedArgument>& args = call.args;
    ExpectedOutcome expected;
    auto refuse = [&expected](const char* message) {
        expected.refusal = message;
        return expected;
    };

    if (args.size() < required || args.size() > required + 1) return refuse(refusal::kCount);
    const FuzzedArgument& X = args[0];
    if (X.complex) return refuse(refusal::kComplexX);
    if (X.cls != mxDOUBLE_CLASS) return refuse(refusal::kNonDoubleX);
    if (X.sparse) return refuse(refusal::kSparseX);
    const FuzzedArgument& W = args[1];
    if (W.cls != mxDOUBLE_CLASS || W.complex || W.rows() != 1 || W.columns() != 1) {
        return refuse(refusal::kBadWindow);
    }
    if (restricted) {
        const FuzzedArgument& V = args[2];
        if (V.complex) return refuse(refusal::kComplexV);
        if (V.cls != mxDOUBLE_CLASS) return refuse(refusal::kNonDoubleV);
        if (V.sparse) return refuse(refusal::kSparseV);
        if (V.elements() < X.rows()) return refuse(refusal::kShortV);
    }
    constexpr std::size_t kDimensionLimit = std::size_t{1} << 31;
    if (X.rows() >= kDimensionLimit || X.columns() >= kDimensionLimit) {
        return refuse(refusal::kTooLarge);
    }

    // Only now are values read: the window's scalar, and once the window has passed,
    // the shift's (a cell's scalar is answered without data; an empty shift is no shift
    // and is not read).
    auto scalarReadable = [](const FuzzedArgument& a) {
        return a.cls == mxCELL_CLASS || a.holdsData();
    };
    expected.readsMissingData = !scalarReadable(W);
    expected.M = static_cast<std::int32_t>(X.rows());
    expected.N = static_cast<std::int32_t>(X.columns());
    expected.W = expectedInteger(W.firstValue());
    if (expected.W < 1) return refuse(refusal::kWindowRange);
    const FuzzedArgument* S = args.size() > required ? &args[required] : nullptr;
    const bool shiftGiven = S != nullptr && S->elements() != 0;
    if (shiftGiven && !scalarReadable(*S)) expected.readsMissingData = true;
    const double shift = shiftGiven ? std::trunc(S->firstValue()) : 0.0;
    // Past the row count, also beyond the 32-bit range; NaN and negatives are no shift.
    if (shift > expected.M) return refuse(refusal::kShiftTooLarge);
    expected.S = expectedInteger(shift);

    // Accepted: X's data and V's flags are read.
    if (!X.holdsData() || (restricted && !args[2].holdsData())) expected.readsMissingData = true;
    return expected;
}

}  // namespace fuzz
