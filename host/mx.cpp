// The stand-in matrix library: an array model with class, complexity, sparsity,
// any number of dimensions and its data, plus a count of live arrays.
#include "standin.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

struct mxArray_tag {
    mxClassID cls = mxDOUBLE_CLASS;
    bool complex = false;
    bool sparse = false;
    std::vector<size_t> dims;
    size_t stored = 0;  // elements held in each of real and imag
    bool backed = true;
    unsigned char* real = nullptr;
    unsigned char* imag = nullptr;
};

namespace {

size_t liveArrays = 0;  // the one piece of state a host keeps across calls

constexpr size_t kMaxBackedBytes = size_t{1} << 30;

size_t elementSize(mxClassID cls) {
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
        case mxCELL_CLASS:
        case mxSTRUCT_CLASS: return sizeof(mxArray*);
        default: return 8;
    }
}

[[noreturn]] void misuse(const char* what) {
    std::fprintf(stderr, "stand-in libmx: %s\n", what);
    std::abort();
}

// Product of sizes, saturating so that absurd shapes stay "too large".
size_t product(const size_t* sizes, size_t count) {
    size_t p = 1;
    for (size_t i = 0; i < count; ++i) {
        if (sizes[i] != 0 && p > SIZE_MAX / sizes[i]) return SIZE_MAX;
        p *= sizes[i];
    }
    return p;
}

unsigned char* allocateZeroed(size_t count, size_t size) {
    if (count == 0) return nullptr;
    void* p = std::calloc(count, size);
    if (p == nullptr) throw std::bad_alloc();  // a real host ends the call likewise
    return static_cast<unsigned char*>(p);
}

mxArray* makeArray(mxClassID cls, bool complex, bool sparse, std::vector<size_t> dims,
                   size_t stored) {
    auto* a = new mxArray_tag;
    a->cls = cls;
    a->complex = complex;
    a->sparse = sparse;
    a->dims = std::move(dims);
    a->stored = stored;
    const size_t size = elementSize(cls);
    a->backed = stored <= kMaxBackedBytes / size;
    if (a->backed) {
        try {
            a->real = allocateZeroed(stored, size);
            if (complex) a->imag = allocateZeroed(stored, size);
        } catch (...) {
            std::free(a->real);
            delete a;
            throw;
        }
    }
    ++liveArrays;
    return a;
}

double elementAsDouble(const mxArray* a, size_t i) {
    const unsigned char* p = a->real + i * elementSize(a->cls);
    auto read = [p](auto typed) {
        std::memcpy(&typed, p, sizeof typed);
        return static_cast<double>(typed);
    };
    switch (a->cls) {
        case mxDOUBLE_CLASS: return read(double{});
        case mxSINGLE_CLASS: return read(float{});
        case mxLOGICAL_CLASS:
        case mxUINT8_CLASS: return read(std::uint8_t{});
        case mxINT8_CLASS: return read(std::int8_t{});
        case mxCHAR_CLASS:
        case mxUINT16_CLASS: return read(std::uint16_t{});
        case mxINT16_CLASS: return read(std::int16_t{});
        case mxINT32_CLASS: return read(std::int32_t{});
        case mxUINT32_CLASS: return read(std::uint32_t{});
        case mxINT64_CLASS: return read(std::int64_t{});
        case mxUINT64_CLASS: return read(std::uint64_t{});
        default: return 0.0;
    }
}

const unsigned char* dataOf(const mxArray* a, const unsigned char* part) {
    if (!a->backed) misuse("data of an array too large to hold was requested");
    return part;
}

}  // namespace

extern "C" {

mxArray* standinCreateArray(mxClassID cls, mxComplexity cx, size_t ndim, const size_t* dims) {
    if (ndim < 2) misuse("an array has at least two dimensions");
    return makeArray(cls, cx == mxCOMPLEX, false, std::vector<size_t>(dims, dims + ndim),
                     product(dims, ndim));
}

mxArray* standinCreateSparse(size_t m, size_t n, size_t nzmax, mxComplexity cx) {
    return makeArray(mxDOUBLE_CLASS, cx == mxCOMPLEX, true, {m, n}, nzmax);
}

size_t standinLiveArrays(void) { return liveArrays; }

bool mxIsComplex(const mxArray* a) { return a->complex; }
bool mxIsDouble(const mxArray* a) { return a->cls == mxDOUBLE_CLASS; }
bool mxIsSparse(const mxArray* a) { return a->sparse; }
bool mxIsEmpty(const mxArray* a) { return mxGetNumberOfElements(a) == 0; }
mxClassID mxGetClassID(const mxArray* a) { return a->cls; }
size_t mxGetM(const mxArray* a) { return a->dims[0]; }
size_t mxGetN(const mxArray* a) { return product(a->dims.data() + 1, a->dims.size() - 1); }
size_t mxGetNumberOfElements(const mxArray* a) { return product(a->dims.data(), a->dims.size()); }

double mxGetScalar(const mxArray* a) {
    if (a->cls == mxCELL_CLASS || a->cls == mxSTRUCT_CLASS) return 0.0;
    if (mxIsEmpty(a) || a->stored == 0) {
        // The real libraries leave this value undefined (or raise an error); a large
        // one makes a caller that relies on it show up in tests.
        return 1e9;
    }
    dataOf(a, a->real);
    return elementAsDouble(a, 0);
}

double* mxGetPr(const mxArray* a) {
    if (a->cls != mxDOUBLE_CLASS) misuse("mxGetPr of an array that is not double");
    return static_cast<double*>(mxGetData(a));
}

double* mxGetPi(const mxArray* a) {
    if (a->cls != mxDOUBLE_CLASS) misuse("mxGetPi of an array that is not double");
    return static_cast<double*>(mxGetImagData(a));
}

void* mxGetData(const mxArray* a) { return const_cast<unsigned char*>(dataOf(a, a->real)); }
void* mxGetImagData(const mxArray* a) { return const_cast<unsigned char*>(dataOf(a, a->imag)); }

mxArray* mxCreateDoubleMatrix_700(mwSize m, mwSize n, mxComplexity flag) {
    if (m < 0 || n < 0) misuse("negative size requested");
    const size_t rows = static_cast<size_t>(m), cols = static_cast<size_t>(n);
    return makeArray(mxDOUBLE_CLASS, flag == mxCOMPLEX, false, {rows, cols}, rows * cols);
}

void mxDestroyArray(mxArray* a) {
    if (a == nullptr) return;
    if (a->cls == mxCELL_CLASS && a->backed) {
        auto** cells = reinterpret_cast<mxArray**>(a->real);
        for (size_t i = 0; i < a->stored; ++i) mxDestroyArray(cells[i]);
    }
    std::free(a->real);
    std::free(a->imag);
    delete a;
    --liveArrays;
}

}  // extern "C"
