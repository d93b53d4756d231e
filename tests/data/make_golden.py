#!/usr/bin/python3
"""Writes the golden files the readers' tests compare against.

For every .xls file of the shared corpus in the group "good", and every Excel
2.x to 95 (BIFF2 to BIFF5) one of the group "oldbiff", reads the first
worksheet with xlrd (Debian's python3-xlrd, an independent reader) and writes
its used range, rendered with the display rules of our readers, to
tests/data/golden/<file name>.txt; for the Excel 2.x worksheets of
tests/data/biff2, beside them:

    # sheet=<name> first_row=<n> last_row=<n> columns=<n>
    <row number>\t<cell>\t<cell>...

Only rows holding a non-empty text are listed, without their trailing empty
cells; every other row of the range is a row of empty texts.

Cells escape backslash, tab, carriage return and line feed as \\\\, \\t, \\r, \\n.
Run with /usr/bin/python3 (which sees Debian's modules) from the repository root:
    /usr/bin/python3 tests/data/make_golden.py ../shared/corpus
"""
import datetime
import math
import os
import sys

import xlrd

BUILTIN_DATE_IDS = set(range(14, 23)) | set(range(27, 37)) | set(range(45, 48)) | set(range(50, 59))
ERROR_TEXT = {0x00: "#NULL!", 0x07: "#DIV/0!", 0x0F: "#VALUE!", 0x17: "#REF!",
              0x1D: "#NAME?", 0x24: "#NUM!", 0x2A: "#N/A", 0x2B: "#GETTING_DATA"}


def is_date_code(code):
    """d, m, y, h or s outside quotes, brackets, escapes and fill characters."""
    i, n, low = 0, len(code), code.lower()
    while i < n:
        c = low[i]
        if c == '"':
            j = code.find('"', i + 1)
            if j < 0:
                return False
            i = j
        elif c == '[':
            j = code.find(']', i + 1)
            if j < 0:
                return False
            i = j
        elif c in '\\_*':
            i += 1
        elif low.startswith('general', i):
            i += 6
        elif c in 'dmyhs':
            return True
        i += 1
    return False


def general(v):
    if math.isnan(v) or math.isinf(v):
        return "#NUM!"
    if v == 0:
        return "0"
    s = '%.15g' % v
    if 'e' in s:
        mant, exp = s.split('e')
        sign, digits = exp[0], exp[1:]
        while len(digits) > 2 and digits[0] == '0':
            digits = digits[1:]
        s = mant + 'E' + sign + digits
    return s


def date_text(serial, date1904):
    """M/D/YYYY with H:MM:SS when there is a time; None outside the calendar."""
    if date1904:
        serial += 1462
    if serial < -657434.0 or serial >= 2958466.0:
        return None
    # Half a second rounds away from zero, as C's llround does.
    x = serial * 86400.0
    total = int(math.copysign(math.floor(abs(x) + 0.5), x))
    days, secs = divmod(total, 86400)
    d = datetime.date(1899, 12, 30) + datetime.timedelta(days=days)
    text = '%d/%d/%d' % (d.month, d.day, d.year)
    if secs:
        text += ' %d:%02d:%02d' % (secs // 3600, secs // 60 % 60, secs % 60)
    return text


def number_text(v, is_date, date1904):
    if not (math.isnan(v) or math.isinf(v)) and is_date and v >= 0:
        serial = v
        if not date1904 and 1 <= v < 61:
            # The 1900 system's February 29, 1900 shifts its first serials by a day.
            if v >= 60:
                t = date_text(v - 60, False)
                return '2/29/1900' + (t[t.index(' '):] if ' ' in t else '')
            serial = v + 1
        t = date_text(serial, date1904)
        if t is not None:
            return t
    return general(v)


def cell_text(book, sheet, r, c):
    cell = sheet.cell(r, c)
    t = cell.ctype
    if t in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
        return ''
    if t == xlrd.XL_CELL_TEXT:
        return cell.value
    if t == xlrd.XL_CELL_BOOLEAN:
        return 'TRUE' if cell.value else 'FALSE'
    if t == xlrd.XL_CELL_ERROR:
        return ERROR_TEXT.get(cell.value, '#N/A')
    xf = book.xf_list[sheet.cell_xf_index(r, c)]
    fmt = book.format_map.get(xf.format_key)
    is_date = xf.format_key in BUILTIN_DATE_IDS or (fmt is not None and is_date_code(fmt.format_str))
    if book.biff_version < 50 and book.format_list:
        # Excel 4.0 and before write every format they use, numbered in order.
        is_date = fmt is not None and is_date_code(fmt.format_str)
    return number_text(float(cell.value), is_date, book.datemode == 1)


def escape(s):
    return s.replace('\\', '\\\\').replace('\t', '\\t').replace('\r', '\\r').replace('\n', '\\n')


def golden(path, group):
    book = xlrd.open_workbook(path, formatting_info=True, logfile=open(os.devnull, 'w'))
    sheet = book.sheet_by_index(0)
    # A worksheet of Excel 2.x to 4.0 stands alone, named after its file.
    name = sheet.name if book.biff_version >= 50 else os.path.splitext(os.path.basename(path))[0]
    used = [(r, c) for r in range(sheet.nrows) for c in range(sheet.row_len(r))
            if sheet.cell_type(r, c) != xlrd.XL_CELL_EMPTY]
    lines = []
    if not used:
        lines.append('# sheet=%s first_row=1 last_row=0 columns=0' % name)
        return lines
    first = min(r for r, _ in used)
    last = max(r for r, _ in used)
    cols = max(c for _, c in used) + 1
    lines.append('# sheet=%s first_row=%d last_row=%d columns=%d' % (name, first + 1, last + 1, cols))
    for r in range(first, last + 1):
        cells = [escape(cell_text(book, sheet, r, c)) if c < sheet.row_len(r) else '' for c in range(cols)]
        while cells and cells[-1] == '':
            cells.pop()
        if cells:
            lines.append('\t'.join([str(r + 1)] + cells))
    return lines


def main():
    corpus = sys.argv[1] if len(sys.argv) > 1 else '../shared/corpus'
    out_dir = os.path.join('tests', 'data', 'golden')
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(corpus, 'MANIFEST.tsv'), encoding='utf-8') as f:
        rows = [line.rstrip('\n').split('\t') for line in f][1:]
    for row in rows:
        rel, group = row[0], row[3]
        if group not in ('good', 'oldbiff') or not rel.startswith('xls/'):
            continue
        name = os.path.basename(rel)
        try:
            lines = golden(os.path.join(corpus, rel), group)
        except Exception as e:  # xlrd cannot read it: no golden file, say so
            print('skipped %s: %s' % (name, e), file=sys.stderr)
            continue
        write(os.path.join(out_dir, name + '.txt'), lines)
    # The Excel 2.x worksheets of tests/data/biff2 (make_biff2.py), beside them.
    biff2 = os.path.join('tests', 'data', 'biff2')
    for name in sorted(os.listdir(biff2)):
        if name.endswith('.xls'):
            write(os.path.join(biff2, name + '.txt'), golden(os.path.join(biff2, name), 'oldbiff'))


def write(path, lines):
    with open(path, 'w', encoding='utf-8', newline='\n') as f:
        f.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    main()
