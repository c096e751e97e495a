#!/usr/bin/python3
"""Writes a few small .xlsx seeds for the xlsx fuzz target with python3-openpyxl.

Run by hand (CI does not run it): /usr/bin/python3 fuzz/make-xlsx-seeds.py
"""
import datetime
import os

import openpyxl

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus', 'xlsx_fuzz')


def design(book, title, name):
    sheet = book.create_sheet(title)
    sheet['B3'] = 'テーブル名'
    sheet['C3'] = name
    for col, text in zip('DEFGHI', ['フィールド名', '型', 'サイズ', '主キー', '備考', 'NULL']):
        sheet[col + '5'] = text
    sheet['D6'], sheet['E6'], sheet['F6'], sheet['G6'] = 'ID', 'int', 4, '○'
    sheet['D7'], sheet['E7'], sheet['F7'], sheet['I7'] = '名前', 'varchar', 50, '○'
    return sheet


def main():
    book = openpyxl.Workbook()
    book.remove(book.active)
    design(book, '顧客', '顧客')
    book.save(os.path.join(OUT, 'seed-design.xlsx'))

    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = '値'
    sheet['A1'] = 10
    sheet['B1'] = 1.5
    sheet['C1'] = True
    sheet['D1'] = datetime.datetime(2024, 1, 1, 12, 0, 0)
    sheet['E1'] = '=A1*2'
    sheet['F1'] = '文字列 '
    sheet['A2'] = datetime.date(2024, 1, 1)
    sheet['A2'].number_format = 'yyyy/mm/dd'
    hidden = book.create_sheet('隠し')
    hidden.sheet_state = 'hidden'
    hidden['C3'] = 'hidden'
    book.save(os.path.join(OUT, 'seed-values.xlsx'))


if __name__ == '__main__':
    main()
