#pragma once
// The in-memory model of a BIFF8 workbook stream ([MS-XLS] 2.1.7.20 Workbook Stream): the
// globals section and one section per sheet. Records the model interprets are held in
// decoded or indexed form; every other record is kept byte for byte, in order, so that a
// loaded workbook is written back with only the changed parts altered.
//
// TXLSFile (xls_file.h) is the interface to this model; these types are its inside and are
// shared by the reader (xls_reader.cpp) and the writer (xls_writer.cpp). Not thread-safe.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "biff_records.h"
#include "xls/number_format.h"
#include "xls/sheet_sink.h"
#include "xls/xls_format.h"
#include "xls_sst.h"

namespace ln40::xls {

inline constexpr int kMaxRows = 65536;
inline constexpr int kMaxColumns = 256;
inline constexpr std::uint16_t kDefaultXf = 15;

// One placeholder of the globals' ordered list stands for the whole FONT, FORMAT or XF
// block (`TSubListRecord`); every other item is a record kept as read.
enum class TGlobalSlot : std::uint8_t { Record, Fonts, Formats, Xfs };

struct TGlobalItem {
  TGlobalSlot Slot = TGlobalSlot::Record;
  TBaseRecord Record;
};

// [MS-XLS] 2.4.126 Format
struct TFormatEntry {
  std::uint16_t Index = 0;
  std::u16string Code;
  TBaseRecord Record;
};

// [MS-XLS] 2.4.28 BoundSheet8, with the name split into a base and a number for making
// unique names: a name read from a file is its own base with number 0; a name made by
// InsertSheets is "Sheet" and a number.
struct TBoundSheet {
  TBaseRecord Record;
  std::u16string Name;
  std::u16string Base;
  int Number = 0;

  int Visibility() const { return Record.Data.size() > 4 ? (Record.Data[4] & 0x03) : 0; }
  // Rebuilds the record data from the name, keeping offset, state and type.
  void SetName(const std::u16string& name);
};

class TWorkbookGlobals {
 public:
  TBaseRecord Bof;
  TBaseRecord Eof;
  std::vector<TGlobalItem> Items;
  std::vector<TBaseRecord> Fonts;
  std::vector<TFormatEntry> Formats;  // sorted by Index
  std::vector<TXfBytes> XFs;
  std::vector<TBoundSheet> Sheets;
  std::vector<TBaseRecord> Names;
  std::vector<TBaseRecord> ExternRefs;  // SUPBOOK, EXTERNSHEET, EXTERNNAME in file order
  std::vector<TBaseRecord> DrawingGroup;
  TSST SST;
  int Window1 = -1;  // index into Items
  int Palette = -1;  // index into Items
  int AfterXfOrStyle = -1;  // index into Items after the last XF block or STYLE record
  bool HasMacros = false;
  std::u16string CodeName;
  DateSystem Dates = DateSystem::d1900;  // from the DATEMODE record, which is kept as read

  // The format entry of an index, or null.
  const TFormatEntry* FindFormat(int index) const;
  // The number format code of a format index: the FORMAT record's, else the built-in one.
  std::u16string FormatCode(int index) const;
  // Index into Items of the placeholder of a block, -1 when there is none.
  int FindSlot(TGlobalSlot slot) const;
  // The colour of palette entry `index` (1-based): the PALETTE record's, else the default.
  TRgb PaletteColor(int index) const;
};

enum class TSheetKind { Work, Chart, Unsupported };

class TSheet {
 public:
  virtual ~TSheet() = default;
  virtual TSheetKind Kind() const = 0;

  TBaseRecord Bof;
  TBaseRecord Eof;
};

// A chart sheet or a sheet of an unsupported kind (macro sheet, ...): kept as its record
// list, written back as read.
class TRecordListSheet : public TSheet {
 public:
  std::vector<TBaseRecord> Records;  // between BOF and EOF
};

class TChartSheet : public TRecordListSheet {
 public:
  TSheetKind Kind() const override { return TSheetKind::Chart; }
};

class TUnsupportedSheet : public TRecordListSheet {
 public:
  TSheetKind Kind() const override { return TSheetKind::Unsupported; }
};

enum class TCellKind : std::uint8_t { Blank, Rk, Number, LabelSst, Label, BoolErr, Formula, Opaque };

// What a cell needs beyond the compact fields: the kept record of a LABEL, FORMULA (with
// its ARRAY or TABLE record attached) or opaque cell record, and the decoded value.
struct TCellExtra {
  TBaseRecord Record;
  CellValue Value;
};

// One cell record of a row.
struct TXlsCell {
  std::uint16_t Col = 0;
  std::uint16_t XF = kDefaultXf;
  TCellKind Kind = TCellKind::Blank;
  std::uint8_t BoolErr = 0;  // BOOLERR: the value byte
  bool IsError = false;      // BOOLERR: the error flag
  // One or the other, as Kind says: a large sheet holds a million cells.
  union {
    std::uint32_t Rk;   // RK: the RK value; LABELSST: the SST entry id
    double Number = 0;  // NUMBER: the value
  };
  std::unique_ptr<TCellExtra> Extra;
};

// [MS-XLS] 2.4.221 Row, 16 bytes.
struct TRowRecord {
  bool Present = false;
  std::array<std::uint8_t, 16> Data{};

