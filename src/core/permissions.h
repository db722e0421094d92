#pragma once
// The one permission rule of the system: management operations are open to
// the groups 创始管理组 (1) and 管理组 (2) only.

#include "core/appstate.h"

bool mayManage(const Operator& op);
bool mayDeletePermanently(const Operator& op);

// The guards every guarded operation starts with: true when the current
// operator may go on; otherwise "您的权限不足…" has been shown (exclamation
// icon, system-modal) and the operation stops.
bool guardManage(const AppState& state);
bool guardDeletePermanently(const AppState& state);
