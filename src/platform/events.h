#pragma once
#include <QCoreApplication>

// Lets pending window messages run (painting, timers) without user input, so
// no click can start a second query under a running row loop.
inline void processPendingMessages()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