  int ColFirst() const { return Get16(Data.data() + 2); }
  int ColLast1() const { return Get16(Data.data() + 4); }
  void SetColumns(int first, int last1) {
    Put16(Data.data() + 2, static_cast<std::uint16_t>(first));
    Put16(Data.data() + 4, static_cast<std::uint16_t>(last1));
  }
  int Height() const { return Get16(Data.data() + 6); }
  int OutlineLevel() const { return Data[12] & 0x07; }
  bool HasFormat() const { return (Data[12] & 0x80) != 0; }
  int Xf() const { return Get16(Data.data() + 14) & 0x0FFF; }
  // Nothing but defaults: first flag byte 0, second flag byte 1.
  bool DefaultFlags() const { return Data[12] == 0 && Data[13] == 0x01; }
};

// One column's COLINFO ([MS-XLS] 2.4.53); adjacent equal columns are written as one record.
struct TColInfo {
  bool Present = false;
  std::uint16_t Width = 0;
  std::uint16_t Xf = kDefaultXf;
  std::uint16_t Flags = 0;
  std::uint16_t Reserved = 0;
  bool operator==(const TColInfo&) const = default;
};

// An item of the sheet's list of conditional formats and merged ranges: a CONDFMT or CF
// record kept as read, or a block of merged ranges written as one MERGEDCELLS record.
struct TRangeItem {
  bool Merged = false;
  TBaseRecord Record;
  std::vector<TCellRange> Ranges;
};

class TWorkSheet : public TSheet {
 public:
  TSheetKind Kind() const override { return TSheetKind::Work; }

  std::vector<TBaseRecord> ListA;  // before WINDOW2
  std::vector<TBaseRecord> ListB;  // WINDOW2 and after
  std::vector<TBaseRecord> HPageBreaks;
  std::vector<TBaseRecord> VPageBreaks;
  std::array<TColInfo, kMaxColumns> Columns{};
  std::vector<TBaseRecord> Notes;
  std::vector<TBaseRecord> Drawing;
  std::vector<TRangeItem> Ranges;
  std::vector<TBaseRecord> Hyperlinks;
  std::optional<TBaseRecord> CodeName;
  std::vector<TRowRecord> Rows;             // one slot per row index up to the last ROW
  std::vector<std::vector<TXlsCell>> Cells;  // per row index, sorted by column
  std::uint32_t DimFirstRow = 0, DimLastRow1 = 0;
  std::uint16_t DimFirstCol = 0, DimLastCol1 = 0;
  bool GutsDirty = false;

  const TXlsCell* FindCell(int row, int col) const;  // 0-based
  TXlsCell* FindCell(int row, int col);
  // The WINDOW2 record (first of list B), or null.
  TBaseRecord* Window2();
  const TBaseRecord* Window2() const;
};

// Records the writer makes anew (the row index, the string table's index, the recalculation
// id) or leaves out (a drawing selection, cached external cells): not kept when read.
inline bool IsRecordWrittenAnew(std::uint16_t id) {
  switch (id) {
    case rid::kIndex:
    case rid::kDbCell:
    case rid::kExtSst:
    case rid::kRecalcId:
    case rid::kMsoDrawingSelection:
    case rid::kXct:
    case rid::kCrn: return true;
    default: return false;
  }
}

class TWorkbook {
 public:
  TWorkbookGlobals Globals;
  std::vector<std::unique_ptr<TSheet>> Sheets;
};

// Reads a workbook stream into `book` ([MS-XLS] 2.1.7.20). Errors are ln40::Error with the
// reader's messages.
void LoadWorkbook(std::span<const std::uint8_t> stream, TWorkbook& book);

// Reads one worksheet section (BOF to EOF) from raw records, as InsertSheets and
// ClearSheet do with the empty worksheet.
std::unique_ptr<TWorkSheet> ReadWorksheetSection(std::span<const std::uint8_t> records, TWorkbook& book);

// Writes the workbook stream ([MS-XLS] 2.1.7.20) into `out`. Updates the BOUNDSHEET
// offsets, WINDOW1's first tab, and gives sheets code names when the workbook has macros.
void WriteWorkbook(TWorkbook& book, TByteWriter& out);

// The value of an RK number ([MS-XLS] 2.5.217 RkNumber).
double RkToDouble(std::uint32_t rk);
// The RK form of a number, if it has one.
bool DoubleToRk(double value, std::uint32_t& rk);

// The error text of a BOOLERR or formula error code; empty for an unknown code.
std::u16string ErrorText(int code);

// The value of a BOOLERR cell: a boolean, or the error's text ("#NULL!" for an unknown
// code).
CellValue BoolErrValue(std::uint8_t value, bool is_error);
// The cached result of a FORMULA record ([MS-XLS] 2.5.133 FormulaValue, 8 bytes): a number,
// a boolean, an error's text, the empty string of a string result (its text follows in a
// STRING record) or nothing.
CellValue FormulaResult(const std::uint8_t* result);

// The value a cell shows.
CellValue CellValueOf(const TXlsCell& cell, const TSST& sst);
// The same into `into`, whose text's room is reused: for reading many cells.
void CellValueOf(const TXlsCell& cell, const TSST& sst, CellValue& into);

}  // namespace ln40::xls
