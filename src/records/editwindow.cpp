#include "records/editwindow.h"

#include "core/lists.h"
#include "form/duplicates.h"
#include "form/registration.h"
#include "photos/camerawindow.h"
#include "photos/photostore.h"
#include "platform/inifile.h"
#include "platform/messagebox.h"
#include "platform/text.h"
#include "records/browsepage.h"
#include "records/statements.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace {

// Kept free at the right of radio rows while the photo group is shown.
constexpr int photoReserve = 132;
constexpr int defaultWidth = 800;
constexpr int defaultHeight = 600;

QString iniKey(const char* key)
{
    return QString::fromLatin1(key);
}

// Ticks radio buttons one by one; an exclusive group would refuse to untick
// the last ticked one.
void setTicked(QAbstractButton* button, bool ticked)
{
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(ticked);
    button->setAutoExclusive(exclusive);
}

// The entry of a category or programme list standing for `id`; -1 when none does.
int entryOfId(const AppState& state, const QComboBox* list, bool categories, int id)
{
    for (int index = 0; index < list->count(); ++index) {
        int entryId = -1;
        if (const QStringList kept = keptValuesOf(list, index); !kept.isEmpty()) {
            entryId = int(textToNumber(kept.value(0)));
        } else if (categories) {
            const Category* category = categoryOfEntry(state, list, index);
            entryId = category ? category->id : 0;  // "全部" stands for category 0
        } else if (const Programme* programme = programmeOfEntry(state, list, index)) {
            entryId = programme->id;
        }
        if (entryId == id)
            return index;
    }
    return -1;
}

// The entry of a plain select list showing `text`: an offered one, or the
// one keeping it; -1 when none does.
int entryOfText(const QComboBox* list, const QString& text)
{
    for (int index = 0; index < list->count(); ++index)
        if (!text.isEmpty() && keptValuesOf(list, index).value(0) == text)
            return index;
    return list->findText(text);
}

} // namespace

bool storeEditPhoto(AppState& state, int recordId, const QString& pendingPhoto, QString& replacedFile)
{
    replacedFile.clear();
    if (pendingPhoto.isEmpty() || recordId <= 0)
        return true;
    if (!state.db.openShared(photoRowsStatement(recordId))) {
        state.showMessage(QStringLiteral("数据库打开失败"), MessageStyle::SystemModal);
        return false;
    }
    RecordSet& rows = state.db.shared();
    const bool inserting = rows.atEnd();
    const QString previousFile = inserting ? QString() : rows.readText("filename");
    const QString sql = inserting ? insertPhotoRowStatement(recordId, pendingPhoto)
                                  : replacePhotoFileStatement(recordId, pendingPhoto);
    if (!putPhotoOnServer(state, pendingPhoto) || !executeReported(state, sql, MessageStyle::SystemModal)) {
        state.showResult(QStringLiteral("图片修改失败"));
        return false;
    }
    state.showResult(QStringLiteral("图片修改设置成功"));
    if (!inserting) {
        if (previousFile != pendingPhoto && isRemovableStoredName(previousFile))
            replacedFile = previousFile;
        return true;
    }
    // The row this desk wrote, not the newest of any desk.
    const qint64 photoRow = state.db.connection->lastInsertId();
    const bool linked = executeReported(state, linkPhotoStatement(recordId, photoRow));
    state.showResult(linked ? QStringLiteral("修改imgid成功") : QStringLiteral("修改imgid失败"));
    return linked;
}

