// Scanning PGN files of engine games: every game is replayed with the
// scores from its move comments and written as EPD lines or, in variant 1,
// as an annotated listing.
#pragma once

constexpr const char* kScanDefaultOutput = "tmp.epd";
constexpr const char* kScanExtraOutput = "tmpX.epd";

// Reads pgn_path and writes output_path ("tmp.epd" when empty) and
// "tmpX.epd" in the form of the variant (1 to 4). Prints "game N" every 100
// games and the totals at the end, directly to standard output. False when
// an output could not be created or written (said on the output).
bool ScanPgn(const char* pgn_path, const char* output_path, int variant);
