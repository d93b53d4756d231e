#!/usr/bin/python3
"""Writes a large facility 1234567 for the end-to-end benchmark, grown from the
sample facility in data/sample: Tables 1 to 3 as they are, Tables 4 and 5 repeated
until Table 5 holds at least RESULTS results. Each repetition k renames its samples
("MW-1-040316" becomes "MW-1-040316-k") and moves their dates k weeks on, so the
samples stay distinct and the sample's deliberate mistakes recur in proportion.

    /usr/bin/python3 bench/make_facility.py RESULTS xls|xlsx|xlsb OUT_DIR [by-name]

With by-name, Table 5 lists the results by contaminant name rather than sample by
sample, as some laboratories' files do.

.xls is written with xlwt (at most 65,535 rows a sheet), .xlsx with xlsxwriter
in its constant-memory mode, .xlsb record by record as Excel writes it (shared
strings, whole numbers as RK values). Cell kinds stay as the sample has them:
texts, numbers and dates.
"""
import datetime
import os
import struct
import sys
import zipfile

import xlrd

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.path.join(HERE, "..", "data", "sample")
FACILITY = "1234567"


def read_table(n):
    book = xlrd.open_workbook(os.path.join(SAMPLE, "%s_%d.xls" % (FACILITY, n)))
    sheet = book.sheet_by_index(0)
    rows = []
    for r in range(sheet.nrows):
        row = []
        for cell in sheet.row(r):
            if cell.ctype == xlrd.XL_CELL_DATE:
                row.append(xlrd.xldate.xldate_as_datetime(cell.value, book.datemode))
            elif cell.ctype == xlrd.XL_CELL_EMPTY:
                row.append(None)
            else:
                row.append(cell.value)
        rows.append(row)
    return rows


def grow(table4, table5, results):
    """Tables 4 and 5 repeated until Table 5 has at least `results` data rows."""
    head4, body4 = table4[0], table4[1:]
    head5, body5 = table5[0], table5[1:]
    sam4 = head4.index("SAM_ID")
    date4 = head4.index("SAM_DATE")
    sam5 = head5.index("SAM_ID")
    out4, out5 = [head4], [head5]
    k = 0
    while len(out5) - 1 < results:
        suffix = "" if k == 0 else "-%d" % k
        shift = datetime.timedelta(weeks=k)
        for row in body4:
            row = list(row)
            row[sam4] = "%s%s" % (row[sam4], suffix)
            if isinstance(row[date4], datetime.datetime):
                row[date4] = row[date4] + shift
            out4.append(row)
        for row in body5:
            row = list(row)
            row[sam5] = "%s%s" % (row[sam5], suffix)
            out5.append(row)
        k += 1
    return out4, out5[: results + 1]


def write_xls(path, rows):
    import xlwt
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    date = xlwt.easyxf(num_format_str="M/D/YYYY")
    for r, row in enumerate(rows):
        for c, value in enumerate(row):
            if value is None:
                continue
            if isinstance(value, datetime.datetime):
                sheet.write(r, c, value, date)
            else:
                sheet.write(r, c, value)
    book.save(path)


def write_xlsx(path, rows):
    import xlsxwriter
    book = xlsxwriter.Workbook(path, {"constant_memory": True})
    sheet = book.add_worksheet("Sheet1")
    date = book.add_format({"num_format": "m/d/yyyy"})
    for r, row in enumerate(rows):
        for c, value in enumerate(row):
            if value is None:
                continue
            if isinstance(value, datetime.datetime):
                sheet.write_datetime(r, c, value, date)
            elif isinstance(value, float):
                sheet.write_number(r, c, value)
            else:
                sheet.write_string(r, c, value)
    book.close()


