#include "driver/search_reports.h"

#include <string>

#include "driver/report_text.h"
#include "platform/output.h"
#include "search/report_records.h"
#include "settings.h"

namespace {

void PrintLineReport(const LineReport& report) {
  if (g_flags.uci) {
    PrintLine("%s", UciLineText(report).c_str());
  } else {
    PrintLine("%s", ConsoleLineText(report).c_str());
    // A blank line closes the lines of a depth.
    if (report.last_of_lines) PrintLine("%s", "");
  }
}

void PrintDepthSummary(const DepthSummaryReport& report) { PrintLine("%s", DepthSummaryText(report).c_str()); }

void PrintCurrentMove(const CurrentMoveReport& report) { PrintLine("%s", CurrentMoveText(report).c_str()); }

}  // namespace

void InstallReportPrinter() { g_report_handler = ReportHandler{PrintLineReport, PrintDepthSummary, PrintCurrentMove}; }
