// The behaviour scripts with real input events, in Chromium and in Firefox, in body and whole-page mode: each
// option holds on the page's text where the browser lets a page hold it, form fields keep the mouse, their selection,
// their menu, copy and paste, the page's ids outlive printing, the page's errors reach the console, the password
// prompt runs in a frame of another site, no timer runs, the copy, save, print and source keys are refused outside
// form fields, a copy carries its attribution, and text and images cannot be dragged out of the page. Every check is
// made on the original page too, which must show the opposite wherever the protected page is to refuse something: a
// check that cannot fail proves nothing.
//
//   node tests/browser/behaviour.mjs --cli QUILLORA_CLI --out DIR
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import { kEngines, launchBrowser } from './lib/browser.mjs';
import { startServer } from './lib/server.mjs';
import { argument } from './lib/options.mjs';

const kSkipped = 77;
const kWarning = 'Copying is not allowed';
const kAttribution = 'Read more at';
// A picture of one pixel, drawn larger: something to drag out of the page.
const kPicture = Buffer.from('iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==',
    'base64');
const kPassword = 'open sesame';
const kModes = ['body', 'page'];
// Only a hang runs into this; every wait below is for an event or a state.
const kHangMs = 60000;

const cli = argument('--cli');
const out = path.resolve(argument('--out'));

// A picture and a link, for the cases that drag or copy them (only there: Firefox's print to PDF of a page hidden
// for printing does not end while the page holds a picture).
const kFigure = '<p id="figure"><img id="pic" src="pic.png" width="60" height="60" alt="picture"> ' +
    '<a id="link" href="more.html">more</a></p>';
const kPage = `<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Behaviour</title></head>
<body>
<h1 id="title">Behaviour sample</h1>
<div id="article">
<p id="para" style="font-size:20px;width:600px">Some text of the page that a visitor might like to copy.</p>
<!--figure-->
</div>
<form id="form"><input id="field" value="field text" style="width:300px;font-size:20px">
<input id="target" style="width:300px;font-size:20px"></form>
<div id="editable" contenteditable="true" style="width:300px;font-size:20px">editable text</div>
<script>document.getElementById('title').setAttribute('data-ready', 'yes'); window.qvMissing.call();</script>
</body></html>
`;

// Runs in every document before its own scripts: what the page's own listeners see last of each event, and how
// many timers were asked for. Once a save, print or source key is noted, the browser is kept from acting on it:
// a headless browser has no window to show a save or print dialog, or another page's source, in.
function watch() {
    const seen = { clipboard: [], menus: [], timers: 0, keys: [], keyups: [], drags: [], mouseups: 0 };
    Object.defineProperty(window, '__qv', { value: seen });
    for (const type of ['copy', 'cut']) {
        window.addEventListener(type, (e) => seen.clipboard.push({
            type, prevented: e.defaultPrevented, data: e.clipboardData ? e.clipboardData.getData('text/plain') : null,
            html: e.clipboardData ? e.clipboardData.getData('text/html') : null,
        }));
    }
    window.addEventListener('contextmenu', (e) => seen.menus.push({ prevented: e.defaultPrevented }));
    window.addEventListener('keydown', (e) => {
        seen.keys.push({ code: e.code, prevented: e.defaultPrevented });
        if (['KeyS', 'KeyP', 'KeyU'].includes(e.code) && (e.ctrlKey || e.metaKey)) {
            e.preventDefault();
        }
    });
    window.addEventListener('keyup', (e) => seen.keyups.push(e.code));
    window.addEventListener('dragstart', (e) => seen.drags.push({ prevented: e.defaultPrevented }));
    window.addEventListener('mouseup', () => seen.mouseups++);
    for (const name of ['setTimeout', 'setInterval']) {
        const original = window[name];
        window[name] = function (...args) {
            seen.timers++;
            return original.apply(this, args);
        };
    }
}

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

async function until(what, test) {
    const end = Date.now() + kHangMs;
    for (;;) {
        const found = await test();
        if (found) {
            return found;
        }
        if (Date.now() > end) {
            throw new Error(`${what} in ${kHangMs / 1000} s`);
        }
        await sleep(25);
    }
}

