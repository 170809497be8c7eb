/* Stand-in for the host's matrix library (libmx), in its 32-bit-dimension form.
 *
 * It declares the public names that MEX gateways use, with the same meaning, so a
 * gateway written against the real headers builds against these unchanged. As in
 * a 32-bit-dimension build of the real headers, mwSize is a 32-bit int and
 * mxCreateDoubleMatrix resolves to the symbol mxCreateDoubleMatrix_700. */
#ifndef ZORVAN_STANDIN_MATRIX_H
#define ZORVAN_STANDIN_MATRIX_H

#include <stddef.h>

#if defined(_WIN32)
#  if defined(ZORVAN_BUILDING_LIBMX)
#    define LIBMX_API __declspec(dllexport)
#  else
#    define LIBMX_API __declspec(dllimport)
#  endif
#else
#  define LIBMX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#  define EXTERN_C extern "C"
extern "C" {
#else
#  define EXTERN_C extern
#  include <stdbool.h>
#endif

typedef struct mxArray_tag mxArray;
typedef int mwSize;
typedef int mwIndex;

typedef enum {
    mxUNKNOWN_CLASS = 0,
    mxCELL_CLASS,
    mxSTRUCT_CLASS,
    mxLOGICAL_CLASS,
    mxCHAR_CLASS,
    mxVOID_CLASS,
    mxDOUBLE_CLASS,
    mxSINGLE_CLASS,
    mxINT8_CLASS,
    mxUINT8_CLASS,
    mxINT16_CLASS,
    mxUINT16_CLASS,
    mxINT32_CLASS,
    mxUINT32_CLASS,
    mxINT64_CLASS,
    mxUINT64_CLASS,
    mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

/* Queries. */
LIBMX_API bool mxIsComplex(const mxArray* a);
LIBMX_API bool mxIsDouble(const mxArray* a);
LIBMX_API bool mxIsSparse(const mxArray* a);
LIBMX_API bool mxIsEmpty(const mxArray* a);
LIBMX_API mxClassID mxGetClassID(const mxArray* a);
LIBMX_API size_t mxGetM(const mxArray* a);
/* Columns: for more than two dimensions, the product of all after the first. */
LIBMX_API size_t mxGetN(const mxArray* a);
LIBMX_API size_t mxGetNumberOfElements(const mxArray* a);
/* The first real element as a double (the first stored value of a sparse array,
 * 0 for cell and struct arrays). */
LIBMX_API double mxGetScalar(const mxArray* a);

/* Data, column-major, real and imaginary parts stored apart. */
LIBMX_API double* mxGetPr(const mxArray* a);
LIBMX_API double* mxGetPi(const mxArray* a);
LIBMX_API void* mxGetData(const mxArray* a);
LIBMX_API void* mxGetImagData(const mxArray* a);

/* Creation and destruction. */
LIBMX_API mxArray* mxCreateDoubleMatrix_700(mwSize m, mwSize n, mxComplexity flag);
#define mxCreateDoubleMatrix mxCreateDoubleMatrix_700
LIBMX_API void mxDestroyArray(mxArray* a);

#ifdef __cplusplus
}
#endif

#endif
