// SheetJS (npm "xlsx") reading the cells the design-document reader reads, for
// bench/compare_peers.py: node bench/sheetjs_read.cjs FILE NAME_ROW NAME_COL FIRST_ROW FIELD_COL...
// (1-based, as in --layout-values). Needs `npm install --prefix bench xlsx`.
const path = require("path");
const XLSX = require(path.join(__dirname, "node_modules", "xlsx"));

const [file, nameRow, nameCol, firstRow, ...fieldCols] = process.argv.slice(2);
const at = (sheet, row, col) => {
  const cell = sheet[XLSX.utils.encode_cell({ r: row - 1, c: col - 1 })];
  return cell === undefined || cell.v === undefined ? "" : String(cell.v);
};
const blank = (text) => text.replace(/^[ \u3000]+|[ \u3000]+$/g, "") === "";

const book = XLSX.readFile(file);
let tables = 0;
let fields = 0;
for (const name of book.SheetNames) {
  const sheet = book.Sheets[name];
  if (blank(at(sheet, +nameRow, +nameCol))) continue;
  tables += 1;
  for (let row = +firstRow; row <= 99; row++) {
    const values = fieldCols.map((col) => at(sheet, row, +col));
    if (blank(values[0])) break;
    fields += 1;
  }
}
console.log(`sheetjs ${XLSX.version}: ${tables} tables, ${fields} fields`);
