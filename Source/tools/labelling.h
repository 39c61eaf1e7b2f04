// Labelling EPD positions with the engine's scores for tuning: every
// position of an input file is searched and written with its score.
#pragma once

constexpr const char* kLabellingDefaultOutput = "tune_new.epd";

// Variant 1 writes the position at the end of the principal variation,
// variant 2 the position itself. Output goes to output_path
// ("tune_new.epd" when empty); nothing happens when it names the input.
// False when the output could not be created or written (said on the
// output; the run stops at the first failed write).
bool MakeTuneFile(const char* input_path, const char* output_path, int variant);
