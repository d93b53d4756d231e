#!/usr/bin/python3
"""Writes a Table 5 workbook of N data rows (default 65,535: a full .xls sheet
with its header) for the reading benchmark, with xlwt.
    /usr/bin/python3 bench/make_bench_xls.py OUT.xls [ROWS]
"""
import datetime
import sys

import xlwt

HEADERS = ['FAC_ID', 'POINT_ID', 'SAM_ID', 'METHOD', 'CAS_NUMBER', 'CONT_NAME', 'CONC', 'UNITS',
           'LAB_Q', 'MDL', 'ANA_DATE', 'a_COMMENTS', 'A_LABORATORY']
ANALYTES = [('71-43-2', 'Benzene'), ('108-88-3', 'Toluene'), ('100-41-4', 'Ethylbenzene'),
            ('1330-20-7', 'Xylenes'), ('79-01-6', 'Trichloroethene'), ('127-18-4', 'Tetrachloroethene')]


def main():
    out = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 65535
    wb = xlwt.Workbook(encoding='utf-8')
    ws = wb.add_sheet('Table5')
    date = xlwt.easyxf(num_format_str='M/D/YY')
    for c, h in enumerate(HEADERS):
        ws.write(0, c, h)
    start = datetime.date(2020, 1, 1)
    for i in range(rows):
        r = i + 1
        cas, name = ANALYTES[i % len(ANALYTES)]
        ws.write(r, 0, '1234567')
        ws.write(r, 1, 'MW-%d' % (i % 40 + 1))
        ws.write(r, 2, 'S-%05d' % (i // 6))
        ws.write(r, 3, '8260B')
        ws.write(r, 4, cas)
        ws.write(r, 5, name)
        ws.write(r, 6, (i % 997) / 1000.0)
        ws.write(r, 7, 'mg/L')
        if i % 5 == 0:
            ws.write(r, 8, 'U')
        ws.write(r, 9, 0.001)
        ws.write(r, 10, start + datetime.timedelta(days=i % 700), date)
        if i % 50 == 0:
            ws.write(r, 11, 'duplicate sample')
        ws.write(r, 12, 'Lab %d' % (i % 3))
        if r % 5000 == 0:
            ws.flush_row_data()
    wb.save(out)


if __name__ == '__main__':
    main()