def write_xlsb(path, rows):
    def rec(rid, body=b""):
        head = bytes([rid]) if rid < 0x80 else bytes([(rid & 0x7F) | 0x80, rid >> 7])
        n, size = len(body), b""
        while True:
            size += bytes([(n & 0x7F) | (0x80 if n >= 0x80 else 0)])
            n >>= 7
            if n == 0:
                return head + size + body

    def text(t):
        e = t.encode("utf-16-le")
        return struct.pack("<I", len(e) // 2) + e

    epoch = datetime.datetime(1899, 12, 30)
    columns = max(len(row) for row in rows)
    dim = rec(148, struct.pack("<IIII", 0, len(rows) - 1, 0, columns - 1))
    strings, index, sheet = [], {}, [rec(129), dim, rec(145)]
    for r, row in enumerate(rows):
        sheet.append(rec(0, struct.pack("<IIH3xI", r, 0, 300, 0)))
        for c, value in enumerate(row):
            if value is None:
                continue
            if isinstance(value, datetime.datetime):
                value, style = (value - epoch).total_seconds() / 86400, 1
            else:
                style = 0
            if isinstance(value, str):
                if value not in index:
                    index[value] = len(strings)
                    strings.append(value)
                sheet.append(rec(7, struct.pack("<III", c, style, index[value])))
            elif value == int(value) and abs(value) < 2 ** 29:
                sheet.append(rec(2, struct.pack("<IIi", c, style, (int(value) << 2) | 2)))
            else:
                sheet.append(rec(5, struct.pack("<IId", c, style, value)))
    sheet += [rec(146), rec(130)]
    xf = lambda fmt: rec(47, struct.pack("<HH12x", 0, fmt))
    styles = rec(278) + rec(617, struct.pack("<I", 2)) + xf(0) + xf(14) + rec(618) + rec(279)
    sst = rec(159, struct.pack("<II", len(strings), len(strings)))
    sst += b"".join(rec(19, b"\0" + text(s)) for s in strings) + rec(160)
    book = rec(131) + rec(143) + rec(156, struct.pack("<II", 0, 1) + text("rId1") + text("Sheet1"))
    book += rec(144) + rec(132)
    base = "http://schemas.openxmlformats.org/"
    rel = '<Relationship Id="rId%d" Type="' + base + 'officeDocument/2006/relationships/%s" Target="%s"/>'
    rels = '<Relationships xmlns="' + base + 'package/2006/relationships">%s</Relationships>'
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", '<Types xmlns="' + base + 'package/2006/content-types">'
                   '<Default Extension="bin" ContentType="application/'
                   'vnd.ms-excel.sheet.binary.macroEnabled.main"/></Types>')
        z.writestr("_rels/.rels", rels % (rel % (1, "officeDocument", "xl/workbook.bin")))
        z.writestr("xl/workbook.bin", book)
        z.writestr("xl/_rels/workbook.bin.rels", rels % (
            rel % (1, "worksheet", "worksheets/sheet1.bin") + rel % (2, "styles", "styles.bin") +
            rel % (3, "sharedStrings", "sharedStrings.bin")))
        z.writestr("xl/styles.bin", styles)
        z.writestr("xl/sharedStrings.bin", sst)
        z.writestr("xl/worksheets/sheet1.bin", b"".join(sheet))


def main():
    if len(sys.argv) not in (4, 5) or sys.argv[2] not in ("xls", "xlsx", "xlsb") or \
            sys.argv[4:] not in ([], ["by-name"]):
        sys.exit(__doc__)
    results, kind, out = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    os.makedirs(out, exist_ok=True)
    tables = {n: read_table(n) for n in range(1, 6)}
    tables[4], tables[5] = grow(tables[4], tables[5], results)
    if sys.argv[4:] == ["by-name"]:
        name = tables[5][0].index("CONT_NAME")
        tables[5][1:] = sorted(tables[5][1:], key=lambda row: str(row[name]))
    write = {"xls": write_xls, "xlsx": write_xlsx, "xlsb": write_xlsb}[kind]
    for n in range(1, 6):
        write(os.path.join(out, "%s_%d.%s" % (FACILITY, n, kind)), tables[n])
    print("%s: %d samples, %d results" % (out, len(tables[4]) - 1, len(tables[5]) - 1))


if __name__ == "__main__":
    main()
