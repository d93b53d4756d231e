# Writes an Excel workbook package (.xlsx or .xlsb) encrypted as Excel 2007 does
# ("Standard" encryption: AES-128, keys from SHA-1 over the password), in the
# compound file Excel writes:
#   /usr/bin/python3 encrypt.py 1234567_5.xlsb 1234567_5_protected.xlsb [PASSWORD]
# Without a password, Excel's default one: a file protected only against
# changes, which opens without asking. Python's `cryptography` ciphers, gi's
# libgsf writes the container.
import hashlib, os, struct, sys
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
import gi
gi.require_version('Gsf', '1')
from gi.repository import Gsf

src, dst = sys.argv[1], sys.argv[2]
password = sys.argv[3] if len(sys.argv) > 3 else 'VelvetSweatshop'
salt, verifier = os.urandom(16), os.urandom(16)
h = hashlib.sha1(salt + password.encode('utf-16-le')).digest()
for i in range(50000):
    h = hashlib.sha1(struct.pack('<I', i) + h).digest()
h = hashlib.sha1(h + struct.pack('<I', 0)).digest()
key = hashlib.sha1(bytes(b ^ 0x36 for b in h) + b'\x36' * 44).digest()[:16]
aes = lambda data: Cipher(algorithms.AES(key), modes.ECB()).encryptor().update(data)
csp = 'Microsoft Enhanced RSA and AES Cryptographic Provider\0'.encode('utf-16-le')
header = struct.pack('<IIIIIIII', 0x24, 0, 0x660E, 0x8004, 128, 0x18, 0, 0) + csp
info = struct.pack('<HHII', 4, 2, 0x24, len(header)) + header
info += struct.pack('<I', 16) + salt + aes(verifier)
info += struct.pack('<I', 20) + aes(hashlib.sha1(verifier).digest() + b'\0' * 12)
plain = open(src, 'rb').read()
package = struct.pack('<Q', len(plain)) + aes(plain + b'\0' * (-len(plain) % 16))
out = Gsf.OutputStdio.new(dst)
ole = Gsf.OutfileMSOle.new(out)
for name, data in (('EncryptionInfo', info), ('EncryptedPackage', package)):
    child = ole.new_child(name, False)
    child.write(data)
    child.close()
ole.close()
