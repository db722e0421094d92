#pragma once
// What every subsystem shares, owned by the main window for the life of the
// program. Each item has one writer (noted); the others only read it.

#include "platform/files.h"
#include "store/database.h"

#include <QDateTime>
#include <QString>
#include <QVector>

struct Operator {
    int id = 0;
    QString name;
    int group = 0;
};

// The four switches of the unit information, 1 = on.
struct UnitSettings {
    int multiLocation = 0;
    int review = 0;
    int payment = 0;
    int photo = 0;
};

// Type codes of a form item.
namespace ItemType {
enum : int { Text = 0, MultiLineText = 1, Radio = 2, Check = 3, List = 4 };
}

// An enabled item of the registration form (a `style` row).
struct FormItem {
    int id = 0;
    QString zd;   // the bmb column holding the item's value
    QString nam;  // caption
    int lx = ItemType::Text;
    QString val;  // preset text, or the options joined by "||"
    int bt = 0;   // 1 = required
    QString currentValue;     // while the add form is being filled
    QString currentServerId;  // server id of the chosen category or programme
    QString yz;   // rule code, shown only
    QString ts;   // input hint
};

struct Category {
    int id = 0;
    int serverId = 0;
    QString name;
    int status = 0;
};

struct Programme {
    int id = 0;
    int serverId = 0;
    int ddid = 0;  // its category's id
    QString name;
    QDateTime jzrq;  // deadline; the zero date means none
    int renshu = 0;
    int xuefei = 0;
    int status = 0;
};

// How operations below the windows report: pane 2 of the status bar and
// message boxes. The main window implements it; tests record through it.
class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void showResult(const QString& text) = 0;
    // Returns the answer, as messageBox does.
    virtual int showMessage(const QString& text, int style, const QString& title) = 0;
};

struct AppState {
    QString programDir;               // the data folder: the executable's directory unless installed or named (start-up)
    QString iniPath;                  // settings, at start
    QString serverConnection;         // [server] connection of the settings; empty: zhao.dat (start-up)
    store::ServerLimits serverLimits; // [server] connecttimeout and statementtimeout (start-up)
    Operator currentOperator;         // login
    Database db;                      // start-up; the store's operations
    UnitSettings unitSettings;        // unit information
    int pageSize = 0;                 // settings at start, then the browse search
    bool addPageActive = false;       // navigation
    QVector<FormItem> formItems;      // enabled form items in order, at most 21 (form lists)
    QVector<Category> categoryList;   // every category (form lists)
    QVector<Programme> programmeList; // every programme (form lists, programmes page)
    Reporter* reporter = nullptr;     // the main window
    DirectoryLock instanceLock;       // start-up: this run's claim on programDir; released at the end

    QString programFile(const QString& name) const { return programDir + QLatin1Char('/') + name; }
    void showResult(const QString& text) const
    {
        if (reporter)
            reporter->showResult(text);
    }
    int showMessage(const QString& text, int style = 0, const QString& title = QStringLiteral("信息：")) const;
};

// While one lives, the messages meant for the operator are held instead of
// shown (results still reach the status bar), for a step that may be tried
// again: show() shows them, when the step failed for good.
class HeldMessages : public Reporter {
public:
    explicit HeldMessages(AppState& state);
    ~HeldMessages() override;
    HeldMessages(const HeldMessages&) = delete;
    HeldMessages& operator=(const HeldMessages&) = delete;

    void showResult(const QString& text) override;
    int showMessage(const QString& text, int style, const QString& title) override;
    // Drops what was held so far (a step begins again).
    void forget() { held.clear(); }
    // Ends the hold and shows what was held, or fallback (an error) when
    // nothing was.
    void show(const QString& fallback);

private:
    struct Held {
        QString text;
        int style;
        QString title;
    };
    AppState& state;
    Reporter* shown;
    QVector<Held> held;
};

// Runs one write statement. On failure shows the database's message, when
// there is one, with the error icon plus extraStyle; the caller reports the
// outcome in the status bar. Messages are the operator's (lastErrorForOperator):
// the everyday failures in Chinese, the engine's text after them.
bool executeReported(AppState& state, const QString& sql, int extraStyle = 0);

// Opens a query in sharedRecordSet, as most readers do: on failure shows the
// database's message, as executeReported does, with the error icon and gives false.
bool openReported(AppState& state, const QString& sql);
