#pragma once
// The one way the program shows a message box. Styles use the classic flag
// values: 16 error icon, 32 question icon, 48 exclamation icon, 64 information
// icon, 4 Yes/No buttons, 5 重试/退出 buttons, 256 the second button default,
// 4096 system-modal.

#include "platform/messagestyle.h"

#include <QString>
#include <QVector>

#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

inline const QString& defaultMessageTitle()
{
    static const QString title = QStringLiteral("信息：");
    return title;
}

int messageBox(const QString& text, int style = MessageStyle::Plain,
               const QString& title = defaultMessageTitle());
// The box messageBox shows, not yet shown (for a picture of it).
std::unique_ptr<QMessageBox> makeMessageBox(const QString& text, int style, const QString& title, QWidget* parent);

// A box that closes by itself after closeAfterMs milliseconds unless the
// operator closes it first; it then answers as its OK button would.
int timedMessageBox(const QString& text, int style, const QString& title, int closeAfterMs);

// A box as the program asked for it.
struct RecordedMessage {
    QString text;
    int style = 0;
    QString title;
    int closeAfterMs = 0;  // 0: stays until answered
};

// While one exists, message boxes are not shown but recorded and answered
// with `answer`, so handlers run in tests without a person.
class MessageRecorder {
public:
    explicit MessageRecorder(int answer = AnswerOk);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void setAnswer(int value) { answer = value; }
    const QVector<RecordedMessage>& messages() const { return recorded; }
    QStringList texts() const;
    void clear() { recorded.clear(); }

private:
    friend int showMessageBox(const QString&, int, const QString&, int);
    int answer;
    QVector<RecordedMessage> recorded;
    MessageRecorder* previous;
};
