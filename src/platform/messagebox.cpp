#include "platform/messagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

namespace {
MessageRecorder* activeRecorder = nullptr;
}

MessageRecorder::MessageRecorder(int answerValue) : answer(answerValue), previous(activeRecorder)
{
    activeRecorder = this;
}

MessageRecorder::~MessageRecorder()
{
    activeRecorder = previous;
}

QStringList MessageRecorder::texts() const
{
    QStringList result;
    for (const RecordedMessage& message : recorded)
        result << message.text;
    return result;
}

std::unique_ptr<QMessageBox> makeMessageBox(const QString& text, int style, const QString& title, QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    // Texts carry values applicants and operators typed: never read as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setWindowTitle(title);
    switch (style & 0x70) {
    case MessageStyle::Error: box->setIcon(QMessageBox::Critical); break;
    case MessageStyle::Question: box->setIcon(QMessageBox::Question); break;
    case MessageStyle::Exclamation: box->setIcon(QMessageBox::Warning); break;
    case MessageStyle::Information: box->setIcon(QMessageBox::Information); break;
    default: box->setIcon(QMessageBox::NoIcon); break;
    }
    const bool yesNo = (style & 0x0F) == MessageStyle::YesNo;
    if ((style & 0x0F) == MessageStyle::RetryQuit) {
        box->setStandardButtons(QMessageBox::Retry | QMessageBox::Abort);
        box->button(QMessageBox::Retry)->setText(QStringLiteral("重试"));
        box->button(QMessageBox::Abort)->setText(QStringLiteral("退出"));
    } else {
        box->setStandardButtons(yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    }
    if (yesNo && (style & MessageStyle::SecondDefault))
        box->setDefaultButton(QMessageBox::No);
    box->setWindowModality((style & MessageStyle::SystemModal) ? Qt::ApplicationModal : Qt::WindowModal);
    return box;
}

int showMessageBox(const QString& text, int style, const QString& title, int closeAfterMs)
{
    if (activeRecorder) {
        activeRecorder->recorded.push_back({text, style, title, closeAfterMs});
        return activeRecorder->answer;
    }

    const std::unique_ptr<QMessageBox> box = makeMessageBox(text, style, title, QApplication::activeWindow());
    if (closeAfterMs > 0)
        QTimer::singleShot(closeAfterMs, box.get(), &QMessageBox::accept);
    const int chosen = box->exec();
    if ((style & 0x0F) == MessageStyle::YesNo)
        return chosen == QMessageBox::Yes ? AnswerYes : AnswerNo;
    if ((style & 0x0F) == MessageStyle::RetryQuit)
        return chosen == QMessageBox::Retry ? AnswerRetry : AnswerQuit;
    return AnswerOk;
}

int messageBox(const QString& text, int style, const QString& title)
{
    return showMessageBox(text, style, title, 0);
}

int timedMessageBox(const QString& text, int style, const QString& title, int closeAfterMs)
{
    return showMessageBox(text, style, title, closeAfterMs);
}