async function open(browser, engine, url) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage(engine === 'firefox' ? { type: 'window' } : {});
    const seen = { dialogs: [], errors: [] };
    page.on('dialog', (dialog) => {
        seen.dialogs.push(`${dialog.type()}: ${dialog.message()}`);
        dialog.accept(dialog.type() === 'prompt' ? kPassword : undefined).catch(() => undefined);
    });
    page.on('pageerror', (error) => seen.errors.push(String(error.message ?? error)));
    await page.evaluateOnNewDocument(watch);
    await page.goto(url, { waitUntil: 'load' });
    await until('the page never got ready', () =>
        page.evaluate(() => document.getElementById('title')?.getAttribute('data-ready') === 'yes'));
    return { context, page, seen };
}

async function centre(page, selector) {
    const box = await (await page.$(selector)).boundingBox();
    return { x: box.x, y: box.y + box.height / 2, width: box.width };
}

async function drag(page, selector) {
    const { x, y, width } = await centre(page, selector);
    await page.mouse.move(x + 3, y);
    await page.mouse.down();
    await page.mouse.move(x + width / 2, y, { steps: 4 });
    await page.mouse.move(x + width - 3, y, { steps: 4 });
    await page.mouse.up();
}

async function chord(page, key, modifier = 'Control') {
    await page.keyboard.down(modifier);
    await page.keyboard.press(key);
    await page.keyboard.up(modifier);
}

const pageSelection = (page) => page.evaluate(() => String(window.getSelection()).length);

async function blurAll(page) {
    await page.evaluate(() => {
        document.activeElement?.blur?.();
        window.getSelection().removeAllRanges();
    });
}

// Right-clicks the element and waits until the whole dispatch is over; whether the menu was refused.
async function menuRefused(page, selector) {
    const before = await page.evaluate(() => window.__qv.menus.length);
    const { x, y } = await centre(page, selector);
    // Pressed, then let go, each once the last is over: a click sends both at once, and the warning's alert, which
    // holds the page until it is answered, could leave the button pressed for the next click.
    await page.mouse.move(x + 5, y);
    await page.mouse.down({ button: 'right' });
    await page.mouse.up({ button: 'right' });
    await until('the right click never reached the page', () =>
        page.evaluate((n) => window.__qv.menus.length > n, before));
    return page.evaluate(() => window.__qv.menus.at(-1).prevented);
}

// Presses Ctrl and the key and returns what the page's own listener saw of the clipboard event.
async function clipboardEvent(page, key) {
    const before = await page.evaluate(() => window.__qv.clipboard.length);
    await chord(page, key);
    await until(`Ctrl+${key} brought no clipboard event`, () =>
        page.evaluate((n) => window.__qv.clipboard.length > n, before));
    return page.evaluate(() => window.__qv.clipboard.at(-1));
}

// Form fields work under every option: the mouse focuses and selects, keys type, the menu is the field's own,
// copy and paste carry the text from one field to another.
async function formFields(page) {
    await page.click('#field');
    const focused = await page.evaluate(() => document.activeElement.id);
    await drag(page, '#field');
    const selected = await page.evaluate(() => {
        const f = document.getElementById('field');
        return f.selectionEnd - f.selectionStart;
    });
    await page.click('#editable');
    await page.keyboard.type('Q');
    const edited = await page.evaluate(() => document.getElementById('editable').textContent.includes('Q'));
    const menu = await menuRefused(page, '#field');
    await page.click('#field');
    await chord(page, 'KeyA');
    await chord(page, 'KeyC');
    await page.click('#target');
    await chord(page, 'KeyV');
    const pasted = await until('nothing was pasted into the second field', () =>
        page.evaluate(() => document.getElementById('target').value));
    await blurAll(page);
    return { focused, selected: selected > 0, edited, menuRefused: menu, pasted };
}

const kFieldsWork = { focused: 'field', selected: true, edited: true, menuRefused: false, pasted: 'field text' };

async function mouseSelection(page) {
    await blurAll(page);
    await drag(page, '#para');
    return (await pageSelection(page)) > 0;
}

// Chromium reports a select-all of the document as a range whose text reads empty; its type tells.
async function keyboardSelection(page) {
    await blurAll(page);
    await chord(page, 'KeyA');
    return page.evaluate(() => window.getSelection().type === 'Range');
}

// The page's text selected by script (as a visitor's selection would be) and copied with Ctrl+C.
async function pageCopy(page) {
    await blurAll(page);
    await page.evaluate(() => window.getSelection().selectAllChildren(document.getElementById('para')));
    return clipboardEvent(page, 'KeyC');
}

