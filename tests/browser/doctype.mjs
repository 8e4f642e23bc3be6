// The leading DOCTYPE as browsers find it, in Chromium and in Firefox: a page may begin with blanks, form feeds,
// comments or processing instructions and still be in standards mode, and its protected form, in every mode, must
// be in the same mode as the original. The starts and the modes browsers give them are the table of the engine's
// own test of the rule (tests/engine/DoctypeTest.cpp); pages load as files.
//
//   node tests/browser/doctype.mjs --cli QUILLORA_CLI --out DIR
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { kEngines, launchBrowser } from './lib/browser.mjs';
import { argument } from './lib/options.mjs';

const kSkipped = 77;
const cli = argument('--cli');
const out = path.resolve(argument('--out'));

// What stands before "<!DOCTYPE html>", and whether the browser keeps standards mode.
const kStarts = {
    'nothing': ['', true],
    'blanks': [' \t\r\n', true],
    'form-feed': ['\f', true],
    'comment': ['<!-- saved from url=(0014)about:internet -->\n', true],
    'two-comments': ['<!-- a --> <!-- b -->\n', true],
    'comment-closed-by-bang': ['<!-- a --!>', true],
    'abrupt-comment': ['<!-->', true],
    'processing-instruction': ['<?xml version="1.0"?>\n', true],
    'bogus-bang': ['<!x>', true],
    'bogus-end-tag': ['</ x>', true],
    'text': ['x', false],
    'end-tag': ['</p>', false],
    'unclosed-comment': ['<!-- never closed ', false],
    'no-break-space': ['\u00A0', false],
};
// A page with a head, and one without html and head tags, where the protection makes them.
const kRests = {
    whole: '<!DOCTYPE html><html><head><title>t</title></head><body><table><tr><td><a href="a.html">cell</a>' +
        '</td></tr></table></body></html>',
    bare: '<!DOCTYPE html><table><tr><td><a href="a.html">cell</a></td></tr></table>',
};
const kModes = ['email-links', 'links', 'body', 'page'];

fs.rmSync(out, { recursive: true, force: true });
const originals = path.join(out, 'pages');
fs.mkdirSync(originals, { recursive: true });
const pages = [];
for (const [start, [before]] of Object.entries(kStarts)) {
    for (const [kind, rest] of Object.entries(kRests)) {
        const name = `${start}-${kind}.html`;
        fs.writeFileSync(path.join(originals, name), before + rest, 'utf8');
        pages.push({ name, start });
    }
}
for (const mode of kModes) {
    execFileSync(cli, ['--quiet', '--hide', mode, '--no-right-click', '--copy-to', path.join(out, mode), originals]);
}

async function modeOf(page, file) {
    await page.goto(pathToFileURL(file).href, { waitUntil: 'load' });
    return (await page.evaluate(() => document.compatMode)) === 'CSS1Compat' ? 'standards' : 'quirks';
}

let failures = 0;
let engines = 0;
for (const engine of kEngines) {
    const { browser, reason } = await launchBrowser(engine);
    if (!browser) {
        console.log(`${engine}: skipped, ${reason}`);
        continue;
    }
    engines++;
    try {
        const tab = await browser.newPage();
        for (const { name, start } of pages) {
            const original = await modeOf(tab, path.join(originals, name));
            const expected = kStarts[start][1] ? 'standards' : 'quirks';
            const wrong = [];
            if (original !== expected) {
                wrong.push(`the original is in ${original} mode, not ${expected}`);
            }
            for (const mode of kModes) {
                const protectedMode = await modeOf(tab, path.join(out, mode, name));
                if (protectedMode !== original) {
                    wrong.push(`${mode}: ${protectedMode}`);
                }
            }
            failures += wrong.length ? 1 : 0;
            console.log(`${wrong.length ? 'FAIL' : 'ok  '} ${engine.padEnd(8)} ${name.padEnd(34)} ${original}` +
                (wrong.length ? `; ${wrong.join(', ')}` : ''));
        }
    } finally {
        await browser.close();
    }
}
if (engines === 0) {
    process.exit(kSkipped);
}
console.log(failures ? `${failures} pages are not in their original's mode` : 'every page in its original\'s mode');
process.exit(failures ? 1 : 0);
