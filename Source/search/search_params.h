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
// Dangerous moves (ClassifyMove) are extended at remaining depths up to this.
constexpr int kDangerousExtensionDepth = 2;
// Static-eval pruning asks first that the side to move is not too far behind
// in material: balance = pawns * kBalancePawn + material units * kBalanceUnit,
// at least beta - kBalanceMargin.
constexpr int kBalancePawn = 100;
constexpr int kBalanceUnit = 128;
constexpr int kBalanceMargin = 150;
// Static-eval pruning with the network trusts the evaluation only when no
// own man hangs: advanced enemy pawns cost this much each ...
constexpr int kAdvancedPawnThreat = 350;
// ... and pawns, minor pieces and rooks are checked for losing exchanges
// while the evaluation is at most this far above beta.
constexpr int kPawnRiskMargin = 99;
constexpr int kMinorRiskMargin = 299;
constexpr int kRookRiskMargin = 499;
// Null-move reduction: kNullReductionShallow up to depth kNullShallowDepth,
// kNullReductionMiddle up to kNullMiddleDepth, then kNullReductionDeep with
// more than kNullDeepMaterial units of material (else the middle one).
constexpr int kNullReductionShallow = 2;
constexpr int kNullShallowDepth = 3;
constexpr int kNullReductionMiddle = 3;
constexpr int kNullMiddleDepth = 9;
constexpr int kNullReductionDeep = 4;
constexpr int kNullDeepMaterial = 3;
// A null move that fails high ends the node up to this depth, and reduces
// the depth by it beyond.
constexpr int kNullVerificationReduction = 5;
// Internal iterative deepening searches this much shallower than the node:
// at PV nodes, at other nodes below kIidDeepDepth, and at deeper ones.
constexpr int kIidReductionPv = 3;
constexpr int kIidReductionShallow = 4;
constexpr int kIidDeepDepth = 9;
constexpr int kIidReductionDeep = 5;

// ---- Quiescence (search.cpp) ----
// Delta pruning: a capture is skipped when the evaluation plus its gain stays
// this far below the best score (the larger margin at depth 1 and above).
constexpr int kDeltaMarginChecks = 450;
constexpr int kDeltaMargin = 150;
// Gains assumed for checks, for captures that leave the opponent without
// pawns and with little material, and for pawn pushes to the seventh rank.
constexpr int kCheckGain = 20000;
constexpr int kLastPawnCaptureGain = 5000;
constexpr int kBareMaterialLimit = 4;  // opponent's material units left, below which the gain applies
constexpr int kSeventhRankPushGain = 1500;
// Below this depth only recaptures on the last move's square are searched.
constexpr int kRecaptureOnlyDepth = -3;

// ---- Root (root_search.cpp) ----
// Late root moves are reduced by a ply from depth kRootReductionDepth on,
// after kRootReductionMoves moves, while the best score stays above the
// previous iteration's less kRootReductionMargin.
constexpr int kRootReductionDepth = 5;
constexpr int kRootReductionMoves = 5;
constexpr int kRootReductionMargin = 50;
// Aspiration window around the last score: a sixteenth of the score plus
// kAspirationBase, kAspirationShallowStep more for each depth below
// kAspirationShallowDepth; a bound beyond kAspirationOpenBound opens fully.
constexpr int kAspirationBase = 25;
constexpr int kAspirationShallowDepth = 6;
constexpr int kAspirationShallowStep = 10;
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
constexpr int kRootSpecialMoveBonus = 60;
// Helpers lower the first-iteration score of every root move but the first
// by a random 0..kHelperOrderNoise before each iteration.
constexpr int kHelperOrderNoise = 15;
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
// Strength limiting: the search is throttled when its full speed is more
// than kThrottleMargin nodes a second above the target rate; a target rate
// above kExactFirstIterationRate gives every move of the first iteration an
// exact score.
constexpr float kThrottleMargin = 20;
constexpr float kExactFirstIterationRate = 1000;

// ---- Reduction tables (selectivity.cpp) ----
// Late-move reduction: log(depth) * log(move) * kLmrScale - kLmrOffset,
// scaled by the selectivity, at most kLmrMax plies; non-PV nodes add
// kLmrNonPvExtra. Depths up to kLmrMinDepth are never reduced.
constexpr double kLmrScale = 0.44;
constexpr double kLmrOffset = 0.5;
constexpr float kLmrMax = 3.0f;
constexpr float kLmrNonPvExtra = 1.2f;
constexpr int kLmrMinDepth = 2;
// Static-eval (beta) pruning margin at full selectivity; it grows by half a
// point per point of selectivity below 100, and selectivity 0 turns it off.
constexpr int kBetaPruneMargin = 15;
constexpr int kBetaPruneOff = 5000;
// History values start a search at kHistoryStart (of 16384).
constexpr int kHistoryStart = 2048;
// History steps grow with the square root of the depth, capped at this depth.
constexpr int kHistoryDepthCap = 16;
constexpr int kHistoryRaise = 16;
constexpr int kHistoryLower = 8;

// ---- Move ordering (move_picker.cpp) ----
// Order scores of the picker's entries: the hash move above everything;
// captures by kCaptureOrder (victim first, then the cheaper attacker), those
// whose exchange counts as a loss below the quiet moves with some history.
constexpr int kHashMoveOrder = 255;
// Captures scoring above this are tried before the quiet moves.
constexpr int kGoodCaptureOrder = 150;
// Quiet moves scoring above this come in order; the rest in generated order.
constexpr int kOrderedQuietFloor = 2;
// Quiet checks of the quiescence search, all alike.
constexpr int kQuietCheckOrder = 100;
// An exchange losing at most this much still counts as even; an even one
// below kSeeGain ranks kSeeEvenPenalty below the winning captures.
constexpr int kSeeLossTolerance = 49;
constexpr int kSeeGain = 50;
constexpr int kSeeEvenPenalty = 6;
// A losing capture ranks by its victim's kind plus this.
constexpr int kLosingCaptureOrder = 4;
// Bonuses added to a quiet move's history (history / 256): killers, the
// countermoves of the previous move, the follow-up of the move before, and
// pawn pushes to the sixth rank and beyond.
constexpr int kKillerBonus = 60;
constexpr int kSecondKillerBonus = 55;
constexpr int kCounterMoveBonus = 50;
constexpr int kSecondCounterMoveBonus = 45;
constexpr int kFollowUpBonus = 40;
constexpr int kAdvancedPushBonus = 30;
constexpr int kAdvancedPushRank = 5;  // relative rank index (0-based): the sixth rank
// In check: the evasion killer, then the two countermoves.
constexpr int kEvasionKillerBonus = 60;
constexpr int kEvasionCounterBonus = 55;
constexpr int kEvasionSecondCounterBonus = 50;
