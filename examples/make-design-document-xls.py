#!/usr/bin/python3
"""Writes examples/design-document.xls from examples/design-document.json with python3-xlwt.

Run by hand after changing the description (CI does not run it):
    /usr/bin/python3 examples/make-design-document-xls.py
"""
import json
import os

import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))


def column(letters):
    index = 0
    for letter in letters:
        index = index * 26 + ord(letter) - ord('A') + 1
    return index - 1


def cell(reference):
    letters = reference.rstrip('0123456789')
    return int(reference[len(letters):]) - 1, column(letters)


def main():
    with open(os.path.join(HERE, 'design-document.json'), encoding='utf-8') as source:
        doc = json.load(source)
    book = xlwt.Workbook(encoding='utf-8')
    heading_row = doc['headings']['row'] - 1
    field_columns = [column(letters) for letters in doc['fieldColumns']]
    for sheet_doc in doc['sheets']:
        sheet = book.add_sheet(sheet_doc['sheet'])
        sheet.write(2, 1, 'テーブル名')
        if sheet_doc['table']:
            sheet.write(2, 2, sheet_doc['table'])
        if sheet_doc.get('tableLogicalName'):
            sheet.write(2, 3, '論理名')
            sheet.write(2, 4, sheet_doc['tableLogicalName'])
        for letters, text in doc['headings']['cells'].items():
            sheet.write(heading_row, column(letters), text)
        for offset, field in enumerate(sheet_doc.get('fields', [])):
            for col, value in zip(field_columns, field):
                if value != '':
                    sheet.write(heading_row + 1 + offset, col, value)
        for reference, text in sheet_doc.get('extra', {}).items():
            row, col = cell(reference)
            sheet.write(row, col, text)
    book.save(os.path.join(HERE, 'design-document.xls'))


if __name__ == '__main__':
    main()
