#!/usr/bin/python3
"""Writes the damaged and foreign zip packages the .xlsx reader refuses, and the bent-rule
packages it reads, as seeds for the xlsx fuzz target. Standard library only.

Run by hand (CI does not run it): /usr/bin/python3 fuzz/make-xlsx-damage-seeds.py
"""
import io
import os
import struct
import zipfile
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus', 'xlsx_fuzz')
MAIN = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
REL = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
PKG = 'http://schemas.openxmlformats.org/package/2006/relationships'


def rel(rid, kind, target):
    return f'<Relationship Id="{rid}" Type="{REL}/{kind}" Target="{target}"/>'


def package(sheet_data='<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v/></c></row>',
            strings=f'<sst xmlns="{MAIN}" uniqueCount="1"><si><t>顧客</t></si></sst>', workbook=None,
            sheet_target='worksheets/sheet1.xml'):
    parts = {
        '[Content_Types].xml': '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>',
        '_rels/.rels': f'<Relationships xmlns="{PKG}">{rel("rId1", "officeDocument", "xl/workbook.xml")}</Relationships>',
        'xl/workbook.xml': workbook or (f'<workbook xmlns="{MAIN}" xmlns:r="{REL}"><sheets>'
                                        '<sheet name="表" sheetId="1" r:id="rId1"/></sheets></workbook>'),
        'xl/_rels/workbook.xml.rels': f'<Relationships xmlns="{PKG}">' + rel('rId1', 'worksheet', sheet_target) +
                                      (rel('rId2', 'sharedStrings', 'sharedStrings.xml') if strings is not None else '') +
                                      '</Relationships>',
        'xl/worksheets/sheet1.xml': f'<worksheet xmlns="{MAIN}"><sheetData>{sheet_data}</sheetData></worksheet>',
    }
    if strings is not None:
        parts['xl/sharedStrings.xml'] = strings
    return parts


def zipped(parts, rename=lambda name: name):
    out = io.BytesIO()
    with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
        for name, text in parts.items():
            data = text if isinstance(text, bytes) else text.encode('utf-8')
            z.writestr(zipfile.ZipInfo(rename(name)), data, zipfile.ZIP_DEFLATED)
    return out.getvalue()


def patched(data, entry, field, value):
    """Overwrites a field of the entry's central directory record."""
    at = data.find(b'PK\x01\x02')
    while at >= 0:
        length = struct.unpack_from('<H', data, at + 28)[0]
        if data[at + 46:at + 46 + length] == entry.encode():
            return data[:at + field] + value + data[at + field + len(value):]
        at = data.find(b'PK\x01\x02', at + 4)
    raise KeyError(entry)


def bombs():
    """Shapes that cost memory or time out of proportion to their size: one long shared string
    as the table name of many sheets, deep nesting, many attributes or namespace declarations on
    one element, sheets that name one part."""
    sheets = 30
    long_name = f'<sst xmlns="{MAIN}"><si><t>{"x" * 65536}</t></si></sst>'
    many = package(strings=long_name, sheet_data='<row r="3"><c r="C3" t="s"><v>0</v></c></row>')
    many['xl/workbook.xml'] = (f'<workbook xmlns="{MAIN}" xmlns:r="{REL}"><sheets>' +
                               ''.join(f'<sheet name="s{n}" sheetId="{n}" r:id="rId{n}"/>' for n in range(1, sheets + 1)) +
                               '</sheets></workbook>')
    many['xl/_rels/workbook.xml.rels'] = (f'<Relationships xmlns="{PKG}">' +
                                          ''.join(rel(f'rId{n}', 'worksheet', f'worksheets/sheet{n}.xml')
                                                  for n in range(1, sheets + 1)) +
                                          rel('rIdS', 'sharedStrings', 'sharedStrings.xml') + '</Relationships>')
    for n in range(2, sheets + 1):
        many[f'xl/worksheets/sheet{n}.xml'] = many['xl/worksheets/sheet1.xml']
    shared = package()
    shared['xl/workbook.xml'] = (f'<workbook xmlns="{MAIN}" xmlns:r="{REL}"><sheets><sheet name="a" sheetId="1" r:id="rId1"/>'
                                 '<sheet name="b" sheetId="2" r:id="rId1"/></sheets></workbook>')
    return {
        'bomb-long-name-many-sheets.xlsx': zipped(many),
        'bomb-deep.xlsx': zipped(package(sheet_data='<a>' * 100000)),
        'bomb-attributes.xlsx': zipped(package(sheet_data='<row r="1"' + ''.join(f' a{n}=""' for n in range(5000)) + '/>')),
        'bomb-namespaces.xlsx': zipped(package(sheet_data='<row' + ''.join(f' xmlns:p{n}="u"' for n in range(2000)) + '/>')),
        'bomb-shared-part.xlsx': zipped(shared),
    }


