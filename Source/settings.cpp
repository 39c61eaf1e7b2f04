#include "settings.h"

#include <cstring>

Settings g_pending;
Settings g_active;
EngineFlags g_flags;

void SetDefaultSettings(Settings* s) {
  std::memset(s, 0, sizeof *s);
  s->eval_params_changed = 1;
  s->hash_mb = 64;
  s->threads = 1;
  s->move_overhead_ms = 50;
  s->ponder = 1;
  s->multi_pv = 1;
  s->limit_strength = 0;
  s->uci_elo = 0;
  s->log = 0;
  s->own_book = 0;
  s->own_book_variety = 25;
  s->own_book_depth = 24;
  s->own_book2_depth = 0;
  s->network_noise = 0;
  CopyField(s->eval_param_file, kFileFieldSize, "params.txt");
  CopyField(s->nn_file, kFileFieldSize, "embedded");
  s->tb_probe_depth = 0;
  s->syzygy_probe_depth6 = 1;
  s->contempt = 0;
  s->contempt_ramp = 15;
  s->selectivity = 100;
  s->sep_depth = 3;
  s->sep_margin_step = 75;
  s->nmp_depth = 3;
  s->fp_depth = 3;
  s->fp_margin_step = 125;
  s->lmp_depth = 6;
  s->lmp_count_step = 3;
  s->lmr_depth = 3;
  for (auto& pair : s->group_scale) {
    pair[0] = 100;
    pair[1] = 100;
  }
}

void ActivateSettings() { std::memcpy(&g_active, &g_pending, sizeof g_active); }

void CopyField(char* field, int field_size, const char* text) {
  if (field_size <= 0) return;
  size_t n = std::strlen(text);
  if (n > size_t(field_size - 1)) n = size_t(field_size - 1);
  // Source and field may overlap when a field is copied onto itself.
  std::memmove(field, text, n);
  field[n] = 0;
}
