#!/usr/bin/python3
"""Prints every cell of every worksheet of an .xlsx file as "sheet!A1<TAB>text",
sheet by sheet in workbook order, whether the writer stored its strings shared or
inline: what a person sees, so two error workbooks can be compared by content.

    /usr/bin/python3 bench/xlsx_cells.py FILE.xlsx
"""
import re
import sys
import xml.etree.ElementTree as ET
import zipfile

NS = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
REL = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}id"


def text_of(element):
    return "".join(t.text or "" for t in element.iter(NS + "t"))


def main():
    out = sys.stdout
    with zipfile.ZipFile(sys.argv[1]) as z:
        shared = []
        if "xl/sharedStrings.xml" in z.namelist():
            for _, si in ET.iterparse(z.open("xl/sharedStrings.xml")):
                if si.tag == NS + "si":
                    shared.append(text_of(si))
                    si.clear()
        rels = ET.parse(z.open("xl/_rels/workbook.xml.rels")).getroot()
        target = {r.get("Id"): r.get("Target") for r in rels}
        book = ET.parse(z.open("xl/workbook.xml")).getroot()
        for sheet in book.iter(NS + "sheet"):
            name = sheet.get("name")
            part = "xl/" + re.sub(r"^/?xl/", "", target[sheet.get(REL)])
            for _, c in ET.iterparse(z.open(part)):
                if c.tag != NS + "c":
                    continue
                kind = c.get("t")
                v = c.find(NS + "v")
                if kind == "s":
                    value = shared[int(v.text)]
                elif kind == "inlineStr":
                    value = text_of(c)
                else:
                    value = v.text if v is not None else ""
                out.write("%s!%s\t%s\n" % (name, c.get("r"), value.replace("\n", "\\n")))
                c.clear()


if __name__ == "__main__":
    main()
