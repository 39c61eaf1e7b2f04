#include "driver/engine.h"

// The tuning build compiles this file with ZORV_TUNING_BUILD set.
#ifndef ZORV_TUNING_BUILD
#define ZORV_TUNING_BUILD 0
#endif

int main(int argc, char** argv) { return RunEngine(argc, argv, ZORV_TUNING_BUILD != 0); }
