#pragma once
// Likely duplicate applicants: a registration repeats a live one when its
// 证件号码 (zj) is not empty and equal, or its name (xm) and lx1 are both not
// empty and equal; text compares without regard to case. Only the items of
// the form count.

#include "core/appstate.h"
#include "form/registration.h"

#include <optional>

struct LikelyDuplicate {
    int id = 0;
    QString name;  // xm
    QString time;  // dtime as text
};

// The select of the first live registration other than `excludeId` the
// registration repeats; empty when no rule applies to it.
QString duplicateLookupStatement(const QVector<FormItem>& items, const Registration& registration, int excludeId);

// What a registration is compared by, trimmed and folded: at most one key
// per rule, none when no rule applies. Two registrations with a key in
// common repeat each other.
QStringList duplicateKeys(const QVector<FormItem>& items, const Registration& registration);

// The live registration it repeats; nothing when there is none. A failed
// lookup sets `failed` (its error has then been shown).
std::optional<LikelyDuplicate> findLikelyDuplicate(AppState& state, const QVector<FormItem>& items,
                                                   const Registration& registration, int excludeId,
                                                   bool* failed = nullptr);

// findLikelyDuplicate for several new registrations in few statements:
// found holds, parallel to registrations, the live registration each
// repeats. False when a lookup failed (its error has then been shown).
bool findLikelyDuplicates(AppState& state, const QVector<FormItem>& items, const QVector<Registration>& registrations,
                          QVector<std::optional<LikelyDuplicate>>& found);

// "可能与已有报名重复：第N号 <xm> <dtime>。仍然保存吗？"
QString duplicateQuestion(const LikelyDuplicate& duplicate);

enum class DuplicateDecision { Store, Keep, LookupFailed };

// Store when the registration repeats no live one or the operator answered
// 是 to the question (否 is the default); Keep after 否.
DuplicateDecision confirmUnlessDuplicate(AppState& state, const QVector<FormItem>& items,
                                         const Registration& registration, int excludeId);