EditWindow::EditWindow(AppState& appState, BrowsePage& browsePage, QWidget* parent)
    : QWidget(parent, Qt::Window), state(appState), browse(browsePage)
{
    setObjectName(QStringLiteral("窗口_信息修改"));
    setWindowTitle(QStringLiteral("修改报名信息"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(defaultWidth, defaultHeight);

    auto* group = new QGroupBox(QStringLiteral("报名信息"), this);
    group->setObjectName(QStringLiteral("分组框1_添加"));
    group->setGeometry(6, 0, defaultWidth - 12, defaultHeight - 44);
    frame = group;
    templates = createFormTemplates(frame, {"标签1_模板", "编辑框1_模板", "选择框1_模板", "单选框1_模板", "组合框1_模板", "分组框1_模板"});
    buildPhotoGroup();
    buildBottomRow(defaultHeight);
    registerAnchors();

    builder = new FormBuilder(state, frame, templates, this);
    connect(builder, &FormBuilder::categoryChosen, this, &EditWindow::onEditCategoryChanged);
    onEditWindowCreated();
}


void EditWindow::buildPhotoGroup()
{
    auto* group = new QGroupBox(QStringLiteral("照片"), frame);
    group->setObjectName(QStringLiteral("分组框_拍照"));
    group->setGeometry(frame->width() - 136, 16, 128, 220);
    photoGroup = group;
    photo = new QLabel(group);
    photo->setObjectName(QStringLiteral("图片框1"));
    photo->setGeometry(4, 20, 120, 160);
    photo->setAlignment(Qt::AlignCenter);
    photo->setFrameShape(QFrame::StyledPanel);

    auto button = [group](const char* name, const char* caption, int x) {
        auto* b = new QPushButton(QString::fromUtf8(caption), group);
        b->setObjectName(QString::fromUtf8(name));
        b->setGeometry(x, 186, 38, 26);
        return b;
    };
    browseButton = button("按钮_浏览", "浏览", 4);
    clearButton = button("清除按钮", "清除", 45);
    cameraButton = button("拍照按钮", "拍照", 86);
    connect(browseButton, &QPushButton::clicked, this, &EditWindow::choosePhoto);
    connect(clearButton, &QPushButton::clicked, this, &EditWindow::clearPhoto);
    connect(cameraButton, &QPushButton::clicked, this, &EditWindow::takePhoto);
}

void EditWindow::buildBottomRow(int height)
{
    const int rowY = height - 36;
    compact = new QCheckBox(QStringLiteral("表单紧凑排列"), this);
    compact->setObjectName(QStringLiteral("选择框_表单紧凑排列"));
    compact->setGeometry(16, rowY, 104, 24);
    // Only a click rebuilds: restoring the setting does not.
    connect(compact, &QCheckBox::clicked, this, &EditWindow::onCompactLayoutToggled);

    reviewLabel = new QLabel(QStringLiteral("审核:"), this);
    reviewLabel->setObjectName(QStringLiteral("标签15"));
    reviewLabel->setGeometry(124, rowY, 32, 24);
    review = new QComboBox(this);
    review->setObjectName(QStringLiteral("组合框_添加_审核状态"));
    review->setGeometry(156, rowY, 100, 24);
    review->addItems({QStringLiteral("请选审核状态"), QStringLiteral("待审核"), QStringLiteral("通过"),
                      QStringLiteral("审核未通过")});

    paymentLabel = new QLabel(QStringLiteral("缴费:"), this);
    paymentLabel->setObjectName(QStringLiteral("标签16"));
    paymentLabel->setGeometry(262, rowY, 32, 24);
    payment = new QComboBox(this);
    payment->setObjectName(QStringLiteral("组合框_添加_财务状态"));
    payment->setGeometry(294, rowY, 100, 24);
    payment->addItems({QStringLiteral("请选缴费状态"), QStringLiteral("待缴费"), QStringLiteral("已缴费"),
                       QStringLiteral("审核未通过")});
    // The states are changed from the browse page; here they are only shown.
    review->setEnabled(false);
    payment->setEnabled(false);

    timeLabel = new QLabel(this);
    timeLabel->setObjectName(QStringLiteral("标签_时间"));
    timeLabel->setGeometry(402, rowY, 200, 24);

    confirm = new QPushButton(QStringLiteral("确  定"), this);
    confirm->setObjectName(QStringLiteral("按钮1_确定"));
    confirm->setGeometry(width() - 100, rowY - 2, 86, 28);
    connect(confirm, &QPushButton::clicked, this, &EditWindow::saveEditRecord);
}

void EditWindow::registerAnchors()
{
    anchors.anchor(frame, {true, true, true, true});
    anchors.anchor(photoGroup, {false, true, true, false});
    for (QWidget* control : {static_cast<QWidget*>(compact), static_cast<QWidget*>(reviewLabel),
                             static_cast<QWidget*>(review), static_cast<QWidget*>(paymentLabel),
                             static_cast<QWidget*>(payment), static_cast<QWidget*>(timeLabel)})
        anchors.anchor(control, {true, false, false, true});
    anchors.anchor(confirm, {false, false, true, true});
}

void EditWindow::onEditWindowCreated()
{
    const QString& ini = state.iniPath;
    const int w = readIniInteger(ini, iniKey("llxx_kd"), defaultWidth);
    const int h = readIniInteger(ini, iniKey("llxx_gd"), defaultHeight);
    const QRect screenArea = screen() ? screen()->geometry() : QRect(0, 0, w, h);
    const int top = readIniInteger(ini, iniKey("llxx_y"), (screenArea.height() - h) / 2);
    const int left = readIniInteger(ini, iniKey("llxx_x"), (screenArea.width() - w) / 2);
    resize(w, h);
    move(left, top);
    compact->setChecked(readIniValue(ini, iniKey("formauto"), QStringLiteral("0")) == QLatin1String("1"));
    ensureCategoryList(state);
    ensureProgrammeList(state);
    ensureFormItems(state);
}

void EditWindow::closeEvent(QCloseEvent* event)
{
    const QString& ini = state.iniPath;
    writeIniValue(ini, iniKey("llxx_kd"), QString::number(width()));
    writeIniValue(ini, iniKey("llxx_gd"), QString::number(height()));
    writeIniValue(ini, iniKey("llxx_x"), QString::number(x()));
    writeIniValue(ini, iniKey("llxx_y"), QString::number(y()));
    event->accept();
}

void EditWindow::prepareFor(int id, int category)
{
    recordId = id;
    categoryId = category;
    categoryChosenHere = false;
    // A photo chosen for the previous record never reaches this one.
    pendingPhotoFile.clear();
}

void EditWindow::buildEditForm(int category, bool filterByCategory)
{
    // Until a record is loaded into it, the new form shows none.
    loaded = false;
    photoGroup->setVisible(state.unitSettings.photo == 1);
    BuildOptions options;
    options.categoryId = filterByCategory && category > 0 ? category : 0;
    options.compact = compact->isChecked();
    options.photoReserve = state.unitSettings.photo == 1 ? photoReserve : 0;
    options.labels = LabelStyle::CaptionOnly;
    options.stored = readStoredValues();
    builder->build(options);
}

StoredValues EditWindow::readStoredValues()
{
    StoredValues values;
    // A record that cannot be read is reported when it is loaded.
    if (recordId <= 0 || !state.db.openShared(registrationByIdStatement(recordId)))
        return values;
    RecordSet& row = state.db.shared();
    if (row.atEnd())
        return values;
    for (const FormItem& item : std::as_const(state.formItems)) {
        values.insert(item.zd, row.readText(item.zd));
        if (item.zd == QLatin1String("dd") || isProgrammeColumn(item.zd)) {
            const QString serverColumn = item.zd + QStringLiteral("server");
            values.insert(serverColumn, row.readText(serverColumn));
        }
    }
    return values;
}

void EditWindow::loadEditRecord(bool keepId)
{
    if (!keepId)
        recordId = browse.currentRecordId();
    loaded = false;
    int reviewState = 0;
    int paymentState = 0;
    QString registered;
    if (openReported(state, registrationByIdStatement(recordId))
        && !state.db.shared().atEnd()) {
        RecordSet& row = state.db.shared();
        loadedFingerprint = rowFingerprint(row);
        const QVector<FormItem>& items = builder->builtItems();
        QStringList values;
        for (const FormItem& item : items)
            values << row.readText(item.zd);
        reviewState = row.readInteger("sh");
        paymentState = row.readInteger("fk");
        registered = row.readText("dtime");
        // An applicant's own registration from the web page says so.
        if (row.readInteger("ly") == 1)
            registered += QStringLiteral("（网上报名）");
        loaded = true;
        for (int n = 1; n <= items.size(); ++n)
            showStoredValue(n, items[n - 1], values[n - 1]);
    }
    showStates(reviewState, paymentState);
    timeLabel->setText(QStringLiteral("Time:") + registered);
    loadPhoto();
}

void EditWindow::showStoredValue(int position, const FormItem& item, const QString& value)
{
    const QVector<QAbstractButton*> options = builder->optionControls(position);
    // An option keeping a stored value stands for that value.
    QStringList captions;
    for (const QAbstractButton* option : options) {
        const QString kept = keptValueOf(option);
        captions << (kept.isEmpty() ? option->text() : kept);
    }
    const StoredEntry entry = storedEntry(item, value, captions);

    switch (item.lx) {
    case ItemType::Radio:
    case ItemType::Check:
        for (int k = 0; k < options.size(); ++k)
            setTicked(options[k], entry.ticked.value(k));
        break;
    case ItemType::List:
        if (auto* list = qobject_cast<QComboBox*>(builder->itemControl(position))) {
            // Showing the stored value is no choice of the operator's.
            const QSignalBlocker quiet(list);
            const bool isCategory = item.zd == QLatin1String("dd");
            if (isCategory || isProgrammeColumn(item.zd)) {
                const int id = isCategory && categoryChosenHere ? categoryId : entry.selectId;
                list->setCurrentIndex(entryOfId(state, list, isCategory, id));
            } else {
                list->setCurrentIndex(entryOfText(list, entry.text));
            }
        }
        break;
    default: {
        QWidget* box = builder->itemControl(position);
        if (auto* line = qobject_cast<QLineEdit*>(box)) {
            line->setText(entry.text);
            line->setCursorPosition(0);
        } else if (auto* multi = qobject_cast<QPlainTextEdit*>(box)) {
            multi->setPlainText(entry.text);
        }
        break;
    }
    }
}

void EditWindow::showStates(int reviewState, int paymentState)
{
    const bool reviewShown = state.unitSettings.review == 1;
    reviewLabel->setVisible(reviewShown);
    review->setVisible(reviewShown);
    review->setCurrentIndex(reviewState == 1 ? 2 : reviewState == -1 ? 3 : 1);
    const bool paymentShown = state.unitSettings.payment == 1;
    paymentLabel->setVisible(paymentShown);
    payment->setVisible(paymentShown);
    payment->setCurrentIndex(paymentState == 1 ? 2 : paymentState == -1 ? 3 : 1);
}

void EditWindow::loadPhoto()
{
    photo->clear();
    if (state.unitSettings.photo != 1)
        return;
    if (!openReported(state, enabledPhotoRowStatement(recordId)))
        return;
    if (!state.db.shared().atEnd())
        showPhotoIn(photo, localPhotoFile(state, state.db.shared().readText("filename")));
}

void EditWindow::onEditCategoryChanged(int category)
{
    categoryId = category;
    categoryChosenHere = true;
    buildEditForm(categoryId, categoryId > 0);
    loadEditRecord(true);
}

void EditWindow::onCompactLayoutToggled()
{
    writeIniValue(state.iniPath, iniKey("formauto"), compact->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    // The category on show keeps its programmes, as after a category change.
    buildEditForm(categoryId, true);
    loadEditRecord(true);
}

void EditWindow::saveEditRecord()
{
    // An empty form written back would erase the record's values.
    if (!loaded || recordId <= 0) {
        messageBox(QStringLiteral("请先选中要修改项目"), MessageStyle::Exclamation);
        return;
    }
    const QVector<FormItem>& items = builder->builtItems();
    Registration registration =
        registrationFromEntries(items, builder->enteredItems(), state.categoryList, state.programmeList);
    if (confirmUnlessDuplicate(state, items, registration, recordId) != DuplicateDecision::Store)
        return;
    registration.saveKey = newSaveKey();
    const QString sql = registrationUpdate(items, registration, recordId);
    DbConnection& connection = *state.db.connection;
    enum class Found { Unchanged, Changed, Deleted } found = Found::Unchanged;
    QString replacedFile;
    HeldMessages held(state);
    const SaveResult result = saveOnce(connection, registration.saveKey, [&] {
        held.forget();
        // Another desk may have changed the row since it was opened here, and
        // writing over that would lose its change without anyone knowing. The
        // row is held until the save ends and only then read, so a change
        // committed while this save waited is seen too.
        if (!connection.lockRow(QStringLiteral("bmb"), recordId) || !openReported(state, registrationByIdStatement(recordId))
            || state.db.shared().readFailed())
            return false;
        const RecordSet& row = state.db.shared();
        found = row.atEnd() ? Found::Deleted : rowFingerprint(row) != loadedFingerprint ? Found::Changed : Found::Unchanged;
        replacedFile.clear();
        return found == Found::Unchanged && executeReported(state, sql)
               && storeEditPhoto(state, recordId, pendingPhotoFile, replacedFile);
    });
    if (found == Found::Deleted) {
        closeOnDeletedRecord();
        return;
    }
    if (found == Found::Changed) {
        const int answer = messageBox(QStringLiteral("这条报名在打开后已被其他人修改或删除，本次修改没有保存。\n"
                                                     "是否重新载入这条报名的最新内容？"),
                                      MessageStyle::YesNo | MessageStyle::Exclamation, QStringLiteral("修改冲突"));
        if (answer == AnswerYes) {
            loadEditRecord(true);
            if (!loaded)
                closeOnDeletedRecord();
        }
        return;
    }
    switch (result.outcome) {
    case SaveOutcome::Stored:
        break;
    case SaveOutcome::AlreadyStored:
        state.showMessage(QStringLiteral("保存时服务器的回答没有传回，经向服务器查询：这次修改已保存。"),
                          MessageStyle::Information);
        break;
    case SaveOutcome::Unknown:
        state.showMessage(QStringLiteral("与数据库服务器的连接在保存时断开，无法确认这次修改是否已保存。\n"
                                         "请稍后重新打开这条报名查看。\n")
                              + result.error,
                          MessageStyle::Exclamation);
        return;
    case SaveOutcome::Failed:
        held.show(result.error);
        return;
    }
    pendingPhotoFile.clear();
    if (!replacedFile.isEmpty())
        QFile::remove(photoPath(state.programDir, replacedFile));
    if (state.db.openShared(registrationByIdStatement(recordId)) && !state.db.shared().atEnd())
        loadedFingerprint = rowFingerprint(state.db.shared());
    browse.refreshCurrentPage();
}

void EditWindow::closeOnDeletedRecord()
{
    messageBox(QStringLiteral("这条报名在打开后已被其他人删除，本次修改没有保存。"), MessageStyle::Exclamation,
               QStringLiteral("修改冲突"));
    close();
    browse.refreshCurrentPage();
}

void EditWindow::choosePhoto()
{
    if (const QString chosen = choosePhotoFile(state, photo); !chosen.isEmpty())
        pendingPhotoFile = chosen;
}

void EditWindow::takePhoto()
{
    // Opening the camera drops a photo chosen here and not saved, also when
    // none is taken; the picture then shows the record's own photo again.
    pendingPhotoFile = takeCameraPhoto(state, cameraButton, photo);
    if (pendingPhotoFile.isEmpty())
        loadPhoto();
}

void EditWindow::clearPhoto()
{
    if (recordId > 0) {
        clearStoredPhoto(state, recordId, pendingPhotoFile, photo);
    } else {
        photo->clear();
        pendingPhotoFile.clear();
    }
}

RecordEditor::RecordEditor(AppState& appState, BrowsePage& browsePage, QWidget* ownerWindow)
    : QObject(ownerWindow), state(appState), browse(browsePage), owner(ownerWindow)
{
    connect(&browse.recordList(), &QTreeWidget::itemDoubleClicked, this, &RecordEditor::openSelectedRecord);
}

void RecordEditor::openSelectedRecord()
{
    const int id = browse.currentRecordId();
    if (id <= 0)
        return;
    int category = 0;
    if (state.unitSettings.multiLocation == 1) {
        if (!openReported(state, registrationCategoryStatement(id)))
            return;
        if (!state.db.shared().atEnd())
            category = state.db.shared().readInteger(0);
    }
    // A closed window is on its way out; the next opening makes a new one.
    if (!window || !window->isVisible())
        window = new EditWindow(state, browse, owner);
    window->prepareFor(id, category);
    // Shown first, so the form is laid out in the frame at its remembered size.
    window->show();
    window->buildEditForm(category, true);
    window->loadEditRecord(false);
    window->raise();
    window->activateWindow();
}

void RecordEditor::closeEditWindow()
{
    if (window)
        window->close();
}
