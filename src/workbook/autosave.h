#pragma once
// The autosave: both tables written every minute (and at close) to autosave.xls in the
// program's folder, with the previous autosave kept as autosave.bak (autosave_rotation.h).
// Runs on the event thread; a tick of 5,000 runners and 20,000 read times takes a few tens
// of milliseconds.
#include <cstdint>
#include <string>
#include <vector>

#include "workbook/grid_excel_io.h"

namespace ln40 {

// The workbook image of both tables as every save writes it: the runner sheet as "LN40",
// then the read-times table as "Excel", the first sheet selected; a text beginning with "="
// that is no formula is written as text (TBadFormulas::WriteAsText).
std::vector<std::uint8_t> BothTablesImage(const TGridExcelIO& runner_sheet, const TGridExcelIO& read_times);

// A tick: BothTablesImage written through RotateAutosave into `folder`. Throws on failure;
// the callers (the timer, the close, the timing station) ignore the error.
void AutosaveTables(const std::string& folder, const TGridExcelIO& runner_sheet, const TGridExcelIO& read_times);

}  // namespace ln40
