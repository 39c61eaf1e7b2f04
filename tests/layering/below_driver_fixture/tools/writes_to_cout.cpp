// A tool that writes past the output sink: the check must fail.
#include <iostream>

void SayDone() { std::cout << "done\n"; }
