// Strength limiting: the search is held to a speed in nodes per second
// chosen from the requested Elo.
#pragma once

struct SearchThread;
struct SearchOptions;

// Elo of a speed: 150 ln(rate) + 1128.
double EloOfRate(double rate);
// At search start: the target rate from UCI_Elo while strength limiting is
// on (switching it off in the options when the machine cannot go that
// fast); otherwise the full speed, with the options' UCI_Elo reading the
// machine's Elo.
void PrepareStrengthLimit(SearchOptions* options);
// At the start of every node while the throttle is active: sleeps while this
// thread runs faster than the target.
void ThrottleSearch(SearchThread* t);
