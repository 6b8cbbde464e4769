#!/usr/bin/python3
"""Compares workbooks with a description of their contents, read by python3-xlrd.

Usage: xlrd_check.py DESCRIPTION

The description is UTF-8 text, one item per line, fields separated by tabs:

  file    PATH                      the workbook the following lines describe
  sheets  NAME NAME ...             the names of its worksheets, in order
  cell    SHEET ROW COL TYPE VALUE [XF [FORMAT [FONT BOLD ITALIC]]]
          SHEET, ROW, COL 0-based; TYPE E (empty or blank), N (number, VALUE with 17
          significant digits), S (text, with \\t \\n \\r \\\\ escaped), B (boolean 0 or 1);
          error cells are S with the error text (#N/A, ...). XF is the cell's XF index or
          "-"; FORMAT the number format code of XFs whose format index is 50 or more, or "-";
          FONT, BOLD, ITALIC the cell font's name and flags.
  merged  SHEET FIRSTROW LASTROW FIRSTCOL LASTCOL   (0-based, inclusive), all of a sheet
  outline SHEET ROW LEVEL           a row's outline level
  complete                          every non-empty cell xlrd sees in the file's sheets
                                    must be described

A cell that xlrd reads as an empty text matches TYPE E, as does a blank cell.
Exit status 0 when everything agrees, 1 otherwise (the differences on stdout), 77 when
xlrd is not installed.
"""
import math
import sys

try:
    import xlrd
except ImportError:
    print("python3-xlrd is not installed")
    sys.exit(77)


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append({"t": "\t", "n": "\n", "r": "\r", "\\": "\\"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def xlrd_value(cell):
    """The cell as (TYPE, value) in the description's terms."""
    if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
        return ("E", "")
    if cell.ctype == xlrd.XL_CELL_TEXT:
        return ("E", "") if cell.value == "" else ("S", cell.value)
    if cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
        return ("N", float(cell.value))
    if cell.ctype == xlrd.XL_CELL_BOOLEAN:
        return ("B", int(cell.value))
    if cell.ctype == xlrd.XL_CELL_ERROR:
        return ("S", xlrd.error_text_from_code.get(cell.value, "#?"))
    return ("?", cell.value)


def described_value(kind, text):
    if kind == "E":
        return ("E", "")
    if kind == "N":
        return ("N", float(text))
    if kind == "B":
        return ("B", int(text))
    if kind == "S":
        value = unescape(text)
        return ("E", "") if value == "" else ("S", value)
    raise ValueError("unknown type " + kind)


def same(a, b):
    if a[0] != b[0]:
        return False
    if a[0] == "N":
        return a[1] == b[1] or (math.isnan(a[1]) and math.isnan(b[1]))
    return a[1] == b[1]


class FileCheck:
    def __init__(self, path, problems):
        self.path = path
        self.problems = problems
        self.book = xlrd.open_workbook(path, formatting_info=True)
        self.sheets = [self.book.sheet_by_index(i) for i in range(self.book.nsheets)]
        self.described = set()
        self.merged = {}
        self.complete = False

    def fail(self, text):
        self.problems.append("%s: %s" % (self.path, text))

    def sheet(self, index):
        if index >= len(self.sheets):
            self.fail("no sheet %d" % index)
            return None
        return self.sheets[index]

    def check_cell(self, fields):
        sheet_index, row, col = int(fields[0]), int(fields[1]), int(fields[2])
        expected = described_value(fields[3], fields[4] if len(fields) > 4 else "")
        self.described.add((sheet_index, row, col))
        sheet = self.sheet(sheet_index)
        if sheet is None:
            return
        where = "sheet %d %s" % (sheet_index, xlrd.cellname(row, col))
        if row < sheet.nrows and col < sheet.ncols:
            cell = sheet.cell(row, col)
        else:
            cell = xlrd.sheet.Cell(xlrd.XL_CELL_EMPTY, "")
        actual = xlrd_value(cell)
        if not same(actual, expected):
            self.fail("%s: xlrd reads %r, described %r" % (where, actual, expected))
        if len(fields) > 5 and fields[5] != "-" and cell.xf_index is not None:
            if int(fields[5]) != cell.xf_index:
                self.fail("%s: XF %s, xlrd %d" % (where, fields[5], cell.xf_index))
        if len(fields) > 6 and cell.xf_index is not None:
            xf = self.book.xf_list[cell.xf_index]
            if fields[6] != "-" and xf.format_key >= 50:
                code = self.book.format_map[xf.format_key].format_str
                if code != unescape(fields[6]):
                    self.fail("%s: format %r, xlrd %r" % (where, unescape(fields[6]), code))
            if len(fields) > 9:
                font = self.book.font_list[xf.font_index]
                # Bold is weight 700; xlrd's own bold flag is a bit of the flags field.
                got = (font.name, int(font.weight == 700), int(font.italic))
                want = (unescape(fields[7]), int(fields[8]), int(fields[9]))
                if got != want:
                    self.fail("%s: font %r, xlrd %r" % (where, want, got))

    def finish(self):
        for index, sheet in enumerate(self.sheets):
            got = sorted((r1, r2 - 1, c1, c2 - 1) for r1, r2, c1, c2 in sheet.merged_cells)
            want = sorted(self.merged.get(index, []))
            if got != want:
                self.fail("sheet %d: merged ranges %r, xlrd %r" % (index, want, got))
            if not self.complete:
                continue
            for row in range(sheet.nrows):
                for col in range(sheet.ncols):
                    if (index, row, col) in self.described:
                        continue
                    value = xlrd_value(sheet.cell(row, col))
                    if value[0] != "E":
                        self.fail("sheet %d %s: xlrd reads %r, not described" % (index, xlrd.cellname(row, col), value))


def main():
    problems = []
    current = None
    checked = 0
    with open(sys.argv[1], encoding="utf-8") as description:
        for line in description:
            fields = line.rstrip("\n").split("\t")
            kind, rest = fields[0], fields[1:]
            if kind == "file":
                if current:
                    current.finish()
                current = FileCheck(rest[0], problems)
                checked += 1
            elif kind == "sheets":
                names = current.book.sheet_names()
                if names != rest:
                    current.fail("sheets %r, xlrd %r" % (rest, names))
            elif kind == "cell":
                current.check_cell(rest)
            elif kind == "merged":
                current.merged.setdefault(int(rest[0]), []).append(tuple(int(x) for x in rest[1:5]))
            elif kind == "outline":
                sheet = current.sheet(int(rest[0]))
                row, level = int(rest[1]), int(rest[2])
                info = sheet.rowinfo_map.get(row) if sheet else None
                got = info.outline_level if info else 0
                if got != level:
                    current.fail("sheet %s row %d: outline level %d, xlrd %d" % (rest[0], row, level, got))
            elif kind == "complete":
                current.complete = True
    if current:
        current.finish()
    for problem in problems[:200]:
        print(problem)
    print("%d files checked, %d differences" % (checked, len(problems)))
    return 1 if problems or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
