#pragma once
// The autosave: both tables written every minute (and at close) to autosave.xls in the
// program's folder, with the previous autosave kept as autosave.bak (autosave_rotation.h).
// Runs on the event thread; a tick of 5,000 runners and 20,000 read times takes a few tens
// of milliseconds.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "exchange/grid_excel_io.h"

namespace ln40 {

// The workbook image of both tables as every save writes it: the runner sheet as "LN40",
// then the read-times table as "Excel" (and "Excel (2)", ... when it is longer than a
// sheet), the first sheet selected; a text beginning with "=" that is no formula is written
// as text (TBadFormulas::WriteAsText).
std::vector<std::uint8_t> BothTablesImage(const TGridExcelIO& runner_sheet, const TGridExcelIO& read_times);

// A tick: BothTablesImage written through RotateAutosave into `folder`. Throws on failure;
// the callers (the timer, the close, the timing station) ignore the error.
void AutosaveTables(const std::string& folder, const TGridExcelIO& runner_sheet, const TGridExcelIO& read_times);

// The same tick for an image made beforehand (the timing session notes its fingerprint in
// the journal before the file is put in place).
void WriteAutosave(const std::string& folder, const std::vector<std::uint8_t>& image);

// Loads an autosave image back into the two tables: the sheet "LN40" (else the first) into
// the runner sheet, "Excel" (else the second) into the read-times table, followed by the rows
// of its further sheets "Excel (2)", "Excel (3)", ... (below each one's copy of row 1). The
// header rows are not in the workbook and are left empty. Throws the workbook's error for a
// damaged image before either table is touched.
void RestoreBothTables(std::span<const std::uint8_t> image, TGridExcelIO& runner_sheet, TGridExcelIO& read_times);

}  // namespace ln40
