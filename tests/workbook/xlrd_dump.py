#!/usr/bin/python3
"""Prints what python3-xlrd reads in a workbook, for tests that compare it with what they
wrote.

Usage: xlrd_dump.py PATH

Output, UTF-8, one line per item, fields separated by tabs:
  sheet  INDEX NAME
  cell   SHEET ROW COL TYPE VALUE FORMAT     (0-based; TYPE empty, text, number, date,
                                             bool, error, blank; VALUE repr-free text,
                                             numbers with 17 significant digits; FORMAT
                                             the cell's number format code)
Exit status 77 when xlrd is not installed.
"""
import sys

try:
    import xlrd
except ImportError:
    print("python3-xlrd is not installed")
    sys.exit(77)

TYPES = {
    xlrd.XL_CELL_EMPTY: "empty",
    xlrd.XL_CELL_TEXT: "text",
    xlrd.XL_CELL_NUMBER: "number",
    xlrd.XL_CELL_DATE: "date",
    xlrd.XL_CELL_BOOLEAN: "bool",
    xlrd.XL_CELL_ERROR: "error",
    xlrd.XL_CELL_BLANK: "blank",
}


def escape(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def main():
    book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
    out = sys.stdout
    for index in range(book.nsheets):
        sheet = book.sheet_by_index(index)
        out.write("sheet\t%d\t%s\n" % (index, escape(sheet.name)))
        for row in range(sheet.nrows):
            for col in range(sheet.ncols):
                cell = sheet.cell(row, col)
                kind = TYPES.get(cell.ctype, "?")
                if kind == "empty":
                    continue
                if kind in ("number", "date"):
                    value = "%.17g" % cell.value
                elif kind == "bool":
                    value = str(int(cell.value))
                elif kind == "error":
                    value = xlrd.error_text_from_code.get(cell.value, "#?")
                else:
                    value = escape(cell.value)
                code = ""
                if cell.xf_index is not None:
                    xf = book.xf_list[cell.xf_index]
                    code = book.format_map[xf.format_key].format_str
                out.write("cell\t%d\t%d\t%d\t%s\t%s\t%s\n" % (index, row, col, kind, value, escape(code)))


if __name__ == "__main__":
    main()
