// The least a whole-page protection does, in Node.js as a whole process: read a page as UTF-8 text, escape()
// it into one writer call and write the result.
// Usage: node bench/escape-file-node.js PAGE OUTPUT
'use strict';
const fs = require('fs');
const [page, output] = process.argv.slice(2);
if (!page || !output) {
  console.error('usage: node bench/escape-file-node.js PAGE OUTPUT');
  process.exit(2);
}
const text = fs.readFileSync(page, 'utf8');
const call = '<SCRIPT LANGUAGE=\'JavaScript\'><!--\r\nqv_d00(unescape("' + escape(text) + '"));//--></SCRIPT>';
fs.writeFileSync(output, call, 'latin1');