// Presses the modifier and the key, and waits until the page has seen the modifier let go: by then whatever the
// browser does with the chord (a copy) has been done. What the page's last listener saw of the key, and whether a
// copy came of it.
async function shortcut(page, key, modifier = 'Control') {
    const before = await page.evaluate(() => ({ keys: window.__qv.keys.length, copies: window.__qv.clipboard.length,
        keyups: window.__qv.keyups.length }));
    await chord(page, key, modifier);
    const modifierCode = modifier === 'Control' ? 'ControlLeft' : 'MetaLeft';
    await until(`${modifier}+${key} never ended`, () => page.evaluate((n, code) =>
        window.__qv.keyups.slice(n).includes(code), before.keyups, modifierCode));
    return page.evaluate((n, code) => ({
        refused: window.__qv.keys.slice(n.keys).find((k) => k.code === code)?.prevented ?? 'not seen',
        copied: window.__qv.clipboard.length > n.copies,
    }), before, key);
}

// Ctrl+C, S, P and U on the page's text, Cmd+S, and the same keys in a form field.
async function shortcuts(page) {
    await blurAll(page);
    await page.evaluate(() => window.getSelection().selectAllChildren(document.getElementById('para')));
    const copy = await shortcut(page, 'KeyC');
    const refused = [copy.refused];
    for (const key of ['KeyS', 'KeyP', 'KeyU']) {
        refused.push((await shortcut(page, key)).refused);
    }
    refused.push((await shortcut(page, 'KeyS', 'Meta')).refused);
    await page.click('#field');
    const inField = [];
    for (const key of ['KeyC', 'KeyS', 'KeyP', 'KeyU']) {
        inField.push((await shortcut(page, key)).refused);
    }
    await blurAll(page);
    return { copied: copy.copied, refused, inField };
}

// The article (its text, a picture and a link) selected and copied with Ctrl+C: what the clipboard received, the
// page's address standing as <address>.
async function attributedCopy(page) {
    await blurAll(page);
    await page.evaluate(() => window.getSelection().selectAllChildren(document.getElementById('article')));
    const copy = await clipboardEvent(page, 'KeyC');
    const selected = await page.evaluate(() => String(window.getSelection()));
    const address = page.url();
    const base = address.slice(0, address.lastIndexOf('/') + 1);
    const text = copy.data === `${selected}\n\n${kAttribution} ${address}` ? 'text, attribution, address' : copy.data;
    const html = [`${kAttribution} <a href="${address}">${address}</a>`, `src="${base}pic.png"`,
        `href="${base}more.html"`, 'Some text of the page'].every((part) => copy.html.includes(part))
        ? 'markup, attribution, address, links that still lead home' : copy.html;
    return { prevented: copy.prevented, text, html };
}

// Drags the element (text: its selected text) well out of where it stands, with the mouse; whether the page let
// the drag start. A drag the page refuses ends in a mouseup; one it lets start goes on as the browser's own.
async function dragOut(page, selector, text) {
    await blurAll(page);
    if (text) {
        await page.evaluate((s) => window.getSelection().selectAllChildren(document.querySelector(s)), selector);
    }
    const before = await page.evaluate(() => window.__qv.drags.length);
    const { x, y } = await centre(page, selector);
    await page.mouse.move(x + 20, y);
    await page.mouse.down();
    await page.mouse.move(x + 40, y + 10, { steps: 5 });
    await page.mouse.move(x + 400, y + 300, { steps: 5 });
    await until('the drag never started', () => page.evaluate((n) => window.__qv.drags.length > n, before));
    const refused = await page.evaluate(() => window.__qv.drags.at(-1).prevented);
    await page.mouse.up();
    return refused ? 'refused' : 'dragged';
}

const ids = (page) => page.evaluate(() => Array.from(document.querySelectorAll('*'), (e) => e.id).join(','));

// Printing hides the page and gives every element back as it was: a real print to PDF carries no text (no font)
// where the protection hides the page, and the page's print events, as a print dialog sends them too, leave every id
// as it was.
async function printing(page) {
    const before = await ids(page);
    const pdf = Buffer.from(await page.pdf({ format: 'A4' })).toString('latin1');
    await page.evaluate(() => {
        window.dispatchEvent(new Event('beforeprint'));
        window.dispatchEvent(new Event('afterprint'));
    });
    const after = await ids(page);
    const found = await page.evaluate(() => document.getElementById('para') !== null);
    return { hidden: !pdf.includes('/Font'), idsKept: before === after && found };
}

