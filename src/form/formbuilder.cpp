#include "form/formbuilder.h"

#include "platform/events.h"
#include "platform/text.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace {

const char* const tagProperty = "tag";
const char* const keptProperty = "keptValue";
constexpr int keptRole = Qt::UserRole + 1;

} // namespace

QWidget* findTagged(const QWidget* container, const QString& tag)
{
    if (!container || tag.isEmpty())
        return nullptr;
    const QList<QWidget*> candidates = container->findChildren<QWidget*>();
    for (QWidget* candidate : candidates)
        if (tagOf(candidate) == tag)
            return candidate;
    return nullptr;
}

QString tagOf(const QWidget* control)
{
    return control ? control->property(tagProperty).toString() : QString();
}

void setTag(QWidget* control, const QString& tag)
{
    control->setProperty(tagProperty, tag);
}

QString editBoxText(const QWidget* box)
{
    if (auto* line = qobject_cast<const QLineEdit*>(box))
        return line->text();
    if (auto* multi = qobject_cast<const QPlainTextEdit*>(box))
        return multi->toPlainText();
    return {};
}

QString keptValueOf(const QAbstractButton* option)
{
    return option ? option->property(keptProperty).toString() : QString();
}

QStringList keptValuesOf(const QComboBox* list, int index)
{
    return list && index >= 0 && index < list->count() ? list->itemData(index, keptRole).toStringList() : QStringList();
}

namespace {

template <typename Entry>
const Entry* entryAt(const QVector<Entry>& list, const QComboBox* combo, int index)
{
    if (!combo || index < 0 || index >= combo->count())
        return nullptr;
    const int position = combo->itemData(index).toInt();
    return position >= 1 && position <= list.size() ? &list[position - 1] : nullptr;
}

} // namespace

const Category* categoryOfEntry(const AppState& state, const QComboBox* list, int index)
{
    return entryAt(state.categoryList, list, index);
}

const Programme* programmeOfEntry(const AppState& state, const QComboBox* list, int index)
{
    return entryAt(state.programmeList, list, index);
}

namespace {

template <typename T>
T* cloneAs(const QWidget* templ, QWidget* parent)
{
    auto* clone = new T(parent);
    clone->setObjectName(templ->objectName());
    clone->setFont(templ->font());
    clone->setPalette(templ->palette());
    clone->setStyleSheet(templ->styleSheet());
    clone->setAutoFillBackground(templ->autoFillBackground());
    clone->setFocusPolicy(templ->focusPolicy());
    clone->resize(templ->size());
    clone->setAttribute(Qt::WA_DeleteOnClose);
    clone->hide();
    return clone;
}

} // namespace

QWidget* cloneTemplate(const QWidget* templ, QWidget* parent)
{
    if (auto* label = qobject_cast<const QLabel*>(templ)) {
        auto* clone = cloneAs<QLabel>(templ, parent);
        clone->setAlignment(label->alignment());
        return clone;
    }
    if (qobject_cast<const QLineEdit*>(templ))
        return cloneAs<QLineEdit>(templ, parent);
    if (qobject_cast<const QCheckBox*>(templ))
        return cloneAs<QCheckBox>(templ, parent);
    if (qobject_cast<const QRadioButton*>(templ))
        return cloneAs<QRadioButton>(templ, parent);
    if (qobject_cast<const QComboBox*>(templ))
        return cloneAs<QComboBox>(templ, parent);
    if (auto* frame = qobject_cast<const QFrame*>(templ)) {
        auto* clone = cloneAs<QFrame>(templ, parent);
        clone->setFrameStyle(frame->frameStyle());
        return clone;
    }
    return cloneAs<QWidget>(templ, parent);
}

QPlainTextEdit* cloneAsMultiLine(const QLineEdit* templ, QWidget* parent)
{
    return cloneAs<QPlainTextEdit>(templ, parent);
}

FormBuilder::FormBuilder(AppState& appState, QWidget* frame, const FormTemplates& formTemplates, QObject* parent)
    : QObject(parent), state(appState), container(frame), templates(formTemplates)
{
}

QWidget* FormBuilder::makeClone(const QWidget* templ, QWidget* parent)
{
    QWidget* clone = cloneTemplate(templ, parent);
    controls.push_back(clone);
    return clone;
}

QWidget* FormBuilder::itemControl(int position) const
{
    return findTagged(container, itemTag(position));
}

QVector<QAbstractButton*> FormBuilder::optionControls(int position) const
{
    QVector<QAbstractButton*> buttons;
    for (int k = 1; auto* button = findTagged<QAbstractButton>(container, optionTag(position, k)); ++k)
        buttons.push_back(button);
    return buttons;
}

