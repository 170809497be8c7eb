// The multi-column averages held against the column kernels, bit for bit, on every path
// this build and processor can run (AVX, SSE2, one column at a time). The gateway
// fuzzer checks them on each accepted call's data; the columns fuzzer on blocks decoded
// for the purpose (fuzzed_block.h), wide enough to reach every group and leftover.
#ifndef ZORVAN_FUZZ_COLUMN_CHECKS_H
#define ZORVAN_FUZZ_COLUMN_CHECKS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// The single-column kernels applied to each column of the M x N block x in turn, with
// the first M flags of v (nullptr: the plain average). Each column and the flags go in
// as copies of exactly their length, so a kernel that reads past them trips ASan, and
// the output starts as a marker rather than zeros, so a cell left unwritten shows.
std::vector<double> columnKernelReference(const std::vector<double>& x,
                                          const std::vector<double>* v, std::int32_t M,
                                          std::int32_t N, std::int32_t W, std::int32_t S);

// Which rows' outputs the averages work out by arithmetic: those whose window holds a
// row (a selected row, for the restricted average, v non-null). In the others the
// output is a constant NaN or the input passed through.
std::vector<bool> arithmeticRows(std::int32_t M, std::int32_t W, std::int32_t S,
                                 const std::vector<double>* v);

// The first cell (M rows per column) whose bits differ, described as "row r of column
// c: got ..., expected ..."; "" when there is none. In an arithmetic row (when given)
// any NaN matches any NaN: which operand's payload an addition of two NaNs keeps
// depends on whether the compiler emits a + b or b + a, and the IEEE rules leave it
// open. Passed-through values and empty windows must match exactly.
std::string firstDifference(const std::vector<double>& got, const std::vector<double>& want,
                            std::size_t M, const std::vector<bool>* arithmetic = nullptr);

// Runs every available multi-column path on an exact-length copy of the block and of the
// first M flags, into an output of exactly M x N cells that starts as the marker, and
// holds each against the reference bit for bit (the sign of zero included; NaN payloads
// as firstDifference allows). Returns what differs ("" when nothing does): an output
// cell, or an input the path changed.
std::string differenceOnAnyPath(const std::vector<double>& x, const std::vector<double>* v,
                                std::int32_t M, std::int32_t N, std::int32_t W, std::int32_t S,
                                const std::vector<double>& reference);

// Runs and checks the block that data decodes to; a finding prints the block and aborts.
// Returns what kind of block it was, for replays.
std::string checkColumnBlock(const std::uint8_t* data, std::size_t size);

}  // namespace fuzz

#endif
