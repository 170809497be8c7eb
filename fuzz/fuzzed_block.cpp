#include "fuzzed_block.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>

namespace fuzz {

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// The input's bytes, then a pseudo-random stream (splitmix64) seeded by a hash of them.
class ByteStream {
public:
    ByteStream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {
        std::uint64_t hash = 0xcbf29ce484222325u;  // FNV-1a
        for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001b3u;
        state_ = hash;
    }

    std::uint8_t byte() {
        if (pos_ < size_) return data_[pos_++];
        if (left_ == 0) {
            state_ += 0x9e3779b97f4a7c15u;
            std::uint64_t z = state_;
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
            bits_ = z ^ (z >> 31);
            left_ = 8;
        }
        const auto b = static_cast<std::uint8_t>(bits_);
        bits_ >>= 8;
        --left_;
        return b;
    }

    // One of 0 .. n-1 (n at most 65536).
    std::int64_t pick(std::int64_t n) {
        const unsigned value = n <= 256 ? byte() : byte() | static_cast<unsigned>(byte()) << 8;
        return static_cast<std::int64_t>(value) % n;
    }

    // The next sizeof(T) bytes as a T, the first byte lowest. (Gathered in an integer: GCC 12
    // at -O3 took the byte array this once was for an overflow.)
    template <class T>
    T raw() {
        static_assert(sizeof(T) <= sizeof(std::uint64_t), "at most eight bytes");
        std::uint64_t bits = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) bits |= std::uint64_t{byte()} << (8 * i);
        T value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::uint64_t state_ = 0, bits_ = 0;
    int left_ = 0;
};

std::int32_t clampTo32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp(value, kInt32Min, kInt32Max));
}

