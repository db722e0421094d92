#pragma once
// The export benchmarks' baseline: libxlsxwriter alone writing the cells the
// export writes.

#include "benchsupport.h"

#include "records/export.h"

#include <xlsxwriter.h>

namespace bench {

// The captions, then every row, each cell a text with a border.
inline void writeBareWorkbook(const QString& path, const ExportTable& table)
{
    lxw_workbook* workbook = workbook_new(path.toUtf8().constData());
    check(workbook != nullptr, "bare workbook");
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* header = workbook_add_format(workbook);
    format_set_bold(header);
    format_set_border(header, LXW_BORDER_THIN);
    lxw_format* cell = workbook_add_format(workbook);
    format_set_border(cell, LXW_BORDER_THIN);
    for (int column = 0; column < table.captions.size(); ++column)
        worksheet_write_string(sheet, 0, lxw_col_t(column), table.captions[column].toUtf8().constData(), header);
    for (int row = 0; row < table.rows.size(); ++row)
        for (int column = 0; column < table.rows[row].size(); ++column)
            worksheet_write_string(sheet, lxw_row_t(row + 1), lxw_col_t(column),
                                   table.rows[row][column].toUtf8().constData(), cell);
    check(workbook_close(workbook) == LXW_NO_ERROR, "bare workbook written");
}

} // namespace bench
