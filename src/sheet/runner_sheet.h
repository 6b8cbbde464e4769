#pragma once
// The runner sheet: one body row per runner with name, class, club, sex, course, start
// number, chip number, start time, identity number, finish time and net time. Timing fills
// in the finish and net times; the sheet applies two rules of its own while it is edited.
#include <string>
#include <vector>

#include "table/grid_table.h"

namespace ln40 {

namespace runner_sheet {
constexpr int kFirstName = 0;   // "Fornavn"
constexpr int kLastName = 1;    // "Etternavn"
constexpr int kClass = 2;       // "Klasse"
constexpr int kClub = 3;        // "Klubb"
constexpr int kSex = 4;         // "Kjønn"
constexpr int kCourse = 5;      // "Løype"
constexpr int kStartNumber = 6; // "Startnr"
constexpr int kChip = 7;        // "Brikkenr"
constexpr int kStartTime = 8;   // "Starttid"
constexpr int kId = 9;          // "Kid"
constexpr int kFinish = 10;     // "Inkomst"
constexpr int kNetTime = 11;    // "Sluttid"
constexpr int kColumnCount = 12;
// The most body rows a runner sheet has: what one worksheet holds, since the sheet is saved
// and opened as one sheet.
constexpr int kMaxRows = 65536;
}  // namespace runner_sheet

// The twelve headings (Windows-1252: the ø of "Kjønn" and "Løype" is one byte).
const std::vector<std::string>& RunnerSheetHeadings();

// Twelve columns with their headings and widths, one empty body row.
void SetUpRunnerSheet(TGridTable& sheet);

// After an edit of any cell of `row`: Sluttid := Inkomst - Starttid as "hh:mm:ss".
// An empty or unreadable Starttid counts as 00:00:00; an empty or unreadable Inkomst
// leaves Sluttid as it was.
void ApplyNetTimeRule(TGridTable& sheet, int row);

// A row inserted with the INS key gets the class of the last vacant-runner walk
// (empty until one has run).
void ApplyInsertedRowRule(TGridTable& sheet, int row, const std::string& previous_class);

}  // namespace ln40
