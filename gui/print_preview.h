#pragma once
// The page preview of the "Print Settings" dialog: a reduced picture of a table's first
// printed page, laid out and drawn by the same code and canvas as the paper.
#include <QImage>

#include "reports/print_settings.h"
#include "table/grid_table.h"
#include "table/table_look.h"
#include "text/date_time.h"
#include "text/locale.h"

namespace ln40::gui {

// An A4 page in the settings' orientation, `width` pixels wide, white, with the first page
// drawn on it; `now` is the time and date the page shows.
QImage RenderFirstPagePreview(const TGridTable& table, const TableLook& look, const PrintSettings& settings,
                              int width, TDateTime now, const Locale& locale);

}  // namespace ln40::gui
