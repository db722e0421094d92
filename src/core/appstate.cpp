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

HeldMessages::HeldMessages(AppState& appState) : state(appState), shown(appState.reporter)
{
    state.reporter = this;
}

HeldMessages::~HeldMessages()
{
    state.reporter = shown;
}

void HeldMessages::showResult(const QString& text)
{
    if (shown)
        shown->showResult(text);
}

int HeldMessages::showMessage(const QString& text, int style, const QString& title)
{
    held.push_back({text, style, title});
    return AnswerOk;
}

void HeldMessages::show(const QString& fallback)
{
    state.reporter = shown;
    if (held.isEmpty() && !fallback.isEmpty())
        state.showMessage(fallback, MessageStyle::Error);
    for (const Held& message : std::as_const(held))
        state.showMessage(message.text, message.style, message.title);
    held.clear();
}
