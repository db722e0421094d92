#include "printing/amount.h"

#include <cmath>

QString amountInCapitals(double amount)
{
    static const QString digits = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
    static const QString units = QStringLiteral("拾佰仟万拾佰仟亿拾佰仟万");

    const bool negative = amount < 0;
    // The tiny addend keeps 0.5 fen written as 0.4999… from rounding down.
    const double x = std::fabs(amount) * 100 + 0.000000000001;
    double whole = std::floor(x);
    if (x - whole >= 0.5)
        whole += 1;
    if (!(whole <= 999999999999999.0))
        return QStringLiteral("溢出");
    auto fen = static_cast<qint64>(whole);
    if (fen == 0)
        return QStringLiteral("零");

    QString text = fen % 10 == 0 ? QStringLiteral("整") : QString();
    enum { NoDigitYet, AfterZero, AfterDigit } zeroState = NoDigitYet;
    bool yuanDone = false;
    bool sectionDone = false;  // the 万 or 亿 of the current section is written
    for (int i = 0; fen > 0; ++i, fen /= 10) {
        if (i == 6 || i == 10)
            sectionDone = false;
        const int d = int(fen % 10);
        if (d == 0) {
            if (zeroState == AfterDigit) {
                text.prepend(QStringLiteral("零"));
                zeroState = AfterZero;
            }
            continue;
        }
        zeroState = AfterDigit;
        if (i == 0)
            text.prepend(QStringLiteral("分"));
        else if (i == 1)
            text.prepend(QStringLiteral("角"));
        else {
            if (!yuanDone) {
                text.prepend(QStringLiteral("元"));
                yuanDone = true;
            }
            if (!sectionDone && i >= 6) {
                if (i >= 7 && i <= 9)
                    text.prepend(QStringLiteral("万"));
                else if (i >= 11)
                    text.prepend(QStringLiteral("亿"));
                sectionDone = true;
            }
            if (i >= 3)
                text.prepend(units[i - 3]);
        }
        text.prepend(digits[d]);
    }
    if (negative)
        text.prepend(QStringLiteral("负"));
    return text;
}
