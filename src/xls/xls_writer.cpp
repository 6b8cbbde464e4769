// Writing the model as a workbook stream: the globals section with a fresh shared string
// table, then every sheet; worksheets get their dimensions, column records and row blocks
// anew, everything else goes out as it was read.
#include <algorithm>
#include <cstring>

#include "text/error.h"
#include "compound_file/byte_image.h"
#include "xls_model.h"
#include "xls_strings.h"

namespace ln40::xls {
namespace {

constexpr const char* kRowCountMessage = "Number of ROW record is not the same that the cell count";

std::u16string UpperAscii(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    else if (c >= 0xE0 && c <= 0xFE && c != 0xF7) c = static_cast<char16_t>(c - 32);
  }
  return text;
}

std::u16string CodeNameText(const TBaseRecord& record) {
  try {
    TRecordCursor cursor(record.Data);
    return ReadXlString(cursor, true);
  } catch (const Error&) {
    return u"";
  }
}

// Every worksheet without a code name gets one made from its sheet name.
void GiveCodeNames(TWorkbook& book) {
  std::vector<std::u16string> taken;
  taken.push_back(UpperAscii(book.Globals.CodeName));
  for (const auto& sheet : book.Sheets) {
    if (sheet->Kind() != TSheetKind::Work) continue;
    const auto& work = static_cast<const TWorkSheet&>(*sheet);
    if (work.CodeName) taken.push_back(UpperAscii(CodeNameText(*work.CodeName)));
  }
  for (std::size_t i = 0; i < book.Sheets.size() && i < book.Globals.Sheets.size(); ++i) {
    if (book.Sheets[i]->Kind() != TSheetKind::Work) continue;
    auto& work = static_cast<TWorkSheet&>(*book.Sheets[i]);
    if (work.CodeName) continue;
    const std::u16string& name = book.Globals.Sheets[i].Name;
    std::size_t split = name.size();
    while (split > 0 && name[split - 1] >= u'0' && name[split - 1] <= u'9') --split;
    const std::u16string text = name.substr(0, split);
    unsigned long long number = 0;
    for (std::size_t k = split; k < name.size() && k < split + 9; ++k) number = number * 10 + (name[k] - u'0');
    std::u16string candidate;
    for (;; ++number) {
      const std::string digits = std::to_string(number);
      candidate = text + std::u16string(digits.begin(), digits.end());
      const std::u16string upper = UpperAscii(candidate);
      if (std::find(taken.begin(), taken.end(), upper) == taken.end()) break;
    }
    taken.push_back(UpperAscii(candidate));
    TByteWriter data;
    WriteXlString(data, candidate, true);
    work.CodeName = TBaseRecord(rid::kCodeName, std::move(data.Bytes()));
  }
}

bool SheetSelected(const TSheet& sheet) {
  const TBaseRecord* window2 = nullptr;
  if (sheet.Kind() == TSheetKind::Work) {
    window2 = static_cast<const TWorkSheet&>(sheet).Window2();
  } else {
    for (const TBaseRecord& record : static_cast<const TRecordListSheet&>(sheet).Records) {
      if (record.Id == rid::kWindow2) {
        window2 = &record;
        break;
      }
    }
  }
  return window2 && window2->Data.size() >= 2 && (Get16(window2->Data.data()) & 0x0200) != 0;
}

void CheckVisibleSheets(TWorkbook& book) {
  int first_visible = -1;
  for (int i = static_cast<int>(book.Sheets.size()) - 1; i >= 0; --i) {
    const bool visible = book.Globals.Sheets[i].Visibility() == 0;
    if (!visible && SheetSelected(*book.Sheets[i])) throw Error("To save this file, you must select a visible sheet");
    if (visible) first_visible = i;
  }
  if (first_visible < 0) throw Error("There are not visible sheets on the file");
  TWorkbookGlobals& g = book.Globals;
  if (g.Window1 >= 0 && g.Items[g.Window1].Record.Data.size() >= 14) {
    Put16(g.Items[g.Window1].Record.Data.data() + 12, static_cast<std::uint16_t>(first_visible));
  }
}

void WriteGlobals(TWorkbook& book, TByteWriter& out, std::vector<std::size_t>& offset_fields,
                  std::vector<std::uint32_t>& sst_index) {
  TWorkbookGlobals& g = book.Globals;
  g.Bof.WriteTo(out);
  for (const TGlobalItem& item : g.Items) {
    switch (item.Slot) {
      case TGlobalSlot::Record: item.Record.WriteTo(out); break;
      case TGlobalSlot::Fonts:
        for (const TBaseRecord& font : g.Fonts) font.WriteTo(out);
        break;
      case TGlobalSlot::Formats:
        for (const TFormatEntry& format : g.Formats) format.Record.WriteTo(out);
        break;
      case TGlobalSlot::Xfs:
        for (const TXfBytes& xf : g.XFs) out.Record(rid::kXf, xf);
        break;
    }
  }
  for (TBoundSheet& sheet : g.Sheets) {
    if (sheet.Record.Data.size() < 4) sheet.Record.Data.resize(4, 0);
    offset_fields.push_back(out.Size() + 4);
    sheet.Record.WriteTo(out);
  }
  for (const TBaseRecord& record : g.ExternRefs) record.WriteTo(out);
  for (const TBaseRecord& record : g.Names) record.WriteTo(out);
  for (const TBaseRecord& record : g.DrawingGroup) record.WriteTo(out);
  g.SST.Write(out, 0, sst_index);
  g.Eof.WriteTo(out);
}

// Recomputes GUTS from the outline levels of the rows and columns.
void RecomputeGuts(TWorkSheet& sheet) {
  int row_level = 0;
  for (const TRowRecord& row : sheet.Rows) {
    if (row.Present) row_level = std::max(row_level, row.OutlineLevel());
  }
  int col_level = 0;
  for (const TColInfo& col : sheet.Columns) {
    if (col.Present) col_level = std::max(col_level, (col.Flags >> 8) & 0x07);
  }
  for (TBaseRecord& record : sheet.ListA) {
    if (record.Id != rid::kGuts) continue;
    record.Data.assign(8, 0);
    record.Continues.clear();
    if (row_level > 0) {
      Put16(record.Data.data(), static_cast<std::uint16_t>(12 * row_level + 29));
      Put16(record.Data.data() + 4, static_cast<std::uint16_t>(row_level + 1));
    }
    if (col_level > 0) {
      Put16(record.Data.data() + 2, static_cast<std::uint16_t>(12 * col_level + 29));
      Put16(record.Data.data() + 6, static_cast<std::uint16_t>(col_level + 1));
    }
  }
  sheet.GutsDirty = false;
}

void WriteColInfos(const TWorkSheet& sheet, TByteWriter& out) {
  int col = 0;
  while (col < kMaxColumns) {
    const TColInfo& info = sheet.Columns[col];
    if (!info.Present) {
      ++col;
      continue;
    }
    int last = col;
    while (last + 1 < kMaxColumns && sheet.Columns[last + 1] == info) ++last;
    out.Header(rid::kColInfo, 12);
    out.U16(static_cast<std::uint16_t>(col));
    out.U16(static_cast<std::uint16_t>(last));
    out.U16(info.Width);
    out.U16(info.Xf);
    out.U16(info.Flags);
    out.U16(info.Reserved);
    col = last + 1;
  }
}

// Cell records are put together on the stack and appended whole: the sheet's cells are most
// of the stream, and one append per record is much cheaper than one per field.
void WriteCell(const TXlsCell& cell, int row, const std::vector<std::uint32_t>& sst_index, TByteWriter& out) {
  std::array<std::uint8_t, 18> record;
  auto head = [&](std::uint16_t id, std::size_t length) {
    Put16(record.data(), id);
    Put16(record.data() + 2, static_cast<std::uint16_t>(length));
    Put16(record.data() + 4, static_cast<std::uint16_t>(row));
    Put16(record.data() + 6, cell.Col);
    Put16(record.data() + 8, cell.XF);
    return 4 + length;
  };
  std::size_t size = 0;
  switch (cell.Kind) {
    case TCellKind::Blank: size = head(rid::kBlank, 6); break;
    case TCellKind::Rk:
      size = head(rid::kRk, 10);
      Put32(record.data() + 10, cell.Rk);
      break;
    case TCellKind::Number: {
      size = head(rid::kNumber, 14);
      std::uint64_t bits;
      std::memcpy(&bits, &cell.Number, sizeof bits);
      Put32(record.data() + 10, static_cast<std::uint32_t>(bits));
      Put32(record.data() + 14, static_cast<std::uint32_t>(bits >> 32));
      break;
    }
    case TCellKind::LabelSst:
      size = head(rid::kLabelSst, 10);
      Put32(record.data() + 10, sst_index[cell.Rk]);
      break;
    case TCellKind::BoolErr:
      size = head(rid::kBoolErr, 8);
      record[10] = cell.BoolErr;
      record[11] = cell.IsError ? 1 : 0;
      break;
    case TCellKind::Label:
    case TCellKind::Formula:
    case TCellKind::Opaque:
      if (cell.Extra) cell.Extra->Record.WriteTo(out);
      return;
  }
  out.Append(record.data(), size);
}

void WriteRowCells(const std::vector<TXlsCell>& cells, int row, const std::vector<std::uint32_t>& sst_index,
                   TByteWriter& out) {
  // A MULRK of a whole row: header, row, first column, 256 x (XF, RK), last column.
  std::array<std::uint8_t, 4 + 4 + kMaxColumns * 6 + 2> multiple;
  std::size_t i = 0;
  while (i < cells.size()) {
    const TCellKind kind = cells[i].Kind;
    std::size_t end = i + 1;
    if (kind == TCellKind::Rk || kind == TCellKind::Blank) {
      while (end < cells.size() && cells[end].Kind == kind && cells[end].Col == cells[end - 1].Col + 1) ++end;
    }
    if (end - i >= 2) {
      const bool rk = kind == TCellKind::Rk;
      const std::size_t count = end - i;
      const std::size_t length = 6 + count * (rk ? 6 : 2);
      std::uint8_t* p = multiple.data();
      Put16(p, rk ? rid::kMulRk : rid::kMulBlank);
      Put16(p + 2, static_cast<std::uint16_t>(length));
      Put16(p + 4, static_cast<std::uint16_t>(row));
      Put16(p + 6, cells[i].Col);
      p += 8;
      for (std::size_t k = i; k < end; ++k) {
        Put16(p, cells[k].XF);
        p += 2;
        if (rk) {
          Put32(p, cells[k].Rk);
          p += 4;
        }
      }
      Put16(p, cells[end - 1].Col);
      out.Append(multiple.data(), 4 + length);
    } else {
      WriteCell(cells[i], row, sst_index, out);
    }
    i = end;
  }
}

void WriteWorksheet(TWorkSheet& sheet, const std::vector<std::uint32_t>& sst_index, TByteWriter& out) {
  if (sheet.GutsDirty) RecomputeGuts(sheet);
  const int row_slots = static_cast<int>(sheet.Rows.size());
  int last_cell_row = -1;
  int first_cell_row = -1;
  for (int r = 0; r < static_cast<int>(sheet.Cells.size()); ++r) {
    if (sheet.Cells[r].empty()) continue;
    if (first_cell_row < 0) first_cell_row = r;
    last_cell_row = r;
  }
  if (last_cell_row >= row_slots) throw Error(kRowCountMessage);
  int first_row = -1;
  int last_col1 = 0;
  for (int r = 0; r < row_slots; ++r) {
    if (!sheet.Rows[r].Present) continue;
    if (first_row < 0) first_row = r;
    last_col1 = std::max(last_col1, sheet.Rows[r].ColLast1());
  }
  if (first_row < 0) first_row = 0;
  // Cells above the first ROW record are written too (and counted in the dimensions).
  if (first_cell_row >= 0 && first_cell_row < first_row) first_row = first_cell_row;
  last_col1 = std::max(last_col1, 1);

  sheet.Bof.WriteTo(out);
  for (const TBaseRecord& record : sheet.ListA) record.WriteTo(out);
  for (const TBaseRecord& record : sheet.HPageBreaks) record.WriteTo(out);
  for (const TBaseRecord& record : sheet.VPageBreaks) record.WriteTo(out);
  WriteColInfos(sheet, out);
  // [MS-XLS] 2.4.90 Dimensions
  out.Header(rid::kDimensions, 14);
  out.U32(static_cast<std::uint32_t>(first_row));
  out.U32(static_cast<std::uint32_t>(row_slots));
  out.U16(0);
  out.U16(static_cast<std::uint16_t>(last_col1));
  out.U16(0);

  for (int block = first_row; block < row_slots; block += 32) {
    const int end = std::min(block + 32, row_slots);
    for (int r = block; r < end; ++r) {
      const TRowRecord& row = sheet.Rows[r];
      if (!row.Present) continue;
      std::array<std::uint8_t, 16> data = row.Data;
      const int first = std::max(row.ColFirst(), 0);
      const int last = std::min(row.ColLast1(), last_col1);
      Put16(data.data() + 2, static_cast<std::uint16_t>(std::min(first, last)));
      Put16(data.data() + 4, static_cast<std::uint16_t>(last));
      out.Record(rid::kRow, data);
    }
    for (int r = block; r < end && r < static_cast<int>(sheet.Cells.size()); ++r) {
      WriteRowCells(sheet.Cells[r], r, sst_index, out);
    }
  }
  for (const TBaseRecord& record : sheet.Drawing) record.WriteTo(out);
  for (const TBaseRecord& record : sheet.Notes) record.WriteTo(out);
  for (const TBaseRecord& record : sheet.ListB) record.WriteTo(out);
  for (const TRangeItem& item : sheet.Ranges) {
    if (!item.Merged) {
      item.Record.WriteTo(out);
      continue;
    }
    // [MS-XLS] 2.4.168 MergeCells: at most 1027 ranges per record.
    for (std::size_t at = 0; at < item.Ranges.size(); at += 1027) {
      const std::size_t count = std::min<std::size_t>(1027, item.Ranges.size() - at);
      out.Header(rid::kMergedCells, 2 + 8 * count);
      out.U16(static_cast<std::uint16_t>(count));
      for (std::size_t k = at; k < at + count; ++k) {
        out.U16(item.Ranges[k].FirstRow);
        out.U16(item.Ranges[k].LastRow);
        out.U16(item.Ranges[k].FirstCol);
        out.U16(item.Ranges[k].LastCol);
      }
    }
  }
  for (const TBaseRecord& record : sheet.Hyperlinks) record.WriteTo(out);
  if (sheet.CodeName) sheet.CodeName->WriteTo(out);
  sheet.Eof.WriteTo(out);
}

}  // namespace

