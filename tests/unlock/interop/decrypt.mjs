// Pages encrypted by the C++ side, opened with the decryption code of the unlock page's script (its module
// core.js, imported), under Node.js's WebCrypto: the decrypted bytes must be the protected page byte for byte, and
// its text must be the text the C++ side reads from those bytes. Each page must carry the script as the build
// joined it.
//
//   node decrypt.mjs --tool ENCRYPT_PAGES --script JOINED_SCRIPT --work DIR
import { execFileSync } from 'node:child_process';
import { webcrypto } from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { core } from '../../../src/unlock/core.js';

// Node.js 18 has WebCrypto as a module only; the script uses the global a browser has.
if (!globalThis.crypto?.subtle) {
    globalThis.crypto = webcrypto;
}

const kSkipped = 77;
const major = Number(process.versions.node.split('.')[0]);
if (major < 18) {
    console.log(`Node.js ${process.versions.node} is older than 18: skipped`);
    process.exit(kSkipped);
}

function argument(name) {
    const i = process.argv.indexOf(name);
    if (i < 0 || i + 1 >= process.argv.length) {
        throw new Error(`${name} is missing`);
    }
    return process.argv[i + 1];
}

const tool = argument('--tool');
const work = argument('--work');
const joinedScript = fs.readFileSync(argument('--script'), 'latin1');

// The password as typed: a decomposed "é" (the browser side gets it composed), quotes, a backslash, a
// character outside the BMP. Both sides must normalise it to NFC.
const typedPassword = 'Sche\u0301ma "q" \'s\' \\ \u{1F511}';
const browserPassword = typedPassword.normalize('NFC');
const notice = '\u00A9 2024 Caf\u00E9 --> notice';
const pageWords = ['Bakery', 'Gr\u00FC\u00DFe', 'croissant', '\u65E5\u672C\u8A9E', 'na\u00EFve'];

const utf8 = (text) => Buffer.from(text, 'utf8');
const latin = (bytes) => Buffer.from(bytes);
const utf16 = (text, bigEndian) => {
    const le = Buffer.from('\uFEFF' + text, 'utf16le');
    return bigEndian ? le.swap16() : le;
};

const body = '<body><h1>Bakery</h1><p>Gr\u00FC\u00DFe, na\u00EFve \u{1D11E} croissant \u65E5\u672C\u8A9E</p></body></html>\n';
const samples = {
    'utf8.html': utf8(`<!DOCTYPE html><html><head><meta charset="utf-8"><title>Caf\u00E9 &amp; \u2713</title></head>${body}`),
    'utf8-bom.html': utf8(`\uFEFF<html><head><title>Gr\u00FC\u00DFe</title></head>${body}`),
    'utf8-undeclared.html': utf8(`<html><head><title>Na\u00EFve</title></head>${body}`),
    // "Gr\xFC\xDFe" with the euro sign and curly quotes, which Windows-1252 puts at 0x80 to 0x9F.
    'windows-1252.htm': latin([...Buffer.from('<html><head><meta charset="windows-1252"><title>Caf'), 0xE9, 0x20, 0x80,
        ...Buffer.from('</title></head><body><h1>Bakery</h1><p>Gr'), 0xFC, 0xDF, ...Buffer.from('e, na'), 0xEF,
        ...Buffer.from('ve '), 0x93, ...Buffer.from('croissant'), 0x94, ...Buffer.from('</p></body></html>\n')]),
    'latin1-undeclared.htm': latin([...Buffer.from('<html><head><title>Men'), 0xFC,
        ...Buffer.from('</title></head><body><h1>Bakery</h1><p>Gr'), 0xFC, 0xDF,
        ...Buffer.from('e croissant</p></body></html>\n')]),
    // 日本語 and 表 (whose second byte is a backslash), and a half-width katakana.
    'shift-jis.html': latin([...Buffer.from('<html><head><meta http-equiv="Content-Type" content="text/html; ' +
        'charset=Shift_JIS"><title>'), 0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA, ...Buffer.from('</title></head><body>' +
        '<h1>Bakery</h1><p>'), 0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA, 0x95, 0x5C, 0xB6,
        ...Buffer.from(' croissant</p></body></html>\n')]),
    'utf16le.html': utf16(`<html><head><title>\u65E5\u672C\u8A9E</title></head>${body}`, false),
    'utf16be.html': utf16(`<html><head><title>Gr\u00FC\u00DFe</title></head>${body}`, true),
};
const expectedTitles = {
    'utf8.html': 'Caf&#233; &amp; &#10003;',
    'utf8-bom.html': 'Gr&#252;&#223;e',
    'utf8-undeclared.html': 'Na&#239;ve',
    'windows-1252.htm': 'Caf&#233; &#8364;',
    'latin1-undeclared.htm': 'Men&#252;',
    'shift-jis.html': '&#26085;&#26412;&#35486;',
    'utf16le.html': '&#26085;&#26412;&#35486;',
    'utf16be.html': 'Gr&#252;&#223;e',
};
const expectedLabels = {
    'utf8.html': 'utf-8', 'utf8-bom.html': 'utf-8', 'utf8-undeclared.html': 'utf-8',
    'windows-1252.htm': 'windows-1252', 'latin1-undeclared.htm': 'windows-1252', 'shift-jis.html': 'shift_jis',
    'utf16le.html': 'utf-16le', 'utf16be.html': 'utf-16be',
};

