// A search file that reads the driver's settings: the check must fail.
#include "search/search_control.h"

int LinesToSearch() { return g_pending.multi_pv; }