const kCases = [
    {
        name: 'selection', args: ['--no-select'],
        async check(page) {
            return {
                fields: await formFields(page), mouse: await mouseSelection(page),
                keyboard: await keyboardSelection(page), pageMenuRefused: await menuRefused(page, '#para'),
            };
        },
        original: { fields: kFieldsWork, mouse: true, keyboard: true, pageMenuRefused: false },
        expected: { fields: kFieldsWork, mouse: false, keyboard: false, pageMenuRefused: true },
    },
    {
        name: 'right-click', args: ['--no-right-click', '--warning', kWarning],
        async check(page, seen) {
            const refused = await menuRefused(page, '#para');
            return { fields: await formFields(page), refused, dialogs: seen.dialogs.join('|') };
        },
        original: { fields: kFieldsWork, refused: false, dialogs: '' },
        expected: { fields: kFieldsWork, refused: true, dialogs: `alert: ${kWarning}` },
    },
    {
        name: 'clipboard', args: ['--no-clipboard'],
        async check(page) {
            const copy = await pageCopy(page);
            return { fields: await formFields(page), prevented: copy.prevented, data: copy.data };
        },
        original: { fields: kFieldsWork, prevented: false, data: '' },
        expected: { fields: kFieldsWork, prevented: true, data: '' },
    },
    {
        name: 'clipboard-warning', args: ['--no-clipboard', '--no-right-click', '--warning', kWarning],
        async check(page) {
            const copy = await pageCopy(page);
            return { prevented: copy.prevented, data: copy.data };
        },
        original: { prevented: false, data: '' },
        expected: { prevented: true, data: kWarning },
    },
    {
        name: 'shortcuts', args: ['--no-shortcuts'],
        async check(page) {
            return { fields: await formFields(page), ...await shortcuts(page) };
        },
        original: { fields: kFieldsWork, copied: true, refused: [false, false, false, false, false],
            inField: [false, false, false, false] },
        expected: { fields: kFieldsWork, copied: false, refused: [true, true, true, true, true],
            inField: [false, false, false, false] },
    },
    {
        name: 'attribution', args: ['--copy-attribution', '--attribution', kAttribution], pictured: true,
        async check(page) {
            return { fields: await formFields(page), ...await attributedCopy(page) };
        },
        original: { fields: kFieldsWork, prevented: false, text: '', html: '' },
        expected: {
            fields: kFieldsWork, prevented: true, text: 'text, attribution, address',
            html: 'markup, attribution, address, links that still lead home',
        },
    },
    {
        // The clipboard block wins: nothing goes to the clipboard, attribution or not.
        name: 'attribution-and-clipboard', args: ['--copy-attribution', '--no-clipboard'], pictured: true,
        async check(page) {
            const { prevented, text } = await attributedCopy(page);
            return { prevented, text };
        },
        original: { prevented: false, text: '' },
        expected: { prevented: true, text: '' },
    },
    {
        name: 'drag', args: ['--no-drag'], pictured: true,
        async check(page) {
            return { image: await dragOut(page, '#pic', false), text: await dragOut(page, '#para', true) };
        },
        original: { image: 'dragged', text: 'dragged' },
        expected: { image: 'refused', text: 'refused' },
    },
    {
        name: 'printing', args: ['--no-print'],
        check: (page) => printing(page),
        original: { hidden: false, idsKept: true },
        expected: { hidden: true, idsKept: true },
    },
    {
        // Every option but the password: the page's error reaches the console, and no timer runs.
        name: 'all', args: ['--no-right-click', '--no-select', '--no-status-urls', '--no-print', '--no-clipboard',
            '--no-drag', '--break-frames', '--no-image-toolbar', '--no-shortcuts', '--copy-attribution'],
        async check(page, seen) {
            await until('the page\'s error never reached the console', () => seen.errors.length > 0);
            const timers = await page.evaluate(() => window.__qv.timers);
            const handler = await page.evaluate(() => window.onerror === null);
            return { fields: await formFields(page), error: /qvMissing|'call'/.test(seen.errors[0]), handler, timers };
        },
        original: { fields: kFieldsWork, error: true, handler: true, timers: 0 },
        expected: { fields: kFieldsWork, error: true, handler: true, timers: 0 },
    },
];

