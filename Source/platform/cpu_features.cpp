// Compiled for plain x86-64 (see cpu_features.h): it runs before anything
// else of the program, on whatever processor the program was copied to.
#include "platform/cpu_features.h"

#include <cstring>

namespace {

// Appends text to out (size bytes, used bytes so far); false, with out cut
// and ended, once it does not fit.
bool Append(char* out, int size, int* used, const char* text) {
  int length = int(std::strlen(text));
  if (*used + length >= size) {
    int room = size - 1 - *used;
    if (room > 0) {
      std::memcpy(out + *used, text, size_t(room));
      *used += room;
    }
    out[*used] = 0;
    return false;
  }
  std::memcpy(out + *used, text, size_t(length) + 1);
  *used += length;
  return true;
}

}  // namespace

const char* CpuFeatureName(CpuFeature feature) {
  switch (feature) {
    case CpuFeature::kSse3: return "sse3";
    case CpuFeature::kSsse3: return "ssse3";
    case CpuFeature::kSse41: return "sse4.1";
    case CpuFeature::kSse42: return "sse4.2";
    case CpuFeature::kSse4a: return "sse4a";
    case CpuFeature::kPopcnt: return "popcnt";
    case CpuFeature::kAvx: return "avx";
    case CpuFeature::kAvx2: return "avx2";
    case CpuFeature::kFma: return "fma";
    case CpuFeature::kFma4: return "fma4";
    case CpuFeature::kXop: return "xop";
    case CpuFeature::kBmi: return "bmi";
    case CpuFeature::kBmi2: return "bmi2";
    case CpuFeature::kAes: return "aes";
    case CpuFeature::kPclmul: return "pclmul";
    case CpuFeature::kAvx512F: return "avx512f";
    case CpuFeature::kAvx512Bw: return "avx512bw";
    case CpuFeature::kAvx512Dq: return "avx512dq";
    case CpuFeature::kAvx512Vl: return "avx512vl";
    case CpuFeature::kAvx512Cd: return "avx512cd";
    case CpuFeature::kAvx512Vnni: return "avx512vnni";
    case CpuFeature::kAvx512Vbmi: return "avx512vbmi";
    case CpuFeature::kAvx512Vbmi2: return "avx512vbmi2";
    case CpuFeature::kAvx512Ifma: return "avx512ifma";
    case CpuFeature::kAvx512Bitalg: return "avx512bitalg";
    case CpuFeature::kAvx512Vpopcntdq: return "avx512vpopcntdq";
    case CpuFeature::kAvx512Bf16: return "avx512bf16";
    case CpuFeature::kGfni: return "gfni";
    case CpuFeature::kVpclmulqdq: return "vpclmulqdq";
    case CpuFeature::kLzcnt: return "lzcnt";
    case CpuFeature::kMovbe: return "movbe";
    case CpuFeature::kF16c: return "f16c";
    case CpuFeature::kAdx: return "adx";
    case CpuFeature::kSha: return "sha";
    case CpuFeature::kVaes: return "vaes";
    case CpuFeature::kAvxVnni: return "avxvnni";
  }
  return "?";
}

