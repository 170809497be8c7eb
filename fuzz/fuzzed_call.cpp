#include "fuzzed_call.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace fuzz {

namespace {

constexpr std::size_t k2To31 = std::size_t{1} << 31;
constexpr std::size_t k2To30 = std::size_t{1} << 30;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// The fuzzer's bytes, read front to back. Past the end it yields zeros, so every
// input decodes to a call and a short input means small, plain choices.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : std::uint8_t{0}; }

    // One of 0 .. n-1 (n at most 256).
    unsigned pick(unsigned n) { return byte() % n; }

    template <class T>
    T raw() {
        unsigned char bytes[sizeof(T)];
        for (unsigned char& b : bytes) b = byte();
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

const mxClassID kClasses[] = {mxDOUBLE_CLASS, mxSINGLE_CLASS, mxINT8_CLASS,    mxUINT8_CLASS,
                              mxINT16_CLASS,  mxUINT16_CLASS, mxINT32_CLASS,   mxUINT32_CLASS,
                              mxINT64_CLASS,  mxUINT64_CLASS, mxLOGICAL_CLASS, mxCHAR_CLASS,
                              mxCELL_CLASS};
constexpr unsigned kClassCount = sizeof kClasses / sizeof kClasses[0];

mxClassID anyClass(ByteReader& in) { return kClasses[in.pick(kClassCount)]; }
mxClassID nonDoubleClass(ByteReader& in) { return kClasses[1 + in.pick(kClassCount - 1)]; }

bool isNumeric(mxClassID cls) {
    return cls != mxLOGICAL_CLASS && cls != mxCHAR_CLASS && cls != mxCELL_CLASS;
}

std::size_t saturatingProduct(const std::size_t* sizes, std::size_t count) {
    std::size_t p = 1;
    for (std::size_t i = 0; i < count; ++i) {
        if (sizes[i] != 0 && p > std::numeric_limits<std::size_t>::max() / sizes[i]) {
            return std::numeric_limits<std::size_t>::max();
        }
        p *= sizes[i];
    }
    return p;
}

// ------------------------------------------------------------------ stored values

// A double stored into an integer class, clamped to its range (NaN as 0).
template <class T>
T clampTo(double value) {
    if (std::isnan(value)) return T{0};
    if (value <= static_cast<double>(std::numeric_limits<T>::lowest())) {
        return std::numeric_limits<T>::lowest();
    }
    if (value >= static_cast<double>(std::numeric_limits<T>::max())) {
        return std::numeric_limits<T>::max();
    }
    return static_cast<T>(value);
}

float toSingle(double value) {
    const double largest = std::numeric_limits<float>::max();
    if (std::isfinite(value) && std::fabs(value) > largest) value = std::copysign(largest, value);
    return static_cast<float>(value);
}

template <class T>
void put(std::vector<unsigned char>& part, std::size_t i, T value) {
    std::memcpy(part.data() + i * sizeof(T), &value, sizeof(T));
}

void storeValue(mxClassID cls, std::vector<unsigned char>& part, std::size_t i, double value) {
    switch (cls) {
        case mxDOUBLE_CLASS: put(part, i, value); break;
        case mxSINGLE_CLASS: put(part, i, toSingle(value)); break;
        case mxINT8_CLASS: put(part, i, clampTo<std::int8_t>(value)); break;
        case mxUINT8_CLASS: put(part, i, clampTo<std::uint8_t>(value)); break;
        case mxINT16_CLASS: put(part, i, clampTo<std::int16_t>(value)); break;
        case mxUINT16_CLASS:
        case mxCHAR_CLASS: put(part, i, clampTo<std::uint16_t>(value)); break;
        case mxINT32_CLASS: put(part, i, clampTo<std::int32_t>(value)); break;
        case mxUINT32_CLASS: put(part, i, clampTo<std::uint32_t>(value)); break;
        case mxINT64_CLASS: put(part, i, clampTo<std::int64_t>(value)); break;
        case mxUINT64_CLASS: put(part, i, clampTo<std::uint64_t>(value)); break;
        case mxLOGICAL_CLASS: put(part, i, static_cast<std::uint8_t>(value != 0.0)); break;
        default: break;  // cells hold arrays; theirs stay empty
    }
}

template <class T>
double get(const unsigned char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return static_cast<double>(value);
}

double elementValue(mxClassID cls, const unsigned char* p) {
    switch (cls) {
        case mxDOUBLE_CLASS: return get<double>(p);
        case mxSINGLE_CLASS: return get<float>(p);
        case mxINT8_CLASS: return get<std::int8_t>(p);
        case mxUINT8_CLASS:
        case mxLOGICAL_CLASS: return get<std::uint8_t>(p);
        case mxINT16_CLASS: return get<std::int16_t>(p);
        case mxUINT16_CLASS:
        case mxCHAR_CLASS: return get<std::uint16_t>(p);
        case mxINT32_CLASS: return get<std::int32_t>(p);
        case mxUINT32_CLASS: return get<std::uint32_t>(p);
        case mxINT64_CLASS: return get<std::int64_t>(p);
        case mxUINT64_CLASS: return get<std::uint64_t>(p);
        default: return 0.0;
    }
}

// ------------------------------------------------------------------ values

// Values at the edges of the conversion to 32-bit integers and of IEEE doubles.
const double kSpecial[] = {kNaN,           -kNaN,           kInf,
                           -kInf,          0.0,             -0.0,
                           0.5,            -0.5,            0.999,
                           1.0,            -1.0,            2.5,
                           3.9,            -2.7,            2147483646.5,
                           2147483647.0,   2147483647.5,    2147483647.99,
                           2147483648.0,   2147483649.0,    -2147483647.0,
                           -2147483648.0,  -2147483648.5,   -2147483649.0,
                           4294967296.0,   1e300,           -1e300,
                           1.7976931348623157e308,          4.9406564584124654e-324,
                           1e-300,         9007199254740993.0};
constexpr unsigned kSpecialCount = sizeof kSpecial / sizeof kSpecial[0];

double special(ByteReader& in) { return kSpecial[in.pick(kSpecialCount)]; }

double fraction(ByteReader& in) {
    static const double kFractions[] = {0.0, 0.0, 0.0, 0.25, 0.5, 0.999};
    return kFractions[in.pick(6)];
}

double smallInteger(ByteReader& in) {
    return static_cast<double>(static_cast<std::int8_t>(in.byte()));
}

double anyValue(ByteReader& in) {
    switch (in.pick(5)) {
        case 0: return special(in);
        case 1: return in.raw<double>();
        case 2: return smallInteger(in) / 4.0;
        default: return smallInteger(in);
    }
}

// X's values: mostly integers, on which the window's mean is exact, sometimes a mix
// of specials, fractions and raw bit patterns.
double dataValue(ByteReader& in, unsigned mode) {
    switch (mode) {
        case 0:
        case 1: return smallInteger(in);
        case 2: return static_cast<double>(in.raw<std::int16_t>());
        case 3: return static_cast<double>(in.raw<std::int64_t>() / (std::int64_t{1} << 24));
        default: return anyValue(in);
    }
}

// V's values: mostly 0 and 1, sometimes the values whose truth is easy to get wrong.
double selectionValue(ByteReader& in, unsigned mode) {
    static const double kFlags[] = {0.0,  1.0, -0.0, kNaN, kInf, -kInf, 0.5, -2.0,
                                    4.9406564584124654e-324, 1e300};
    switch (mode) {
        case 0:
        case 1: return static_cast<double>(in.byte() & 1u);
        case 2: return kFlags[in.pick(10)];
        default: return anyValue(in);
    }
}

// A count to limit a choice to, as the byte-sized range that pick takes.
unsigned upTo(double limit) { return static_cast<unsigned>(std::clamp(limit, 0.0, 250.0)); }

double windowValue(ByteReader& in, double M) {
    const double f = fraction(in);
    switch (in.pick(8)) {
        case 0:
        case 1: return special(in);
        case 2: return M + f;
        case 3: return M + 1 + f;
        case 4: return 2147483647.0;
        default: return 1.0 + in.pick(upTo(std::min(M, 60.0)) + 2) + f;
    }
}

// Shifts around the row count and the window: S = M, S = M + 1, S = W, S > W, ...
double shiftValue(ByteReader& in, double M, double W) {
    const double f = fraction(in);
    switch (in.pick(10)) {
        case 0:
        case 1: return special(in);
        case 2: return M + f;
        case 3: return M + 1 + f;
        case 4: return M - 1 + f;
        case 5: return W + f;
        case 6: return W + 1 + f;
        case 7: return 2 * W + f;
        case 8: return -static_cast<double>(in.pick(3)) - f;
        default: return in.pick(upTo(M) + 3) + f;
    }
}

// ------------------------------------------------------------------ shapes

std::vector<std::size_t> smallShape(ByteReader& in) {
    switch (in.pick(7)) {
        case 0: return {0, 0};
        case 1: return {1, 1};
        case 2: return {1, in.pick(9)};
        case 3: return {in.pick(41), 1};
        case 4: return {in.pick(17), in.pick(7)};
        case 5: return {in.pick(9), in.pick(4), in.pick(4)};
        default: return {in.pick(7), in.pick(4), in.pick(4), in.pick(3)};
    }
}

// Rows or columns (the product of the trailing dimensions) at and around 2^31. Each has
// a zero dimension or more than 2^30 elements, so none is held with data.
std::vector<std::size_t> hugeShape(ByteReader& in) {
    static const std::size_t kHuge[] = {k2To31 - 1,     k2To31,         k2To31 + 1,
                                        2 * k2To31 - 1, 2 * k2To31,     2 * k2To31 + 1,
                                        std::size_t{1} << 40};
    const std::size_t H = kHuge[in.pick(7)];
    const std::size_t s = in.pick(4);
    switch (in.pick(7)) {
        case 0: return {H, s};
        case 1: return {s, H};
        case 2: return {s, 65536, 32768};  // columns 2^31 as a product
        case 3: return {s, 65536, 32767};  // columns just below
        case 4: return {s, 46341, 46341};  // columns just above
        case 5: return {65536, 32768};     // 2^31 elements in fitting rows and columns
        default: return {s, 2, k2To30};
    }
}

// A shape of W's kind that is not 1 x 1, or is only in name (1 x 1 x 1).
std::vector<std::size_t> nonScalarShape(ByteReader& in) {
    switch (in.pick(9)) {
        case 0: return {1, 2};
        case 1: return {2, 1};
        case 2: return {0, 0};
        case 3: return {1, 0};
        case 4: return {0, 1};
        case 5: return {1, 1, 2};
        case 6: return {1, 1, 1};
        case 7: return {1, 1, 0};
        default: return hugeShape(in);
    }
}

std::vector<std::size_t> emptyShape(ByteReader& in) {
    switch (in.pick(6)) {
        case 0: return {0, 0};
        case 1: return {1, 0};
        case 2: return {0, 1};
        case 3: return {0, 3};
        case 4: return {k2To31, 0};
        default: return {0, 2, k2To31};
    }
}

// A vector or matrix of the given number of elements.
std::vector<std::size_t> shapeOfLength(ByteReader& in, std::size_t length) {
    switch (in.pick(5)) {
        case 0:
        case 1: return {length, 1};
        case 2: return {1, length};
        case 3: {
            std::size_t d = 2;
            while (d < 8 && length % d != 0) ++d;
            if (length % d != 0 || length == 0) d = 1;
            return {d, length / d};
        }
        default: return {1, 1, length};
    }
}

// V's length against X's rows: equal, one short, one or more over, empty, double.
std::size_t selectionLength(ByteReader& in, std::size_t M) {
    switch (in.pick(8)) {
        case 0: return M == 0 ? 0 : M - 1;
        case 1: return M + 1;
        case 2: return M + 3;
        case 3: return 0;
        case 4: return 2 * M;
        default: return M;
    }
}

// ------------------------------------------------------------------ arrays

// Sizes the stored bytes and fills each stored element with value(in).
template <class Value>
void fill(FuzzedArgument& a, ByteReader& in, Value value) {
    if (a.sparse) {
        a.cls = mxDOUBLE_CLASS;
        a.dims = {a.rows(), a.columns()};
        a.nzmax = 1 + in.pick(3);
    }
    if (!isNumeric(a.cls)) a.complex = false;
    // Nothing between the small arrays and those held without data.
    if (!a.sparse && a.elements() > kMaxHeldElements && a.elements() <= k2To30) a.dims.back() = 0;

    a.real.clear();
    a.imag.clear();
    if (!a.holdsData() || a.cls == mxCELL_CLASS) return;
    const std::size_t count = a.storedElements();
    a.real.assign(count * elementSize(a.cls), 0);
    if (a.complex) a.imag.assign(a.real.size(), 0);
    for (std::size_t i = 0; i < count; ++i) {
        storeValue(a.cls, a.real, i, value(in));
        if (a.complex) storeValue(a.cls, a.imag, i, smallInteger(in));
    }
}

FuzzedArgument anyArgument(ByteReader& in) {
    FuzzedArgument a;
    a.cls = anyClass(in);
    const unsigned flags = in.byte();
    a.complex = (flags & 3u) == 0;
    a.sparse = a.cls == mxDOUBLE_CLASS && (flags & 12u) == 0;
    a.dims = (flags & 0x70u) == 0 ? hugeShape(in) : smallShape(in);
    fill(a, in, anyValue);
    return a;
}

FuzzedArgument dataMatrix(ByteReader& in) {
    FuzzedArgument a;
    bool huge = false;
    switch (in.pick(12)) {
        case 0: return anyArgument(in);
        case 1: a.complex = true; break;
        case 2:
            a.sparse = true;
            a.complex = in.pick(4) == 0;
            break;
        case 3: huge = true; break;
        default: break;
    }
    a.dims = huge ? hugeShape(in) : smallShape(in);
    const unsigned mode = in.pick(5);
    fill(a, in, [mode](ByteReader& r) { return dataValue(r, mode); });
    return a;
}

FuzzedArgument windowSize(ByteReader& in, double M) {
    FuzzedArgument a;  // 1 x 1 real double unless chosen otherwise
    switch (in.pick(12)) {
        case 0: return anyArgument(in);
        case 1: a.complex = true; break;
        case 2: a.sparse = true; break;
        case 3: a.cls = nonDoubleClass(in); break;
        case 4: a.dims = nonScalarShape(in); break;
        default: break;
    }
    fill(a, in, [M](ByteReader& r) { return windowValue(r, M); });
    return a;
}

FuzzedArgument shift(ByteReader& in, double M, double W) {
    FuzzedArgument a;
    switch (in.pick(14)) {
        case 0: return anyArgument(in);
        case 1: a.complex = true; break;
        case 2:
            a.sparse = true;
            if (in.pick(2) == 0) a.dims = smallShape(in);
            break;
        case 3: a.cls = nonDoubleClass(in); break;
        case 4: a.dims = {2, 2}; break;
        case 5:
            a.cls = in.pick(3) == 0 ? anyClass(in) : mxDOUBLE_CLASS;
            a.dims = emptyShape(in);
            break;
        default: break;
    }
    fill(a, in, [M, W](ByteReader& r) { return shiftValue(r, M, W); });
    return a;
}

FuzzedArgument selection(ByteReader& in, std::size_t M) {
    FuzzedArgument a;
    switch (in.pick(12)) {
        case 0: return anyArgument(in);
        case 1: a.complex = true; break;
        case 2: a.sparse = true; break;
        case 3: a.cls = nonDoubleClass(in); break;
        default: break;
    }
    a.dims = shapeOfLength(in, selectionLength(in, M));
    const unsigned mode = in.pick(4);
    fill(a, in, [mode](ByteReader& r) { return selectionValue(r, mode); });
    return a;
}

// The window as an integer near what the gateway will read, to aim shifts at.
double windowGuess(const FuzzedArgument& W) {
    const double value = W.holdsData() ? W.firstValue() : 3.0;
    return std::isfinite(value) && std::fabs(value) < 1e9 ? std::trunc(value) : 3.0;
}

void appendValues(std::string& out, mxClassID cls, const std::vector<unsigned char>& part) {
    const std::size_t size = elementSize(cls);
    const std::size_t count = part.size() / size;
    out += '[';
    for (std::size_t i = 0; i < count && i < 16; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "%s%.17g", i == 0 ? "" : " ",
                      elementValue(cls, part.data() + i * size));
        out += text;
    }
    if (count > 16) out += " ...";
    out += ']';
}

}  // namespace

