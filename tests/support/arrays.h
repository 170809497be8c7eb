// Arrays for gateway tests, owned by a pool that destroys them at the end of a test,
// and snapshots that show whether a call changed an input.
#ifndef ZORVAN_TESTS_ARRAYS_H
#define ZORVAN_TESTS_ARRAYS_H

#include "standin.h"

#include <cstring>
#include <initializer_list>
#include <vector>

class ArrayPool {
public:
    ArrayPool() = default;
    ArrayPool(const ArrayPool&) = delete;
    ArrayPool& operator=(const ArrayPool&) = delete;
    ~ArrayPool() {
        for (mxArray* a : arrays_) mxDestroyArray(a);
    }

    mxArray* adopt(mxArray* a) {
        arrays_.push_back(a);
        return a;
    }

    // Any class and shape, zero-filled; huge shapes come without data.
    mxArray* make(mxClassID cls, std::vector<size_t> dims, mxComplexity cx = mxREAL) {
        return adopt(standinCreateArray(cls, cx, dims.size(), dims.data()));
    }

    // A real double array of the given shape holding values in column-major order.
    mxArray* doubles(std::vector<size_t> dims, const std::vector<double>& values) {
        mxArray* a = make(mxDOUBLE_CLASS, std::move(dims));
        if (!values.empty()) std::memcpy(mxGetPr(a), values.data(), values.size() * sizeof(double));
        return a;
    }

    mxArray* column(const std::vector<double>& values) { return doubles({values.size(), 1}, values); }
    mxArray* row(const std::vector<double>& values) { return doubles({1, values.size()}, values); }
    mxArray* scalar(double value) { return doubles({1, 1}, {value}); }

    mxArray* sparse(size_t m, size_t n, mxComplexity cx = mxREAL) {
        return adopt(standinCreateSparse(m, n, 1, cx));
    }

private:
    std::vector<mxArray*> arrays_;
};

// The bytes of a double array's real data, to compare before and after a call.
inline std::vector<unsigned char> realBytes(const mxArray* a) {
    if (!mxIsDouble(a) || mxIsSparse(a) || mxIsEmpty(a)) return {};
    const auto* p = reinterpret_cast<const unsigned char*>(mxGetPr(a));
    return {p, p + mxGetNumberOfElements(a) * sizeof(double)};
}

inline std::vector<double> valuesOf(const mxArray* a) {
    const double* p = mxGetPr(a);
    return p == nullptr ? std::vector<double>{} : std::vector<double>(p, p + mxGetNumberOfElements(a));
}

#endif
