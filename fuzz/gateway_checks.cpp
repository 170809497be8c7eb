#include "gateway_checks.h"

#include "column_checks.h"
#include "expected_outcome.h"
#include "fuzzed_call.h"
#include "support/arrays.h"
#include "support/module_loader.h"
#include "support/refusal_messages.h"
#include "support/window_oracle.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

namespace fuzz {

namespace {

MexEntry gatewayEntry(Gateway gateway) {
    static LoadedModule plain(ZORVAN_PLAIN_MODULE);
    static LoadedModule restricted(ZORVAN_RESTRICTED_MODULE);
    return gateway == Gateway::kPlain ? plain.entry() : restricted.entry();
}

// The call under test, for reporting a finding.
struct Trial {
    const FuzzedCall& call;
    const ExpectedOutcome& expected;

    [[noreturn]] void fail(const std::string& what) const {
        std::string due;
        if (expected.refusal != nullptr) {
            due = std::string("refused with \"") + expected.refusal + '"';
        } else {
            due = "accepted as M = " + std::to_string(expected.M) + ", N = " +
                  std::to_string(expected.N) + ", W = " + std::to_string(expected.W) +
                  ", S = " + std::to_string(expected.S);
        }
        std::fprintf(stderr, "\n==== gateway fuzzer finding: %s\n%sexpected: %s\n", what.c_str(),
                     describe(call).c_str(), due.c_str());
        std::fflush(stderr);
        std::abort();
    }
};

mxArray* createArray(const FuzzedArgument& arg) {
    const mxComplexity cx = arg.complex ? mxCOMPLEX : mxREAL;
    mxArray* a = arg.sparse ? standinCreateSparse(arg.dims[0], arg.dims[1], arg.nzmax, cx)
                         : standinCreateArray(arg.cls, cx, arg.dims.size(), arg.dims.data());
    if (!arg.real.empty()) std::memcpy(mxGetData(a), arg.real.data(), arg.real.size());
    if (!arg.imag.empty()) std::memcpy(mxGetImagData(a), arg.imag.data(), arg.imag.size());
    return a;
}

// Every stored byte of an array (both parts), to see whether a call changed it.
std::vector<unsigned char> storedBytes(const mxArray* a, const FuzzedArgument& arg) {
    std::vector<unsigned char> bytes;
    if (!arg.holdsData()) return bytes;
    const std::size_t size = arg.storedElements() * elementSize(arg.cls);
    for (const void* part : {mxGetData(a), arg.complex ? mxGetImagData(a) : nullptr}) {
        if (part == nullptr) continue;
        const auto* p = static_cast<const unsigned char*>(part);
        bytes.insert(bytes.end(), p, p + size);
    }
    return bytes;
}

// Integers small enough that every window sum is exact, so the one rounding is the
// final division and the window's definition gives the very bits.
bool integerValued(const std::vector<double>& values) {
    for (double value : values) {
        if (!(std::fabs(value) <= 0x1p40 && std::trunc(value) == value)) return false;
    }
    return true;
}

// The output's values against the column kernels and, on integer-valued data, against
// the window's definition (the mean of rows lo..hi, the selected ones for the
// restricted function; NaN or the input where there are none).
void checkColumns(const Trial& trial, const std::vector<double>& y) {
    const ExpectedOutcome& e = trial.expected;
    const bool restricted = trial.call.gateway == Gateway::kRestricted;
    const std::vector<double> x = trial.call.args[0].doubles();
    const std::vector<double> flags =
        restricted ? trial.call.args[2].doubles() : std::vector<double>{};
    const std::vector<double>* v = restricted ? &flags : nullptr;
    const std::size_t M = static_cast<std::size_t>(e.M);

    const std::vector<double> reference = columnKernelReference(x, v, e.M, e.N, e.W, e.S);
    const std::vector<bool> arithmetic = arithmeticRows(e.M, e.W, e.S, v);
    const std::string difference = firstDifference(y, reference, M, &arithmetic);
    if (!difference.empty()) trial.fail("output differs from the column kernels at " + difference);
    // The gateway ran the widest multi-column path; every path this processor has, run
    // here on exact-length copies of the same data, must give the same bits.
    const std::string otherPath = differenceOnAnyPath(x, v, e.M, e.N, e.W, e.S, reference);
    if (!otherPath.empty()) trial.fail(otherPath);

    if (!integerValued(x)) return;
    std::vector<double> means;
    for (std::size_t c = 0; c < static_cast<std::size_t>(e.N); ++c) {
        const std::vector<double> column(x.begin() + static_cast<long>(c * M),
                                         x.begin() + static_cast<long>((c + 1) * M));
        const std::vector<double> columnMeans = oracle::windowMeans(column, e.W, e.S, v);
        means.insert(means.end(), columnMeans.begin(), columnMeans.end());
    }
    // Pass-through values keep their bits; a NaN of an empty plain window may have either sign.
    if (restricted ? !sameBits(y, means) : !sameResults(y, means)) {
        trial.fail("output is not the window's mean at " + firstDifference(y, means, M));
    }
}

void checkRefusal(const Trial& trial, const CallOutcome& outcome) {
    if (!outcome.refusal) trial.fail("accepted a call that must be refused");
    const std::string& text = *outcome.refusal;
    bool known = false;
    for (const char* message : refusal::kAll) known = known || text == message;
    if (!known) trial.fail("refused with \"" + text + "\", which is none of the system's messages");
    if (text != trial.expected.refusal) {
        trial.fail("refused with the wrong message: \"" + text + '"');
    }
    if (outcome.output != nullptr) trial.fail("refused, yet stored an output");
}

void checkResult(const Trial& trial, const CallOutcome& outcome) {
    if (outcome.refusal) {
        trial.fail("refused with \"" + *outcome.refusal + "\" a call that must be accepted");
    }
    const mxArray* y = outcome.output;
    if (y == nullptr) trial.fail("accepted, yet stored no output");
    if (!mxIsDouble(y) || mxIsComplex(y) || mxIsSparse(y)) {
        trial.fail("the output is not a real dense double");
    }
    const std::size_t M = static_cast<std::size_t>(trial.expected.M);
    const std::size_t N = static_cast<std::size_t>(trial.expected.N);
    if (mxGetM(y) != M || mxGetN(y) != N || mxGetNumberOfElements(y) != M * N) {
        trial.fail("the output is " + std::to_string(mxGetM(y)) + " x " +
                   std::to_string(mxGetN(y)) + ", not M x N");
    }
    if (M * N != 0) checkColumns(trial, valuesOf(y));
}

}  // namespace

void loadGateways() {
    gatewayEntry(Gateway::kPlain);
    gatewayEntry(Gateway::kRestricted);
}

std::string checkGatewayCall(const std::uint8_t* data, std::size_t size) {
    const FuzzedCall call = decodeCall(data, size);
    const ExpectedOutcome expected = expectOutcome(call);
    // For replaying one input by hand (a timeout, say): print the call before running it.
    static const bool verbose = std::getenv("ZORVAN_FUZZ_VERBOSE") != nullptr;
    if (verbose) std::fprintf(stderr, "%s", describe(call).c_str());
    if (expected.readsMissingData) return "not tried (values held without data)";
    const Trial trial{call, expected};

    const std::size_t liveBefore = standinLiveArrays();
    {
        ArrayPool pool;
        std::vector<const mxArray*> inputs;
        std::vector<std::vector<unsigned char>> before;
        for (const FuzzedArgument& arg : call.args) {
            inputs.push_back(pool.adopt(createArray(arg)));
            before.push_back(storedBytes(inputs.back(), arg));
        }
        const std::size_t liveWithInputs = standinLiveArrays();

        CallOutcome outcome;
        try {
            outcome = callGateway(gatewayEntry(call.gateway), inputs, call.nlhs);
        } catch (const std::exception& error) {
            trial.fail(std::string("the call threw ") + error.what());
        }
        const std::unique_ptr<mxArray, void (*)(mxArray*)> output(outcome.output, mxDestroyArray);

        if (expected.refusal != nullptr) {
            checkRefusal(trial, outcome);
        } else {
            checkResult(trial, outcome);
        }
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            if (storedBytes(inputs[i], call.args[i]) != before[i]) {
                trial.fail("argument #" + std::to_string(i + 1) + " was changed");
            }
        }
        const std::size_t created = expected.refusal != nullptr ? 0 : 1;
        if (standinLiveArrays() != liveWithInputs + created) {
            trial.fail("the call left " + std::to_string(standinLiveArrays() - liveWithInputs) +
                       " array(s) alive; expected " + std::to_string(created));
        }
    }
    if (standinLiveArrays() != liveBefore) trial.fail("arrays outlived the call and its inputs");

    std::string outcome = call.gateway == Gateway::kPlain ? "Zorvan: " : "ZorvanRestricted: ";
    if (expected.refusal != nullptr) return outcome + expected.refusal;
    if (expected.M == 0 || expected.N == 0) return outcome + "accepted, empty";
    outcome += integerValued(call.args[0].doubles()) ? "accepted, integer values, "
                                                     : "accepted, other values, ";
    const std::int32_t S = expected.S, W = expected.W;
    return outcome + (S < 0 ? "S < 0" : S < W ? "0 <= S < W" : S == W ? "S = W" : "S > W");
}

}  // namespace fuzz
