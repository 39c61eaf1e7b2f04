#include "driver/build_info.h"

#include "driver/build_revision.h"
#include "types.h"

namespace {

// The instruction-set extensions the compiler was allowed to use, as the
// build's -march chose them.
std::string InstructionSet() {
  std::string text = "-march=" ZORV_BUILD_ARCH;
  const char* extensions[] = {
#if defined(__AVX512F__)
      "avx512f",
#endif
#if defined(__AVX2__)
      "avx2",
#endif
#if defined(__BMI2__)
      "bmi2",
#endif
#if defined(__POPCNT__)
      "popcnt",
#endif
#if defined(__SSE4_1__)
      "sse4.1",
#endif
#if defined(__SSE2__)
      "sse2",
#endif
#if defined(__ARM_NEON)
      "neon",
#endif
      nullptr};
  std::string list;
  for (const char* const* e = extensions; *e != nullptr; e++) list += std::string(list.empty() ? "" : " ") + *e;
  if (!list.empty()) text += " (" + list + ")";
  return text;
}

std::string Compiler() {
#if defined(__clang__)
  return std::string("clang ") + __clang_version__;
#elif defined(__GNUC__)
  return std::string("g++ ") + __VERSION__;
#else
  return "unknown compiler";
#endif
}

}  // namespace

std::string VersionLine() {
  return std::string(kEngineName) + " (git " + ZORV_GIT_REVISION + " " + ZORV_GIT_DATE + "), " + Compiler() + ", " +
         InstructionSet();
}