double fromBits(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// ------------------------------------------------------------------ shapes

// Rows: a few (tiles of 2 and 4 rows, cut anywhere), dozens, and the strides around 512,
// 1024 and 2048 rows, where groups stop prefetching and second chains run behind.
std::int32_t rowCount(ByteStream& in) {
    const std::int64_t choice = in.pick(16);
    if (choice < 6) return static_cast<std::int32_t>(in.pick(18));
    if (choice < 9) return static_cast<std::int32_t>(in.pick(70));
    if (choice < 11) return static_cast<std::int32_t>(1 + in.pick(300));
    switch (choice) {
        case 11: return static_cast<std::int32_t>(496 + in.pick(33));
        case 12:
        case 13: return static_cast<std::int32_t>(1000 + in.pick(64));
        case 14: return static_cast<std::int32_t>(1144 + in.pick(17));
        default: return static_cast<std::int32_t>(2032 + in.pick(33));
    }
}

// Columns: every leftover after groups of 8, 4 and 2, and enough for the next group's
// prefetch (two whole groups).
std::int32_t columnCount(ByteStream& in) {
    switch (in.pick(6)) {
        case 0: return static_cast<std::int32_t>(in.pick(4));
        case 1:
        case 2: return static_cast<std::int32_t>(in.pick(18));
        case 3: return static_cast<std::int32_t>(in.pick(41));
        case 4: return static_cast<std::int32_t>(8 * (1 + in.pick(4)) + in.pick(8));
        default: return 1;
    }
}

// Windows of a few rows, of about M rows, longer than the column, a share of it, and
// none at all (below one row, also at the far end of the 32-bit range).
std::int32_t windowLength(ByteStream& in, std::int32_t M) {
    const std::int64_t m = M;
    switch (in.pick(9)) {
        case 0:
        case 1: return static_cast<std::int32_t>(1 + in.pick(9));
        case 2: return static_cast<std::int32_t>(1 + in.pick(40));
        case 3: return clampTo32(m - 1 + in.pick(3));
        case 4: return clampTo32(m + 2 + in.pick(40));
        case 5: return clampTo32(1 + (m * in.pick(256)) / 256);
        case 6: {
            static const std::int64_t kOdd[] = {0, -1, -7, kInt32Min, kInt32Max, kInt32Max - 1};
            return clampTo32(kOdd[in.pick(6)]);
        }
        default: return static_cast<std::int32_t>(1 + in.pick(5));
    }
}

// Shifts: none, negative, S = W, S > W, about centred, near M and past it.
std::int32_t shiftLength(ByteStream& in, std::int32_t M, std::int32_t W) {
    const std::int64_t m = M, w = W;
    switch (in.pick(12)) {
        case 0: return 0;
        case 1: return clampTo32(-1 - in.pick(3));
        case 2: return static_cast<std::int32_t>(kInt32Min);
        case 3: return W;
        case 4: return clampTo32(w + 1 + in.pick(3));
        case 5: return clampTo32(2 * w);
        case 6: return M;
        case 7: return clampTo32(m - 1 - in.pick(3));
        case 8: return in.pick(8) == 0 ? static_cast<std::int32_t>(kInt32Max) : clampTo32(m + 1);
        case 9: return clampTo32((w - 1) / 2);
        default: return clampTo32(in.pick(std::clamp<std::int64_t>(std::min(m, w) + 3, 1, 65536)));
    }
}

// ------------------------------------------------------------------ values

double specialValue(ByteStream& in) {
    static const double kSpecial[] = {kNaN, -kNaN, kInf, -kInf, 0.0, -0.0, 1.0, -1.0,
                                      4.9406564584124654e-324, -2.2250738585072014e-308,
                                      1.7976931348623157e308, -1e300, 1e-300, 0x1p52 + 1,
                                      9007199254740993.0, 0.1};
    switch (in.pick(4)) {
        case 0: return fromBits(0x7ff0000000000000u | (in.raw<std::uint64_t>() >> 12) | 1u);  // a NaN, any payload and sign
        default: return kSpecial[in.pick(16)];
    }
}

// Mantissas of 53 bits over a chosen span of exponents, so that any other order of the
// additions would round differently.
double mixedMagnitude(ByteStream& in, int span) {
    const double mantissa = static_cast<double>(in.raw<std::int64_t>() >> 10) * 0x1p-53;
    return std::ldexp(mantissa, static_cast<int>(in.pick(2 * span + 1)) - span);
}

enum class DataKind : unsigned { integers, magnitudes, magnitudesAndSpecials, rawBits, zeros, anything, count };

const char* kindName(DataKind kind) {
    switch (kind) {
        case DataKind::integers: return "small integers";
        case DataKind::magnitudes: return "mixed magnitudes";
        case DataKind::magnitudesAndSpecials: return "mixed magnitudes and specials";
        case DataKind::rawBits: return "raw bit patterns";
        case DataKind::zeros: return "zeros, ones and specials";
        default: return "anything";
    }
}

double dataValue(ByteStream& in, DataKind kind, int span, unsigned specialRate) {
    switch (kind) {
        case DataKind::integers: return static_cast<double>(static_cast<std::int8_t>(in.byte()));
        case DataKind::magnitudes: return mixedMagnitude(in, span);
        case DataKind::magnitudesAndSpecials:
            return in.pick(256) < specialRate ? specialValue(in) : mixedMagnitude(in, span);
        case DataKind::rawBits: return in.raw<double>();
        case DataKind::zeros: {
            static const double kSmall[] = {0.0, -0.0, -0.0, 1.0, -1.0, 0.5};
            return in.pick(16) == 0 ? specialValue(in) : kSmall[in.pick(6)];
        }
        default: {
            const auto any = static_cast<DataKind>(in.pick(static_cast<unsigned>(DataKind::anything)));
            return dataValue(in, any, span, specialRate);
        }
    }
}

// Flags whose truth is easy to get wrong: -0 and 0 do not select, NaN and the rest do.
double flagValue(ByteStream& in) {
    static const double kFlags[] = {0.0, -0.0, 1.0, kNaN, -kNaN, kInf, -kInf, -2.0, 0.5,
                                    4.9406564584124654e-324};
    return in.pick(8) == 0 ? in.raw<double>() : kFlags[in.pick(10)];
}

constexpr unsigned kSelectionKinds = 7;

void selectionFlags(ByteStream& in, FuzzedBlock& block, unsigned kind) {
    const std::size_t M = static_cast<std::size_t>(block.M);
    block.v.assign(M, 0.0);
    switch (kind) {
        case 0: std::fill(block.v.begin(), block.v.end(), 1.0); break;
        case 1:
            for (double& flag : block.v) flag = in.byte() & 1u;
            break;
        case 2:
            for (double& flag : block.v) flag = flagValue(in);
            break;
        case 4: {
            // Stretches of 16 to 256 rows at either side of the density rule (one row in
            // 16 selected): each selects a row every 8, 15, 16, 17 or 32 rows, or none, or
            // every row, so that the walks hand over both ways within one column.
            static const std::size_t kSpacing[] = {8, 15, 16, 17, 32, 0, 1};
            const auto spacings = static_cast<std::int64_t>(std::size(kSpacing));
            for (std::size_t r = 0; r < M;) {
                const std::size_t run = static_cast<std::size_t>(16 + in.pick(241));
                const std::size_t spacing = kSpacing[in.pick(spacings)];
                for (std::size_t end = std::min(M, r + run); r < end; ++r) {
                    if (spacing != 0 && r % spacing == 0) block.v[r] = in.pick(4) == 0 ? flagValue(in) : 1.0;
                }
            }
            break;
        }
        case 3: {
            // Runs of selected and unselected rows, some longer than the window.
            const std::int64_t longest = std::clamp<std::int64_t>(2 * std::int64_t{block.W} + 2, 2, 4096);
            bool selected = in.byte() & 1u;
            for (std::size_t r = 0; r < M;) {
                const std::size_t run = static_cast<std::size_t>(1 + in.pick(longest));
                for (std::size_t end = std::min(M, r + run); r < end; ++r) {
                    block.v[r] = selected ? (in.pick(4) == 0 ? flagValue(in) : 1.0)
                                          : (in.byte() & 1u ? -0.0 : 0.0);
                }
                selected = !selected;
            }
            break;
        }
        case 5:
            for (double& flag : block.v) flag = in.pick(16) == 0 ? flagValue(in) : 0.0;
            break;
        default:
            for (double& flag : block.v) flag = in.byte() & 1u ? -0.0 : 0.0;
            break;
    }
}

void appendValues(std::string& out, const std::vector<double>& values) {
    out += '[';
    for (std::size_t i = 0; i < values.size() && i < 24; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "%s%.17g", i == 0 ? "" : " ", values[i]);
        out += text;
    }
    if (values.size() > 24) out += " ...";
    out += ']';
}

}  // namespace

