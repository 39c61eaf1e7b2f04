#include "driver/search_reports.h"

#include <string>

#include "driver/report_text.h"
#include "driver/settings.h"
#include "platform/output.h"
#include "search/report_records.h"

namespace {

void PrintLineReport(const LineReport& report) {
  if (g_flags.uci) {
    // The search's own copy of the setting: a setoption during the search
    // rewrites the settings on another thread.
    PrintLine("%s", UciLineText(report, report.show_wdl).c_str());
  } else {
    PrintLine("%s", ConsoleLineText(report).c_str());
    // A blank line closes the lines of a depth.
    if (report.last_of_lines) PrintLine("%s", "");
  }
}

void PrintDepthSummary(const DepthSummaryReport& report) { PrintLine("%s", DepthSummaryText(report).c_str()); }

void PrintCurrentMove(const CurrentMoveReport& report) { PrintLine("%s", CurrentMoveText(report).c_str()); }

// Under UCI the plan goes to the log only: front ends have no use for it.
void PrintSearchPlan(const SearchPlanReport& report) {
  for (const std::string& line : SearchPlanLines(report, g_flags.uci)) {
    if (g_flags.uci) LogLine("%s", line.c_str());
    else PrintLine("%s", line.c_str());
  }
}

void PrintNetworkFailed() { PrintLine("error initializing NN!"); }

void PrintSearchProblem(const SearchProblemReport& report) {
  const char* prefix = g_flags.uci ? "info string " : "";
  if (report.kind == kProblemThreadsShort)
    PrintLine("%sonly %d of %d search threads could be started; the search goes on with %d", prefix, report.have,
              report.wanted, report.have);
  else if (report.have == 0)
    PrintLine("%snot enough memory for the search; the first legal move answers", prefix);
  else
    PrintLine("%snot enough memory for search thread %d; the search goes on without it", prefix, report.have);
}

}  // namespace

void InstallReportPrinter() {
  g_report_handler =
      ReportHandler{PrintLineReport, PrintDepthSummary, PrintCurrentMove, PrintSearchPlan, PrintNetworkFailed,
                                     PrintSearchProblem};
}