// A page of another site frames the protected page, which breaks out and asks for the password: the browser
// may refuse the break-out (a frame of another site moves its top only after a click in it), but the prompt must
// still come, or the page leave for about:blank where the browser refuses dialogs to such frames; never the
// framed page's text without a question.
async function framedByAnotherSite(browser, engine, frameUrl) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage(engine === 'firefox' ? { type: 'window' } : {});
    const dialogs = [];
    page.on('dialog', (dialog) => {
        dialogs.push(dialog.type());
        dialog.dismiss().catch(() => undefined);
    });
    try {
        await page.goto(frameUrl, { waitUntil: 'load' });
        return await until('the framed page neither asked nor left', async () => {
            if (dialogs.includes('prompt')) {
                return 'asked';
            }
            const frame = page.frames().find((f) => f !== page.mainFrame());
            if (frame?.url() === 'about:blank' && dialogs.length === 0) {
                const text = await frame.evaluate(() => document.body?.innerText ?? '').catch(() => '');
                return text === '' ? 'left' : null;
            }
            return null;
        });
    } finally {
        await context.close().catch(() => undefined);
    }
}

const pageText = (pictured) => kPage.replace('<!--figure-->', pictured ? kFigure : '');

function writePage(dir, pictured) {
    fs.mkdirSync(dir, { recursive: true });
    const file = path.join(dir, 'behaviour.html');
    fs.writeFileSync(file, pageText(pictured), 'utf8');
    fs.writeFileSync(path.join(dir, 'pic.png'), kPicture);
    return file;
}

function protect(dir, mode, args, pictured) {
    const file = writePage(dir, pictured);
    execFileSync(cli, ['--quiet', '--overwrite', '--no-backup', '--hide', mode, ...args, file]);
    return file;
}

fs.rmSync(out, { recursive: true, force: true });
const originals = { plain: writePage(path.join(out, 'original'), false),
    pictured: writePage(path.join(out, 'original-pictured'), true) };
const protectedFiles = {};
for (const mode of kModes) {
    for (const c of [...kCases, { name: 'framed', args: ['--break-frames', '--password', kPassword] }]) {
        protectedFiles[`${mode}/${c.name}`] = protect(path.join(out, mode, c.name), mode, c.args, c.pictured);
    }
}
const site = await startServer(out);
const otherSite = await startServer(out, '127.0.0.2');

let failures = 0;
let engines = 0;
function report(engine, what, got, expected) {
    const ok = JSON.stringify(got) === JSON.stringify(expected);
    failures += ok ? 0 : 1;
    console.log(`${ok ? 'ok  ' : 'FAIL'} ${engine.padEnd(8)} ${what}${ok ? '' : `: ${JSON.stringify(got)}, ` +
        `expected ${JSON.stringify(expected)}`}`);
}

async function runCase(browser, engine, c, file, expected, what) {
    const { context, page, seen } = await open(browser, engine, site.urlOf(file));
    try {
        report(engine, what, await c.check(page, seen), expected);
    } catch (error) {
        failures++;
        console.log(`FAIL ${engine.padEnd(8)} ${what}: ${error.message}`);
    } finally {
        await context.close().catch(() => undefined);
    }
}

try {
    for (const engine of kEngines) {
        const { browser, reason } = await launchBrowser(engine);
        if (!browser) {
            console.log(`${engine}: skipped, ${reason}`);
            continue;
        }
        engines++;
        try {
            for (const c of kCases) {
                const original = c.pictured ? originals.pictured : originals.plain;
                await runCase(browser, engine, c, original, c.original, `${c.name} on the original`);
                for (const mode of kModes) {
                    await runCase(browser, engine, c, protectedFiles[`${mode}/${c.name}`], c.expected,
                        `${c.name} in ${mode} mode`);
                }
            }
            for (const mode of kModes) {
                const framer = path.join(out, mode, 'framed', 'framer.html');
                const framed = site.urlOf(protectedFiles[`${mode}/framed`]);
                fs.writeFileSync(framer, `<!DOCTYPE html><title>Framer</title><iframe src="${framed}"></iframe>`);
                const outcome = await framedByAnotherSite(browser, engine, otherSite.urlOf(framer))
                    .catch((error) => error.message);
                const asked = ['asked', 'left'].includes(outcome);
                report(engine, `framed by another site in ${mode} mode${asked ? ` (${outcome})` : ''}`,
                    asked ? 'ok' : outcome, 'ok');
            }
        } finally {
            await browser.close();
        }
    }
} finally {
    await site.close();
    await otherSite.close();
}
if (engines === 0) {
    process.exit(kSkipped);
}
console.log(failures ? `${failures} behaviour checks failed` : 'every behaviour check holds');
process.exit(failures ? 1 : 0);
