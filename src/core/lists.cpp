#include "core/lists.h"

namespace {

template <typename Entry>
const Entry* findById(const QVector<Entry>& list, int id)
{
    for (const Entry& entry : list)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

} // namespace

void loadFormItems(AppState& state)
{
    state.formItems.clear();
    if (!openReported(state, QStringLiteral("select * from style where status=1 order by sx")))
        return;
    for (RecordSet& rows = state.db.shared(); !rows.atEnd() && state.formItems.size() < maxFormItems; rows.moveNext()) {
        FormItem item;
        item.id = rows.readInteger("id");
        item.zd = rows.readText("zd");
        item.lx = rows.readInteger("lx");
        item.nam = rows.readText("nam");
        item.val = rows.readText("val");
        item.bt = rows.readInteger("bt");
        item.yz = rows.readText("yz");
        item.ts = rows.readText("ts");
        state.formItems.push_back(item);
    }
}

void loadCategoryList(AppState& state)
{
    state.categoryList.clear();
    if (!openReported(state, QStringLiteral("select * from dd order by sx")))
        return;
    for (RecordSet& rows = state.db.shared(); !rows.atEnd(); rows.moveNext())
        state.categoryList.push_back(
            {rows.readInteger("id"), rows.readInteger("serverid"), rows.readText("name"), rows.readInteger("status")});
}

void loadProgrammeList(AppState& state)
{
    state.programmeList.clear();
    if (!openReported(state, QStringLiteral("select * from zy order by sx")))
        return;
    for (RecordSet& rows = state.db.shared(); !rows.atEnd(); rows.moveNext()) {
        Programme programme;
        programme.id = rows.readInteger("id");
        programme.serverId = rows.readInteger("serverid");
        programme.ddid = rows.readInteger("ddid");
        programme.name = rows.readText("name");
        programme.jzrq = rows.readDateTime("jzrq");
        programme.renshu = rows.readInteger("renshu");
        programme.xuefei = rows.readInteger("xuefei");
        programme.status = rows.readInteger("status");
        state.programmeList.push_back(programme);
    }
}

void ensureFormItems(AppState& state)
{
    if (state.formItems.isEmpty())
        loadFormItems(state);
}

void ensureCategoryList(AppState& state)
{
    if (state.categoryList.isEmpty())
        loadCategoryList(state);
}

void ensureProgrammeList(AppState& state)
{
    if (state.programmeList.isEmpty())
        loadProgrammeList(state);
}

QString categoryName(const AppState& state, int id)
{
    const Category* category = findById(state.categoryList, id);
    return category ? category->name : QString();
}

QString programmeName(const AppState& state, int id)
{
    const Programme* programme = findById(state.programmeList, id);
    return programme ? programme->name : QString();
}

QString programmeFee(const AppState& state, int id)
{
    const Programme* programme = findById(state.programmeList, id);
    return programme ? QString::number(programme->xuefei) : QString();
}
