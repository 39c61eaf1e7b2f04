// A book file that prints for itself: the check must fail.
#include "platform/output.h"

void SayBookMove() { PrintLine("book move"); }
