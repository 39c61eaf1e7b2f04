// Labelling EPD positions with the engine's scores for tuning: every
// position of an input file is searched and written with its score.
#pragma once

#include "tools/tool_search.h"

constexpr const char* kLabellingDefaultOutput = "tune_new.epd";

// Variant 1 writes the position at the end of the principal variation,
// variant 2 the position itself. Output goes to output_path
// ("tune_new.epd" when empty); nothing happens when it names the input.
// False when the output could not be created or written (said on the
// output; the run stops at the first failed write). The searches use the
// hand-crafted evaluation and print no lines; with a depth limit below 3
// the table is kept between positions. Variant 2 corrects its scores by the
// tablebases found along syzygy_path.
bool MakeTuneFile(const char* input_path, const char* output_path, int variant, const ToolOptions& options,
                  const char* syzygy_path);
