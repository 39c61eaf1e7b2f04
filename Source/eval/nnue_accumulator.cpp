#include "eval/nnue_accumulator.h"

#include <cstdlib>
#include <cstring>

#include "board/bitboard.h"
#include "board/position.h"
#include "eval/nnue_evaluate.h"
#include "eval/nnue_kernels.h"

namespace {

NnueAccumulator* Slot(NnueThreadState* state, int history) {
  return &state->line[history & (kNnueLineSlots - 1)];
}

// The key of the position after `history` moves of the line.
Key KeyAt(const Position* pos, int history) {
  return history == pos->history_count ? pos->key : pos->undo[history].key;
}

const int16_t* Row(const NnueWeights& net, int view, int king, int bucket, int code, int square) {
  int feature = NnueFeatureIndex(view, king, bucket, ColourOf(code), TypeOf(code), square);
  return net.w1 + int64_t(feature) * kNnueHidden;
}

// Whether the move took the view's own king to another bucket or mirror
// side: every feature of that view changes.
bool CrossesKingBoundary(const NnueHeader& header, const UndoRecord& undo, int view) {
  int king = PieceCode(view, KING);
  for (int i = 0; i < undo.changed_count; i++) {
    const ChangedMan& man = undo.changed[i];
    if (man.code != king || man.from >= 64 || man.to >= 64) continue;
    return NnueKingBucket(header, view, man.from) != NnueKingBucket(header, view, man.to) ||
           NnueMirrored(view, man.from) != NnueMirrored(view, man.to);
  }
  return false;
}

void MarkPosition(NnueAccumulator* acc, Key key) {
  if (acc->key == key) return;
  acc->key = key;
  acc->computed[WHITE] = acc->computed[BLACK] = false;
}

// out = in with the move's changes applied for the view, whose king stands
// in one bucket and mirror side before and after it.
void ApplyMove(const NnueWeights& net, const UndoRecord& undo, int view, int king, int bucket, const int16_t* in,
               int16_t* out) {
  const int16_t* removed[kMaxChangedMen];
  const int16_t* added[kMaxChangedMen];
  int removed_count = 0, added_count = 0;
  for (int i = 0; i < undo.changed_count; i++) {
    const ChangedMan& man = undo.changed[i];
    if (man.from < 64) removed[removed_count++] = Row(net, view, king, bucket, man.code, man.from);
    if (man.to < 64) added[added_count++] = Row(net, view, king, bucket, man.code, man.to);
  }
  NnueUpdateRows<NnueBestOps>(out, in, removed, removed_count, added, added_count);
}

// The view's sums rebuilt from the king cache entry of its bucket and
// mirror side: the men that entry's board and this one do not share are
// taken off or put on, and the entry then holds this board.
void Rebuild(NnueThreadState* state, const NnueWeights& net, const Position* pos, int view, int king, int bucket,
             int16_t* out) {
  NnueKingCacheEntry* entry = &state->king_cache[view][bucket][NnueMirrored(view, king) ? 1 : 0];
  const int16_t* removed[32];
  const int16_t* added[32];
  int removed_count = 0, added_count = 0;
  for (int colour = WHITE; colour <= BLACK; colour++) {
    for (int type = PAWN; type <= KING; type++) {
      Bitboard now = pos->pieces[colour][type], had = entry->men[colour][type];
      int code = PieceCode(colour, type);
      for (Bitboard gone = had & ~now; gone;) {
        // Boards hold at most 32 men each; flush when a list is full.
        if (removed_count == 32) {
          NnueUpdateRows<NnueBestOps>(entry->sums, entry->sums, removed, removed_count, added, 0);
          removed_count = 0;
        }
        removed[removed_count++] = Row(net, view, king, bucket, code, PopLowest(&gone));
      }
      for (Bitboard fresh = now & ~had; fresh;) {
        if (added_count == 32) {
          NnueUpdateRows<NnueBestOps>(entry->sums, entry->sums, removed, 0, added, added_count);
          added_count = 0;
        }
        added[added_count++] = Row(net, view, king, bucket, code, PopLowest(&fresh));
      }
      entry->men[colour][type] = now;
    }
  }
  NnueUpdateRows<NnueBestOps>(entry->sums, entry->sums, removed, removed_count, added, added_count);
  std::memcpy(out, entry->sums, sizeof entry->sums);
  state->counts.rebuilds++;
}

// Forgets every sum: the line holds nothing and each king cache entry holds
// the empty board (the biases).
void Reset(NnueThreadState* state, const NnueWeights& net, uint32_t load_id) {
  for (NnueAccumulator& acc : state->line) {
    acc.key = 0;
    acc.computed[WHITE] = acc.computed[BLACK] = false;
  }
  for (auto& view : state->king_cache) {
    for (auto& bucket : view) {
      for (NnueKingCacheEntry& entry : bucket) {
        std::memcpy(entry.sums, net.b1, sizeof entry.sums);
        std::memset(entry.men, 0, sizeof entry.men);
      }
    }
  }
  state->load_id = load_id;
}

void UpdateView(NnueThreadState* state, const NnueWeights& net, const Position* pos, int view) {
  int n = pos->history_count;
  // A board without this colour's king (only edited ones) is seen as if the
  // king stood on a1.
  int king = pos->king_square[view] & 63;
  int bucket = NnueKingBucket(net.header, view, king);
  // Walk back to the nearest position whose sums of this view are known,
  // unless a king move of this view lies between.
  int start = n, limit = n > kNnueMaxReplay ? n - kNnueMaxReplay : 0;
  bool found = false;
  while (start > limit) {
    if (CrossesKingBoundary(net.header, pos->undo[start - 1], view)) break;
    start--;
    NnueAccumulator* acc = Slot(state, start);
    if (acc->computed[view] && acc->key == KeyAt(pos, start)) {
      found = true;
      break;
    }
  }
  if (!found) {
    Rebuild(state, net, pos, view, king, bucket, Slot(state, n)->sums[view]);
    Slot(state, n)->computed[view] = true;
    return;
  }
  for (int h = start; h < n; h++) {
    NnueAccumulator* from = Slot(state, h);
    NnueAccumulator* to = Slot(state, h + 1);
    MarkPosition(to, KeyAt(pos, h + 1));
    ApplyMove(net, pos->undo[h], view, king, bucket, from->sums[view], to->sums[view]);
    to->computed[view] = true;
  }
  state->counts.replayed_moves += uint64_t(n - start);
}

// Starts loading the weight rows of the last move for every view that will
// replay it, so that the rows of both views arrive together rather than one
// after another.
void PrefetchLastMove(const NnueThreadState* state, const NnueWeights& net, const Position* pos,
                      const NnueAccumulator* acc) {
  int n = pos->history_count;
  if (n == 0) return;
  const NnueAccumulator* parent = &state->line[(n - 1) & (kNnueLineSlots - 1)];
  if (parent->key != pos->undo[n - 1].key) return;
  const UndoRecord& undo = pos->undo[n - 1];
  for (int view = WHITE; view <= BLACK; view++) {
    if (acc->computed[view] || !parent->computed[view] || CrossesKingBoundary(net.header, undo, view)) continue;
    int king = pos->king_square[view] & 63;
    int bucket = NnueKingBucket(net.header, view, king);
    for (int i = 0; i < undo.changed_count; i++) {
      const ChangedMan& man = undo.changed[i];
      for (int square : {int(man.from), int(man.to)}) {
        if (square >= 64) continue;
        const char* row = reinterpret_cast<const char*>(Row(net, view, king, bucket, man.code, square));
        for (int offset = 0; offset < kNnueHidden * 2; offset += 64) __builtin_prefetch(row + offset);
      }
    }
  }
}

}  // namespace

NnueThreadState* NewNnueThreadState() {
  static_assert(sizeof(NnueThreadState) % 64 == 0, "a whole number of cache lines");
  auto* state = static_cast<NnueThreadState*>(std::aligned_alloc(64, sizeof(NnueThreadState)));
  if (state == nullptr) return nullptr;
  std::memset(static_cast<void*>(state), 0, sizeof(NnueThreadState));
  state->random = uint32_t(std::rand());
  return state;
}

void FreeNnueThreadState(NnueThreadState* state) { std::free(state); }

const NnueAccumulator* NnueUpdateAccumulator(NnueThreadState* state, const NnueWeights& net, uint32_t load_id,
                                             const Position* pos) {
  if (state->load_id != load_id) Reset(state, net, load_id);
  NnueAccumulator* acc = Slot(state, pos->history_count);
  MarkPosition(acc, pos->key);
  PrefetchLastMove(state, net, pos, acc);
  for (int view = WHITE; view <= BLACK; view++) {
    if (!acc->computed[view]) UpdateView(state, net, pos, view);
  }
  return acc;
}