// The notice in each page's own set: Shift_JIS has neither the copyright sign nor the accent.
const expectedNotices = { 'shift-jis.html': '&#169; 2024 Caf&#233; -- > notice' };

// Some Node.js versions read windows-1252 as ISO-8859-1 (0x80 to 0x9F as C1 controls), as browsers do not;
// there the text of windows-1252 pages cannot be compared, only their bytes.
const windows1252Misread = new TextDecoder('windows-1252').decode(Uint8Array.of(0x80)) !== '\u20AC';
if (windows1252Misread) {
    console.log(`Node.js ${process.versions.node} reads windows-1252 as ISO-8859-1: text of windows-1252 pages not compared`);
}

const failures = [];
function check(condition, what) {
    if (!condition) {
        failures.push(what);
        console.log(`FAIL ${what}`);
    }
}

/// The script the unlock page runs: the text of its last script element.
function scriptOf(unlockText) {
    const begin = unlockText.lastIndexOf('<script>') + '<script>'.length;
    return unlockText.slice(begin, unlockText.indexOf('</script>', begin));
}

/// The unlock page as text, in the set its byte-order mark names, else as bytes (its own data is ASCII).
function sniffed(bytes) {
    if (bytes[0] === 0xFF && bytes[1] === 0xFE) {
        return new TextDecoder('utf-16le').decode(bytes);
    }
    if (bytes[0] === 0xFE && bytes[1] === 0xFF) {
        return new TextDecoder('utf-16be').decode(bytes);
    }
    return bytes.toString('latin1');
}

function dataOf(unlockText) {
    const match = /<script type="application\/json" id="qv-data">(.*?)<\/script>/s.exec(unlockText);
    if (!match) {
        throw new Error('the unlock page carries no data');
    }
    return JSON.parse(match[1]);
}

fs.rmSync(work, { recursive: true, force: true });
const pages = path.join(work, 'pages');
const out = path.join(work, 'out');
fs.mkdirSync(pages, { recursive: true });
for (const [name, bytes] of Object.entries(samples)) {
    fs.writeFileSync(path.join(pages, name), bytes);
}
execFileSync(tool, ['--expect', '--hide', 'body', '--notice', notice, out, pages],
    { env: { ...process.env, QUILLORA_PASSWORD: typedPassword }, stdio: 'inherit' });

let raw = null;
const salts = new Set();
for (const name of Object.keys(samples)) {
    const file = path.join(out, name);
    const unlockBytes = fs.readFileSync(file);
    const data0 = dataOf(sniffed(unlockBytes));
    // The unlock page reads as the page's own set; it is ASCII in all but UTF-16.
    const unlockText = new TextDecoder(data0.label).decode(unlockBytes);
    const data = dataOf(unlockText);
    check(scriptOf(unlockText) === joinedScript, `${name}: the page does not carry the script the build joined`);
    salts.add(data.salt);
    check(data.label === expectedLabels[name], `${name}: label ${data.label}`);
    check(data.iterations === 600000, `${name}: ${data.iterations} iterations`);
    check(unlockText.includes(`<title>${expectedTitles[name]}</title>`), `${name}: title`);
    const noticeText = expectedNotices[name] ?? '\u00A9 2024 Caf\u00E9 -- > notice';
    check(unlockText.startsWith(`<!-- ${noticeText}-->\r\n`), `${name}: notice on top`);
    for (const word of pageWords) {
        check(!unlockText.includes(word), `${name}: "${word}" readable`);
    }
    for (const secret of [typedPassword, browserPassword, 'Sch\u00E9ma']) {
        check(!unlockBytes.includes(utf8(secret)) && !unlockText.includes(secret), `${name}: password readable`);
    }

    if (raw === null) {
        check(Array.isArray(data.slots) && data.slots.length === 1, `${name}: one slot`);
        raw = await core.unwrap(await core.derive(browserPassword, data), data);
        const wrong = await core.derive('Schema "q" \'s\' \\ \u{1F511}', data);
        const refused = await core.unwrap(wrong, data).then(() => false, () => true);
        check(refused, `${name}: a wrong password unwraps the site key`);
    }
    const plain = Buffer.from(await core.decrypt(raw, data));
    const expectedBytes = fs.readFileSync(`${file}.plain`);
    check(plain.equals(expectedBytes), `${name}: decrypted bytes differ from the protected page`);
    const text = core.decode(plain, data);
    const expectedText = fs.readFileSync(`${file}.text`, 'utf8');
    if (!(windows1252Misread && data.label === 'windows-1252')) {
        check(text === expectedText, `${name}: decoded text differs`);
    }
    console.log(`${name}: ${plain.length} bytes, ${data.label}, ${failures.length ? 'checked' : 'ok'}`);
}
check(salts.size === 1, `the pages of one run have ${salts.size} salts`);

// The browser keeps the content key as the unwrap gives it: usable for decryption only, never readable as bytes.
check(raw.extractable === false && raw.usages.join() === 'decrypt', 'the unwrapped key can be read or reused');
const exported = await webcrypto.subtle.exportKey('raw', raw).then(() => true, () => false);
check(!exported, 'the unwrapped key can be exported');

console.log(failures.length ? `${failures.length} failed` : 'all pages decrypted byte for byte');
process.exit(failures.length ? 1 : 0);
