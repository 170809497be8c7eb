// A block of columns for the multi-column averages, decoded from the fuzzer's bytes:
// which average, M, N, W and S, the data and the selection.
//
// Every byte string decodes to some block. The decoder aims at what the multi-column
// paths are made of: N around their group sizes (leftover columns of every kind), M
// around their tiles and around the column strides at which a group's second chain runs
// behind the first, S = W, S > W, negative S, W > M, windows below one row; data of mixed
// magnitudes with NaN, the infinities, both zeros, denormals and raw bit patterns; flags
// 0, -0, NaN and others, in runs long enough to leave windows with nothing selected.
// Past the end of the input the decoder reads a pseudo-random stream seeded by the input,
// so that a short input still fills a wide block and replays the same.
#ifndef ZORVAN_FUZZ_FUZZED_BLOCK_H
#define ZORVAN_FUZZ_FUZZED_BLOCK_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

struct FuzzedBlock {
    bool restricted = false;
    std::int32_t M = 0, N = 0, W = 1, S = 0;
    std::vector<double> x;  // M x N, column-major
    std::vector<double> v;  // M flags, restricted average only
    std::string data;  // what kind of values x holds
};

FuzzedBlock decodeBlock(const std::uint8_t* data, std::size_t size);

// A readable account of the block, for findings and replays.
std::string describe(const FuzzedBlock& block);

}  // namespace fuzz

#endif
