#include "form/duplicates.h"

#include "platform/messagebox.h"
#include "platform/sqlliteral.h"
#include "platform/text.h"

namespace {

bool inForm(const QVector<FormItem>& items, const char* column)
{
    return std::any_of(items.begin(), items.end(), [column](const FormItem& item) { return item.zd == QLatin1String(column); });
}

struct Compared {
    QString zj;
    QString xm;
    QString lx1;
};

// The trimmed texts the rules compare; empty where an item is not in the form.
Compared comparedTexts(const QVector<FormItem>& items, const Registration& registration)
{
    auto text = [&](const char* column) {
        return inForm(items, column) ? trimBlanks(registration.text(QString::fromLatin1(column))) : QString();
    };
    Compared compared{text("zj"), text("xm"), text("lx1")};
    if (compared.xm.isEmpty() || compared.lx1.isEmpty())
        compared.xm = compared.lx1 = QString();
    return compared;
}

// What a live registration other than excludeId must match to be a likely
// duplicate; empty when no rule applies.
QString duplicateCondition(const QVector<FormItem>& items, const Registration& registration, int excludeId)
{
    const Compared compared = comparedTexts(items, registration);
    QStringList rules;
    if (!compared.zj.isEmpty())
        rules << QStringLiteral("zj=") + sqlText(compared.zj);
    if (!compared.xm.isEmpty())
        rules << QStringLiteral("(xm=") + sqlText(compared.xm) + QStringLiteral(" and lx1=") + sqlText(compared.lx1)
                     + QLatin1Char(')');
    if (rules.isEmpty())
        return QString();
    // "+status" keeps SQLite off the status index, which holds every live row,
    // so it looks the rules up in their own indexes.
    return QStringLiteral("+status=1 and id<>") + sqlInteger(excludeId) + QStringLiteral(" and (")
           + rules.join(QStringLiteral(" or ")) + QLatin1Char(')');
}

// How many registrations one lookup statement of findLikelyDuplicates asks
// for: a statement each would cost a round of rewriting, preparing and
// locking per registration.
constexpr int registrationsPerLookup = 100;

} // namespace

QString duplicateLookupStatement(const QVector<FormItem>& items, const Registration& registration, int excludeId)
{
    const QString condition = duplicateCondition(items, registration, excludeId);
    if (condition.isEmpty())
        return QString();
    return QStringLiteral("select id,xm,dtime from bmb where ") + condition + QStringLiteral(" order by id");
}

QStringList duplicateKeys(const QVector<FormItem>& items, const Registration& registration)
{
    const Compared compared = comparedTexts(items, registration);
    QStringList keys;
    if (!compared.zj.isEmpty())
        keys << QStringLiteral("zj\n") + compared.zj.toCaseFolded();
    if (!compared.xm.isEmpty())
        keys << QStringLiteral("xm\n") + compared.xm.toCaseFolded() + QLatin1Char('\n') + compared.lx1.toCaseFolded();
    return keys;
}

std::optional<LikelyDuplicate> findLikelyDuplicate(AppState& state, const QVector<FormItem>& items,
                                                   const Registration& registration, int excludeId, bool* failed)
{
    const QString sql = duplicateLookupStatement(items, registration, excludeId);
    if (sql.isEmpty())
        return std::nullopt;
    if (!openReported(state, sql)) {
        if (failed)
            *failed = true;
        return std::nullopt;
    }
    RecordSet& rows = state.db.shared();
    if (rows.atEnd())
        return std::nullopt;
    return LikelyDuplicate{int(rows.readInteger("id")), rows.readText("xm"), rows.readText("dtime")};
}

bool findLikelyDuplicates(AppState& state, const QVector<FormItem>& items, const QVector<Registration>& registrations,
                          QVector<std::optional<LikelyDuplicate>>& found)
{
    found = QVector<std::optional<LikelyDuplicate>>(registrations.size());
    for (int first = 0; first < registrations.size(); first += registrationsPerLookup) {
        // One select per registration, each row tagged with the registration's
        // position, all in one statement (a union is read whole when it is
        // opened); the first row of a position is its lowest id.
        QStringList selects;
        for (int r = first; r < qMin(first + registrationsPerLookup, int(registrations.size())); ++r) {
            const QString condition = duplicateCondition(items, registrations.at(r), 0);
            if (!condition.isEmpty())
                selects << QStringLiteral("select ") + sqlInteger(r) + QStringLiteral(" as n,id,xm,dtime from bmb where ")
                               + condition;
        }
        if (selects.isEmpty())
            continue;
        if (!openReported(state, selects.join(QStringLiteral(" union all ")) + QStringLiteral(" order by 1,2")))
            return false;
        for (RecordSet& rows = state.db.shared(); !rows.atEnd(); rows.moveNext()) {
            std::optional<LikelyDuplicate>& duplicate = found[rows.readInteger(0)];
            if (!duplicate)
                duplicate = LikelyDuplicate{rows.readInteger(1), rows.readText(2), rows.readText(3)};
        }
    }
    return true;
}

QString duplicateQuestion(const LikelyDuplicate& duplicate)
{
    return QStringLiteral("可能与已有报名重复：第%1号 %2 %3。仍然保存吗？").arg(duplicate.id).arg(duplicate.name, duplicate.time);
}

DuplicateDecision confirmUnlessDuplicate(AppState& state, const QVector<FormItem>& items,
                                         const Registration& registration, int excludeId)
{
    bool failed = false;
    const auto duplicate = findLikelyDuplicate(state, items, registration, excludeId, &failed);
    if (failed)
        return DuplicateDecision::LookupFailed;
    if (!duplicate)
        return DuplicateDecision::Store;
    const int answer = messageBox(duplicateQuestion(*duplicate),
                                  MessageStyle::YesNo | MessageStyle::Question | MessageStyle::SecondDefault);
    return answer == AnswerYes ? DuplicateDecision::Store : DuplicateDecision::Keep;
}
