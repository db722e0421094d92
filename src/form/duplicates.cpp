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

} // namespace

QString duplicateLookupStatement(const QVector<FormItem>& items, const Registration& registration, int excludeId)
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
    return QStringLiteral("select id,xm,dtime from bmb where +status=1 and id<>") + sqlInteger(excludeId)
           + QStringLiteral(" and (") + rules.join(QStringLiteral(" or ")) + QStringLiteral(") order by id");
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
