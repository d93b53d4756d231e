# Writes Excel 2.x worksheets (BIFF2: one sheet, its formats and cells in one
# record stream, no container) as Excel 2.1 saves them:
#   1234567_1.xls  the sample's Table 1, read with xlrd with its formats;
#   kinds.xls      a cell of every kind, in the 1904 date system.
# Cells carry their number format in their own attribute bytes, and name an
# XF record of that format too (the XF of each format is its number). Formulas are
# constants whose saved results are what they compute, so that a program that
# recalculates on opening shows what one that reads the results shows.
#   /usr/bin/python3 tests/data/biff2/make_biff2.py   (from the repository root)
import os
import struct

import xlrd

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))


class Sheet:
    def __init__(self, date1904=False):
        self.formats, self.cells, self.date1904 = ['General'], [], date1904

    def fmt(self, code):
        if code not in self.formats:
            self.formats.append(code)
        return self.formats.index(code)

    def head(self, row, col, code):
        self.rows = max(getattr(self, 'rows', 0), row + 1)
        self.cols = max(getattr(self, 'cols', 0), col + 1)
        f = self.fmt(code) & 0x3F
        return struct.pack('<HH3B', row, col, f, f, 0)

    def number(self, row, col, value, code='General'):
        if code == 'General' and value == int(value) and 0 <= value <= 65535:
            self.cells.append((0x0002, self.head(row, col, code) + struct.pack('<H', int(value))))
        else:
            self.cells.append((0x0003, self.head(row, col, code) + struct.pack('<d', value)))

    def text(self, row, col, value):
        b = value.encode('cp1252')
        self.cells.append((0x0004, self.head(row, col, 'General') + bytes([len(b)]) + b))

    def boolerr(self, row, col, value, error=False):
        self.cells.append((0x0005, self.head(row, col, 'General') + bytes([value, int(error)])))

    def blank(self, row, col):
        self.cells.append((0x0001, self.head(row, col, 'General')))

    def formula(self, row, col, result, tokens, string=None, code='General'):
        body = self.head(row, col, code) + result + bytes([0, len(tokens)]) + tokens
        self.cells.append((0x0006, body))
        if string is not None:
            b = string.encode('cp1252')
            self.cells.append((0x0007, bytes([len(b)]) + b))

    def write(self, path):
        out = bytearray()
        rec = lambda rid, body: out.extend(struct.pack('<HH', rid, len(body)) + body)
        rec(0x0009, struct.pack('<HH', 0x0002, 0x0010))
        rec(0x0042, struct.pack('<H', 0x8001))  # the Windows character set
        rec(0x0031, struct.pack('<HHB', 200, 0, 5) + b'Arial')
        for code in self.formats:
            b = code.encode('cp1252')
            rec(0x001E, bytes([len(b)]) + b)
        for f in range(len(self.formats)):
            rec(0x0043, bytes([0, 0, f, 0]))
        rec(0x0022, struct.pack('<H', int(self.date1904)))
        rec(0x0000, struct.pack('<HHHH', 0, self.rows, 0, self.cols))
        for rid, body in self.cells:
            rec(rid, body)
        rec(0x000A, b'')
        with open(path, 'wb') as f:
            f.write(out)


def sample_table_1():
    book = xlrd.open_workbook(os.path.join(ROOT, 'data', 'sample', '1234567_1.xls'),
                              formatting_info=True)
    ws, sheet = book.sheet_by_index(0), Sheet()
    for r in range(ws.nrows):
        for c in range(ws.ncols):
            cell = ws.cell(r, c)
            code = book.format_map[book.xf_list[cell.xf_index].format_key].format_str
            if cell.ctype == xlrd.XL_CELL_TEXT:
                sheet.text(r, c, cell.value)
            elif cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
                sheet.number(r, c, cell.value, code)
            elif cell.ctype == xlrd.XL_CELL_BOOLEAN:
                sheet.boolerr(r, c, int(cell.value))
    sheet.write(os.path.join(HERE, '1234567_1.xls'))


def kinds():
    s = Sheet(date1904=True)
    for c, name in enumerate(['KIND', 'VALUE']):
        s.text(0, c, name)
    s.text(1, 0, 'integer'), s.number(1, 1, 7)
    s.text(2, 0, 'number'), s.number(2, 1, 2.5, '0.00')
    s.text(3, 0, 'date'), s.number(3, 1, 36965.0, 'm/d/yy')  # 16 March 2005 counted from 1904
    s.text(4, 0, 'text'), s.text(4, 1, 'Ångström µg/L')
    s.text(5, 0, 'boolean'), s.boolerr(5, 1, 1)
    s.text(6, 0, 'error'), s.boolerr(6, 1, 0x07, error=True)
    s.text(7, 0, 'formula number'), s.formula(7, 1, struct.pack('<d', 1.25),
                                              b'\x1f' + struct.pack('<d', 1.25))
    s.text(8, 0, 'formula text'), s.formula(8, 1, b'\x00' * 6 + b'\xff\xff', b'\x17\x02ok', 'ok')
    s.text(9, 0, 'formula boolean'), s.formula(9, 1, b'\x01\x00\x01\x00\x00\x00\xff\xff', b'\x1d\x01')
    s.text(10, 0, 'formula error'), s.formula(10, 1, b'\x02\x00\x2a\x00\x00\x00\xff\xff', b'\x1c\x2a')
    s.text(11, 0, 'blank'), s.blank(11, 1)
    s.write(os.path.join(HERE, 'kinds.xls'))


sample_table_1()
kinds()
