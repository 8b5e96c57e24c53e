// node peers.js sheetjs|exceljs FILE: reads the file with the peer and turns it into orders
// the way our import does (header row found by the address pattern, then order number and
// region + address per row, text cells only); prints the milliseconds and the order count.
const XLSX = require('xlsx');
const ExcelJS = require('exceljs');

const [peer, file] = process.argv.slice(2);
const addressRe = /(收[件货]|详细)(地址|信息)|地址/i;
const orderRe = /订单号|订单编号|原始单号|来源单号/i;
const regionRe = /地区|省市区/i;

function ordersOf(rows) {  // rows: arrays of cell values (strings for text cells)
  const cols = {};
  let header = -1;
  for (let r = 0; r < rows.length && header < 0; r++) {
    (rows[r] || []).forEach((v, c) => {
      if (typeof v !== 'string') return;
      if (regionRe.test(v)) cols.region = c;
      if (addressRe.test(v)) cols.address = c;
      if (orderRe.test(v)) cols.order = c;
    });
    if (cols.address !== undefined) header = r;
  }
  const orders = [];
  for (let r = header + 1; r < rows.length; r++) {
    const row = rows[r] || [];
    const text = (c) => (c !== undefined && typeof row[c] === 'string' ? row[c] : '');
    const address = text(cols.region) + text(cols.address);
    if (address) orders.push([text(cols.order), address]);
  }
  return orders;
}

(async () => {
  const start = process.hrtime.bigint();
  let rows;
  if (peer === 'sheetjs') {
    const book = XLSX.readFile(file, { dense: true });
    rows = XLSX.utils.sheet_to_json(book.Sheets[book.SheetNames[0]], { header: 1, raw: true, defval: null });
  } else {
    const book = new ExcelJS.Workbook();
    if (file.endsWith('.csv')) await book.csv.readFile(file);
    else await book.xlsx.readFile(file);
    rows = [];
    book.worksheets[0].eachRow({ includeEmpty: true }, (row, n) => {
      rows[n - 1] = row.values.slice(1).map((v) => (v && v.richText ? v.richText.map((t) => t.text).join('') : v));
    });
  }
  const orders = ordersOf(rows);
  const ms = Number(process.hrtime.bigint() - start) / 1e6;
  console.log(`${ms.toFixed(1)} ${orders.length}`);
})();
