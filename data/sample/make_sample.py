#!/usr/bin/python3
"""Writes the sample facility 1234567: its five workbooks 1234567_1.xls .. 1234567_5.xls.

The facility is a former fuel terminal with twenty monitoring wells, eight soil
borings, two surface-water stations and a trip-blank point, sampled quarterly in
2004 and 2005. Every value is drawn from the reference data the program ships
(data/workdb/*.sql): the site's coordinates, contracts, sample sources,
laboratories and analytes with their CAS numbers. A fixed seed makes the files
the same on every run.

The data import cleanly (all five tables reach stage 6), but each table holds a
few deliberate mistakes of the kind the data checks exist to catch, so that in
every table at least one check of each severity fails. They are listed in
PROBLEMS below and printed when the script runs.

Run with Debian's Python, which has xlwt:  /usr/bin/python3 data/sample/make_sample.py
"""

import datetime
import os
import random
import re

import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))
WORKDB = os.path.join(HERE, "..", "workdb")
FACILITY = "1234567"
SEED = 1234567

PROBLEMS = []  # (table, check, what was broken), printed at the end


def problem(table, check, what):
    PROBLEMS.append((table, check, what))


# --- reference data ----------------------------------------------------------

def sql_rows(file_name, table):
    """The VALUES tuples of the INSERT statements of `table` in a reference file."""
    rows = []
    pattern = re.compile(r"INSERT INTO %s \(([^)]*)\) VALUES \((.*)\);\s*$" % table)
    value = re.compile(r"'((?:[^']|'')*)'|(-?[0-9.]+)|NULL")
    with open(os.path.join(WORKDB, file_name), encoding="utf-8") as f:
        for line in f:
            m = pattern.match(line)
            if not m:
                continue
            names = [n.strip() for n in m.group(1).split(",")]
            values = []
            for v in value.finditer(m.group(2)):
                if v.group(1) is not None:
                    values.append(v.group(1).replace("''", "'"))
                elif v.group(2) is not None:
                    values.append(float(v.group(2)))
                else:
                    values.append(None)
            rows.append(dict(zip(names, values)))
    return rows


def strip_name(name):
    for c in "-, )(&/.+*":
        name = name.replace(c, "")
    return name.upper()


def lab_noformat(name):
    s = strip_name(name)
    return s.replace("LABORATORIES", "LAB").replace("LABORATORY", "LAB").replace("INC", "")


SITE = next(r for r in sql_rows("20_sites.sql", "T_SITE") if r["SITE"] == FACILITY)
STRUCTURE = {}
for r in sorted(sql_rows("21_structure.sql", "MT_VBSTRUCTURE"), key=lambda r: r["FIELD_ORDER"]):
    STRUCTURE.setdefault(r["TABLE_NAME"], []).append(r["FIELD_NAME"])
SOURCES = {r["SOURCE_ID"]: r for r in sql_rows("22_sample_sources.sql", "MT_SAMPLE_SOURCE")}
ANALYTES = {r["ANALYTE"]: r for r in sql_rows("23_analytes.sql", "MT_ANALYTE")}
LABS = {r["NAME"]: r for r in sql_rows("24_labs.sql", "MT_LAB")}
CONTRACTS = [r["CONTRACT"] for r in sql_rows("25_contracts.sql", "MT_CONTRACTOR")]
WELL_VALUES = {}
for r in sql_rows("26_well_values.sql", "MT_WELL"):
    WELL_VALUES.setdefault(r["FIELD_NAME"], []).append(r["FIELD_VALUE"])

for need in ("MW", "SB", "SW", "TRIP"):
    assert need in SOURCES, "sample source %s is missing from the reference data" % need
assert SOURCES["MW"]["SOURCE_TYPE"].upper() == "WELL - GOOD"
assert "PVC" in WELL_VALUES["MATERIAL"] and "ACTIVE" in WELL_VALUES["STATUS"]
assert "SURFICIAL" in WELL_VALUES["AQUIFER"]


def analyte(name):
    a = ANALYTES[name]
    # The program matches results to analytes by the normalised name.
    assert strip_name(name) == a["ANALYTENOFORMAT"], name
    return name, a["CAS"]


def lab(name):
    assert lab_noformat(name) == LABS[name]["NOFORMAT"], name
    return name


CONTRACT = CONTRACTS[2]
VOCS = [analyte(n) for n in (
    "Benzene", "Toluene", "Ethylbenzene", "Xylenes (total)", "Methyl tert-butyl ether",
    "Naphthalene", "Trichloroethene", "Tetrachloroethene", "cis-1,2-Dichloroethene",
    "Vinyl chloride", "1,1-Dichloroethane", "Chloroform")]
