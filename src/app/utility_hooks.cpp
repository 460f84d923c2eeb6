#include "app/utility_hooks.h"

namespace {
UtilityHooks g_hooks;
}

void SetUtilityHooks(const UtilityHooks& hooks) { g_hooks = hooks; }
const UtilityHooks& CurrentUtilityHooks() { return g_hooks; }
