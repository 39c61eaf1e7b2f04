#include "search/search_control.h"

SearchControl g_control;
void (*g_input_handler)() = nullptr;

void SetDefaultLimits(SearchLimits* limits) {
  limits->depth_limit = kMaxSearchDepth;
  limits->moves_per_control = 1;
  limits->base_time = 5.0f;
  limits->increment = 0.0f;
  limits->clock[0] = limits->clock[1] = 5.0f;
  limits->moves_to_go = 0;
  limits->node_limit = 0;
  limits->search_move_count = 0;
}
