// Brenvo: the program entry.
#include "app/lifecycle.h"
#include "core/appstate.h"
#include "app/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFont>

int main(int argc, char** argv)
{
    // The embedded browser of the print window shares the window system's GL contexts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brenvo"));
    installChineseTranslations();
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC"), font.family()});
    QApplication::setFont(font);

    AppState state;
    state.programDir = QCoreApplication::applicationDirPath();
    QDir::setCurrent(state.programDir);

    MainWindow window(state);
    if (!window.onMainWindowCreated())
        return 0;
    return app.exec();
}
