#!/usr/bin/python3
"""Times python3-openpyxl (read-only mode) and python3-xlrd reading the cells the design-document
reader reads: C3 and, while the field name is not blank, rows 6..99 of columns D..I of every sheet.
Run by hand beside morvane-bench, on a workbook it kept:

    MORVANE_BENCH_DIR=/tmp/morvane-bench build-bench/bench/morvane-bench
    /usr/bin/python3 bench/compare_python_readers.py /tmp/morvane-bench/bench-300.xlsx

Each reader runs in its own process, so each peak memory figure is its own.
"""
import resource
import subprocess
import sys
import time

BLANKS = " \u3000"


def is_blank(value):
    return value is None or str(value).strip(BLANKS) == ""


def with_openpyxl(path):
    import openpyxl

    book = openpyxl.load_workbook(path, read_only=True, data_only=True)
    tables = 0
    for sheet in book.worksheets:
        if is_blank(sheet.cell(3, 3).value):
            continue
        tables += 1
        for row in sheet.iter_rows(min_row=6, max_row=99, min_col=4, max_col=9, values_only=True):
            if is_blank(row[0]):
                break
    book.close()
    return tables


def with_xlrd(path):
    import xlrd

    book = xlrd.open_workbook(path, on_demand=True)
    tables = 0
    for index in range(book.nsheets):
        sheet = book.sheet_by_index(index)
        cell = lambda r, c: sheet.cell_value(r - 1, c - 1) if r <= sheet.nrows and c <= sheet.ncols else None
        if not is_blank(cell(3, 3)):
            tables += 1
            for r in range(6, 100):
                if is_blank(cell(r, 4)):
                    break
                [cell(r, c) for c in range(5, 10)]
        book.unload_sheet(index)
    return tables


READERS = {"openpyxl": with_openpyxl, "xlrd": with_xlrd}


def run_one(name, path):
    try:
        start, start_cpu = time.perf_counter(), time.process_time()
        tables = READERS[name](path)
        elapsed = (time.perf_counter() - start) * 1000
        cpu = (time.process_time() - start_cpu) * 1000
    except Exception as error:  # xlrd 2 reads only .xls
        print(f"{name}: cannot read {path}: {error}")
        return
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
    print(f"{name}: {tables} tables in {elapsed:.0f} ms ({cpu:.0f} ms CPU), peak memory {peak:.1f} MiB")


def main():
    if len(sys.argv) == 3 and sys.argv[1] in READERS:
        run_one(sys.argv[1], sys.argv[2])
    elif len(sys.argv) == 2:
        for name in READERS:
            subprocess.run([sys.executable, __file__, name, sys.argv[1]], check=False)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
