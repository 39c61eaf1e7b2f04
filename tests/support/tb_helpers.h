// Helpers for the tablebase tests: the shared tables, the endgame EPD file
// and random legal endgame positions.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "board/position.h"

// The folder holding the 3- and 4-man tables.
std::string SyzygyDir();
// Initialises the tablebases from the path; returns what went to standard
// output.
std::string InitTablebases(const std::string& path);

struct TbEpdRecord {
  std::string fen;
  int wdl_table;  // the value stored in the table (captures not resolved)
  int wdl;        // -2..2
  int dtz;
};
std::vector<TbEpdRecord> LoadTbEpd();

// FEN of a random legal position with the material of a table name such as
// "KRPvKR" (left side White, or Black when swap is set), the side to move
// random, no castling and no en-passant square.
std::string RandomEndgameFen(std::mt19937_64& rng, const std::string& material, bool swap = false);
// Every 3- and 4-man table name of the test data.
std::vector<std::string> SmallTableNames();
// FEN of a random legal KPvKP position where the side to move may capture
// en passant: the opponent's pawn has just made a double step beside one of
// its pawns.
std::string RandomEnPassantFen(std::mt19937_64& rng);
