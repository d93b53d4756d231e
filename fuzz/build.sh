#!/bin/sh
# Builds the libFuzzer targets of the workbook readers into fuzz/out/ (not part
# of the main build or CI): fuzz_xls (compound file, BIFF8 records, RC4
# decryption), fuzz_xlsx (whole zip packages and encrypted ones) and fuzz_xlsx_parts (one XML part of a stored
# package, first input byte choosing which; also checks that the fast tag
# scanner sees what expat sees). Run them e.g. with
#   LSAN_OPTIONS=suppressions=fuzz/lsan.supp \
#     fuzz/out/fuzz_xls -max_total_time=600 fuzz/out/corpus_xls ../shared/corpus/xls
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out="$here/out"
mkdir -p "$out/obj" "$out/corpus_xls" "$out/corpus_xlsx" "$out/corpus_xlsx_parts"
flags="-std=c++20 -g -O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -I$root/src $(pkg-config --cflags libgsf-1 minizip expat libcrypto)"
objs=""
for src in "$root"/src/import/readers/*.cpp "$root"/src/core/value.cpp "$root"/src/core/date.cpp; do
  obj="$out/obj/$(basename "$src" .cpp).o"
  clang++ $flags -c "$src" -o "$obj"
  objs="$objs $obj"
done
libs="$(pkg-config --libs libgsf-1 minizip expat libcrypto) -lz -lfmt"
for target in fuzz_xls fuzz_xlsx fuzz_xlsx_parts; do
  clang++ $flags -fsanitize=fuzzer "$here/$target.cpp" $objs $libs -o "$out/$target"
done
# Seeds of each encrypted kind, so the decryption paths are reached: RC4 and RC4
# CryptoAPI .xls, standard and agile (SHA-1, SHA-512) .xlsx; the targets try the
# default password and the one these files use.
corpus="$root/../shared/corpus"
if [ -d "$corpus" ]; then
  for f in xls/poi_50833.xls xls/poi_35897-type4.xls xlsx/poi_protect.xlsx; do
    cp "$corpus/$f" "$out/corpus_xls/"
  done
  for f in xlsx/poi_protect.xlsx xlsx/excelize_encryptAES.xlsx xlsx/excelize_encryptSHA1.xlsx \
    xlsx/excelize_encryptSHA512.xlsx xls/poi_50833.xls; do
    cp "$corpus/$f" "$out/corpus_xlsx/"
  done
fi
echo "built $out/fuzz_xls $out/fuzz_xlsx $out/fuzz_xlsx_parts"
