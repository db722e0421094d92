#pragma once
// The one way the program shows a message box. Styles use the classic flag
// values: 16 error icon, 32 question icon, 48 exclamation icon, 64 information
// icon, 4 Yes/No buttons, 4096 system-modal.

#include <QString>
#include <QVector>

#include <functional>

namespace MessageStyle {
enum : int {
    Plain = 0,
    YesNo = 4,
    Error = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
    SystemModal = 4096,
};
}

// What messageBox returns: the button the operator chose.
enum MessageAnswer : int { AnswerOk = 1, AnswerYes = 6, AnswerNo = 7 };

inline const QString& defaultMessageTitle()
{
    static const QString title = QStringLiteral("信息：");
    return title;
}

int messageBox(const QString& text, int style = MessageStyle::Plain,
               const QString& title = defaultMessageTitle());

// A box as the program asked for it.
struct RecordedMessage {
    QString text;
    int style = 0;
    QString title;
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
    friend int messageBox(const QString&, int, const QString&);
    int answer;
    QVector<RecordedMessage> recorded;
    MessageRecorder* previous;
};
