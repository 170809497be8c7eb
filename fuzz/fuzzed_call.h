// A gateway call decoded from the fuzzer's bytes: which gateway, the output count and,
// for each argument, its class, flags, shape and stored bytes.
//
// Every byte string decodes to some call. The decoder leans towards calls that get far
// into the checks (a double X, a scalar W, a V about as long as X's columns, shifts
// near M and W) but can make any class, flag and shape in any position. Arrays stay
// small, except shapes at and near 2^31, which the stand-in creates without data.
#ifndef ZORVAN_FUZZ_FUZZED_CALL_H
#define ZORVAN_FUZZ_FUZZED_CALL_H

#include "standin.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// Arrays up to this many elements are created with their data. The decoder makes no
// shape between this and 2^30 elements, so every larger array is one the stand-in
// holds without data (asking for it aborts).
constexpr std::size_t kMaxHeldElements = 4096;

struct FuzzedArgument {
    mxClassID cls = mxDOUBLE_CLASS;
    bool complex = false;
    bool sparse = false;  // double only; two dimensions
    std::vector<std::size_t> dims{1, 1};
    std::size_t nzmax = 0;            // sparse: the number of stored values
    std::vector<unsigned char> real;  // stored bytes, empty when the array holds no data
    std::vector<unsigned char> imag;

    std::size_t rows() const { return dims[0]; }
    // The product of every dimension after the first, saturating like the element count.
    std::size_t columns() const;
    std::size_t elements() const;
    // Values the array stores in each part: nzmax for a sparse array, else elements().
    std::size_t storedElements() const;
    bool holdsData() const { return sparse || elements() <= kMaxHeldElements; }
    // The first stored real value as a double: what the host's scalar query answers
    // (0 for a cell array, whose elements are arrays).
    double firstValue() const;
    // The real values as doubles (a double array's data).
    std::vector<double> doubles() const;
};

enum class Gateway { kPlain, kRestricted };

struct FuzzedCall {
    Gateway gateway = Gateway::kPlain;
    int nlhs = 1;
    std::vector<FuzzedArgument> args;
};

FuzzedCall decodeCall(const std::uint8_t* data, std::size_t size);

// A readable account of the call, for findings and replays.
std::string describe(const FuzzedCall& call);

std::size_t elementSize(mxClassID cls);
const char* className(mxClassID cls);

}  // namespace fuzz

#endif