FuzzedBlock decodeBlock(const std::uint8_t* data, std::size_t size) {
    ByteStream in(data, size);
    FuzzedBlock block;
    const unsigned head = in.byte();
    block.restricted = (head & 1u) != 0;
    block.M = rowCount(in);
    block.N = columnCount(in);
    if (block.M >= 300) block.N = std::min(block.N, 24);  // a few groups are enough
    block.W = windowLength(in, block.M);
    block.S = shiftLength(in, block.M, block.W);

    // Every choice comes before the values, so that a few bytes decide the whole block.
    const auto kind = static_cast<DataKind>(in.pick(static_cast<unsigned>(DataKind::count)));
    const int span = 1 + static_cast<int>(in.pick(60));
    const unsigned specialRate = 1 + static_cast<unsigned>(in.pick(64));
    const auto selectionKind = static_cast<unsigned>(in.pick(kSelectionKinds));
    const bool poisonUnselected = in.pick(4) == 0;
    block.x.resize(static_cast<std::size_t>(block.M) * static_cast<std::size_t>(block.N));
    for (double& value : block.x) value = dataValue(in, kind, span, specialRate);
    block.data = kindName(kind);
    if (block.restricted) {
        selectionFlags(in, block, selectionKind);
        // NaN and Inf where no sum may ever see them: in the rows that are not selected.
        if (poisonUnselected) {
            static const double kPoison[] = {kNaN, kInf, -kInf};
            for (std::size_t i = 0; i < block.x.size(); ++i) {
                if (block.v[i % block.v.size()] == 0.0) {
                    block.x[i] = in.pick(2) == 0 ? kPoison[in.pick(3)] : specialValue(in);
                }
            }
            block.data += ", NaN and Inf in unselected rows";
        }
    }
    // With S > W the rows 0 .. S-W lie in no window: what they hold must reach no sum.
    if (block.W >= 1 && block.S > block.W && in.pick(2) == 0) {
        static const double kAhead[] = {kNaN, kInf, -kInf, 1e16};
        const std::size_t M = static_cast<std::size_t>(block.M);
        const std::size_t ahead = std::min(M, static_cast<std::size_t>(block.S - block.W) + 1);
        for (std::size_t i = 0; i < block.x.size(); ++i) {
            if (i % M < ahead) block.x[i] = kAhead[in.pick(4)];
        }
        block.data += ", NaN, Inf and 1e16 ahead of the first window";
    }
    return block;
}

std::string describe(const FuzzedBlock& block) {
    char text[200];
    std::snprintf(text, sizeof text, "%s on %d x %d, W = %d, S = %d\n",
                  block.restricted ? "restrictedMovingAverageColumns" : "movingAverageColumns",
                  block.M, block.N, block.W, block.S);
    std::string out = text;
    out += std::string("  x (") + block.data + ") = ";
    appendValues(out, block.x);
    out += '\n';
    if (block.restricted) {
        std::size_t selected = 0;
        for (double flag : block.v) selected += flag != 0.0 ? 1 : 0;
        out += "  v (" + std::to_string(selected) + " of " + std::to_string(block.v.size()) +
               " rows selected) = ";
        appendValues(out, block.v);
        out += '\n';
    }
    return out;
}

}  // namespace fuzz
