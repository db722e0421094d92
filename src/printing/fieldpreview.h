#pragma once
// Aids of the form designer: the preview of the item being edited, shown
// inside its group box 分组框14_预览, and the template-variable page listing
// the placeholder of every enabled form item.

#include "core/appstate.h"

#include <QObject>
#include <QRect>
#include <QStringList>
#include <QVector>

class QGroupBox;
class QLabel;
class QWidget;

// What the designer's editing boxes hold for the previewed item.
struct PreviewedItem {
    QString name;      // 编辑框_表单_名称
    QString column;    // 编辑框_表单_字段
    QString typeName;  // 组合框_表单_类型: 单行文本框, 多行文本框, 单选框, 多选框, 选择列表框
    QString presets;   // 编辑框_表单_预设值, options joined by "||"
};

// The options an item offers: every programme for bm1-bm3 (disabled ones
// too), 男 and 女 for xb, otherwise the presets split at "||".
QStringList previewOptions(const PreviewedItem& item, const QVector<Programme>& programmes);

// Places of radio or check-box options after a caption of captionWidth
// pixels: side by side 10 pixels apart, wrapping to lines 20 pixels apart
// where an option would pass the group's client width.
QVector<QRect> previewOptionGeometries(int captionWidth, const QStringList& options, int clientWidth);

// The preview group's own controls: the caption label and the hidden
// templates the shown controls are cloned from.
class FieldPreview : public QObject {
    Q_OBJECT
public:
    // Fills `group` (the designer's 分组框14_预览).
    explicit FieldPreview(QGroupBox* group);

    // Replaces the preview with the item as it is being edited.
    void previewItem(AppState& state, const PreviewedItem& item);
    // The name box's text as typed, shown at once (the ":" comes with the next preview).
    void setCaption(const QString& text);

    QLabel* captionLabel() const { return caption; }
    // The controls of the current preview.
    const QVector<QWidget*>& shownControls() const { return clones; }

private:
    void clearClones();

    QGroupBox* group;
    QLabel* caption = nullptr;
    QWidget* editTemplate = nullptr;
    QWidget* radioTemplate = nullptr;
    QWidget* checkTemplate = nullptr;
    QWidget* listTemplate = nullptr;
    QVector<QWidget*> clones;
};

// The item entries of the template-variable page, one per form item.
QString fieldTemplateEntries(const QVector<FormItem>& items);

// Writes zd_mb.htm from mb/zd_mb.htm, its word "allname" replaced by the
// entries of the enabled form items, and shows it in the print preview window
// (opened with its print buttons hidden when it was not open).
void writeFieldTemplate(AppState& state);