EnteredItem FormBuilder::enteredItem(int position) const
{
    EnteredItem entry;
    QWidget* control = itemControl(position);
    if (auto* list = qobject_cast<QComboBox*>(control)) {
        entry.text = list->currentText();
        entry.listIndex = list->currentIndex();
        entry.listData = entry.listIndex >= 0 ? list->itemData(entry.listIndex).toInt() : -1;
        entry.listKept = keptValuesOf(list, entry.listIndex);
    } else {
        entry.text = editBoxText(control);
    }
    for (const QAbstractButton* option : optionControls(position)) {
        entry.optionCaptions << option->text();
        entry.optionKept << keptValueOf(option);
        entry.ticked << option->isChecked();
    }
    return entry;
}

QVector<EnteredItem> FormBuilder::enteredItems() const
{
    QVector<EnteredItem> entries;
    for (int position = 1; position <= items.size(); ++position)
        entries.push_back(enteredItem(position));
    return entries;
}

FormItem* FormBuilder::liveItem(int position)
{
    // formItems may have been reloaded since the build: only the same item counts.
    if (position < 1 || position > items.size() || position > state.formItems.size())
        return nullptr;
    FormItem& item = state.formItems[position - 1];
    return item.id == items[position - 1].id ? &item : nullptr;
}

void FormBuilder::build(const BuildOptions& options)
{
    clear();
    const int thisBuild = ++generation;
    items = state.formItems;

    QVector<ItemOptions> optionLists;
    QVector<LayoutItem> layoutItems;
    for (const FormItem& item : items) {
        optionLists.push_back(itemOptions(item, state.programmeList, options.categoryId));
        keepStoredOptions(optionLists.last(), item, options.stored, state.programmeList);
        layoutItems.push_back({item.lx, optionLists.last().names});
    }
    LayoutParams params;
    params.compact = options.compact;
    params.clientWidth = container->contentsRect().width();
    params.frameWidth = container->width();
    params.photoReserve = options.photoReserve;
    params.sizes = {templates.label->size(), templates.edit->size(),  templates.check->size(),
                    templates.radio->size(), templates.list->size(), templates.container->size()};
    const QVector<ItemPlacement> placements = layoutForm(layoutItems, params);

    const QVector<FormItem> building = items;
    for (int i = 0; i < building.size(); ++i) {
        QWidget* label = makeClone(templates.label, container);
        static_cast<QLabel*>(label)->setText(itemLabelCaption(building[i], options.labels));
        label->setGeometry(placements[i].label);
        label->show();
        processPendingMessages();
        // A handler that ran meanwhile may have cleared or rebuilt the form.
        if (generation != thisBuild)
            return;
        buildItem(i + 1, building[i], optionLists[i], placements[i], options);
    }
}

void FormBuilder::buildItem(int position, const FormItem& item, const ItemOptions& options,
                            const ItemPlacement& place, const BuildOptions& build)
{
    switch (item.lx) {
    case ItemType::MultiLineText: {
        QPlainTextEdit* box = cloneAsMultiLine(templates.edit, container);
        controls.push_back(box);
        setTag(box, itemTag(position));
        box->setPlainText(item.val);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->setGeometry(place.input);
        box->installEventFilter(this);
        box->show();
        break;
    }
    case ItemType::Radio: {
        QWidget* frame = makeClone(templates.container, container);
        frame->setGeometry(place.input);
        frame->show();
        for (int k = 0; k < place.options.size(); ++k) {
            auto* button = static_cast<QRadioButton*>(makeClone(templates.radio, frame));
            setTag(button, optionTag(position, k + 1));
            radios.push_back(position * 100 + k + 1);
            button->setText(options.caption(k));
            button->setProperty(keptProperty, options.kept.value(k));
            button->setGeometry(place.options[k]);
            button->show();
        }
        break;
    }
    case ItemType::Check:
        for (int k = 0; k < place.options.size(); ++k) {
            auto* box = static_cast<QCheckBox*>(makeClone(templates.check, container));
            setTag(box, optionTag(position, k + 1));
            checks.push_back(position * 100 + k + 1);
            box->setText(options.caption(k));
            box->setProperty(keptProperty, options.kept.value(k));
            box->setGeometry(place.options[k]);
            box->installEventFilter(this);
            box->show();
        }
        break;
    case ItemType::List: {
        auto* list = static_cast<QComboBox*>(makeClone(templates.list, container));
        setTag(list, itemTag(position));
        ListEntries entries = listEntries(item, state.categoryList, state.programmeList, build.categoryId, options.names);
        keepStoredEntry(entries, item, build.stored, state.categoryList, state.programmeList);
        for (const ListEntry& entry : std::as_const(entries.entries)) {
            list->addItem(entry.text, entry.data);
            if (!entry.kept.isEmpty())
                list->setItemData(list->count() - 1, entry.kept, keptRole);
        }
        list->setCurrentIndex(entries.selected);
        list->setGeometry(place.input);
        connect(list, &QComboBox::currentIndexChanged, this, [this, list] { onChoiceChanged(list); });
        list->show();
        break;
    }
    default: {
        auto* box = static_cast<QLineEdit*>(makeClone(templates.edit, container));
        setTag(box, itemTag(position));
        box->setText(item.val);
        box->setGeometry(place.input);
        box->setCursorPosition(0);
        box->installEventFilter(this);
        box->show();
        break;
    }
    }
}

