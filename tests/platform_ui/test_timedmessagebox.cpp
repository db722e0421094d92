// A message box that closes by itself: shown for real, it answers once its
// time is up; under a recorder it is recorded with that time.
#include "platform/messagebox.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

class TimedMessageBoxTest : public QObject {
    Q_OBJECT
private slots:
    void closesItselfAfterItsTime()
    {
        QString shownText;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                shownText = box->text();
        });
        QElapsedTimer clock;
        clock.start();
        const int answer = timedMessageBox(QStringLiteral("稍后关闭"), MessageStyle::SystemModal,
                                           QStringLiteral("标题"), 300);
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(answer, int(AnswerOk));
        QCOMPARE(shownText, QStringLiteral("稍后关闭"));
        QVERIFY2(elapsed >= 250 && elapsed < 5000, qPrintable(QString::number(elapsed)));
    }

    void isRecordedWithItsTime()
    {
        MessageRecorder recorder;
        timedMessageBox(QStringLiteral("稍后关闭"), MessageStyle::SystemModal, QStringLiteral("标题"), 3000);
        messageBox(QStringLiteral("一直显示"));
        QCOMPARE(recorder.messages().size(), 2);
        QCOMPARE(recorder.messages()[0].closeAfterMs, 3000);
        QCOMPARE(recorder.messages()[0].title, QStringLiteral("标题"));
        QCOMPARE(recorder.messages()[1].closeAfterMs, 0);
    }
};

BRENVO_TEST(TimedMessageBoxTest)
#include "test_timedmessagebox.moc"
