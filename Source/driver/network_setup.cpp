#include "driver/network_setup.h"

#include <cstdlib>
#include <cstring>

#include "driver/settings.h"
#include "platform/format_text.h"
#include "platform/output.h"

namespace {

// What becomes of the network in use when a load is refused: it stays, or,
// at start-up before any network was loaded, the embedded one is loaded.
const char* Fallback(const NetworkLoadResult& r) {
  return r.had_network ? "keeping the previous network" : "using the embedded network";
}

void PrintOutcome(const NetworkLoadResult& result, const char* source) {
  if (result.status == NetworkLoadStatus::kNewCreated && !result.nn_bin_written)
    PrintLine("info string can't write nn.bin");
  PrintLine("%s", NetworkLoadText(result, source).c_str());
}

}  // namespace

std::string NetworkLoadText(const NetworkLoadResult& r, const char* path) {
  switch (r.status) {
    case NetworkLoadStatus::kEmbeddedLoaded: return "info string using embedded network";
    case NetworkLoadStatus::kNewCreated: return "info string created new NN";
    case NetworkLoadStatus::kFileLoaded: return FormatText("info string loaded %s", path);
    case NetworkLoadStatus::kNoMemoryForEmbedded:
      if (!r.had_network) return "allocating memory for net failed!";
      return "info string not enough memory for the embedded network; keeping the previous network";
    case NetworkLoadStatus::kNoMemoryForNew:
      return FormatText("info string not enough memory for a new network; %s", Fallback(r));
    case NetworkLoadStatus::kCannotOpen:
      return FormatText("info string can't open %s (%s); %s", path, std::strerror(r.error), Fallback(r));
    case NetworkLoadStatus::kNotRegularFile:
      return FormatText("info string %s is not a regular file; %s", path, Fallback(r));
    case NetworkLoadStatus::kTooShortForHeader:
      return FormatText("info string %s is too short for a network header; %s", path, Fallback(r));
    case NetworkLoadStatus::kShapeNotEvaluable:
      return FormatText("info string %s holds a network of a shape that cannot be evaluated (%s); %s", path,
                        r.problem, Fallback(r));
    case NetworkLoadStatus::kEndsBeforeWeights:
      return FormatText("info string %s ends before all weights (%lld of %lld bytes); %s", path, (long long)r.size,
                        (long long)r.expected, Fallback(r));
    case NetworkLoadStatus::kBytesAfterWeights:
      return FormatText("info string %s holds %lld bytes after its weights; %s", path,
                        (long long)(r.size - r.expected), Fallback(r));
    case NetworkLoadStatus::kNoMemoryForFile:
      return FormatText("info string not enough memory for the network of %s; %s", path, Fallback(r));
    case NetworkLoadStatus::kCannotRead: return FormatText("info string can't read %s; %s", path, Fallback(r));
    case NetworkLoadStatus::kIntegerRefused:
      return FormatText("info string %s is refused as an integer network: %s; %s", path, r.problem, Fallback(r));
    case NetworkLoadStatus::kCutWhileReading:
      return FormatText("info string %s ends before all weights; %s", path, Fallback(r));
  }
  return std::string();
}

void LoadNetworkAndReport() {
  NetworkLoadReport report = LoadNetwork(g_pending.nn_file.c_str());
  PrintOutcome(report.source, g_pending.nn_file.c_str());
  if (report.fell_back) PrintOutcome(report.fallback, "embedded");
  // Without a network nothing could evaluate.
  if (report.Fatal()) std::exit(1);
}
