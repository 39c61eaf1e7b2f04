// A board header that reaches into the search: the layering check must fail.
#pragma once
#include "board/position.h"
#include "search/search_thread.h"