// ------------------------------------------------------------------ FuzzedArgument

std::size_t FuzzedArgument::columns() const {
    return saturatingProduct(dims.data() + 1, dims.size() - 1);
}
std::size_t FuzzedArgument::elements() const { return saturatingProduct(dims.data(), dims.size()); }
std::size_t FuzzedArgument::storedElements() const { return sparse ? nzmax : elements(); }

double FuzzedArgument::firstValue() const {
    return real.empty() ? 0.0 : elementValue(cls, real.data());
}

std::vector<double> FuzzedArgument::doubles() const {
    std::vector<double> values(real.size() / sizeof(double));
    if (!values.empty()) std::memcpy(values.data(), real.data(), values.size() * sizeof(double));
    return values;
}

std::size_t elementSize(mxClassID cls) {
    switch (cls) {
        case mxLOGICAL_CLASS:
        case mxINT8_CLASS:
        case mxUINT8_CLASS: return 1;
        case mxCHAR_CLASS:
        case mxINT16_CLASS:
        case mxUINT16_CLASS: return 2;
        case mxSINGLE_CLASS:
        case mxINT32_CLASS:
        case mxUINT32_CLASS: return 4;
        case mxCELL_CLASS: return sizeof(mxArray*);
        default: return 8;
    }
}

const char* className(mxClassID cls) {
    switch (cls) {
        case mxDOUBLE_CLASS: return "double";
        case mxSINGLE_CLASS: return "single";
        case mxINT8_CLASS: return "int8";
        case mxUINT8_CLASS: return "uint8";
        case mxINT16_CLASS: return "int16";
        case mxUINT16_CLASS: return "uint16";
        case mxINT32_CLASS: return "int32";
        case mxUINT32_CLASS: return "uint32";
        case mxINT64_CLASS: return "int64";
        case mxUINT64_CLASS: return "uint64";
        case mxLOGICAL_CLASS: return "logical";
        case mxCHAR_CLASS: return "char";
        case mxCELL_CLASS: return "cell";
        default: return "other";
    }
}

