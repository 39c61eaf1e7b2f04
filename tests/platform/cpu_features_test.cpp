// The processor check: the extensions the build uses, which of them a
// processor lacks, and the message that ends a program on such a processor.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/cpu_features.h"
#include "support/engine_process.h"

namespace {

// A processor without AVX2 and BMI2 (an older x86-64 one).
bool OldProcessor(CpuFeature feature) { return feature != CpuFeature::kAvx2 && feature != CpuFeature::kBmi2; }
bool EveryExtension(CpuFeature) { return true; }
bool NoExtension(CpuFeature) { return false; }

bool Listed(CpuFeature feature) {
  for (int i = 0; i < kBuildCpuFeatureCount; i++)
    if (kBuildCpuFeatures[i] == feature) return true;
  return false;
}

TEST(CpuFeatures, TheMissingExtensionsAreNamedInTheirOrder) {
  const CpuFeature wanted[] = {CpuFeature::kSse42, CpuFeature::kAvx2, CpuFeature::kPopcnt, CpuFeature::kBmi2};
  char out[64];
  EXPECT_EQ(ListMissingCpuFeatures(wanted, 4, OldProcessor, out, int(sizeof out)), 2);
  EXPECT_STREQ(out, "avx2, bmi2");
  EXPECT_EQ(ListMissingCpuFeatures(wanted, 4, EveryExtension, out, int(sizeof out)), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(ListMissingCpuFeatures(wanted, 0, NoExtension, out, int(sizeof out)), 0);
}

TEST(CpuFeatures, AListTooLongForItsRoomIsCutAndEnded) {
  std::vector<CpuFeature> wanted;
  for (int i = 0; i <= int(CpuFeature::kAvxVnni); i++) wanted.push_back(CpuFeature(i));
  char out[24];
  std::memset(out, 'z', sizeof out);
  EXPECT_EQ(ListMissingCpuFeatures(wanted.data(), int(wanted.size()), NoExtension, out, int(sizeof out)),
            int(wanted.size()));
  EXPECT_EQ(std::strlen(out), sizeof out - 1);
  EXPECT_EQ(std::string(out).substr(0, 13), "sse3, ssse3, ");
  EXPECT_EQ(std::string(out).substr(sizeof out - 4), "...");
  // Every extension has its own name.
  for (size_t i = 0; i < wanted.size(); i++)
    for (size_t j = i + 1; j < wanted.size(); j++)
      EXPECT_STRNE(CpuFeatureName(wanted[i]), CpuFeatureName(wanted[j]));
}

TEST(CpuFeatures, TheMessageSaysWhatIsMissingAndHowToBuildForThisProcessor) {
  const CpuFeature wanted[] = {CpuFeature::kAvx, CpuFeature::kAvx2, CpuFeature::kBmi2};
  char out[1024];
  ASSERT_TRUE(DescribeMissingCpuFeatures(wanted, 3, OldProcessor, "native", out, int(sizeof out)));
  std::string message(out);
  EXPECT_NE(message.find("lacks: avx2, bmi2."), std::string::npos) << message;
  EXPECT_NE(message.find("-march=native"), std::string::npos) << message;
  EXPECT_NE(message.find("make ARCH=x86-64-v2"), std::string::npos) << message;
  EXPECT_EQ(message.back(), '\n');
  EXPECT_FALSE(DescribeMissingCpuFeatures(wanted, 3, EveryExtension, "native", out, int(sizeof out)));
  EXPECT_STREQ(out, "");
  // A small room still gets an ended, cut message.
  char small[40];
  ASSERT_TRUE(DescribeMissingCpuFeatures(wanted, 3, NoExtension, "native", small, int(sizeof small)));
  EXPECT_EQ(std::strlen(small), sizeof small - 1);
}

// The build's list comes from the flags the program is compiled with (the
// tests share them): were it compiled for plain x86-64 like the check, it
// would be empty and the check would pass everywhere. And the processor
// the tests run on has all of it, or nothing here would run.
TEST(CpuFeatures, TheBuildListFollowsTheCompilerFlagsAndThisProcessorHasIt) {
#ifdef __AVX2__
  EXPECT_TRUE(Listed(CpuFeature::kAvx2));
#else
  EXPECT_FALSE(Listed(CpuFeature::kAvx2));
#endif
#ifdef __SSE4_2__
  EXPECT_TRUE(Listed(CpuFeature::kSse42));
#endif
#ifdef __AVX512F__
  EXPECT_TRUE(Listed(CpuFeature::kAvx512F));
#endif
#if !defined(__SSE3__)
  EXPECT_EQ(kBuildCpuFeatureCount, 0);
#endif
  char out[512];
  EXPECT_EQ(ListMissingCpuFeatures(kBuildCpuFeatures, kBuildCpuFeatureCount, CpuHasFeature, out, int(sizeof out)), 0)
      << out;
}

// What an Intel Nehalem (2008) has beyond plain x86-64.
bool Nehalem(CpuFeature feature) {
  return feature == CpuFeature::kSse3 || feature == CpuFeature::kSsse3 || feature == CpuFeature::kSse41 ||
         feature == CpuFeature::kSse42 || feature == CpuFeature::kPopcnt;
}

// The engine itself on an emulated older processor (qemu-user): a build
// that uses more than that processor has says so and ends with status 1,
// where it used to die of an illegal instruction; one that does not runs.
TEST(CpuCheck, TheEngineOnAProcessorWithoutItsInstructionsSaysSoAndEnds) {
  const char* qemu = "/usr/bin/qemu-x86_64";
  if (access(qemu, X_OK) != 0) GTEST_SKIP() << qemu << " is not installed (apt-get install qemu-user)";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // The sanitizers' shadow memory is more than qemu-user maps: the emulated
  // engine never starts.
  GTEST_SKIP() << "a sanitizer build does not run under qemu-user";
#endif
  char missing[512];
  int count = ListMissingCpuFeatures(kBuildCpuFeatures, kBuildCpuFeatureCount, Nehalem, missing, int(sizeof missing));
  EngineProcess engine({"-cpu", "Nehalem", ZORV_BINARY, "--version"}, "", qemu);
  std::vector<std::string> lines = engine.ReadAll(ScaledTimeout(60000));
  int status = engine.WaitExit(ScaledTimeout(10000));
  if (count == 0) {
    EXPECT_EQ(status, 0);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("Zorv ", 0), 0u) << lines[0];
    return;
  }
  EXPECT_EQ(status, 1);
  ASSERT_EQ(lines.size(), 1u) << "one line and nothing of the start-up";
  EXPECT_EQ(lines[0].rfind("This build of Zorv uses instructions that this processor lacks: " + std::string(missing), 0),
            0u)
      << lines[0];
}

}  // namespace
