#include "core/permissions.h"

#include "platform/messagestyle.h"

namespace {

bool refuseUnless(bool allowed, const AppState& state)
{
    if (!allowed)
        state.showMessage(QStringLiteral("您的权限不足，不能操作本项，请更换更高权限的帐号再操作。"),
                          MessageStyle::Exclamation | MessageStyle::SystemModal);
    return allowed;
}

} // namespace

bool mayManage(const Operator& op)
{
    return op.group >= 1 && op.group <= 2;
}

bool mayDeletePermanently(const Operator& op)
{
    return op.group >= 1 && op.group <= 3;
}

bool guardManage(const AppState& state)
{
    return refuseUnless(mayManage(state.currentOperator), state);
}

bool guardDeletePermanently(const AppState& state)
{
    return refuseUnless(mayDeletePermanently(state.currentOperator), state);
}
