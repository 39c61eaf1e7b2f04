// What the console shows of the engine's inner workings: evaluation
// breakdowns, the line stored in the hash table, exchange values, the
// opening books and the search parameters.
#pragma once

// With moves in the game, "last move was ..." naming the last move; then
// the evaluation breakdown of the game position (the network's score
// refreshed first when the network is on).
void PrintLastMoveReport();
// The breakdown with every weight and square table.
void PrintFullEvalBreakdown();
// Follows the hash-table moves from the game position and prints them in
// algebraic notation with the board they lead to; the game is left as it was.
void PrintTableLine();
// The exchange value of every man that the other side attacks.
void PrintExchangeValues();
// Probes the first and then the second opening book for the game position.
void ProbeConsoleBooks();
// The pruning and reduction parameters, as the next search derives them.
void PrintConsoleSearchParameters();
