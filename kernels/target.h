// The processor a source is compiled for, named once for the path sources and the table
// of paths. No code here: a header with code, included where AVX is the target, could
// lend its AVX copies to callers on a processor without it.
#ifndef ZORVAN_KERNELS_TARGET_H
#define ZORVAN_KERNELS_TARGET_H

#if (defined(__x86_64__) || defined(_M_X64)) && !defined(_M_ARM64EC)
#define ZORVAN_X86_64 1
#endif
#if defined(__aarch64__) || defined(_M_ARM64)
#define ZORVAN_AARCH64 1
#endif

#endif
