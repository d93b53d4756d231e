# Writes an Excel 97-2003 workbook protected with XOR obfuscation, as Excel
# writes one when asked for it: a FILEPASS record after the first BOF, every
# later record's data obfuscated but for the records never protected and the
# sheets' stream offsets, which are moved by the record put in.
#   /usr/bin/python3 obfuscate.py PLAIN.xls OUT.xls PASSWORD
# The tables and steps are those of the obfuscation's published description;
# gi's libgsf reads and writes the container.
import struct, sys
import gi
gi.require_version('Gsf', '1')
from gi.repository import Gsf

PAD = [0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80, 0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00]
INIT = [0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C, 0x0E10, 0xF1CE, 0x313E, 0x1872, 0xE139,
        0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3]
MATRIX = [
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B,
    0xC6F7, 0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375,
    0x06EA, 0x0DD4, 0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D,
    0xAA7A, 0x44D5, 0x6F45, 0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667,
    0x9CEF, 0x29FF, 0x53FE, 0xA7FC, 0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68,
    0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD, 0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1,
    0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483, 0x8906, 0x022D, 0x045A, 0x08B4, 0x1168,
    0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C, 0x3730, 0x6E60, 0xDCC0, 0xA9A1,
    0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373, 0x06E6, 0x0DCC, 0x1021,
    0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4]
NEVER = {0x0809, 0x002F, 0x0194, 0x0195, 0x00E1, 0x0196, 0x0138}


def verifier(pw):
    v = 0
    for b in reversed(bytes([len(pw)]) + pw):
        v = ((1 if v & 0x4000 else 0) | ((v << 1) & 0x7FFF)) ^ b
    return v ^ 0xCE4B


def xor_key(pw):
    k, e = INIT[len(pw) - 1], 104
    for c in reversed(pw):
        for _ in range(7):
            if c & 0x40:
                k ^= MATRIX[e]
            c, e = (c << 1) & 0xFF, e - 1
    return k


def xor_array(pw):
    k = xor_key(pw)
    hi, lo = k >> 8, k & 0xFF
    ror = lambda a, b: (((a ^ b) >> 1) | ((a ^ b) << 7)) & 0xFF
    a, i = [0] * 16, len(pw)
    if i % 2:
        a[i] = ror(PAD[0], hi)
        i -= 1
        a[i] = ror(pw[-1], lo)
    while i > 0:
        a[i - 1] = ror(pw[i - 1], hi)
        a[i - 2] = ror(pw[i - 2], lo)
        i -= 2
    i, p = 15, 15 - len(pw)
    while p > 0:
        a[i], a[i - 1] = ror(PAD[p], hi), ror(PAD[p - 1], lo)
        i, p = i - 2, p - 2
    return a


src, dst, password = sys.argv[1], sys.argv[2], sys.argv[3].encode('latin-1')
ole = Gsf.InfileMSOle.new(Gsf.InputStdio.new(src))
book = ole.child_by_name('Workbook')
plain = bytes(book.read(book.props.size))
records, p = [], 0
while p + 4 <= len(plain):
    rid, size = struct.unpack_from('<HH', plain, p)
    records.append([rid, bytearray(plain[p + 4:p + 4 + size])])
    p += 4 + size
filepass = struct.pack('<HHH', 0, xor_key(password), verifier(password))
records.insert(1, [0x002F, bytearray(filepass)])
for rid, body in records:
    if rid == 0x0085:  # the sheet's BOF moves by the record put in
        body[0:4] = struct.pack('<I', struct.unpack_from('<I', body)[0] + 4 + len(filepass))
out, array, protected = bytearray(), xor_array(password), False
for rid, body in records:
    start = len(out) + 4
    if protected and rid not in NEVER:
        for k in range(4 if rid == 0x0085 else 0, len(body)):
            v = ((body[k] << 5) | (body[k] >> 3)) & 0xFF
            body[k] = v ^ array[(start + k + len(body)) % 16]
    protected = protected or rid == 0x002F
    out += struct.pack('<HH', rid, len(body)) + body
writer = Gsf.OutfileMSOle.new(Gsf.OutputStdio.new(dst))
stream = writer.new_child('Workbook', False)
stream.write(bytes(out))
stream.close()
writer.close()
