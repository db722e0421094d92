// Brenvo: the program entry.
#include "app/datafolder.h"
#include "app/lifecycle.h"
#include "core/appstate.h"
#include "app/mainwindow.h"
#include "platform/messagebox.h"
#include "printing/printbrowser.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFont>

int main(int argc, char** argv)
{
    // The embedded browser of the print window shares the window system's GL
    // contexts; they are made when the print window first opens.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    deferBrowserGraphics();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brenvo"));
    QApplication::setApplicationVersion(programVersion());
    // The menu entry of the installed program, for desktops that match windows to it.
    QGuiApplication::setDesktopFileName(QStringLiteral("brenvo"));
    installChineseTranslations();
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC"), font.family()});
    QApplication::setFont(font);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("招生报名管理"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dataOption(
        QStringLiteral("data"), QStringLiteral("数据文件夹（zhao.dat、duzarizered.ini、photo、backup 所在的文件夹）"),
        QStringLiteral("目录"));
    parser.addOption(dataOption);
    parser.process(app);

    const DataFolderFacts facts = currentDataFolderFacts(parser.value(dataOption));
    AppState state;
    state.programDir = chooseDataFolder(facts);
    QString error;
    if (!prepareDataFolder(facts, state.programDir, &error)) {
        messageBox(error, MessageStyle::Error | MessageStyle::SystemModal);
        return 1;
    }
    QDir::setCurrent(state.programDir);

    MainWindow window(state);
    if (!window.onMainWindowCreated())
        return 0;
    return app.exec();
}
