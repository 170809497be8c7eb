/* Stand-in for the host's MEX library (libmex): the gateway's entry point and the
 * error call. */
#ifndef ZORVAN_STANDIN_MEX_H
#define ZORVAN_STANDIN_MEX_H

#include "matrix.h"

#if defined(_WIN32)
#  if defined(ZORVAN_BUILDING_LIBMEX)
#    define LIBMEX_API __declspec(dllexport)
#  else
#    define LIBMEX_API __declspec(dllimport)
#  endif
#  define MEXFUNCTION_LINKAGE EXTERN_C __declspec(dllexport)
#else
#  define LIBMEX_API __attribute__((visibility("default")))
#  define MEXFUNCTION_LINKAGE EXTERN_C __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Ends the current call and raises an error carrying the text in the caller;
 * never returns. */
LIBMEX_API void mexErrMsgTxt(const char* text);

#ifdef __cplusplus
}
#endif

/* The one function a MEX file exports. */
MEXFUNCTION_LINKAGE void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

#endif
