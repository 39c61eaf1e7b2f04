#include "driver/settings.h"

Settings g_pending;
Settings g_active;
EngineFlags g_flags;

void ActivateSettings() { g_active = g_pending; }
