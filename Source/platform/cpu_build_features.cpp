// Compiled with the build's own flags: the compiler's feature macros say
// what the program's code may use. Only constant data lives here.
#include "platform/cpu_features.h"

const CpuFeature kBuildCpuFeatures[] = {
#ifdef __SSE3__
    CpuFeature::kSse3,
#endif
#ifdef __SSSE3__
    CpuFeature::kSsse3,
#endif
#ifdef __SSE4_1__
    CpuFeature::kSse41,
#endif
#ifdef __SSE4_2__
    CpuFeature::kSse42,
#endif
#ifdef __SSE4A__
    CpuFeature::kSse4a,
#endif
#ifdef __POPCNT__
    CpuFeature::kPopcnt,
#endif
#ifdef __AVX__
    CpuFeature::kAvx,
#endif
#ifdef __AVX2__
    CpuFeature::kAvx2,
#endif
#ifdef __FMA__
    CpuFeature::kFma,
#endif
#ifdef __FMA4__
    CpuFeature::kFma4,
#endif
#ifdef __XOP__
    CpuFeature::kXop,
#endif
#ifdef __BMI__
    CpuFeature::kBmi,
#endif
#ifdef __BMI2__
    CpuFeature::kBmi2,
#endif
#ifdef __AES__
    CpuFeature::kAes,
#endif
#ifdef __PCLMUL__
    CpuFeature::kPclmul,
#endif
#ifdef __AVX512F__
    CpuFeature::kAvx512F,
#endif
#ifdef __AVX512BW__
    CpuFeature::kAvx512Bw,
#endif
#ifdef __AVX512DQ__
    CpuFeature::kAvx512Dq,
#endif
#ifdef __AVX512VL__
    CpuFeature::kAvx512Vl,
#endif
#ifdef __AVX512CD__
    CpuFeature::kAvx512Cd,
#endif
#ifdef __AVX512VNNI__
    CpuFeature::kAvx512Vnni,
#endif
#ifdef __AVX512VBMI__
    CpuFeature::kAvx512Vbmi,
#endif
#ifdef __AVX512VBMI2__
    CpuFeature::kAvx512Vbmi2,
#endif
#ifdef __AVX512IFMA__
    CpuFeature::kAvx512Ifma,
#endif
#ifdef __AVX512BITALG__
    CpuFeature::kAvx512Bitalg,
#endif
#ifdef __AVX512VPOPCNTDQ__
    CpuFeature::kAvx512Vpopcntdq,
#endif
#ifdef __AVX512BF16__
    CpuFeature::kAvx512Bf16,
#endif
#ifdef __GFNI__
    CpuFeature::kGfni,
#endif
#ifdef __VPCLMULQDQ__
    CpuFeature::kVpclmulqdq,
#endif
#ifdef __LZCNT__
    CpuFeature::kLzcnt,
#endif
#ifdef __MOVBE__
    CpuFeature::kMovbe,
#endif
#ifdef __F16C__
    CpuFeature::kF16c,
#endif
#ifdef __ADX__
    CpuFeature::kAdx,
#endif
#ifdef __SHA__
    CpuFeature::kSha,
#endif
#ifdef __VAES__
    CpuFeature::kVaes,
#endif
#ifdef __AVXVNNI__
    CpuFeature::kAvxVnni,
#endif
    // Ends the list (and keeps it from being empty); not counted.
    CpuFeature::kSse3,
};

const int kBuildCpuFeatureCount = int(sizeof kBuildCpuFeatures / sizeof kBuildCpuFeatures[0]) - 1;
