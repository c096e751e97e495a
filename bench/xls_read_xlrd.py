#!/usr/bin/python3
"""python3-xlrd reading the same cells as BM_ReadXlsDesignDocument, for comparison.

Run by hand after morvane-bench has written the workbook:
    /usr/bin/python3 bench/xls_read_xlrd.py /tmp/morvane-bench-300x99.xls
"""
import resource
import sys
import time

import xlrd


def cell_text(sheet, row, col):
    if row >= sheet.nrows or col >= sheet.ncols:
        return ''
    cell = sheet.cell(row, col)
    if cell.ctype == xlrd.XL_CELL_NUMBER:
        return ('%.15g' % cell.value)
    return str(cell.value)


def read(path):
    book = xlrd.open_workbook(path, on_demand=True)
    tables = []
    for index in range(book.nsheets):
        sheet = book.sheet_by_index(index)
        name = cell_text(sheet, 0, 9)
        if name.strip():
            fields = []
            for row in range(0, 99):
                field = [cell_text(sheet, row, col) for col in (3, 4, 5, 6, 8)]
                if not field[0].strip():
                    break
                fields.append(field)
            tables.append((name, fields))
        book.unload_sheet(index)
    return tables


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else '/tmp/morvane-bench-300x99.xls'
    runs, cpu = [], []
    for _ in range(3):
        start, start_cpu = time.perf_counter(), time.process_time()
        tables = read(path)
        runs.append((time.perf_counter() - start) * 1000)
        cpu.append((time.process_time() - start_cpu) * 1000)
    fields = sum(len(fields) for _, fields in tables)
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
    print('xlrd %s: %d tables, %d fields, best %.0f ms (CPU %.0f ms), peak RSS %.0f MB'
          % (xlrd.__VERSION__, len(tables), fields, min(runs), min(cpu), peak))


if __name__ == '__main__':
    main()
