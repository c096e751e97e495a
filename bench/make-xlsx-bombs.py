#!/usr/bin/python3
"""Writes the .xlsx files that push the reader's memory hardest while staying under its limits.

  strings-bomb.xlsx  sharedStrings.xml inflates to 250 MB of <si/> (about 380 KB on disk)
  worst-case.xlsx    256 MiB of <si/> plus a worksheet part of 256 MiB (the per-part limit)

Run by hand: /usr/bin/python3 bench/make-xlsx-bombs.py OUTDIR, then
  /usr/bin/time -v morvane-batch --list OUTDIR/strings-bomb.xlsx   (Maximum resident set size)
"""
import os
import sys
import zipfile

MAIN = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
PKG = 'http://schemas.openxmlformats.org/package/2006/relationships'
LIMIT = 256 << 20


def rel(rid, kind, target):
    return f'<Relationship Id="{rid}" Type="{REL}/{kind}" Target="{target}"/>'


def write(path, strings_size, sheet_size):
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr('[Content_Types].xml', '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>')
        z.writestr('_rels/.rels', f'<Relationships xmlns="{PKG}">{rel("rId1", "officeDocument", "xl/workbook.xml")}</Relationships>')
        z.writestr('xl/workbook.xml', f'<workbook xmlns="{MAIN}" xmlns:r="{REL}"><sheets>'
                   '<sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>')
        z.writestr('xl/_rels/workbook.xml.rels', f'<Relationships xmlns="{PKG}">' + rel('rId1', 'worksheet', 'worksheets/sheet1.xml') +
                   rel('rId2', 'sharedStrings', 'sharedStrings.xml') + '</Relationships>')
        head, tail = f'<sst xmlns="{MAIN}">', '</sst>'
        with z.open('xl/sharedStrings.xml', 'w', force_zip64=True) as part:
            part.write(head.encode())
            count = (strings_size - len(head) - len(tail)) // 5
            chunk = b'<si/>' * 100000
            for _ in range(count // 100000):
                part.write(chunk)
            part.write(b'<si/>' * (count % 100000))
            part.write(tail.encode())
        # A sheet whose first cell refers to a string, then blanks up to the size asked for.
        head = f'<worksheet xmlns="{MAIN}"><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c></row>'
        tail = '</sheetData></worksheet>'
        with z.open('xl/worksheets/sheet1.xml', 'w', force_zip64=True) as part:
            part.write(head.encode())
            left = max(sheet_size - len(head) - len(tail), 0)
            blank = b' ' * (1 << 20)
            while left > 0:
                part.write(blank[:min(left, len(blank))])
                left -= len(blank)
            part.write(tail.encode())


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else '.'
    os.makedirs(out, exist_ok=True)
    write(os.path.join(out, 'strings-bomb.xlsx'), 250_000_000, 0)
    write(os.path.join(out, 'worst-case.xlsx'), LIMIT, LIMIT)


if __name__ == '__main__':
    main()
