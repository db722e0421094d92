#pragma once
// A program directory with a fresh database and a main window started the
// way the program starts, with the login answered by the test.

#include "app/lifecycle.h"
#include "core/appstate.h"
#include "app/loginwindow.h"
#include "app/mainwindow.h"
#include "records/browsepage.h"
#include "records/editwindow.h"
#include "platform/messagebox.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Runs `step` on the login window once it is open (modal, inside start-up).
// A login window still open long after the step (its query failed, say)
// fails the test and is closed, so start-up returns instead of waiting forever.
inline void whenLoginOpens(std::function<void(LoginWindow&)> step)
{
    QTimer::singleShot(0, [step] {
        auto* login = qobject_cast<LoginWindow*>(QApplication::activeModalWidget());
        if (!login) {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* candidate = qobject_cast<LoginWindow*>(top); candidate && candidate->isVisible())
                    login = candidate;
        }
        QVERIFY2(login, "the login window is not open");
        QPointer<LoginWindow> window(login);
        step(*login);
        QTimer::singleShot(20000, login, [window] {
            if (!window || !window->isVisible())
                return;
            QTest::qFail("the login window is still open 20 s after the login", __FILE__, __LINE__);
            window->done(QDialog::Rejected);
        });
    });
}

inline void typeAndLogin(LoginWindow& login, const QString& password, int accountPosition = -2)
{
    if (accountPosition != -2)
        login.findChild<QComboBox*>(QStringLiteral("组合框_登录用户"))->setCurrentIndex(accountPosition);
    login.findChild<QLineEdit*>(QStringLiteral("编辑框_登录_密码"))->setText(password);
    login.findChild<QPushButton*>(QStringLiteral("登录"))->click();
}

// A small picture file of one colour, for the photo buttons to choose.
inline QString writePicture(const QString& path, Qt::GlobalColor colour)
{
    QImage image(60, 80, QImage::Format_RGB32);
    image.fill(colour);
    if (!image.save(path))
        qFatal("cannot write the test picture %s", qPrintable(path));
    return path;
}

class AppFixture {
public:
    explicit AppFixture(bool withDatabase = true) : dir(withDatabase)
    {
        setEndProgramHook([this](int code) { exitCode = code; });
    }
    ~AppFixture()
    {
        window.reset();
        setEndProgramHook(nullptr);
    }

    // Starts a new program run in the same directory (the settings file and
    // database stay), logging in as the account at `accountPosition` of the
    // login list (the preselected one when -2) with `password`.
    bool start(const QString& password = QStringLiteral("472915"), int accountPosition = -2)
    {
        whenLoginOpens([=](LoginWindow& login) { typeAndLogin(login, password, accountPosition); });
        return startWith();
    }

    // Starts without answering the login; the caller has arranged that.
    bool startWith()
    {
        window.reset();
        state = std::make_unique<AppState>();
        state->programDir = dir.path();
        window = std::make_unique<MainWindow>(*state);
        return window->onMainWindowCreated();
    }

    // Closes the window as the close box does.
    void closeWindow() { window->close(); }

    // A one-row, one-column query on the program's own connection.
    QString queryValue(const QString& sql)
    {
        if (!state->db.openShared(sql) || state->db.shared().atEnd())
            return QStringLiteral("<none>");
        return state->db.shared().readText(0);
    }

    bool execute(const QString& sql) { return state->db.execute(sql); }

    // A missing control fails the running test with its name; the test goes
    // on with a stand-in, so the rest of the suite still runs.
    template <typename T>
    T* find(const QString& name)
    {
        if (T* widget = window->findChild<T*>(name))
            return widget;
        QTest::qFail(qPrintable(QStringLiteral("no control named ") + name), __FILE__, __LINE__);
        auto* standIn = new T;
        standIns.emplace_back(standIn);
        return standIn;
    }

    // The number of page P of 选择夹1, as currentIndex() gives it.
    template <class P>
    int pageNumber() const
    {
        return window->pages()->indexOf(window->page<P>());
    }

    QString statusText() const { return window->statusPane(2)->text(); }
    QString iniPath() const { return dir.file(QStringLiteral("duzarizered.ini")); }

    TestProgramDir dir;
    MessageRecorder messages;
    std::unique_ptr<AppState> state;
    std::unique_ptr<MainWindow> window;
    std::optional<int> exitCode;
    std::vector<std::unique_ptr<QObject>> standIns;
};

inline QTreeWidgetItem* rowOf(QTreeWidget* list, int id)
{
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        if (list->topLevelItem(r)->data(0, Qt::UserRole).toInt() == id)
            return list->topLevelItem(r);
    return nullptr;
}

// Double-clicks the browse row of registration `id` and gives the edit window.
inline EditWindow* openRecord(AppFixture& app, int id)
{
    auto* list = app.find<QTreeWidget>(QStringLiteral("超级列表框_信息浏览"));
    QTreeWidgetItem* row = rowOf(list, id);
    if (!row)
        return nullptr;
    list->setCurrentItem(row);
    // A double-click is a click followed by the second press.
    const QPoint centre = list->visualItemRect(row).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
    return app.window->recordEditor()->editWindow();
}
