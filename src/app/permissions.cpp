#include "app/permissions.h"

#include "platform/messagebox.h"

bool mayManage(const Operator& op)
{
    return op.group >= 1 && op.group <= 2;
}

bool mayDeletePermanently(const Operator& op)
{
    return op.group >= 1 && op.group <= 3;
}

void refusePermission()
{
    messageBox(QStringLiteral("您的权限不足，不能操作本项，请更换更高权限的帐号再操作。"),
               MessageStyle::Exclamation | MessageStyle::SystemModal);
}

bool guardManage(const Operator& op)
{
    if (mayManage(op))
        return true;
    refusePermission();
    return false;
}

bool guardDeletePermanently(const Operator& op)
{
    if (mayDeletePermanently(op))
        return true;
    refusePermission();
    return false;
}