bool CpuHasFeature(CpuFeature feature) {
#if defined(__x86_64__) || defined(__i386__)
  // The processor model is read here: this runs before the constructors
  // that would otherwise fill it in.
  __builtin_cpu_init();
  switch (feature) {
    case CpuFeature::kSse3: return __builtin_cpu_supports("sse3");
    case CpuFeature::kSsse3: return __builtin_cpu_supports("ssse3");
    case CpuFeature::kSse41: return __builtin_cpu_supports("sse4.1");
    case CpuFeature::kSse42: return __builtin_cpu_supports("sse4.2");
    case CpuFeature::kSse4a: return __builtin_cpu_supports("sse4a");
    case CpuFeature::kPopcnt: return __builtin_cpu_supports("popcnt");
    case CpuFeature::kAvx: return __builtin_cpu_supports("avx");
    case CpuFeature::kAvx2: return __builtin_cpu_supports("avx2");
    case CpuFeature::kFma: return __builtin_cpu_supports("fma");
    case CpuFeature::kFma4: return __builtin_cpu_supports("fma4");
    case CpuFeature::kXop: return __builtin_cpu_supports("xop");
    case CpuFeature::kBmi: return __builtin_cpu_supports("bmi");
    case CpuFeature::kBmi2: return __builtin_cpu_supports("bmi2");
    case CpuFeature::kAes: return __builtin_cpu_supports("aes");
    case CpuFeature::kPclmul: return __builtin_cpu_supports("pclmul");
    case CpuFeature::kAvx512F: return __builtin_cpu_supports("avx512f");
    case CpuFeature::kAvx512Bw: return __builtin_cpu_supports("avx512bw");
    case CpuFeature::kAvx512Dq: return __builtin_cpu_supports("avx512dq");
    case CpuFeature::kAvx512Vl: return __builtin_cpu_supports("avx512vl");
    case CpuFeature::kAvx512Cd: return __builtin_cpu_supports("avx512cd");
    case CpuFeature::kAvx512Vnni: return __builtin_cpu_supports("avx512vnni");
    case CpuFeature::kAvx512Vbmi: return __builtin_cpu_supports("avx512vbmi");
    case CpuFeature::kAvx512Vbmi2: return __builtin_cpu_supports("avx512vbmi2");
    case CpuFeature::kAvx512Ifma: return __builtin_cpu_supports("avx512ifma");
    case CpuFeature::kAvx512Bitalg: return __builtin_cpu_supports("avx512bitalg");
    case CpuFeature::kAvx512Vpopcntdq: return __builtin_cpu_supports("avx512vpopcntdq");
    case CpuFeature::kAvx512Bf16: return __builtin_cpu_supports("avx512bf16");
    case CpuFeature::kGfni: return __builtin_cpu_supports("gfni");
    case CpuFeature::kVpclmulqdq: return __builtin_cpu_supports("vpclmulqdq");
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
    // Clang's __builtin_cpu_supports does not know these names.
    case CpuFeature::kLzcnt: return __builtin_cpu_supports("lzcnt");
    case CpuFeature::kMovbe: return __builtin_cpu_supports("movbe");
    case CpuFeature::kF16c: return __builtin_cpu_supports("f16c");
    case CpuFeature::kAdx: return __builtin_cpu_supports("adx");
    case CpuFeature::kSha: return __builtin_cpu_supports("sha");
    case CpuFeature::kVaes: return __builtin_cpu_supports("vaes");
    case CpuFeature::kAvxVnni: return __builtin_cpu_supports("avxvnni");
#endif
    default: return true;
  }
#else
  (void)feature;
  return true;
#endif
}

int ListMissingCpuFeatures(const CpuFeature* wanted, int count, bool (*has)(CpuFeature), char* out, int size) {
  if (size <= 0) return 0;
  out[0] = 0;
  int used = 0, missing = 0;
  bool fits = true;
  for (int i = 0; i < count; i++) {
    if (has(wanted[i])) continue;
    if (fits && missing > 0) fits = Append(out, size, &used, ", ");
    if (fits) fits = Append(out, size, &used, CpuFeatureName(wanted[i]));
    missing++;
  }
  // A cut list ends in "..." (over its last characters when needed).
  if (!fits && size >= 4) std::memcpy(out + (used > size - 4 ? size - 4 : used), "...", 4);
  return missing;
}

bool DescribeMissingCpuFeatures(const CpuFeature* wanted, int count, bool (*has)(CpuFeature), const char* arch,
                                char* out, int size) {
  if (size <= 0) return false;
  out[0] = 0;
  char names[512];
  if (ListMissingCpuFeatures(wanted, count, has, names, int(sizeof names)) == 0) return false;
  int used = 0;
  const char* parts[] = {"This build of Zorv uses instructions that this processor lacks: ", names,
                         ". It was compiled for -march=", arch,
                         "; build it on this machine (make), or for an instruction set this processor has "
                         "(make ARCH=x86-64-v2, or ARCH=x86-64 for any x86-64 processor).\n"};
  for (const char* part : parts) {
    if (!Append(out, size, &used, part)) break;
  }
  return true;
}
