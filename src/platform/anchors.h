#pragma once
// Controls follow their container's size by anchors rather than Qt layouts:
// each control keeps its distances to the container's edges on the anchored
// sides, as registered.

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QVector>

class QWidget;

struct AnchorFlags {
    bool left = true;
    bool top = true;
    bool right = false;
    bool bottom = false;
};

// A control's place relative to its container's client area when registered.
struct AnchorRecord {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width = 0;
    int height = 0;
    AnchorFlags flags;
};

AnchorRecord makeAnchorRecord(const QRect& geometry, int containerWidth, int containerHeight, AnchorFlags flags);

// The control's rectangle once its container's client area is W × H.
QRect anchoredGeometry(const AnchorRecord& record, const QRect& current, int containerWidth, int containerHeight);

// One watch per container; controls move in registration order. Controls
// and containers are followed by QPointer, so a control deleted after it was
// anchored (the form is rebuilt often) is skipped and forgotten.
class AnchorLayout : public QObject {
public:
    explicit AnchorLayout(QObject* parent = nullptr) : QObject(parent) {}
    void anchor(QWidget* control, AnchorFlags flags);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        QPointer<QWidget> control;
        AnchorRecord record;
    };
    struct Container {
        QPointer<QWidget> widget;
        QVector<Entry> entries;
    };
    QVector<Container> containers;
};
