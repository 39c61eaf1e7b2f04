// The fixed numbers of the search: every margin, reduction and limit of the
// node procedure, quiescence and the root, each named once. (The margins
// that are options, such as the futility step, come with the search's
// options: search/search_options.h.)
#pragma once

// ---- Node procedure (search.cpp) ----
// The clock is read once every this many nodes (a power of two).
constexpr unsigned kNodesPerClockCheck = 64;
// Beyond this ply a node returns its static evaluation.
constexpr int kMaxSearchPly = 65;
// Static evaluations stay inside +-kEvalLimit, far from the mate scores.
constexpr int kEvalLimit = 9000;
// Razoring: below alpha by kRazorBase plus the step (FP_margin) per squared
// ply, only captures can save the node, and quiescence decides it.
constexpr int kRazorBase = 300;
// The null move: reduction kNullBase + depth / kNullDepthDivisor, plus one
// per kNullEvalDivisor of evaluation above beta (at most kNullEvalMax);
// from kNullVerifyDepth on a fail high is verified by a search without
// null moves.
constexpr int kNullBase = 4;
constexpr int kNullDepthDivisor = 3;
constexpr int kNullEvalDivisor = 200;
constexpr int kNullEvalMax = 3;
constexpr int kNullVerifyDepth = 14;
// ProbCut: from kProbCutDepth on, a capture that beats beta + kProbCutMargin
// at a depth kProbCutReduction shallower cuts the node.
constexpr int kProbCutDepth = 5;
constexpr int kProbCutMargin = 200;
constexpr int kProbCutReduction = 4;
// Internal iterative reduction: without a table move, nodes from this depth
// on search one ply less.
constexpr int kIirDepth = 4;
// Futility of quiet moves on the reduced depth: the evaluation plus
// kFutilityBase and kFutilityStep per ply must reach alpha, up to
// kFutilityDepth.
constexpr int kFutilityBase = 90;
constexpr int kFutilityStep = 110;
constexpr int kFutilityDepth = 8;
// History pruning: quiet moves whose history is below -kHistoryPruneStep per
// ply, up to kHistoryPruneDepth.
constexpr int kHistoryPruneDepth = 4;
constexpr int kHistoryPruneStep = 3000;
// Exchange pruning: a quiet move that loses more than kSeeQuietStep per
// squared ply of reduced depth, a capture that loses more than
// kSeeCaptureStep per ply of depth, is skipped.
constexpr int kSeeQuietStep = 25;
constexpr int kSeeCaptureStep = 90;
// Singular extension: from kSingularDepth on, when the table move's stored
// lower bound is at most kSingularDepthMargin plies shallower; the singular
// beta lies depth * kSingularBetaStep / 16 below the stored score; a
// score kDoubleExtensionMargin below it extends twice, at most
// kMaxDoubleExtensions times on a line.
constexpr int kSingularDepth = 7;
constexpr int kSingularDepthMargin = 3;
constexpr int kSingularBetaStep = 16;
constexpr int kDoubleExtensionMargin = 20;
constexpr int kMaxDoubleExtensions = 6;
// Reductions are moved by the history: one ply per kLmrHistoryDivisor.
constexpr int kLmrHistoryDivisor = 8192;
// A reduced move that beats the best score by this much is searched one
// ply deeper.
constexpr int kDeeperMargin = 60;

// ---- Quiescence (search.cpp) ----
// Futility: a capture is skipped when the evaluation plus kQsFutilityMargin
// plus the captured man's exchange value stays at or below alpha.
constexpr int kQsFutilityMargin = 150;
// A capture that loses more than this in exchange is skipped.
constexpr int kQsSeeThreshold = -30;

// ---- Root (root_search.cpp) ----
// Late root moves are reduced by a ply from depth kRootReductionDepth on,
// after kRootReductionMoves moves, while the best score stays above the
// previous iteration's less kRootReductionMargin.
constexpr int kRootReductionDepth = 5;
constexpr int kRootReductionMoves = 5;
constexpr int kRootReductionMargin = 50;
// Aspiration window around the last score from depth kAspirationDepth on:
// kAspirationBase plus the score squared / kAspirationScoreDivisor on each
// side; a fail moves the failed bound by the window (which then grows by
// half) and the other bound toward the score; a bound beyond
// kAspirationOpenBound opens fully.
constexpr int kAspirationDepth = 4;
constexpr int kAspirationBase = 10;
constexpr int kAspirationScoreDivisor = 15000;
constexpr int kAspirationOpenBound = 5000;
// Root move order between iterations: exact scores clamped to
// +-kRootOrderBound; moves searched without an exact score rank below them
// in the order searched, moves not searched below those.
constexpr int kRootOrderBound = 11000;
constexpr int kRootUnsearchedOrder = -11500;
// Current-move lines start once the search has run this many seconds.
constexpr float kCurrentMoveDelay = 3.5f;
// First-iteration order of the root moves: the move picker's capture order,
// except that a capture counts as losing only below -kRootLosingExchange
// (and even exchanges rank with the winning ones); quiet moves by history,
// castling and quiet promotions kRootSpecialMoveBonus above the rest.
constexpr int kRootLosingExchange = 50;
constexpr int kRootCaptureOrder = 5000;
constexpr int kRootLosingOrder = 6000;
constexpr int kRootSpecialMoveBonus = 60;
// Helpers lower the first-iteration score of every root move but the first
// by a random 0..kHelperOrderNoise before each iteration.
constexpr int kHelperOrderNoise = 15;
// Helper i opens its aspiration windows (i mod 4) times this much wider.
constexpr int kHelperAspirationStep = 3;
// The root's own tablebase probe answers at any depth up to this one (the
// probe's depth rule still keeps out the tables it would not use).
constexpr int kRootTbProbeDepth = 70;
// The root plays the tables' move without a search once the fifty-move
// counter is above this; the reported depth of such an answer.
constexpr int kRootTbMoveFifty = 9;
constexpr int kTbAnswerDepth = 99;
// Iterative deepening: at most this many iterations, and none that would
// take the game and the search line past kMaxGameAndSearchPlies plies.
constexpr int kMaxIterations = 68;
constexpr int kMaxGameAndSearchPlies = 883;
// Strength limiting: a limited search is throttled to its target rate; a
// target rate above kExactFirstIterationRate gives every move of the first
// iteration an exact score.
constexpr float kExactFirstIterationRate = 1000;

// ---- Reduction tables (selectivity.cpp) ----
// Late-move reduction in plies: base + log(depth) * log(move) / divisor,
// for quiet moves and for captures, scaled by the selectivity.
constexpr double kLmrQuietBase = 0.8;
constexpr double kLmrQuietDivisor = 2.3;
constexpr double kLmrCaptureBase = 0.2;
constexpr double kLmrCaptureDivisor = 3.5;

// ---- Move ordering (move_picker.cpp) ----
// Captures are ordered by the captured man (kCaptureVictimStep per kind of
// victim) and then by their capture history; those that lose in exchange
// wait until after the quiet moves.
constexpr int kCaptureVictimStep = 2048;
