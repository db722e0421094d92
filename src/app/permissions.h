#pragma once
// The one permission rule of the system: management operations are open to
// the groups 创始管理组 (1) and 管理组 (2) only.

#include "app/appstate.h"

bool mayManage(const Operator& op);
bool mayDeletePermanently(const Operator& op);

// "您的权限不足…" with the exclamation icon, system-modal.
void refusePermission();

// The guards every guarded operation starts with: true when the operator may
// go on; otherwise the refusal has been shown and the operation stops.
bool guardManage(const Operator& op);
bool guardDeletePermanently(const Operator& op);
