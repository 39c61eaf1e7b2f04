// EPD analysis: searches every position of an EPD test suite, scores the
// answers and writes an annotated EPD file.
#pragma once

#include "tools/tool_search.h"

constexpr const char* kAnalysisDefaultOutput = "analysis.epd";

// Analyses the EPD file input_path, writing output_path ("analysis.epd"
// when empty). Prints the summary of correct answers, nodes, time, depth,
// branching factor and c0 points at the end. False when the output could not
// be created or written (said on the output; the run stops at the first
// failed write); an input that cannot be opened ends it silently. With a
// depth limit of 3 or less the table is kept between positions.
bool AnalyzeEpd(const char* input_path, const char* output_path, const ToolOptions& options);
