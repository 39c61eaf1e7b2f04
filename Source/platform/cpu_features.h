// The processor's instruction set extensions: those the build was compiled
// for, those this processor has, and the ones missing.
//
// cpu_features.cpp is compiled for the plain x86-64 instruction set whatever
// the build's -march, so that its functions run on any x86-64 processor;
// cpu_build_features.cpp is compiled like the rest of the program and only
// holds the constant list of what that compilation may use. Neither holds
// anything but plain C++ (no templates, no std::string): an inline function
// shared with code compiled for the build's instruction set could be the
// copy the linker keeps.
#pragma once

// The extensions past plain x86-64 that a compiler uses on its own for
// -march=... (vector code, bit counts, fused arithmetic).
enum class CpuFeature : unsigned char {
  kSse3,
  kSsse3,
  kSse41,
  kSse42,
  kSse4a,
  kPopcnt,
  kAvx,
  kAvx2,
  kFma,
  kFma4,
  kXop,
  kBmi,
  kBmi2,
  kAes,
  kPclmul,
  kAvx512F,
  kAvx512Bw,
  kAvx512Dq,
  kAvx512Vl,
  kAvx512Cd,
  kAvx512Vnni,
  kAvx512Vbmi,
  kAvx512Vbmi2,
  kAvx512Ifma,
  kAvx512Bitalg,
  kAvx512Vpopcntdq,
  kAvx512Bf16,
  kGfni,
  kVpclmulqdq,
  kLzcnt,
  kMovbe,
  kF16c,
  kAdx,
  kSha,
  kVaes,
  kAvxVnni,
};

// The extensions the program's own code was compiled to use (from the
// compiler's feature macros); empty for a build without an x86 -march.
extern const CpuFeature kBuildCpuFeatures[];
extern const int kBuildCpuFeatureCount;

// The name the processor manuals and /proc/cpuinfo use ("avx2", "sse4.1").
const char* CpuFeatureName(CpuFeature feature);
// True when this processor (and the operating system, for the vector
// registers) supports the extension; always true where it cannot be asked
// (not x86, or a compiler that does not know the extension).
bool CpuHasFeature(CpuFeature feature);

// Writes into out (size bytes, always ended) the names of the wanted
// extensions that has() denies, separated by ", ", and returns how many
// there are. A list too long for out is cut, ending in "...".
int ListMissingCpuFeatures(const CpuFeature* wanted, int count, bool (*has)(CpuFeature), char* out, int size);
// The message for a processor that lacks some of the wanted extensions:
// which ones, for which instruction set the build was made (arch, as given
// to -march), and how to build for this processor. Returns false, with out
// empty, when nothing is missing.
bool DescribeMissingCpuFeatures(const CpuFeature* wanted, int count, bool (*has)(CpuFeature), const char* arch,
                                char* out, int size);
