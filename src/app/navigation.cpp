#include "app/navigation.h"

#include "app/mainwindow.h"
#include "form/importwindow.h"
#include "records/export.h"

const char* const outlookGroupTitles[3] = {"日常操作", "系统管理", "数据管理"};
const char* const menuTitles[3] = {"日常操作", "报名设置", "帮助(&H)"};

namespace {
enum Menu { Daily = 0, Settings = 1, Help = 2 };
}

const QVector<Route>& routes()
{
    using M = MainWindow;
    static const QVector<Route> table = {
        // group, entry, caption, tip; menu, caption; tool slot, caption, tip, icon; page, loader
        {0, 0, "添加信息", nullptr, Daily, "添加信息", 10, "正式报名", "添加正式报名", QStyle::SP_FileDialogNewFolder,
         Page::Add, &M::enterAddPage},
        {0, 1, "信息浏览", "浏览报名信息", Daily, "信息浏览", 11, "信息浏览", "浏览已报名信息",
         QStyle::SP_FileDialogDetailedView, Page::Browse, &M::enterBrowse},
        {0, 1, nullptr, nullptr, Daily, "回收站", 12, "回收站", nullptr, QStyle::SP_TrashIcon, Page::Browse,
         &M::enterRecycleBin},
        {0, 2, "数据统计", nullptr, Daily, "数据统计", 20, "信息统计", nullptr, QStyle::SP_FileDialogInfoView,
         Page::Statistics, &M::enterStatistics},
        {1, 0, "报名项目分类", "报名专业/报名项目分类", Settings, "报名项目分类", 0, nullptr, nullptr, QStyle::SP_CustomBase,
         Page::Categories, &M::enterCategories},
        {1, 1, "报名项目", "报名项目/专业设置", Settings, "报名项目/专业", 0, nullptr, nullptr, QStyle::SP_CustomBase,
         Page::Programmes, &M::enterProgrammes},
        {1, 2, "表单设置", nullptr, Settings, "表单设计", 30, "表单设计", "自定义报名表报名项目",
         QStyle::SP_FileDialogListView, Page::Designer, &M::enterDesigner},
        {1, 3, "打印模板", nullptr, Settings, "打印模板", 31, "打印模板", "自定义打印模板", QStyle::SP_FileIcon,
         Page::Templates, &M::enterTemplates},
        {1, 4, "帐户管理", "添加系统管理员", -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase, Page::Accounts,
         &M::enterAccounts},
        {1, 5, "单位信息", "单位信息", -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase, Page::Unit,
         &M::enterUnitInfo},
        {1, 6, "网络同步", "从网络版下载数据到本地", -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase, Page::Sync,
         &M::enterSync},
        {2, 0, "数据备份", nullptr, -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase, -1, &M::openBackupWindow},
        {2, 1, "导入报名", "从表格文件（.xlsx、.csv）导入报名", -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase, -1,
         nullptr, [](M& window) { ImportWindow(window.appState(), &window).exec(); }},
        {2, 2, "导出全部结果", "把查找到的全部报名导出为表格", -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase, -1,
         nullptr, [](M& window) { exportAllResults(window.appState(), *window.recordsPage(), &window); }},
        {2, 3, "退出系统", "退出系统", -1, nullptr, 0, nullptr, nullptr, QStyle::SP_CustomBase, -1, &M::closeFromMenu},
        {-1, -1, nullptr, nullptr, -1, nullptr, 32, "导出EXCEL", nullptr, QStyle::SP_DialogSaveButton, -1,
         &M::exportToSpreadsheet},
        {-1, -1, nullptr, nullptr, -1, nullptr, 40, "退出系统", nullptr, QStyle::SP_DialogCloseButton, -1,
         &M::exitProgram},
        {-1, -1, nullptr, nullptr, Help, "帮助文件", 0, nullptr, nullptr, QStyle::SP_CustomBase, -1, &M::openHelp},
        {-1, -1, nullptr, nullptr, Help, "网    站", 0, nullptr, nullptr, QStyle::SP_CustomBase, -1, &M::openWebsite},
        {-1, -1, nullptr, nullptr, Help, "关    于", 0, nullptr, nullptr, QStyle::SP_CustomBase, -1, &M::showAbout},
    };
    return table;
}