// ------------------------------------------------------------------ the call

FuzzedCall decodeCall(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    FuzzedCall call;
    const unsigned head = in.byte();
    call.gateway = (head & 1u) != 0 ? Gateway::kRestricted : Gateway::kPlain;
    call.nlhs = static_cast<int>((head >> 1) % 3);
    const bool restricted = call.gateway == Gateway::kRestricted;
    const std::size_t required = restricted ? 3 : 2;

    // 0 to 6 arguments, most often an accepted count.
    const unsigned countChoice = in.pick(10);
    const std::size_t count =
        countChoice <= 6 ? countChoice : required + (countChoice == 8 ? 1 : 0);
    const std::size_t shiftPosition = required;

    for (std::size_t position = 0; position < count; ++position) {
        const double M = position == 0 ? 0.0 : static_cast<double>(call.args[0].rows());
        if (position == 0) {
            call.args.push_back(dataMatrix(in));
        } else if (position == 1) {
            call.args.push_back(windowSize(in, M));
        } else if (restricted && position == 2) {
            call.args.push_back(selection(in, call.args[0].rows()));
        } else if (position == shiftPosition) {
            call.args.push_back(shift(in, M, windowGuess(call.args[1])));
        } else {
            call.args.push_back(anyArgument(in));
        }
    }
    return call;
}

std::string describe(const FuzzedCall& call) {
    std::string out = call.gateway == Gateway::kPlain ? "Zorvan" : "ZorvanRestricted";
    out += " called with nlhs = " + std::to_string(call.nlhs) + " and " +
           std::to_string(call.args.size()) + " argument(s)\n";
    for (std::size_t i = 0; i < call.args.size(); ++i) {
        const FuzzedArgument& a = call.args[i];
        out += "  #" + std::to_string(i + 1) + ' ' + className(a.cls) +
               (a.complex ? " complex" : " real") + (a.sparse ? " sparse " : " dense ");
        for (std::size_t d = 0; d < a.dims.size(); ++d) {
            out += (d == 0 ? "" : "x") + std::to_string(a.dims[d]);
        }
        if (a.sparse) out += " (nzmax " + std::to_string(a.nzmax) + ")";
        if (!a.holdsData()) {
            out += ", held without data";
        } else if (a.cls == mxCELL_CLASS) {
            out += ", empty cells";
        } else {
            out += " = ";
            appendValues(out, a.cls, a.real);
            if (a.complex) {
                out += " + i*";
                appendValues(out, a.cls, a.imag);
            }
        }
        out += '\n';
    }
    return out;
}

}  // namespace fuzz
