// The score an engine wrote into a move's comment.
#pragma once

// Reads a comment's text (without its braces): "book" gives 0; "eval N"
// gives N, which is White's view, so after a Black move it is negated;
// otherwise the word before "/" (as in "+0.35/18 0.5s") gives centipawns,
// cut toward zero, or a mate announcement (+M.. or -M..) +-9000. Anything
// else gives kUnreadableScore. The result is from the mover's view.
int CommentScore(const char* text, bool after_black_move);