def main():
    os.makedirs(OUT, exist_ok=True)
    sound = zipped(package())
    workbook = package()['xl/workbook.xml'].encode()
    crc, size = zlib.crc32(workbook), len(workbook)
    seeds = {
        'not-a-workbook.zip': zipped({'notes/readme.txt': 'hello'}),
        'spreadsheet.ods': zipped({'mimetype': 'application/vnd.oasis.opendocument.spreadsheet',
                                   'content.xml': '<office:document-content/>'}),
        'binary.xlsb': zipped({'_rels/.rels': f'<Relationships xmlns="{PKG}">'
                                              f'{rel("rId1", "officeDocument", "xl/workbook.bin")}</Relationships>',
                               'xl/workbook.bin': b'\x83\x01\x00'}),
        'bad-crc.xlsx': patched(sound, 'xl/workbook.xml', 16, struct.pack('<I', crc ^ 1)),
        'bad-size.xlsx': patched(sound, 'xl/workbook.xml', 24, struct.pack('<I', size + 3)),
        'encrypted-entry.xlsx': patched(sound, 'xl/workbook.xml', 8, b'\x01\x00'),
        'method-14.xlsx': patched(sound, 'xl/workbook.xml', 10, b'\x0e\x00'),
        'cut-short.xlsx': sound[:len(sound) * 2 // 3],
        'missing-strings.xlsx': zipped({k: v for k, v in package().items() if k != 'xl/sharedStrings.xml'}),
        'malformed.xlsx': zipped(package(sheet_data='<row r="1">\n<c r="A1"><v>1</c></row>')),
        'doctype.xlsx': zipped(package(workbook='<!DOCTYPE workbook [<!ENTITY a "aaaa">]><workbook/>')),
        'entity.xlsx': zipped(package(sheet_data='<row r="1"><c r="A1" t="inlineStr"><is><t>&nbsp;</t></is></c></row>')),
        'string-count.xlsx': zipped(package(strings=f'<sst xmlns="{MAIN}" uniqueCount="400000000"><si/></sst>')),
        'backslashes.xlsx': zipped(package(), lambda name: name.replace('/', '\\') if name.startswith('xl/') else name),
        'letter-case.xlsx': zipped(package(), lambda name: name.upper() if name.startswith('xl/worksheets') else name),
        'absolute-target.xlsx': zipped(package(sheet_target='/xl/worksheets/sheet1.xml', strings=None,
                                               sheet_data='<row r="1"><c r="A1"><v>1</v></c></row>')),
        'strict.xlsx': zipped({k: v.replace(MAIN, 'http://purl.oclc.org/ooxml/spreadsheetml/main')
                               .replace(REL, 'http://purl.oclc.org/ooxml/officeDocument/relationships')
                               for k, v in package().items()}),
        'utf16-sheet.xlsx': zipped({**package(), 'xl/worksheets/sheet1.xml':
                                    f'<worksheet xmlns="{MAIN}"><sheetData><row r="1"><c r="A1" t="inlineStr">'
                                    '<is><t>顧客</t></is></c></row></sheetData></worksheet>'.encode('utf-16')}),
    }
    seeds.update(bombs())
    for name, data in seeds.items():
        with open(os.path.join(OUT, 'damage-' + name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
