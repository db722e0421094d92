#include "form/addpage.h"

#include "core/lists.h"
#include "form/duplicates.h"
#include "form/registration.h"
#include "photos/camerawindow.h"
#include "photos/photostore.h"
#include "platform/anchors.h"
#include "platform/messagebox.h"
#include "printing/rendering.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Kept free at the right of radio rows while the photo group is shown.
constexpr int photoReserve = 132;

} // namespace

AddPage::AddPage(AppState& appState, const QSize& size) : state(appState)
{
    resize(size);
    QWidget* page = this;
    const int width = page->width() - 6;
    const int height = page->height();
    auto* group = new QGroupBox(QStringLiteral("报名信息"), page);
    group->setObjectName(QStringLiteral("分组框_添加"));
    group->setGeometry(6, 0, width, height);
    frame = group;
    templates = createFormTemplates(frame, {"标签1_模板", "编辑框1_模板", "选择框1_模板", "单选框_添加_模板", "模板_组合框", "画板_模拟分组框_模板"});
    builder = new FormBuilder(state, frame, templates, this);
    connect(builder, &FormBuilder::categoryChosen, this, [this](int categoryId) { buildAddForm(categoryId); });

    photoGroup = new QGroupBox(QStringLiteral("照片"), group);
    photoGroup->setObjectName(QStringLiteral("分组框_拍照"));
    photoGroup->setGeometry(width - 136, 16, 128, 238);
    photo = new QLabel(photoGroup);
    photo->setObjectName(QStringLiteral("图片框_添加"));
    photo->setGeometry(4, 20, 120, 150);
    photo->setAlignment(Qt::AlignCenter);
    photo->setFrameShape(QFrame::StyledPanel);
    auto* choose = new QPushButton(QStringLiteral("选择图片"), photoGroup);
    choose->setObjectName(QStringLiteral("按钮_选择图片"));
    choose->setGeometry(4, 176, 64, 26);
    connect(choose, &QPushButton::clicked, this, [this] {
        if (const QString chosen = choosePhotoFile(state, photo); !chosen.isEmpty())
            pendingPhotoFile = chosen;
    });
    auto* clear = new QPushButton(QStringLiteral("清除"), photoGroup);
    clear->setObjectName(QStringLiteral("清除按钮"));
    clear->setGeometry(70, 176, 54, 26);
    connect(clear, &QPushButton::clicked, this, [this] { clearAddPagePhoto(pendingPhotoFile, photo); });
    auto* camera = new QPushButton(QStringLiteral("拍照"), photoGroup);
    camera->setObjectName(QStringLiteral("拍照按钮"));
    camera->setGeometry(4, 206, 120, 26);
    connect(camera, &QPushButton::clicked, this, [this, camera] {
        if (const QString taken = takeCameraPhoto(state, camera, photo); !taken.isEmpty())
            pendingPhotoFile = taken;
    });

    printNewest = new QPushButton(QStringLiteral("打印最新报名"), group);
    printNewest->setObjectName(QStringLiteral("按钮4"));
    printNewest->setGeometry(width - 136, 262, 128, 26);
    connect(printNewest, &QPushButton::clicked, this, [this] {
        printAfterAdd(state, *print, savedRegistrationId > 0 ? savedRegistrationId : newestRegistrationId(state));
    });

    const int rowY = height - 36;
    compact = new QCheckBox(QStringLiteral("表单紧凑排列"), group);
    compact->setObjectName(QStringLiteral("选择框_表单紧凑排列"));
    compact->setGeometry(10, rowY, 104, 24);
    // Only a click rebuilds: restoring the setting at start does not.
    connect(compact, &QCheckBox::clicked, this, [this] { buildAddForm(); });

    reviewLabel = new QLabel(QStringLiteral("审核:"), group);
    reviewLabel->setObjectName(QStringLiteral("标签15"));
    reviewLabel->setGeometry(118, rowY, 32, 24);
    review = new QComboBox(group);
    review->setObjectName(QStringLiteral("组合框_添加_审核状态"));
    review->setGeometry(150, rowY, 100, 24);
    review->addItem(QStringLiteral("请选审核状态"), 0);
    review->addItem(QStringLiteral("待审核"), 0);
    review->addItem(QStringLiteral("通过"), 1);
    review->addItem(QStringLiteral("审核未通过"), -1);

    paymentLabel = new QLabel(QStringLiteral("缴费:"), group);
    paymentLabel->setObjectName(QStringLiteral("标签16"));
    paymentLabel->setGeometry(256, rowY, 32, 24);
    payment = new QComboBox(group);
    payment->setObjectName(QStringLiteral("组合框_添加_财务状态"));
    payment->setGeometry(288, rowY, 100, 24);
    payment->addItem(QStringLiteral("请选缴费状态"), 0);
    payment->addItem(QStringLiteral("待缴费"), 0);
    payment->addItem(QStringLiteral("已缴费"), 1);
    payment->addItem(QStringLiteral("审核未通过"), -1);

    auto* printLabel = new QLabel(QStringLiteral("打印:"), group);
    printLabel->setGeometry(394, rowY, 32, 24);
    print = new QComboBox(group);
    print->setObjectName(QStringLiteral("组合框_添加_打印"));
    print->setGeometry(426, rowY, 94, 24);

    confirm = new QPushButton(QStringLiteral("确  定"), group);
    confirm->setObjectName(QStringLiteral("按钮_添加_确定"));
    confirm->setGeometry(width - 94, rowY - 2, 86, 28);
    connect(confirm, &QPushButton::clicked, this, &AddPage::saveNewRegistration);

    QWidget* row[] = {compact, reviewLabel, review, paymentLabel, payment, printLabel, print, confirm};
    std::copy(std::begin(row), std::end(row), bottomRow);
}


