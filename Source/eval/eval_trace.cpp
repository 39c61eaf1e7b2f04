// The evaluation trace: the hand-crafted evaluation's breakdown for a
// person at the console.
#include <cstdio>
#include <cstring>

#include "eval/eval_trace.h"
#include "eval/hce_internal.h"
#include "platform/format_text.h"

namespace {

// Labels of the stages, in the order they run and print.
const char* const kStageLabels[kStageCount] = {"pawns:", "knights:", "bishops:", "rooks:",  "queens:",
                                               "king:",  "ppawns:",  "threats:", "special:"};

// Pieces of one kind (0 pawns .. 4 queens) from the material signature.
int KindCount(const Position* pos, int colour, int kind) { return int(pos->signature[colour] >> (4 * kind) & 15); }

// Material of a colour's men of one kind, packed.
Packed KindMaterial(const Position* pos, int colour, int kind) {
  return Weight(kMtlPawn + kind) * Packed(KindCount(pos, colour, kind));
}

// Appends one line of the squares in a set, when the set is not empty.
void AppendSquares(const char* title, Bitboard squares, std::string* out) {
  if (!squares) return;
  char line[256];
  int n = std::snprintf(line, sizeof line, "%s", title);
  // 64 names of three characters fit.
  while (squares) n += std::snprintf(line + n, sizeof line - n, " %s", kSquareNames[PopLowest(&squares)]);
  *out += line;
  *out += '\n';
}

}  // namespace

int ShownValue(Packed v, float endgame_weight) {
  double e = endgame_weight;
  return int(PackedEg(v) * e + PackedMg(v) * (1.0 - e));
}

void AppendSquareTable(const char* title, int first, std::string* out) {
  *out += title;
  *out += '\n';
  for (int rank = 7; rank >= 0; rank--) {
    char line[160];
    int n = 0;
    for (int file = 0; file < 8; file++) {
      n += std::snprintf(line + n, sizeof line - n, " %3d", PackedMg(Weight(first + 8 * rank + file)));
    }
    n += std::snprintf(line + n, sizeof line - n, "     ");
    for (int file = 0; file < 8; file++) {
      n += std::snprintf(line + n, sizeof line - n, " %3d", PackedEg(Weight(first + 8 * rank + file)));
    }
    *out += line;
    *out += '\n';
  }
  *out += '\n';
}

void AppendEvalTrace(const Position* pos, const EvalState* state, int side, float scale, int result, int level,
                     std::string* out) {
  const HceWork& work = state->hce;
  float e = work.endgame_weight;

  *out += "           white  black\n";
  for (int stage = 0; stage < kStageCount; stage++) {
    Packed value[2];
    for (int c = WHITE; c <= BLACK; c++) {
      value[c] = work.side[c].stage[stage];
      // The material stages show positional value only.
      if (stage <= kStageQueens) value[c] -= KindMaterial(pos, c, stage);
    }
    *out += FormatText("%-10s  %4d   %4d\n", kStageLabels[stage], ShownValue(value[WHITE], e),
                       ShownValue(value[BLACK], e));
  }
  AppendSquares("hung pieces on: ", work.side[WHITE].hung | work.side[BLACK].hung, out);
  AppendSquares("free pawns on: ", work.side[WHITE].free_passers | work.side[BLACK].free_passers, out);

  Packed material = 0;
  for (int kind = 0; kind < 5; kind++) material += KindMaterial(pos, WHITE, kind) - KindMaterial(pos, BLACK, kind);
  int shown_material = ShownValue(material, e);
  if (side == BLACK) shown_material = -shown_material;
  *out += FormatText("nne= %d, hce= %d, mtl= %d, phase= %0.2f, sf= %0.2f, rule50= %d\n\n", state->nn_last_score,
                     result, shown_material, double(e), double(scale), int(pos->fifty));
  if (level < 2) return;

  for (int i = 0; i < g_eval_params.count; i++) {
    const EvalParam& p = g_eval_params.entry[i];
    if (std::strstr(p.name, "PST_") != nullptr) continue;
    *out += FormatText("%-22s  %4d , %4d\n", p.name, PackedMg(Packed(p.score)), PackedEg(Packed(p.score)));
  }
  static const struct {
    const char* title;
    int first;
  } kTables[] = {{"Pawn1", kPstP1},   {"Pawn2", kPstP2},   {"Connected Pawn", kPstCp}, {"Defended Pawn", kPstDp},
                 {"Knight1", kPstN1}, {"Knight2", kPstN2}, {"Bishop1", kPstB1},        {"Bishop2", kPstB2},
                 {"Rook1", kPstR1},   {"Rook2", kPstR2},   {"Queen1", kPstQ1},         {"Queen2", kPstQ2},
                 {"King", kPstK}};
  for (const auto& table : kTables) AppendSquareTable(table.title, table.first, out);
}
