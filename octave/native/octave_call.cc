#include "octave_call.h"

#include <cstdint>
#include <memory>

#include <octave/version.h>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zorvan {

namespace {

// The scalar Octave's MEX layer gives: a sparse array's first stored value (0 without
// one), and otherwise the value Octave converts the array to, characters included;
// whatever has no number in it raises Octave's own error.
double octaveScalar(const void* host) {
    const octave_value& a = *static_cast<const octave_value*>(host);
    if (a.issparse()) {
        const void* data = a.mex_get_data();
        if (data == nullptr) return 0.0;
        if (a.islogical()) return *static_cast<const bool*>(data);
        return *static_cast<const double*>(data);  // a complex one's real part
    }
    return a.scalar_value(true);
}

Argument describe(const octave_value& a) {
    const dim_vector dims = a.dims();
    std::size_t columns = 1;
    for (int d = 1; d < dims.ndims(); ++d) columns *= static_cast<std::size_t>(dims(d));
    Argument argument;
    argument.isDouble = a.is_double_type();
    argument.isComplex = a.iscomplex();
    argument.isSparse = a.issparse();
    argument.rows = static_cast<std::size_t>(dims(0));
    argument.columns = columns;
    argument.elements = static_cast<std::size_t>(a.numel());
    argument.isEmpty = a.isempty();
    argument.scalar = octaveScalar;
    argument.host = &a;
    return argument;
}

// Asks Linux to back the whole 2 MiB pages of a large output with huge pages: its first
// writes then take one page fault per 2 MiB instead of one per 4 KiB, which beyond the
// caches cost more than the averaging itself. Only a hint: where the system declines,
// nothing changes.
void preferHugePages(double* data, std::size_t cells) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    const auto first = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (first + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (first + cells * sizeof(double)) & ~(kHugePage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    static_cast<void>(data);
    static_cast<void>(cells);
#endif
}

}  // namespace

ColumnJob checkOctaveCall(const char* name, Average average, const octave_value_list& args) {
    // Past four arguments the count is refused whatever it is.
    const int count = args.length() > kMostArguments ? kMostArguments + 1
                                                     : static_cast<int>(args.length());
    Argument arguments[kMostArguments];
    for (int i = 0; i < count && i < kMostArguments; ++i) arguments[i] = describe(args(i));
    ColumnJob job{};
    if (const char* refusal = checkCall(average, count, arguments, job)) {
        error("%s: %s", name, refusal);
    }
    return job;
}

#if OCTAVE_MAJOR_VERSION >= 7
// From Octave 7 on, an array's sized constructor fills its cells through the array's
// allocator; cells allocated by that allocator and handed over are left as they are.
template <class T, class Allocator>
Allocator allocatorOf(const Array<T, Allocator>*);
using DoubleAllocator = decltype(allocatorOf(static_cast<const Array<double>*>(nullptr)));
using DoubleAllocation = std::allocator_traits<DoubleAllocator>;

NDArray unfilledMatrix(std::int32_t M, std::int32_t N) {
    const dim_vector dims(M, N);
    DoubleAllocator allocator;
    const auto cells = static_cast<std::size_t>(dims.safe_numel());
    double* data = DoubleAllocation::allocate(allocator, cells);
    preferHugePages(data, cells);
    try {
        return NDArray(Array<double>(data, dims, allocator));
    } catch (...) {  // the array never took the cells
        DoubleAllocation::deallocate(allocator, data, cells);
        throw;
    }
}
#else
// Octave 6's arrays allocate with new double[n], which leaves the cells unfilled, and
// before any of them is written, so the hint still comes in time.
NDArray unfilledMatrix(std::int32_t M, std::int32_t N) {
    NDArray y(dim_vector(M, N));
    preferHugePages(y.fortran_vec(), static_cast<std::size_t>(y.numel()));
    return y;
}
#endif

}  // namespace zorvan
