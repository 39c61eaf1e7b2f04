// A board file that writes to standard error: the check must fail.
#include <cstdio>

void SayBrokenBoard() { std::fprintf(stderr, "broken board\n"); }
