#include "core/appstate.h"

#include "platform/messagestyle.h"

int AppState::showMessage(const QString& text, int style, const QString& title) const
{
    return reporter ? reporter->showMessage(text, style, title) : int(AnswerOk);
}

bool executeReported(AppState& state, const QString& sql, int extraStyle)
{
    if (state.db.execute(sql))
        return true;
    const QString error = state.db.lastErrorForOperator();
    if (!error.isEmpty())
        state.showMessage(error, MessageStyle::Error | extraStyle);
    return false;
}

bool openReported(AppState& state, const QString& sql)
{
    if (state.db.openShared(sql))
        return true;
    state.showMessage(state.db.lastErrorForOperator(), MessageStyle::Error);
    return false;
}
