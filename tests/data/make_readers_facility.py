#!/usr/bin/python3
"""Writes the .xls fixtures of the readers' tests with xlwt (python3-xlwt), a
writer independent of our code:

  tests/data/readers_facility.xls       a small Table 5 sheet with sparse and
                                        empty cells, text in several scripts,
                                        numbers, dates from built-in and custom
                                        formats, booleans, errors, a formula and
                                        strings long enough to continue across
                                        SST records
  tests/data/readers_facility_1904.xls  dates in the 1904 date system

tests/readers/workbook_reader_test.cpp builds the same cells as .xlsx and
expects the same rows from both. Run from the repository root:
    /usr/bin/python3 tests/data/make_readers_facility.py
"""
import datetime

import xlwt

HEADERS = ['FAC_ID', 'POINT_ID', 'SAM_ID', 'METHOD', 'CAS_NUMBER', 'CONT_NAME', 'CONC', 'UNITS',
           'LAB_Q', 'MDL', 'SAM_DATE', 'a_COMMENTS', 'A_LABORATORY']

# The long texts make the string table run past one record (8224 bytes).
LONG_LATIN = 'Groundwater sample, duplicate of S-001; ' * 150
LONG_GREEK = 'Ω≈µ' * 1800


def facility():
    wb = xlwt.Workbook(encoding='utf-8')
    ws = wb.add_sheet('Table5')
    date = xlwt.easyxf(num_format_str='M/D/YY')
    stamp = xlwt.easyxf(num_format_str='yyyy-mm-dd hh:mm')
    two = xlwt.easyxf(num_format_str='0.00')
    for c, h in enumerate(HEADERS):
        ws.write(0, c, h)
    ws.write(1, 0, '1234567')
    ws.write(1, 1, 'MW-1')
    ws.write(1, 2, 'S-001')
    ws.write(1, 3, '8260B')
    ws.write(1, 4, '71-43-2')
    ws.write(1, 5, 'Benzene')
    ws.write(1, 6, 0.005)
    ws.write(1, 7, 'mg/L')
    ws.write(1, 9, 0.001)
    ws.write(1, 10, datetime.date(2021, 3, 15), date)
    ws.write(1, 11, 'Müller: Probe trüb')
    ws.write(1, 12, 'Ωmega Labs 日本')
    # Row 3 stays empty; row 4 is sparse.
    ws.write(3, 0, '1234567')
    ws.write(3, 6, 1234.5, two)
    ws.write(3, 10, datetime.datetime(2021, 3, 15, 18, 30), stamp)
    ws.write(4, 0, '1234567')
    ws.write(4, 1, True)
    ws.write(4, 2, False)
    ws.row(4).set_cell_error(3, 0x2A)  # #N/A (numeric: xlwt's names are off)
    ws.row(4).set_cell_error(4, 0x07)  # #DIV/0!
    ws.write(4, 5, xlwt.Formula('G2*1000'))
    ws.write(4, 6, -42)
    ws.write(4, 7, 1e-7)
    ws.write(4, 8, 123456789012345678)
    ws.write(5, 11, LONG_LATIN)
    ws.write(5, 12, LONG_GREEK)
    ws.write(6, 11, LONG_LATIN)  # shared: the same string again
    wb.save('tests/data/readers_facility.xls')


def facility_1904():
    wb = xlwt.Workbook(encoding='utf-8')
    wb.dates_1904 = True
    ws = wb.add_sheet('Dates')
    date = xlwt.easyxf(num_format_str='M/D/YY')
    ws.write(0, 0, 'SAM_DATE')
    ws.write(1, 0, datetime.date(2021, 3, 15), date)
    ws.write(2, 0, datetime.date(1904, 1, 1), date)
    wb.save('tests/data/readers_facility_1904.xls')


if __name__ == '__main__':
    facility()
    facility_1904()
