// The checks that every host shares, reached through the MEX API: each input described
// as the checks see it, its scalar read by the host's mxGetScalar.
#ifndef ZORVAN_MEX_GATEWAY_COMMON_H
#define ZORVAN_MEX_GATEWAY_COMMON_H

#include "argument_checks.h"
#include "mex.h"

namespace zorvan {

// The first refusal of a MEX call with nrhs inputs, or nullptr with job filled in.
const char* checkMexCall(Average average, int nrhs, const mxArray* const prhs[], ColumnJob& job);

}  // namespace zorvan

#endif
