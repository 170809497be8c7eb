// The stand-in MEX library: mexErrMsgTxt ends the gateway's call by throwing, and
// the host that called mexFunction catches the text.
#include "standin.h"

MexError::MexError(const std::string& text) : std::runtime_error(text) {}
MexError::~MexError() = default;

extern "C" void mexErrMsgTxt(const char* text) { throw MexError(text != nullptr ? text : ""); }
