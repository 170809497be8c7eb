// What a host does besides the public matrix/MEX API: build arrays of any class and
// shape, count the live ones, and catch the error that mexErrMsgTxt raises.
#ifndef ZORVAN_STANDIN_H
#define ZORVAN_STANDIN_H

#include "mex.h"

#include <stdexcept>
#include <string>

extern "C" {
// A zero-filled dense array of any class, complexity and shape (ndim >= 2). Sizes are
// size_t so shapes at and past 2^31 can be made: an array whose data would exceed
// 1 GiB gets no data, and asking for its data aborts the process, which shows that
// a gateway touched data it should have refused first.
LIBMX_API mxArray* standinCreateArray(mxClassID cls, mxComplexity cx, size_t ndim,
                                      const size_t* dims);
// A sparse double m x n matrix with room for nzmax stored values (zero-filled).
LIBMX_API mxArray* standinCreateSparse(size_t m, size_t n, size_t nzmax, mxComplexity cx);
// Arrays created and not yet destroyed.
LIBMX_API size_t standinLiveArrays(void);
}

// The error that mexErrMsgTxt raises, carrying its text.
class LIBMEX_API MexError : public std::runtime_error {
public:
    explicit MexError(const std::string& text);
    ~MexError() override;
};

#endif
