#include "settings.h"

#include <cstring>

Settings g_pending;
Settings g_active;
EngineFlags g_flags;

void ActivateSettings() { g_active = g_pending; }

void CopyField(char* field, int field_size, const char* text) {
  if (field_size <= 0) return;
  size_t n = std::strlen(text);
  if (n > size_t(field_size - 1)) n = size_t(field_size - 1);
  // Source and field may overlap when a field is copied onto itself.
  std::memmove(field, text, n);
  field[n] = 0;
}
