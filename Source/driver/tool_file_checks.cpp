#include "driver/tool_file_checks.h"

#include <vector>

#include "book/book_builder.h"
#include "platform/tool_arguments.h"
#include "tools/epd_analysis.h"
#include "tools/labelling.h"
#include "tools/pgn_scan.h"

namespace {

const char* OutputOr(const CommandLine& cl, const char* fallback) {
  return !cl.output_file.empty() ? cl.output_file.c_str() : fallback;
}

// Every input, then every output against all inputs; the first refusal.
// The first output is the one -o names (or the tool's default name).
std::string Check(const CommandLine& cl, const std::string& input_argument, const std::vector<std::string>& inputs,
                  const std::vector<const char*>& outputs) {
  for (const std::string& input : inputs) {
    std::string refusal = CheckInputFile(input_argument, input.c_str());
    if (!refusal.empty()) return refusal;
  }
  for (size_t i = 0; i < outputs.size(); i++) {
    const char* argument = i == 0 && !cl.output_file.empty() ? "-o" : "output";
    std::string refusal = CheckOutputFile(argument, outputs[i], inputs);
    if (!refusal.empty()) return refusal;
  }
  return "";
}

}  // namespace

std::string CheckToolFiles(const CommandLine& cl) {
  switch (cl.mode) {
    case RunMode::AnalyzeEpd:
      return Check(cl, "-anepd", {cl.input_file}, {OutputOr(cl, kAnalysisDefaultOutput)});
    case RunMode::MakeTune1:
    case RunMode::MakeTune2:
      return Check(cl, cl.mode == RunMode::MakeTune1 ? "-mktune1" : "-mktune2", {cl.input_file},
                   {OutputOr(cl, kLabellingDefaultOutput)});
    case RunMode::ScanPgn1:
    case RunMode::ScanPgn2:
    case RunMode::ScanPgn3:
    case RunMode::ScanPgn4:
      return Check(cl, "-scan_pgn", {cl.pgn_file}, {OutputOr(cl, kScanDefaultOutput), kScanExtraOutput});
    case RunMode::MakeBook: return Check(cl, "-mkbook", {cl.pgn_file}, {OutputOr(cl, kBuiltBookName)});
    case RunMode::MakeTrainData:
      return Check(cl, "-mktraindata", {cl.input_file}, {OutputOr(cl, kDefaultTrainDataFile)});
    case RunMode::Tune:
    case RunMode::Tune2: {
      std::vector<std::string> inputs = SplitFileList(cl.tune_file != nullptr ? cl.tune_file : cl.input_file.c_str());
      const char* name = cl.mode == RunMode::Tune ? "-tune FILE" : "-tune2 FILE";
      if (inputs.empty()) return RefuseArgument(name, "", "one or more files, separated by commas");
      return Check(cl, name, inputs, {OutputOr(cl, cl.mode == RunMode::Tune ? kDefaultNetworkOutput : kDefaultParamsOutput)});
    }
    default: return "";
  }
}
