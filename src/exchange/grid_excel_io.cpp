#include "exchange/grid_excel_io.h"

#include <utility>

#include "exchange/cell_from_text.h"
#include "exchange/date_time_text.h"
#include "text/codepage.h"

namespace ln40 {

// ---- TGridExcelIO ----------------------------------------------------------------------

TGridExcelIO::TGridExcelIO(TGridTable& table, TableLook* look) : table_(table), look_(look) {
  // Both exchanged tables show banded rows.
  own_look_.bands = true;
}

void TGridExcelIO::SetLocale(const Locale& locale) {
  locale_ = locale;
  has_locale_ = true;
}

const Locale& TGridExcelIO::GetLocale() const { return has_locale_ ? locale_ : table_.GetLocale(); }

int TGridExcelIO::DefaultYear() const {
  const SystemClock system;
  const Clock& clock = clock_ ? *clock_ : static_cast<const Clock&>(system);
  return DecodeDate(clock.Now()).year;
}

bool TGridExcelIO::ReadDateTimeText(const std::u16string& text, const std::u16string& date_format,
                                    const std::u16string& time_format, double& value,
                                    std::u16string& format_code) const {
  return ln40::ReadDateTimeText(Utf16ToCp1252(text), date_format, time_format, GetLocale(), DefaultYear(), value,
                                format_code);
}

void TGridExcelIO::SetCellFromText(TXLSFile& book, int row, int col, const std::u16string& text,
                                   const TCellFormat* format, const std::u16string& date_format,
                                   const std::u16string& time_format) const {
  TCellTextRules rules;
  rules.Locale = &GetLocale();
  rules.DefaultYear = DefaultYear();
  rules.DateFormat = date_format;
  rules.TimeFormat = time_format;
  TCellTextWriter(book, std::move(rules)).Set(row, col, text, format);
}

}  // namespace ln40