METALS = [analyte(n) for n in ("Arsenic", "Barium", "Cadmium", "Chromium", "Lead")]
MERCURY = analyte("Mercury")
PAHS = [analyte(n) for n in ("Benzo(a)pyrene", "Acenaphthene")]
TRPH = analyte("Total Recoverable Petroleum Hydrocarbons")
ORGANIC_LAB = lab("Acme Laboratories, Inc.")
SOIL_LAB = lab("Gulf Coast Analytical Laboratory")
METALS_LAB = lab("Sunrise Analytical Services")

rng = random.Random(SEED)


def r2(x):
    return round(x, 2)


# --- table 1: sample locations ------------------------------------------------

class Point:
    def __init__(self, point_id, navd):
        self.point_id = point_id
        lat_mm = int(SITE["LATMM"]) + rng.choice((-1, 0, 0, 1))
        long_mm = int(SITE["LONGMM"]) + rng.choice((-1, 0, 0, 1))
        self.row = {
            "FAC_ID": FACILITY, "POINT_ID": point_id,
            "LAT_DD": int(SITE["LATDD"]), "LAT_MM": lat_mm, "LAT_SS": r2(rng.uniform(0, 59.9)),
            "LONG_DD": int(SITE["LONGDD"]), "LONG_MM": long_mm,
            "LONG_SS": r2(rng.uniform(0, 59.9)), "NAVD": navd,
            "SL_METHOD": rng.choice(("A", "B", "D")),
            "SL_COL_DATE": datetime.date(2003, 11, rng.randint(3, 21)),
            "SL_CONTRACT": CONTRACT, "SL_COMMENTS": "",
        }


# --- table 2: wells -----------------------------------------------------------

