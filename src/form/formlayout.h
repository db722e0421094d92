#pragma once
// What a built registration form looks like, as plain values: the options
// and list entries of each item, the captions and the positions of every
// control. The add page and the edit window place their clones from these.

#include "core/appstate.h"

#include <QHash>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <QVector>

// A programme option's caption: name + programmeIdSeparator + id +
// programmeIdSeparator + serverid (form/registration.h). The separator's
// blanks push the ids out of the visible width.
QString programmeOptionCaption(const Programme& programme);
// The caption's parts at the separator: name, id, serverid for a programme
// option; one part for any other caption.
QStringList splitOptionCaption(const QString& caption);

bool isProgrammeColumn(const QString& zd);  // bm1, bm2, bm3

// The tags of built controls: "i" for the edit box or select list of the
// i-th item, i×100+k for its k-th option.
QString itemTag(int position);
QString optionTag(int position, int option);

// The options of a choice item: the visible names, and for programme items
// the captions that carry the ids (empty otherwise). `kept` holds, at the
// position of an option added to keep a stored value the item no longer
// offers, that value; offered options have none there (a kept programme
// option carries its ids in its caption instead).
struct ItemOptions {
    QStringList names;
    QStringList captions;
    QStringList kept;
    QString caption(int k) const { return captions.isEmpty() ? names.value(k) : captions.value(k); }
};

// Options from `val`; for bm1-bm3 the enabled programmes (of category
// `categoryId` when it is positive); for xb always 男 and 女.
ItemOptions itemOptions(const FormItem& item, const QVector<Programme>& programmes, int categoryId);

// The entries of a select-list item. An entry's data is the 1-based position
// in categoryList (dd) or programmeList (bm1-bm3) of what it stands for,
// 0 for "全部" and for plain options. An entry added to keep a stored value
// has data 0 and carries the value in `kept`, with the server id of a
// category or programme.
struct ListEntry {
    QString text;
    int data = 0;
    QStringList kept;
};
struct ListEntries {
    QVector<ListEntry> entries;
    int selected = -1;  // the entry shown at first; -1 leaves the list's default
};
ListEntries listEntries(const FormItem& item, const QVector<Category>& categories,
                        const QVector<Programme>& programmes, int categoryId, const QStringList& options);

// A registration's stored values by bmb column, as text.
using StoredValues = QHash<QString, QString>;

// Follows the name of a stored choice that its item no longer offers.
extern const QString noLongerOfferedMark;

// A stored value that the built form no longer offers is not lost: it is
// added as one more option or list entry, named with noLongerOfferedMark and
// keeping the value, so showing the record selects it and saving writes it
// back unchanged. No longer offered are a preset text since renamed or
// removed, and a category or programme since disabled or deleted (one only
// left out by the chosen category is still on offer). The gender item and
// empty values keep nothing.
void keepStoredOptions(ItemOptions& options, const FormItem& item, const StoredValues& stored,
                       const QVector<Programme>& programmes);
void keepStoredEntry(ListEntries& list, const FormItem& item, const StoredValues& stored,
                     const QVector<Category>& categories, const QVector<Programme>& programmes);

// The label before an item's control: "*" marks a required item on the add
// page; the edit window shows the caption alone.
enum class LabelStyle { AddPage, CaptionOnly };
QString itemLabelCaption(const FormItem& item, LabelStyle style);

// An option control is as wide as its name: 8 pixels per GBK byte plus 14.
int optionWidth(const QString& name);

// The sizes of the hidden templates.
struct TemplateSizes {
    QSize label{87, 22};
    QSize edit{128, 20};
    QSize check{58, 15};
    QSize radio{56, 15};
    QSize list{128, 20};
    QSize container{80, 24};
};

struct LayoutParams {
    bool compact = false;
    int clientWidth = 0;   // W: client width of the form's frame
    int frameWidth = 0;    // width of the frame (radio containers reach to it)
    int photoReserve = 0;  // P: kept free at the right for the photo group
    TemplateSizes sizes;
};

struct LayoutItem {
    int type = ItemType::Text;
    QStringList optionNames;  // widths come from the names alone
};

// Where an item's controls go. `input` is the edit box or select list, or the
// radio container; empty for check boxes. `options` are the radio buttons
// (relative to the container) or the check boxes (relative to the frame).
struct ItemPlacement {
    QRect label;
    QRect input;
    QVector<QRect> options;
};

QVector<ItemPlacement> layoutForm(const QVector<LayoutItem>& items, const LayoutParams& params);

// Tab from the item at 1-based position `focused`: the position of the next
// text or select-list item in form order, wrapping past the end; 0 when
// there is none.
int nextFocusItem(const QVector<int>& types, int focused);
