#!/usr/bin/env python3
"""Writes golden.tsv beside this file: what mdb-export (Debian package mdbtools)
prints for the Access files of ../shared/corpus/access, for the reader's tests
to compare with. Per table: its row count, and every column of the first two,
the middle and the last row.

Dates mdb-export prints wrongly (it gives "1900-01-00 00:00:00" for every date
before 1900 or after 9998) are left out; the tests check those against the
true values the corpus README gives.

Run from the repository root:  python3 tests/data/access/make_golden.py
"""
import csv
import io
import os
import subprocess

CORPUS = os.path.join("..", "shared", "corpus", "access")
FILES = ["nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb",
         "agency/GIS_WORK.mdb", "agency/GIS_UPDATE.mdb", "agency/GIS_UPDATE.accdb"]
FMT = "%Y-%m-%d %H:%M:%S"


def escape(text):
    return (text.replace("\\", "\\\\").replace("\t", "\\t")
            .replace("\n", "\\n").replace("\r", "\\r"))


def main():
    out = []
    for name in FILES:
        path = os.path.join(CORPUS, name)
        tables = subprocess.run(["mdb-tables", "-1", path], check=True,
                                capture_output=True, text=True).stdout.splitlines()
        for table in tables:
            # Bytes, decoded by hand: text mode would turn the CR LF inside
            # memo values into LF.
            text = subprocess.run(["mdb-export", "-D", FMT, "-T", FMT, "-b", "strip",
                                   path, table], check=True,
                                  capture_output=True).stdout.decode("utf-8", "replace")
            rows = list(csv.reader(io.StringIO(text, newline="")))
            header, rows = rows[0], rows[1:]
            out.append(f"{name}\t{table}\t#\t{len(rows)}")
            for r in sorted({0, 1, len(rows) // 2, len(rows) - 1}):
                if r < 0 or r >= len(rows):
                    continue
                for column, value in zip(header, rows[r]):
                    if value == "1900-01-00 00:00:00":
                        continue
                    out.append(f"{name}\t{table}\t{r}\t{escape(column)}\t{escape(value)}")
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "golden.tsv"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
