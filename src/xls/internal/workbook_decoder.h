#pragma once
// TWorkbookDecoder: the one reader of the records of a BIFF8 workbook stream ([MS-XLS]
// 2.1.7.20 Workbook Stream). It walks the sections, reads the globals into a
// TWorkbookGlobals (formats, XFs, fonts, shared strings, the sheet list, the date system,
// and the records kept as they are) and hands the records of every sheet, checked and
// decoded, to a TSheetSink. The full load builds its editable model from it
// (xls_reader.cpp) and TWorkbookReader the cells of an import, so both read a file alike
// and refuse a damaged one with the same message.
//
// Errors are ln40::Error: kFileInvalidMessage for damaged records, "File is password
// protected", "Template file is saved with an invalid Excel version" and "Sheet name
// already exists: %s". Not thread-safe.
#include <cstdint>
#include <span>
#include <vector>

#include "biff_records.h"
#include "xls/sheet_sink.h"
#include "xls_model.h"

namespace ln40::xls {

class TWorkbookDecoder {
 public:
  // Reads `stream`, which must outlive the decoder, into `globals`. `keep_records`: the
  // globals keep every record they hold byte for byte, to write the workbook back; without,
  // only what the cells need is read (formats, XFs, shared strings, sheet names, the date
  // system).
  TWorkbookDecoder(std::span<const std::uint8_t> stream, TWorkbookGlobals& globals, bool keep_records);

  // Reads the whole stream: the globals, and the records of every sheet into `sink`.
  void Decode(TSheetSink& sink);
  // Reads the records of sheet `sheet` (numbered as BeginSheet numbers it) into `sink` once
  // more, after Decode has read the stream.
  void DecodeSheetAgain(int sheet, TSheetSink& sink);
  // Reads a stream that is one worksheet section (BOF to EOF) into `sink`, as sheet 1.
  void DecodeWorksheetSection(TSheetSink& sink);

  // The record the sink is being told about, with its CONTINUE and attached records.
  const TRecordReader& Records() const { return reader_; }

 private:
  void ReadGlobals();
  // The section whose BOF (of `type`) was just read, as sheet `sheet`.
  void ReadSheet(int sheet, std::uint16_t type, TSheetSink& sink);
  void ReadWorksheet(TSheetSink& sink);
  void ReadCellRecord(const TRecordView& view, TSheetSink& sink);
  void ReadMultipleCells(const TRecordView& view, TSheetSink& sink);
  void ReadFormulaParts(const TRecordView& view, TSheetSink& sink);
  void ReadEmbeddedSubstream(TSheetSink& sink);
  // The records of a section after its BOF up to its EOF (nested substreams included), each
  // to OtherRecord; the EOF too when `embedded`.
  void ReadRecordList(TSheetSink& sink, bool embedded);
  // Tells the sink of the cell in `cell_` at row, col (checked), and forgets the last formula
  // when this cell takes its place.
  void PlaceCell(TSheetSink& sink, int row, int col, int xf);

  std::span<const std::uint8_t> stream_;
  TWorkbookGlobals& globals_;
  bool keep_records_;
  TRecordReader reader_;
  std::vector<std::size_t> sheet_offsets_;  // stream position of each sheet's BOF

  // What the records of a worksheet need of the ones before them.
  int formula_row_ = -1, formula_col_ = -1;  // the last formula cell, while it stands
  bool formula_has_text_ = false;            // its stored result is a string
  std::uint16_t last_drawing_ = 0;           // id of the last drawing record (embedded charts follow an OBJ)

  bool values_ = true;  // the sink wants the cells' values; else value_ stays empty
  CellValue value_;
  TSheetCell cell_;
  std::u16string text_;
  std::vector<std::uint8_t> joined_;
  std::vector<TCellRange> ranges_;
};

}  // namespace ln40::xls
