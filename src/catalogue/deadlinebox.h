#pragma once
// The programme deadline editor: a one-line box holding the fixed layout
// YYYY-MM-DD HH:MM:SS, whose segments are chosen by clicking and stepped by a
// small up/down adjuster inside the box.

#include <QDateTime>
#include <QLineEdit>

#include <optional>

class QToolButton;

struct TextSpan {
    int start = 0;
    int length = 0;
};

// The segment (year, month, day, hour, minute, second) a caret position falls in.
TextSpan deadlineSegmentAt(int position);

// True when the text has the layout: digits with "-", " " and ":" in their places.
bool holdsDeadlineLayout(const QString& text);

// Days of the month (Gregorian); 0 for an impossible year or month.
int daysInMonth(int year, int month);

// The text with the segment at `position` stepped by `step`: the year stops
// at 1977, the month wraps within 1-12, the day within the days of the
// text's month, hours within 0-23, minutes and seconds within 0-59. The
// other segments are left as they are (a month step does not correct the day).
QString steppedDeadline(const QString& text, int position, int step);

class DeadlineBox : public QLineEdit {
    Q_OBJECT
public:
    explicit DeadlineBox(QWidget* parent = nullptr);

    // The box shows the moment in the layout; the current moment when none is given.
    void setDeadlineBox(const std::optional<QDateTime>& moment = std::nullopt);
    // Selects the segment at the caret.
    void selectDeadlineSegment();
    // Steps the selected segment (the day when nothing is selected) and keeps
    // the selection. A box not holding the layout gets the current moment instead.
    void stepDeadlineSegment(int step);

    QToolButton* upButton() const { return up; }
    QToolButton* downButton() const { return down; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* up = nullptr;
    QToolButton* down = nullptr;
};
