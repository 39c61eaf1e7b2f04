#include "driver/engine.h"

int main(int argc, char** argv) { return RunEngine(argc, argv); }
