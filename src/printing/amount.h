#pragma once
// An amount of money in Chinese capital numerals, as receipts write it:
// 1200 → 壹仟贰佰元整, 10.05 → 壹拾元零伍分, -5 → 负伍元整. Fen are rounded
// half up; 0 gives 零 and an amount of 10^13 yuan or more gives 溢出.

#include <QString>

QString amountInCapitals(double amount);