void FormBuilder::clear()
{
    ++generation;
    if (items.isEmpty() && controls.isEmpty())
        return;
    for (QWidget* control : std::as_const(controls))
        setTag(control, QString());
    for (FormItem& item : state.formItems)
        if (item.zd != QLatin1String("dd")) {
            item.currentValue.clear();
            item.currentServerId.clear();
        }
    for (QWidget* control : std::as_const(controls)) {
        control->removeEventFilter(this);
        control->disconnect(this);
        control->close();
    }
    controls.clear();
    items.clear();
    radios.clear();
    checks.clear();
}

void FormBuilder::onChoiceChanged(QComboBox* source)
{
    const int position = tagOf(source).toInt();
    if (position < 1 || position > items.size())
        return;
    const QString zd = items[position - 1].zd;  // a copy: the category choice rebuilds the form
    const int index = source->currentIndex();
    FormItem* item = liveItem(position);
    auto remember = [item](const QString& value, const QString& serverId) {
        if (item) {
            item->currentValue = value;
            item->currentServerId = serverId;
        }
    };

    // An entry keeping a stored category or programme stands for its ids.
    const QStringList kept = keptValuesOf(source, index);
    if (zd == QLatin1String("dd")) {
        const Category* category = index > 0 ? categoryOfEntry(state, source, index) : nullptr;
        categoryId = !kept.isEmpty() ? kept.value(0).toInt() : category ? category->id : 0;
        remember(QString::number(categoryId),
                 !kept.isEmpty() ? kept.value(1) : QString::number(category ? category->serverId : 0));
        // The owner rebuilds, which discards what was entered so far.
        emit categoryChosen(categoryId);
    } else if (isProgrammeColumn(zd)) {
        if (!kept.isEmpty())
            remember(kept.value(0), kept.value(1));
        else if (const Programme* programme = programmeOfEntry(state, source, index))
            remember(QString::number(programme->id), QString::number(programme->serverId));
    } else if (item) {
        item->currentValue = source->currentText();
    }
}

void FormBuilder::onTextItemFocus(QWidget* box)
{
    focusedItem = tagOf(box).toInt();
}

void FormBuilder::onTextItemLeave(QWidget* box)
{
    if (FormItem* item = liveItem(tagOf(box).toInt()))
        item->currentValue = trimBlanks(editBoxText(box));
}

void FormBuilder::onCheckItemFocus(QWidget* box)
{
    focusedItem = tagOf(box).toInt() / 100;
}

bool FormBuilder::advanceFocus()
{
    QVector<int> types;
    for (const FormItem& item : std::as_const(items))
        types.push_back(item.lx);
    const int next = nextFocusItem(types, focusedItem);
    QWidget* target = next > 0 ? itemControl(next) : nullptr;
    if (!target)
        return false;
    target->setFocus(Qt::TabFocusReason);
    return true;
}

bool FormBuilder::eventFilter(QObject* watched, QEvent* event)
{
    auto* control = qobject_cast<QWidget*>(watched);
    if (!control || tagOf(control).isEmpty())
        return false;
    const bool isCheck = qobject_cast<QCheckBox*>(control) != nullptr;
    switch (event->type()) {
    case QEvent::FocusIn:
        isCheck ? onCheckItemFocus(control) : onTextItemFocus(control);
        break;
    case QEvent::FocusOut:
        if (!isCheck)
            onTextItemLeave(control);
        break;
    case QEvent::KeyPress: {
        // Tab moves through the text boxes and select lists only.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            return advanceFocus();
        break;
    }
    default:
        break;
    }
    return false;
}

FormTemplates createFormTemplates(QWidget* frame, const TemplateNames& names)
{
    const TemplateSizes sizes;
    auto place = [](QWidget* templ, const char* name, const QSize& size) {
        templ->setObjectName(QString::fromUtf8(name));
        templ->setGeometry(QRect(QPoint(0, 0), size));
        templ->hide();
    };
    FormTemplates templates;
    templates.label = new QLabel(frame);
    templates.label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(templates.label, names.label, sizes.label);
    templates.edit = new QLineEdit(frame);
    place(templates.edit, names.edit, sizes.edit);
    templates.check = new QCheckBox(frame);
    place(templates.check, names.check, sizes.check);
    templates.radio = new QRadioButton(frame);
    place(templates.radio, names.radio, sizes.radio);
    templates.list = new QComboBox(frame);
    place(templates.list, names.list, sizes.list);
    auto* board = new QFrame(frame);
    board->setFrameShape(QFrame::NoFrame);
    templates.container = board;
    place(board, names.container, sizes.container);
    return templates;
}