class Well:
    def __init__(self, number):
        self.point_id = "MW-%d" % number
        self.install = datetime.date(1996 + (number - 1) // 4, rng.randint(1, 12), rng.randint(1, 28))
        self.toc = r2(rng.uniform(22.5, 27.5))
        self.top = r2(rng.uniform(4, 9))
        self.bot = r2(self.top + 10)
        self.boc = r2(self.bot + 0.5)
        self.row = {
            "FAC_ID": FACILITY, "POINT_ID": self.point_id, "FLUW_ID": "AAF%05d" % (4100 + number),
            "INSTALL_DATE": self.install, "STATUS": "ACTIVE" if number != 17 else "INACTIVE",
            "TOC": self.toc, "TOP_SCR": self.top, "BOT_SCR": self.bot, "BOC": self.boc,
            "DIA": 2 if number % 5 else 4, "MATERIAL": "PVC", "AQUIFER": "SURFICIAL",
            "W_CONTRACT": CONTRACT,
            "W_COMMENTS": "Flush-mount vault" if number % 3 == 0 else "",
            "T": r2(rng.uniform(0.01, 0.4)), "S": round(rng.uniform(0.2, 0.25), 3),
            "KX": round(rng.uniform(0.0005, 0.02), 4), "B": r2(rng.uniform(25, 60)),
            "NE": r2(rng.uniform(15, 28)), "TEST_METHOD": "Slug test",
        }


WELLS = [Well(n) for n in range(1, 21)]
points = [Point(w.point_id, r2(w.toc - 0.3)) for w in WELLS]
points += [Point("SB-%d" % n, r2(rng.uniform(23, 27))) for n in range(1, 9)]
points += [Point("SW-%d" % n, r2(rng.uniform(21.5, 23))) for n in (1, 2)]
points += [Point("TB-1", 25.0)]
POINTS = {p.point_id: p for p in points}
for p in points:
    if p.point_id.startswith("SB"):
        p.row["SL_COMMENTS"] = "Soil boring, hand auger to 10 ft"

# Table 1 problems, one or more per severity.
POINTS["SB-7"].row["LAT_MM"] = int(SITE["LATMM"]) - 4
problem(1, "1.0", "SB-7 latitude minutes 4 away from the site record")
POINTS["SW-2"].row["SL_METHOD"] = "C"
problem(1, "1.1", "SW-2 collected by method C without a comment")
POINTS["SB-5"].row["NAVD"] = None
problem(1, "1.3", "SB-5 has soil samples but no NAVD elevation")
POINTS["SB-8"].row["SL_METHOD"] = ""
problem(1, "1.4", "SB-8 has coordinates but no collection method")
POINTS["MW-19"].row["LONG_SS"] = None
problem(1, "1.5", "MW-19 lacks the longitude seconds")
POINTS["SB-6"].row["LAT_SS"] = 60
problem(1, "1.6", "SB-6 latitude seconds of 60")
POINTS["SW-1"].row["SL_CONTRACT"] = "C-12"
problem(1, "1.7", "SW-1 under contract C-12, which is not one of the agency's")
points.append(Point("MW-20", POINTS["MW-20"].row["NAVD"]))
points[-1].row.update({k: POINTS["MW-20"].row[k] for k in ("LAT_MM", "LAT_SS", "LONG_MM", "LONG_SS")})
problem(1, "1.9", "MW-20 listed twice")

# Table 2 problems.
WELL = {w.point_id: w for w in WELLS}
WELL["MW-4"].row["NE"] = 35.0
problem(2, "2.0", "MW-4 effective porosity 35")
WELL["MW-7"].row["KX"] = 0.2
problem(2, "2.1", "MW-7 hydraulic conductivity 0.2 ft/s")
WELL["MW-12"].row["DIA"] = None
problem(2, "2.5, 2.7", "MW-12 diameter missing")
WELL["MW-9"].row["MATERIAL"] = "Copper"
problem(2, "2.6", "MW-9 made of copper")
WELL["MW-15"].row["B"] = 6.0
problem(2, "2.9", "MW-15 aquifer thickness 6 ft")
WELL["MW-3"].row["DIA"] = 10
problem(2, "2.12", "MW-3 diameter 10 inches")
WELL["MW-16"].row["BOC"] = r2(WELL["MW-16"].bot - 2)
problem(2, "2.14", "MW-16 bottom of screen below the bottom of casing")
extra = Well(21)
WELLS.append(extra)
problem(2, "2.15", "MW-21 has no row in table 1")

# --- table 3: water levels ------------------------------------------------------

EVENTS = [datetime.date(2004, 3, 15) + datetime.timedelta(days=91 * k) for k in range(8)]
levels = []
for w in WELLS[:20]:
    depth = rng.uniform(3, 6)
    for k, day in enumerate(EVENTS):
        when = day + datetime.timedelta(days=rng.randint(0, 2))
        wl = r2(w.toc - depth - 0.8 * (k % 4 == 2) + rng.uniform(-0.4, 0.4))
        levels.append({"FAC_ID": FACILITY, "POINT_ID": w.point_id, "WL_DATE": when, "WL": wl,
                       "WL_CONTRACT": CONTRACT, "WL_COMMENTS": ""})
by_point = lambda p: [r for r in levels if r["POINT_ID"] == p]
by_point("MW-5")[3]["WL"] = None
by_point("MW-5")[3]["WL_COMMENTS"] = "Well obstructed"
problem(3, "3.0", "MW-5 water level missing")
by_point("MW-8")[0]["WL_DATE"] = WELL["MW-8"].install - datetime.timedelta(days=30)
problem(3, "3.1", "MW-8 measured a month before the well was installed")
by_point("MW-10")[5]["WL"] = r2(WELL["MW-10"].toc + 6)
problem(3, "3.2", "MW-10 level above the top of casing")
by_point("MW-11")[2]["WL_CONTRACT"] = ""
problem(3, "3.3", "MW-11 measurement without a contract")
levels.append({"FAC_ID": FACILITY, "POINT_ID": "PZ-1", "WL_DATE": EVENTS[0], "WL": 20.1,
               "WL_CONTRACT": CONTRACT, "WL_COMMENTS": "Temporary piezometer"})
problem(3, "3.4", "PZ-1 has no row in table 1")
dup = dict(by_point("MW-2")[6])
dup["WL"] = r2(dup["WL"] + 0.35)
levels.append(dup)
problem(3, "3.6", "MW-2 measured twice on one day")

# --- table 4: samples and field tests -------------------------------------------

samples = []


def sample(point_id, sam_id, when, matrix, source, depth, tests=None, comments=""):
    row = {"FAC_ID": FACILITY, "POINT_ID": point_id, "SAM_ID": sam_id, "SAM_DATE": when,
           "MATRIX": matrix, "SAM_SOURCE": source, "DEPTH_BLS": depth, "F_CONTRACT": CONTRACT,
           "F_COMMENTS": comments}
    row.update({k: None for k in ("FE", "DO", "REDOX", "TURB", "PH", "TEMP", "CONDUCTIVITY")})
    row.update(tests or {})
    samples.append(row)
    return row


def well_tests():
    return {"FE": r2(rng.uniform(50, 2500)), "DO": r2(rng.uniform(0.3, 5.5)),
            "REDOX": r2(rng.uniform(-120, 180)), "TURB": r2(rng.uniform(1, 45)),
            "PH": r2(rng.uniform(5.6, 7.4)), "TEMP": r2(rng.uniform(21, 27)),
            "CONDUCTIVITY": round(rng.uniform(250, 900))}


for w in WELLS[:20]:
    for day in EVENTS:
        when = day + datetime.timedelta(days=rng.randint(0, 3))
        depth = r2((w.top + w.bot) / 2)
        sample(w.point_id, "%s-%s" % (w.point_id, when.strftime("%y%m%d")), when, "Liquid", "MW",
               depth, well_tests())
for n in range(1, 9):
    when = datetime.date(2004, 2, 9 + n)
    for depth in (2, 6, 10):
        sample("SB-%d" % n, "SB-%d-%02d" % (n, depth), when, "Solid", "SB", depth)
for n in (1, 2):
    for day in EVENTS:
        when = day + datetime.timedelta(days=1)
        sample("SW-%d" % n, "SW-%d-%s" % (n, when.strftime("%y%m%d")), when, "Liquid", "SW", 0.5,
               {"DO": r2(rng.uniform(5, 8.5)), "PH": r2(rng.uniform(6.5, 8)),
                "TEMP": r2(rng.uniform(22, 29)), "CONDUCTIVITY": round(rng.uniform(150, 400))})
for day in EVENTS:
    sample("TB-1", "TB-%s" % day.strftime("%y%m%d"), day, "Liquid", "TRIP", None,
           comments="Trip blank")

SAMPLE = {s["SAM_ID"]: s for s in samples}
mw = [s for s in samples if s["SAM_SOURCE"] == "MW"]
mw[17]["PH"] = 3.2
problem(4, "4.0", "%s pH 3.2" % mw[17]["SAM_ID"])
mw[40]["TEMP"] = 12.5
problem(4, "4.1", "%s temperature 12.5 C" % mw[40]["SAM_ID"])
mw[63]["DO"] = 12.4
problem(4, "4.2", "%s dissolved oxygen 12.4 mg/l" % mw[63]["SAM_ID"])
sample("SB-3", "SB-3-GP", datetime.date(2004, 2, 12), "Liquid", "GEOPROBE", 9.5,
       comments="Grab groundwater sample from the boring")
problem(4, "4.4", "SB-3-GP taken from the unknown source GEOPROBE")
SAMPLE["SB-4-10"]["DEPTH_BLS"] = None
problem(4, "4.5", "SB-4-10 soil sample without a depth")
mw[90]["DEPTH_BLS"] = 40
problem(4, "4.8", "%s depth 40 ft, below the screen" % mw[90]["SAM_ID"])
sw = [s for s in samples if s["SAM_SOURCE"] == "SW"]
sw[3]["MATRIX"] = "Water"
problem(4, "4.9", "%s matrix WATER" % sw[3]["SAM_ID"])
mw[120]["SAM_DATE"] = datetime.date(2099, 6, 14)
problem(4, "4.11", "%s dated 2099" % mw[120]["SAM_ID"])
samples.append(dict(mw[150]))
problem(4, "4.15", "%s given twice" % mw[150]["SAM_ID"])

# --- table 5: analytical results ----------------------------------------------

results = []


def result(s, method, name_cas, matrix_units, lab_name, mdl_range):
    name, cas = name_cas
    mdl = round(rng.uniform(*mdl_range), 3)
    roll = rng.random()
    if roll < 0.62:
        conc, q = mdl, "U"
    elif roll < 0.75:
        conc, q = round(mdl * rng.uniform(0.6, 2.5), 3), "J"
    else:
        conc, q = round(mdl * rng.uniform(3, 400), 3), "="
    row = {"FAC_ID": FACILITY, "POINT_ID": s["POINT_ID"], "SAM_ID": s["SAM_ID"], "METHOD": method,
           "CAS_NUMBER": "NA" if cas.startswith("NA") else cas, "CONT_NAME": name, "CONC": conc,
           "UNITS": matrix_units, "LAB_Q": q, "MDL": mdl, "A_COMMENTS": "",
           "A_LABORATORY": lab_name}
    results.append(row)
    return row


for s in samples[:-1]:  # the duplicated sample row has no results of its own
    source, solid = s["SAM_SOURCE"], s["MATRIX"] == "Solid"
    if source == "GEOPROBE":
        continue
    for a in VOCS:
        result(s, "8260B", a, "ug/kg" if solid else "ug/l", SOIL_LAB if solid else ORGANIC_LAB,
               (0.5, 2))
    if source == "TRIP":
        continue
    for a in METALS:
        result(s, "6010B", a, "mg/kg" if solid else "mg/l", METALS_LAB, (0.002, 0.02))
    result(s, "7471A" if solid else "7470A", MERCURY, "mg/kg" if solid else "mg/l", METALS_LAB,
           (0.0002, 0.001))
    for a in PAHS:
        result(s, "8270C", a, "ug/kg" if solid else "ug/l", SOIL_LAB if solid else ORGANIC_LAB,
               (0.1, 0.5))
    if solid:
        result(s, "FL-PRO", TRPH, "mg/kg", SOIL_LAB, (5, 10))

sw_results = [r for r in results if r["SAM_ID"] == sw[5]["SAM_ID"]]
for r in sw_results:
    r["A_LABORATORY"] = "Quick Turn Labs LLC"
problem(5, "5.0", "%s analysed by Quick Turn Labs LLC, not in the laboratory list" % sw[5]["SAM_ID"])
mw_results = [r for r in results if r["SAM_ID"].startswith("MW")]
for r in mw_results[100:103]:
    r["UNITS"] = ""
problem(5, "5.1", "three results without units")
for r in mw_results[200:202]:
    r["MDL"] = None
problem(5, "5.2", "two results without a detection limit")
mw_results[300]["METHOD"] = "  "
problem(5, "5.3", "a result whose method is blank")
benzene = [r for r in mw_results if r["CONT_NAME"] == "Benzene"]
for r in benzene[5:7]:
    r["CONT_NAME"] = "Benzine"
problem(5, "5.4", "two results for the misspelt contaminant Benzine")
toluene = [r for r in mw_results if r["CONT_NAME"] == "Toluene"]
for r in toluene[10:14]:
    r["CAS_NUMBER"] = "108-88-8"
problem(5, "5.5", "four Toluene results with CAS 108-88-8")
detects = [r for r in mw_results if r["LAB_Q"] == "="]
for r in detects[0:120]:
    r["LAB_Q"] = ""
problem(5, "5.6", "120 detected results without a qualifier (more than 100: the record-count question)")
for r in detects[130:132]:
    r["MDL"] = round(r["CONC"] * 2, 3)
problem(5, "5.7", "two results whose detection limit is above the concentration")
nd = [r for r in mw_results if r["LAB_Q"] == "U"]
for r in nd[50:53]:
    r["CONC"] = round(r["MDL"] / 2, 4)
problem(5, "5.8", "three non-detects at half their detection limit (listed by 5.7 too)")
soil = [r for r in results if r["SAM_ID"] == "SB-2-06" and r["METHOD"] == "6010B"]
for r in soil[:2]:
    r["UNITS"] = "mg/l"
problem(5, "5.9", "two soil results of SB-2-06 in mg/l")
for r in mw_results[500:502]:
    r["A_LABORATORY"] = ""
problem(5, "5.10", "two results without a laboratory")
for r in mw_results[600:603]:
    r["CONC"] = None
problem(5, "5.11", "three results without a concentration")
ghost = dict(mw_results[700])
ghost["SAM_ID"] = ghost["POINT_ID"] + "-050230"
results.append(ghost)
problem(5, "5.12", "a result for sample %s, which table 4 does not hold" % ghost["SAM_ID"])
results.append(dict(mw_results[800]))
problem(5, "5.13", "a result reported twice")

# --- writing ----------------------------------------------------------------------

DATE = xlwt.easyxf(num_format_str="M/D/YYYY")
HEAD = xlwt.easyxf("font: bold on")


def write(table, title, rows):
    fields = STRUCTURE["TEMP_%d" % table]
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet(title)
    for c, f in enumerate(fields):
        sheet.write(0, c, f, HEAD)
    for r, row in enumerate(rows, start=1):
        for c, f in enumerate(fields):
            v = row.get(f)
            if v is None or v == "":
                continue
            if isinstance(v, datetime.date):
                sheet.write(r, c, v, DATE)
            else:
                sheet.write(r, c, v)
    name = "%s_%d.xls" % (FACILITY, table)
    book.save(os.path.join(HERE, name))
    return name, len(rows)


written = [
    write(1, "Sample Location", [p.row for p in points]),
    write(2, "Well Data", [w.row for w in WELLS]),
    write(3, "Water Level", levels),
    write(4, "Field Data", samples),
    write(5, "Analytical Data", results),
]
for name, count in written:
    print("%s: %d rows" % (name, count))
for table, check, what in PROBLEMS:
    print("  table %d, check %s: %s" % (table, check, what))
