// The hot row loops are compiled three times, for the baseline instruction
// set (SSE2), for AVX2 and for AVX-512, and each call runs the best version
// this processor can run.  This works the same in ELF and PE programs: no loader support
// (ifunc) is needed, so the Windows programs get the AVX2 loops too.
//
// Every version gives the same bytes: the loops' arithmetic is exact, and
// the build forbids contracting a product and a sum into a fused
// multiply-add, which the wider sets offer.
#pragma once

enum class VectorLevel { Baseline = 0, Avx2 = 1, Avx512 = 2 };

// What this processor and its operating system support (each wider set
// needs both the instructions and the system saving its registers; AVX-512
// counts only with its F, VL, DQ and BW parts).  Asked of the processor
// once.
VectorLevel SupportedVectorLevel();

// The versions the engines run: the supported level, limited by the
// environment variable QUILLVANE_CPU at the first call: "baseline" or
// "avx2" (any other value leaves the choice to the processor).
VectorLevel ActiveVectorLevel();

// The engines run level from now on (tests compare the two).  Returns -1
// and changes nothing when the processor cannot run it.
int SetVectorLevel(VectorLevel level);

// The AVX2 and AVX-512 versions exist where GCC builds for x86 (clang builds are only
// the fuzz targets, which keep to the baseline).
#if defined(__GNUC__) && !defined(__clang__) && (defined(__x86_64__) || defined(__i386__))
#define QUILLVANE_AVX2_VERSIONS 1
#else
#define QUILLVANE_AVX2_VERSIONS 0
#endif

// A row loop's body, written once: the compiler inlines it into each
// version and vectorises it for that version's instructions.
#define QUILLVANE_ROW_BODY inline __attribute__((always_inline))

// RowVersions<Body> is called like Body and runs Body's AVX-512, AVX2 or
// baseline version, as ActiveVectorLevel says:
//
//     QUILLVANE_ROW_BODY void ScaleRowBody(const ScaleJob& job, LONG j) { ... }
//     constexpr RowVersions<ScaleRowBody> ScaleRow;
//     ...
//     ScaleRow(job, j);
template <auto Body>
struct RowVersions;

template <typename R, typename... A, R (*Body)(A...)>
struct RowVersions<Body> {
#if QUILLVANE_AVX2_VERSIONS
    __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw"))) static R Avx512(A... a) { return Body(a...); }
    __attribute__((target("avx2"))) static R Avx2(A... a) { return Body(a...); }
#endif
    static R Baseline(A... a) { return Body(a...); }

    R operator()(A... a) const
    {
#if QUILLVANE_AVX2_VERSIONS
        switch (ActiveVectorLevel()) {
        case VectorLevel::Avx512:
            return Avx512(a...);
        case VectorLevel::Avx2:
            return Avx2(a...);
        case VectorLevel::Baseline:
            break;
        }
#endif
        return Baseline(a...);
    }
};
