// Small pieces of arithmetic the engines share.
#pragma once

inline constexpr double kPi = 3.141592653589793;

// v limited to 0..255.
constexpr int ClampToByte(int v)
{
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

// Hot row loops get an AVX2 version that the system picks at load time
// where it can (ifunc: Linux x86-64 only, not under the address sanitizer);
// clang cannot multiversion templates, so it builds them plainly.  Both
// versions give the same results: the loops' arithmetic is exact.
#if defined(__linux__) && defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__) && !defined(__clang__)
#define QUILLVANE_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define QUILLVANE_VECTOR_CLONES
#endif
