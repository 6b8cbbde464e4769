#pragma once
// The result list and the start list: short-lived list tables built from the runner sheet,
// with what they are printed and written with. The runner sheet is only read.
#include <string>

#include "reports/html_export.h"
#include "reports/print_settings.h"
#include "table/grid_table.h"
#include "table/table_look.h"

namespace ln40 {

// A list made for one command: its table, its look, and its print and HTML settings.
struct ListDocument {
  TGridTable table;
  TableLook look;
  PrintSettings print;
  HTMLSettings html;
};

constexpr const char* kResultsPageName = "Results.htm";
constexpr const char* kStartPageName = "Start.htm";

// Columns of the finished result list (a 12-column sheet gives 13; a wider sheet's further
// columns follow column 11, shown, and the empty column comes last).
namespace result_list {
constexpr int kMark = 0;     // " "; the group mark on class heading rows
constexpr int kPlace = 1;    // "Plass"; the class name, merged to the row's end, on heading rows
constexpr int kName = 2;     // "Navn": first name, a blank, last name
constexpr int kClub = 3;     // "Klubb"
constexpr int kFirstHidden = 4;   // gender, course, start number, chip, start time, Kid, finish
constexpr int kLastHidden = 10;
constexpr int kNetTime = 11;
}  // namespace result_list

// Columns of the finished start list (11 for a 12-column sheet).
namespace start_list {
constexpr int kMark = 0;
constexpr int kName = 1;  // "Navn"; the class name, merged, on heading rows
constexpr int kClub = 2;  // "Klubb"
constexpr int kStartTime = 7;  // the sheet's heading of its start time column
}  // namespace start_list

// Every runner with a net time, by class, ranked by net time with places (ties share a
// place, the next place skips), each class ending with an empty summary row. The heading
// rows carry the system's 3D-light colour. Print title "Resultatliste RACE SUB"; the HTML
// page is headed "Resultatliste RACE".
ListDocument BuildResultList(const TGridTable& sheet, const std::string& race, const std::string& sub,
                             const SystemColors& colors = {});

// Every runner with a start time, by class, in start time order (ties by Kid, finish time,
// net time and further columns), heading rows silver. Print title "Startliste RACE SUB";
// the HTML page is headed "Startliste RACE". A body row whose start time cell holds the
// heading "Starttid" (a workbook's own header row loaded as a body row) is not a runner and
// is left out.
ListDocument BuildStartList(const TGridTable& sheet, const std::string& race, const std::string& sub,
                            const SystemColors& colors = {});

}  // namespace ln40
