// What an Octave-native function needs around the checks every host shares: each
// argument described as Octave's MEX layer describes it, so that both routes accept,
// read and refuse alike; the refusal raised as that layer raises it; and the output
// matrix, which Octave adopts without filling it first.
#ifndef ZORVAN_OCTAVE_NATIVE_OCTAVE_CALL_H
#define ZORVAN_OCTAVE_NATIVE_OCTAVE_CALL_H

#include "argument_checks.h"

#include <octave/oct.h>

namespace zorvan {

// The job of a call of the function `name`; a refusal raises Octave's error
// "<name>: <refusal>", as the MEX route does.
ColumnJob checkOctaveCall(const char* name, Average average, const octave_value_list& args);

// An M x N matrix whose cells are all left to the caller, never filled first, on every
// Octave from 6 on.
NDArray unfilledMatrix(std::int32_t M, std::int32_t N);

}  // namespace zorvan

#endif
