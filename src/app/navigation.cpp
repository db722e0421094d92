#include "app/navigation.h"

#include "app/accounts.h"
#include "app/mainwindow.h"
#include "app/startpage.h"
#include "app/unitinfo.h"
#include "catalogue/categorypage.h"
#include "catalogue/programmepage.h"
#include "core/lists.h"
#include "form/addpage.h"
#include "form/designer.h"
#include "form/importwindow.h"
#include "printing/templatespage.h"
#include "records/browsepage.h"
#include "records/export.h"
#include "records/statisticspage.h"

#include <algorithm>

const char* const outlookGroupTitles[3] = {"日常操作", "系统管理", "数据管理"};
const char* const menuTitles[3] = {"日常操作", "报名设置", "帮助(&H)"};

namespace {
enum Menu { Daily = 0, Settings = 1, Help = 2 };

// The start page is made without the program's state.
QWidget* makeStartPage(AppState&, const QSize& size)
{
    return new StartPage(size);
}

// Entering the browse page with the recycle bin shown or not.
void enterBrowse(MainWindow& window, bool recycleBin)
{
    window.appState().addPageActive = false;
    window.page<BrowsePage>()->enter(recycleBin);
}

} // namespace

const QVector<Route>& routes()
{
    using M = MainWindow;
    static const QVector<Route> table = {
        // group, entry, caption, tip; menu, caption; tool slot, caption, tip, icon;
        // page (number, tab text); the window's command or another
        {0, 0, "添加信息", nullptr, Daily, "添加信息", 10, "正式报名", "添加正式报名", QStyle::SP_FileDialogNewFolder,
         anchoredPageOf<AddPage>(0, "添加"), nullptr,
         [](M& window) {
             window.appState().addPageActive = true;
             window.page<AddPage>()->prepareForNewRegistration();
         }},
        {0, 1, "信息浏览", "浏览报名信息", Daily, "信息浏览", 11, "信息浏览", "浏览已报名信息",
         QStyle::SP_FileDialogDetailedView, anchoredPageOf<BrowsePage>(1, "浏览"), nullptr,
         [](M& window) { enterBrowse(window, false); }},
        // The browse page, declared above, with the recycle bin.
        {0, 1, nullptr, nullptr, Daily, "回收站", 12, "回收站", nullptr, QStyle::SP_TrashIcon, {1}, nullptr,
         [](M& window) { enterBrowse(window, true); }},
        {0, 2, "数据统计", nullptr, Daily, "数据统计", 20, "信息统计", nullptr, QStyle::SP_FileDialogInfoView,
         anchoredPageOf<StatisticsPage>(4, "统计"), nullptr,
         [](M& window) {
             ensureProgrammeList(window.appState());
             ensureCategoryList(window.appState());
             ensureFormItems(window.appState());
             window.page<StatisticsPage>()->fillStatisticsItems();
         }},
        {1, 0, "报名项目分类", "报名专业/报名项目分类", Settings, "报名项目分类", 0, nullptr, nullptr, QStyle::SP_CustomBase,
         anchoredPageOf<CategoryPage>(3, "分类"), nullptr,
         [](M& window) { window.page<CategoryPage>()->fillCategoryPage(); }},
        {1, 1, "报名项目", "报名项目/专业设置", Settings, "报名项目/专业", 0, nullptr, nullptr, QStyle::SP_CustomBase,
         anchoredPageOf<ProgrammePage>(2, "专业"), nullptr,
         [](M& window) { window.page<ProgrammePage>()->loadProgrammePage(); }},
        {1, 2, "表单设置", nullptr, Settings, "表单设计", 30, "表单设计", "自定义报名表报名项目",
         QStyle::SP_FileDialogListView, anchoredPageOf<DesignerPage>(9, "表单"), nullptr,
         [](M& window) { window.page<DesignerPage>()->loadDesignerList(); }},
        {1, 3, "打印模板", nullptr, Settings, "打印模板", 31, "打印模板", "自定义打印模板", QStyle::SP_FileIcon,
         anchoredPageOf<TemplatesPage>(10, "打印"), nullptr,
         [](M& window) { window.page<TemplatesPage>()->loadTemplateList(); }},
        {1, 4, "帐户管理", "添加系统管理员", -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase,
         anchoredPageOf<AccountsPage>(5, "子账号"), nullptr,
         [](M& window) { window.page<AccountsPage>()->loadAccountList(); }},
        {1, 5, "单位信息", "单位信息", -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase,
         pageOf<UnitInfoPage>(7, "单位"), nullptr, [](M& window) { window.page<UnitInfoPage>()->showUnitInfo(); }},
        {1, 6, "网络同步", "从网络版下载数据到本地", -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase,
         pageOf<SyncPage>(8, "网络"), nullptr, [](M& window) { window.page<SyncPage>()->showSyncSettings(); }},
        {2, 0, "数据备份", nullptr, -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase, {}, &M::openBackupWindow},
        {2, 1, "导入报名", "从表格文件（.xlsx、.csv）导入报名", -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase, {},
         nullptr, [](M& window) { ImportWindow(window.appState(), &window).exec(); }},
        {2, 2, "导出全部结果", "把查找到的全部报名导出为表格", -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase, {},
         nullptr, [](M& window) { exportAllResults(window.appState(), *window.page<BrowsePage>(), &window); }},
        {2, 3, "退出系统", "退出系统", -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase, {}, &M::closeFromMenu},
        {-1, -1, nullptr, nullptr, -1, nullptr, 32, "导出EXCEL", nullptr, QStyle::SP_DialogSaveButton, {},
         &M::exportToSpreadsheet},
        {-1, -1, nullptr, nullptr, -1, nullptr, 40, "退出系统", nullptr, QStyle::SP_DialogCloseButton, {}, &M::exitProgram},
        {-1, -1, nullptr, nullptr, Help, "帮助文件", 0, nullptr, nullptr, QStyle::SP_CustomBase, {}, &M::openHelp},
        {-1, -1, nullptr, nullptr, Help, "网    站", 0, nullptr, nullptr, QStyle::SP_CustomBase, {}, &M::openWebsite},
        {-1, -1, nullptr, nullptr, Help, "关    于", 0, nullptr, nullptr, QStyle::SP_CustomBase, {}, &M::showAbout},
        // The start page, shown at start only.
        {-1, -1, nullptr, nullptr, -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase,
         {6, "default", makeStartPage}},
    };
    return table;
}

QVector<const PageDeclaration*> declaredPages()
{
    QVector<const PageDeclaration*> pages;
    for (const Route& route : routes())
        if (route.page.make)
            pages.push_back(&route.page);
    std::sort(pages.begin(), pages.end(),
              [](const PageDeclaration* a, const PageDeclaration* b) { return a->number < b->number; });
    return pages;
}