void AddPage::registerAnchors(AnchorLayout& anchors)
{
    // The page's frame fills the page.
    anchors.anchor(findChild<QGroupBox*>(QStringLiteral("分组框_添加"), Qt::FindDirectChildrenOnly), {true, true, true, true});
    anchors.anchor(photoGroup, {false, true, true, false});
    anchors.anchor(printNewest, {false, true, true, false});
    for (QWidget* control : bottomRow)
        anchors.anchor(control, {control != confirm, false, control == confirm, true});
}

void AddPage::prepareForNewRegistration()
{
    confirm->setText(QStringLiteral("确  定"));
    pendingPhotoFile.clear();
    photo->clear();
    ensureCategoryList(state);
    ensureProgrammeList(state);
    ensureFormItems(state);
    buildAddForm();
}

void AddPage::buildAddForm(int categoryId)
{
    pendingPhotoFile.clear();
    saveKey.clear();
    saveKeyUncertain = false;
    photo->clear();
    clearBuiltForm();

    const UnitSettings& switches = state.unitSettings;
    photoGroup->setVisible(switches.photo == 1);
    reviewLabel->setVisible(switches.review == 1);
    review->setVisible(switches.review == 1);
    paymentLabel->setVisible(switches.payment == 1);
    payment->setVisible(switches.payment == 1);

    BuildOptions options;
    options.categoryId = categoryId;
    options.compact = compact->isChecked();
    options.photoReserve = switches.photo == 1 ? photoReserve : 0;
    builder->build(options);
}

void AddPage::clearBuiltForm()
{
    builder->clear();
}

InitialStates AddPage::initialStates() const
{
    auto chosenData = [](const QComboBox* selector) {
        return selector->currentIndex() >= 0 ? selector->currentData().toInt() : -1;
    };
    return {state.unitSettings.review, state.unitSettings.payment, chosenData(review), chosenData(payment)};
}

void AddPage::saveNewRegistration()
{
    const QVector<FormItem>& items = builder->builtItems();
    const QVector<EnteredItem> entries = builder->enteredItems();
    Registration registration = registrationFromEntries(items, entries, state.categoryList, state.programmeList);
    if (const auto problem = checkRequired(items, registration)) {
        messageBox(problem->message, MessageStyle::SystemModal);
        const int position = problem->position;
        if (QWidget* control = findTagged(frame, requiredFocusTag(position, items.at(position - 1), entries.value(position - 1))))
            control->setFocus();
        return;
    }
    if (saveKey.isEmpty())
        saveKey = newSaveKey();
    registration.saveKey = saveKey;
    // An earlier try may have been stored although its answer was lost:
    // asked first, before it could count as its own duplicate.
    qint64 saved = 0;
    if (saveKeyUncertain) {
        switch (findSaveKey(*state.db.connection, saveKey, saved)) {
        case KeyFound::Yes:
            finishSave(int(saved), true);
            return;
        case KeyFound::Unknown:
            state.showMessage(state.db.lastErrorForOperator(), MessageStyle::Error);
            state.showResult(QStringLiteral("添加新数据失败"));
            return;
        case KeyFound::No:
            saveKeyUncertain = false;
            break;
        }
    }
    const DuplicateDecision decision = confirmUnlessDuplicate(state, items, registration, 0);
    if (decision == DuplicateDecision::LookupFailed)
        state.showResult(QStringLiteral("添加新数据失败"));
    if (decision != DuplicateDecision::Store)
        return;
    setNewRegistrationStates(registration, initialStates(), QDateTime::currentDateTime());
    // The registration and its photo are stored together or not at all, and
    // a failure keeps the entries on the page for another try.
    const SaveResult result = storeNewRegistration(state, items, registration, pendingPhotoFile);
    switch (result.outcome) {
    case SaveOutcome::Stored:
    case SaveOutcome::AlreadyStored:
        finishSave(int(result.storedRow), result.outcome == SaveOutcome::AlreadyStored);
        return;
    case SaveOutcome::Unknown:
        saveKeyUncertain = true;
        state.showMessage(QStringLiteral("与数据库服务器的连接在保存时断开，无法确认这条报名是否已保存。\n"
                                         "请保留页面上的内容，稍后再按确定：程序会先查询，不会重复保存。\n")
                              + result.error,
                          MessageStyle::Exclamation);
        break;
    case SaveOutcome::Failed:
        break;
    }
    state.showResult(QStringLiteral("添加新数据失败"));
}

void AddPage::finishSave(int saved, bool answerWasLost)
{
    if (answerWasLost)
        state.showMessage(QStringLiteral("保存时服务器的回答没有传回，经向服务器查询：这条报名已保存。"),
                          MessageStyle::Information);
    savedRegistrationId = saved;
    pendingPhotoFile.clear();
    printAfterAdd(state, *print, savedRegistrationId);
    buildAddForm();
}
