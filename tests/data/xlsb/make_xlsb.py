# Writes the first sheet of an .xls workbook as an Excel binary workbook (.xlsb):
#   /usr/bin/python3 make_xlsb.py ../../../data/sample/1234567_5.xls 1234567_5.xlsb short
# Debian's xlrd reads the cells with their styles; the records are written by
# hand. Every fifth string is written inline rather than shared, and with
# "short" every cell right after another of its row takes the short record
# that leaves the column out (as some programs write; Excel writes the long
# ones). LibreOffice reads the result as it reads the .xls, cell for cell.
import struct, sys, xlrd, zipfile
src, dst = sys.argv[1], sys.argv[2]
short = len(sys.argv) > 3
b = xlrd.open_workbook(src, formatting_info=True)
s = b.sheet_by_index(0)
def rec(rid, body=b''):
    h = bytes([rid]) if rid < 0x80 else bytes([(rid & 0x7F) | 0x80, rid >> 7])
    n = len(body); sz = b''
    while True:
        sz += bytes([(n & 0x7F) | (0x80 if n >= 0x80 else 0)]); n >>= 7
        if n == 0: break
    return h + sz + body
u32 = lambda n: struct.pack('<I', n)
def ws(t):
    e = t.encode('utf-16-le'); return u32(len(e) // 2) + e
book = rec(131) + rec(153, u32(b.datemode) + u32(0) + ws('')) + rec(143)
book += rec(156, u32(0) + u32(1) + ws('rId1') + ws(s.name)) + rec(144) + rec(132)
styles = rec(278) + rec(615, u32(0))
for k, f in b.format_map.items():
    if k >= 164: styles += rec(44, struct.pack('<H', k) + ws(f.format_str))
styles += rec(616) + rec(626, u32(1)) + rec(47, struct.pack('<HH', 0xFFFF, 0) + b'\0' * 12) + rec(627)
styles += rec(617, u32(len(b.xf_list)))
for xf in b.xf_list: styles += rec(47, struct.pack('<HH', 0, xf.format_key) + b'\0' * 12)
styles += rec(618) + rec(279)
sst = []; index = {}
sheet = rec(129) + rec(148, struct.pack('<IIII', 0, max(s.nrows - 1, 0), 0, max(s.ncols - 1, 0))) + rec(145)
for r in range(s.nrows):
    sheet += rec(0, u32(r) + u32(0) + struct.pack('<H', 300) + b'\0\0\0' + u32(0))
    prev = -1
    for c in range(s.row_len(r)):
        cell = s.cell(r, c); xf = s.cell_xf_index(r, c)
        t = cell.ctype
        if t == xlrd.XL_CELL_EMPTY: continue
        sh = short and prev >= 0 and c == prev + 1
        head = (b'' if sh else u32(c)) + u32(xf)
        base = 11 if sh else 0  # short ids are the long ones + 11 (blank 1 -> 12 ... isst 7 -> 18)
        if t == xlrd.XL_CELL_TEXT:
            if (r + c) % 5 == 0:
                sheet += rec(6 + base, head + ws(cell.value))
            else:
                if cell.value not in index: index[cell.value] = len(sst); sst.append(cell.value)
                sheet += rec(7 + base, head + u32(index[cell.value]))
        elif t in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
            v = cell.value
            if v == int(v) and -2**29 <= v < 2**29:
                sheet += rec(2 + base, head + struct.pack('<i', (int(v) << 2) | 2))
            else:
                sheet += rec(5 + base, head + struct.pack('<d', v))
        elif t == xlrd.XL_CELL_BOOLEAN:
            sheet += rec(4 + base, head + bytes([int(cell.value)]))
        elif t == xlrd.XL_CELL_ERROR:
            sheet += rec(3 + base, head + bytes([cell.value]))
        elif t == xlrd.XL_CELL_BLANK:
            sheet += rec(1 + base, head)
        prev = c
sheet += rec(146) + rec(130)
strings = rec(159, u32(len(sst)) + u32(len(sst))) + b''.join(rec(19, b'\0' + ws(x)) for x in sst) + rec(160)
R = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
rel = lambda i, t, tg: '<Relationship Id="rId%d" Type="%s%s" Target="%s"/>' % (i, R, t, tg)
rels = lambda body: '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">' + body + '</Relationships>'
types = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
  '<Default Extension="bin" ContentType="application/vnd.ms-excel.sheet.binary.macroEnabled.main"/>'
  '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
  '<Override PartName="/xl/worksheets/sheet1.bin" ContentType="application/vnd.ms-excel.worksheet"/>'
  '<Override PartName="/xl/styles.bin" ContentType="application/vnd.ms-excel.styles"/>'
  '<Override PartName="/xl/sharedStrings.bin" ContentType="application/vnd.ms-excel.sharedStrings"/>'
  '</Types>')
with zipfile.ZipFile(dst, 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('[Content_Types].xml', types)
    z.writestr('_rels/.rels', rels(rel(1, 'officeDocument', 'xl/workbook.bin')))
    z.writestr('xl/workbook.bin', book)
    z.writestr('xl/_rels/workbook.bin.rels', rels(rel(1, 'worksheet', 'worksheets/sheet1.bin') + rel(2, 'styles', 'styles.bin') + rel(3, 'sharedStrings', 'sharedStrings.bin')))
    z.writestr('xl/styles.bin', styles)
    z.writestr('xl/sharedStrings.bin', strings)
    z.writestr('xl/worksheets/sheet1.bin', sheet)
