#include "catalogue/deadlinebox.h"

#include "platform/dates.h"
#include "platform/text.h"

#include <QMouseEvent>
#include <QRegularExpression>
#include <QToolButton>

namespace {

constexpr int adjusterWidth = 16;
constexpr int earliestYear = 1977;
constexpr int latestYear = 9999;

int wrapped(int value, int lowest, int highest)
{
    if (value < lowest)
        return highest;
    if (value > highest)
        return lowest;
    return value;
}

} // namespace

TextSpan deadlineSegmentAt(int position)
{
    if (position <= 4)
        return {0, 4};
    if (position <= 7)
        return {5, 2};
    if (position <= 10)
        return {8, 2};
    if (position <= 13)
        return {11, 2};
    if (position <= 16)
        return {14, 2};
    return {17, 2};
}

bool holdsDeadlineLayout(const QString& text)
{
    static const QRegularExpression layout(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$"));
    return layout.match(text).hasMatch();
}

int daysInMonth(int year, int month)
{
    return QDate::isValid(year, month, 1) ? QDate(year, month, 1).daysInMonth() : 0;
}

QString steppedDeadline(const QString& text, int position, int step)
{
    const TextSpan segment = deadlineSegmentAt(position);
    int value = int(textToNumber(text.mid(segment.start, segment.length))) + step;
    switch (segment.start) {
    case 0:
        value = qBound(earliestYear, value, latestYear);
        break;
    case 5:
        value = wrapped(value, 1, 12);
        break;
    case 8: {
        const int days = daysInMonth(text.left(4).toInt(), text.mid(5, 2).toInt());
        value = value < 1 ? days : (value > days ? 1 : value);
        break;
    }
    case 11:
        value = wrapped(value, 0, 23);
        break;
    default:
        value = wrapped(value, 0, 59);
        break;
    }
    QString result = text;
    result.replace(segment.start, segment.length, QStringLiteral("%1").arg(value, segment.length, 10, QLatin1Char('0')));
    return result;
}

DeadlineBox::DeadlineBox(QWidget* parent) : QLineEdit(parent)
{
    setTextMargins(0, 0, adjusterWidth, 0);
    auto makeButton = [this](Qt::ArrowType arrow, int step) {
        auto* button = new QToolButton(this);
        button->setArrowType(arrow);
        // The box keeps the focus, so its selection stays for the next press.
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
        button->setCursor(Qt::ArrowCursor);
        connect(button, &QToolButton::clicked, this, [this, step] { stepDeadlineSegment(step); });
        return button;
    };
    up = makeButton(Qt::UpArrow, 1);
    down = makeButton(Qt::DownArrow, -1);
}

void DeadlineBox::setDeadlineBox(const std::optional<QDateTime>& moment)
{
    setText(isoDateText(moment.value_or(QDateTime::currentDateTime())));
}

void DeadlineBox::selectDeadlineSegment()
{
    const TextSpan segment = deadlineSegmentAt(hasSelectedText() ? selectionStart() : cursorPosition());
    setSelection(segment.start, segment.length);
}

void DeadlineBox::stepDeadlineSegment(int step)
{
    if (!holdsDeadlineLayout(text())) {
        setDeadlineBox();
        return;
    }
    if (!hasSelectedText())
        setSelection(8, 2);
    const TextSpan remembered{selectionStart(), int(selectedText().size())};
    setText(steppedDeadline(text(), remembered.start, step));
    setSelection(remembered.start, remembered.length);
}

void DeadlineBox::mouseReleaseEvent(QMouseEvent* event)
{
    QLineEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        selectDeadlineSegment();
}

void DeadlineBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        setDeadlineBox();
    else
        QLineEdit::mouseDoubleClickEvent(event);
}

void DeadlineBox::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    const int half = height() / 2;
    up->setGeometry(width() - adjusterWidth - 1, 1, adjusterWidth, half - 1);
    down->setGeometry(width() - adjusterWidth - 1, half, adjusterWidth, height() - half - 1);
}
