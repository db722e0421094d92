#include "platform/anchors.h"

#include <QEvent>
#include <QWidget>

AnchorRecord makeAnchorRecord(const QRect& geometry, int containerWidth, int containerHeight, AnchorFlags flags)
{
    AnchorRecord record;
    record.left = geometry.x();
    record.top = geometry.y();
    record.right = containerWidth - geometry.x() - geometry.width();
    record.bottom = containerHeight - geometry.y() - geometry.height();
    record.width = geometry.width();
    record.height = geometry.height();
    record.flags = flags;
    return record;
}

QRect anchoredGeometry(const AnchorRecord& record, const QRect& current, int containerWidth, int containerHeight)
{
    int left = current.x();
    int top = current.y();
    int width = current.width();
    int height = current.height();
    if (record.flags.right) {
        if (record.flags.left)
            width = containerWidth - record.left - record.right;
        else
            left = containerWidth - record.width - record.right;
    }
    if (record.flags.top) {
        if (record.flags.bottom)
            height = containerHeight - record.top - record.bottom;
    } else {
        top = containerHeight - record.height - record.bottom;
    }
    return QRect(left, top, width, height);
}

void AnchorLayout::anchor(QWidget* control, AnchorFlags flags)
{
    QWidget* container = control ? control->parentWidget() : nullptr;
    if (!container)
        return;
    const Entry entry{control, makeAnchorRecord(control->geometry(), container->width(), container->height(), flags)};
    containers.removeIf([](const Container& known) { return known.widget.isNull(); });
    for (Container& known : containers) {
        if (known.widget == container) {
            known.entries.push_back(entry);
            return;
        }
    }
    containers.push_back({container, {entry}});
    container->installEventFilter(this);
}

bool AnchorLayout::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        for (Container& container : containers) {
            if (container.widget != watched)
                continue;
            container.entries.removeIf([](const Entry& entry) { return entry.control.isNull(); });
            const int w = container.widget->width();
            const int h = container.widget->height();
            for (const Entry& entry : container.entries)
                entry.control->setGeometry(anchoredGeometry(entry.record, entry.control->geometry(), w, h));
        }
    }
    return QObject::eventFilter(watched, event);
}