void WriteWorkbook(TWorkbook& book, TByteWriter& out) {
  if (book.Globals.HasMacros) GiveCodeNames(book);
  if (book.Sheets.size() != book.Globals.Sheets.size()) ThrowFileInvalid();
  CheckVisibleSheets(book);

  // Room for the whole stream at once, so that it is never copied into a bigger block:
  // cell records take at most 18 bytes (MULRK and MULBLANK less), ROW records 20, the SST
  // its entries with a CONTINUE header every 8,224 bytes and an EXTSST entry every eight,
  // kept records (a few, mostly) as they are.
  const TSST& sst = book.Globals.SST;
  std::size_t estimate = 65536 + sst.PoolSize() + sst.PoolSize() / 2048 + sst.EntryCount() * 2;
  for (const auto& sheet : book.Sheets) {
    if (sheet->Kind() != TSheetKind::Work) continue;
    const auto& work = static_cast<const TWorkSheet&>(*sheet);
    estimate += work.Rows.size() * 20;
    for (const auto& row : work.Cells) estimate += row.size() * 18;
  }
  out.Bytes().reserve(out.Size() + estimate);
  AdviseHugePages(out.Bytes().data() + out.Size(), estimate);

  std::vector<std::size_t> offset_fields;
  std::vector<std::uint32_t> sst_index;
  const std::size_t start = out.Size();
  WriteGlobals(book, out, offset_fields, sst_index);
  for (std::size_t i = 0; i < book.Sheets.size(); ++i) {
    const std::uint32_t offset = static_cast<std::uint32_t>(out.Size() - start);
    Put32(out.Bytes().data() + offset_fields[i], offset);
    Put32(book.Globals.Sheets[i].Record.Data.data(), offset);
    TSheet& sheet = *book.Sheets[i];
    if (sheet.Kind() == TSheetKind::Work) {
      WriteWorksheet(static_cast<TWorkSheet&>(sheet), sst_index, out);
    } else {
      sheet.Bof.WriteTo(out);
      for (const TBaseRecord& record : static_cast<const TRecordListSheet&>(sheet).Records) record.WriteTo(out);
      sheet.Eof.WriteTo(out);
    }
  }
}

}  // namespace ln40::xls
