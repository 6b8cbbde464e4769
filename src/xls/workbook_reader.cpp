#include "xls/workbook_reader.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "compound_file/ole2_storage.h"
#include "workbook_decoder.h"
#include "workbook_stream.h"
#include "xls/xls_file.h"
#include "xls_model.h"

namespace ln40 {

struct TWorkbookReader::SheetOutline {
  TXlsSheetKind Kind = TXlsSheetKind::Unsupported;
  int UsedRows = 0;
  int UsedCols = 0;
  TMergedRangeIndex Merged;
};

struct TWorkbookReader::Opened {
  explicit Opened(TOle2Storage container) : storage(std::move(container)) {}

  TOle2Storage storage;            // the image the stream is read from
  std::vector<std::uint8_t> copy;  // the stream, when it is not one run in the image
  std::span<const std::uint8_t> stream;
  xls::TWorkbookGlobals globals;
  std::optional<xls::TWorkbookDecoder> decoder;
  std::vector<SheetOutline> sheets;
  std::vector<std::u16string> xf_codes;  // the number format of each XF, looked up once
};

namespace {
const TMergedRangeIndex kNoRanges;
}  // namespace

// What the reader learns of every sheet while the whole stream is read: its kind, used
// range and merged ranges, as TXLSFile gives them for a sheet it has loaded.
class TWorkbookReader::Outliner final : public TSheetSink {
 public:
  explicit Outliner(std::vector<SheetOutline>& sheets) : sheets_(sheets) {}

  bool WantsValues() const override { return false; }

  void BeginSheet(int /*sheet*/, TXlsSheetKind kind) override {
    sheets_.emplace_back();
    sheet_ = &sheets_.back();
    sheet_->Kind = kind;
    merged_.clear();
  }
  void EndSheet() override { sheet_->Merged = TMergedRangeIndex(std::move(merged_)); }
  void Cell(const TSheetCell& cell) override {
    sheet_->UsedRows = std::max(sheet_->UsedRows, cell.Row + 1);
    sheet_->UsedCols = std::max(sheet_->UsedCols, cell.Col + 1);
  }
  void Row(int row) override { sheet_->UsedRows = std::max(sheet_->UsedRows, row + 1); }
  void MergedRanges(std::span<const TCellRange> ranges) override {
    for (const TCellRange& r : ranges) merged_.push_back({r.FirstRow + 1, r.FirstCol + 1, r.LastRow + 1, r.LastCol + 1});
  }

 private:
  std::vector<SheetOutline>& sheets_;
  SheetOutline* sheet_ = nullptr;
  std::vector<TXlsRange> merged_;
};

TWorkbookReader::TWorkbookReader() = default;
TWorkbookReader::~TWorkbookReader() = default;

void TWorkbookReader::OpenFile(const std::string& file_name) {
  Read(std::make_unique<Opened>(OpenWorkbookFile(file_name)));
}

void TWorkbookReader::OpenMemory(std::span<const std::uint8_t> image, const std::string& display_name) {
  Read(std::make_unique<Opened>(OpenWorkbookContainer(image, display_name)));
}

void TWorkbookReader::Read(std::unique_ptr<Opened> opened) {
  opened->stream = ReadWorkbookStream(opened->storage, opened->copy);
  opened->decoder.emplace(opened->stream, opened->globals, false);
  Outliner outliner(opened->sheets);
  opened->decoder->Decode(outliner);
  const xls::TWorkbookGlobals& g = opened->globals;
  for (const xls::TXfBytes& xf : g.XFs) opened->xf_codes.push_back(g.FormatCode(xls::Get16(xf.data() + 2)));
  if (opened->xf_codes.empty()) opened->xf_codes.emplace_back();  // no XF: the general format
  opened_ = std::move(opened);
}

int TWorkbookReader::SheetCount() const { return opened_ ? static_cast<int>(opened_->globals.Sheets.size()) : 0; }

std::u16string TWorkbookReader::SheetName(int sheet) const {
  if (sheet < 1 || sheet > SheetCount()) return u"";
  return opened_->globals.Sheets[static_cast<std::size_t>(sheet - 1)].Name;
}

const TWorkbookReader::SheetOutline* TWorkbookReader::Outline(int sheet) const {
  if (!opened_ || sheet < 1 || sheet > static_cast<int>(opened_->sheets.size())) return nullptr;
  return &opened_->sheets[static_cast<std::size_t>(sheet - 1)];
}

TXlsSheetKind TWorkbookReader::SheetKind(int sheet) const {
  const SheetOutline* outline = Outline(sheet);
  return outline ? outline->Kind : TXlsSheetKind::Unsupported;
}

int TWorkbookReader::UsedRowCount(int sheet) const {
  const SheetOutline* outline = Outline(sheet);
  return outline ? outline->UsedRows : 0;
}

int TWorkbookReader::UsedColCount(int sheet) const {
  const SheetOutline* outline = Outline(sheet);
  return outline ? outline->UsedCols : 0;
}

const TMergedRangeIndex& TWorkbookReader::MergedRanges(int sheet) const {
  const SheetOutline* outline = Outline(sheet);
  return outline ? outline->Merged : kNoRanges;
}

DateSystem TWorkbookReader::Dates() const { return opened_ ? opened_->globals.Dates : DateSystem::d1900; }

const std::u16string& TWorkbookReader::NumberFormat(int xf) const {
  static const std::u16string kGeneral;
  if (!opened_) return kGeneral;
  const std::vector<std::u16string>& codes = opened_->xf_codes;
  if (xf < 0 || xf >= static_cast<int>(codes.size())) xf = 0;
  return codes[static_cast<std::size_t>(xf)];
}

void TWorkbookReader::ReadSheet(int sheet, TSheetSink& sink) {
  if (Outline(sheet)) opened_->decoder->DecodeSheetAgain(sheet, sink);
}

}  // namespace ln40
