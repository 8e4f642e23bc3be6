// The unlock time of an encrypted page of about 100 KB in Chromium and in Firefox, served over http as a site is:
// the key derivation alone (the unlock script's own core.js, timed inside the page), and the whole unlock as a
// visitor has it, from pressing Enter until the page stands in place of the unlock page (derivation, unwrapping,
// decryption, inflating, writing the page and its loading), with the time of its own derivation and the rest. The
// goal: the whole unlock within the derivation plus 30 ms. Opening alone (unwrapping to decoding, timed in the page)
// is printed too.
//
//   node bench/unlock/unlock_time.mjs --cli build/release/src/cli/quillora-cli [--runs N] [--kb K]
//
// Every run starts a fresh browser: a browser may keep a key it derived from a password and a salt, and would
// derive the next one at no cost. The browsers are those of the browser tests (scripts/setup --browser).
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { goto, kEngines, launchBrowser, newPage } from '../../tests/browser/lib/browser.mjs';
import { startServer } from '../../tests/browser/lib/server.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const option = (name, fallback) => {
    const i = process.argv.indexOf(name);
    return i < 0 ? fallback : process.argv[i + 1];
};
const cli = path.resolve(option('--cli', 'build/release/src/cli/quillora-cli'));
const runs = Number(option('--runs', '5'));
const kilobytes = Number(option('--kb', '100'));
const password = 'a password for the unlock benchmark';

// A page of ordinary text and markup, about the size asked for.
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'quillora-unlock-'));
const site = path.join(work, 'site');
const out = path.join(work, 'out');
fs.mkdirSync(site);
let body = '';
for (let i = 0; body.length < kilobytes * 1024; i++) {
    body += `<h2>Section ${i}</h2>\n<p>Paragraph ${i} of the page, with <a href="s${i}.html">a link</a>, ` +
        `<em>some emphasis</em> and words that vary: ${(i * 7919).toString(36)} ${(i * 104729).toString(36)}.</p>\n`;
}
fs.writeFileSync(path.join(site, 'page.html'),
    `<!DOCTYPE html><html lang="en"><head><meta charset="utf-8"><title>Unlock benchmark</title></head><body>\n${body}` +
    '</body></html>\n');
fs.writeFileSync(path.join(work, 'password.txt'), `${password}\n`, { mode: 0o600 });
execFileSync(cli, ['--quiet', '--encrypt', '--password-file', path.join(work, 'password.txt'), '--copy-to', out, site],
    { stdio: ['ignore', 'ignore', 'inherit'] });

// The page as it was, served beside its unlock page: how long a browser takes to load it without any unlocking.
fs.copyFileSync(path.join(site, 'page.html'), path.join(out, 'original.html'));

const coreSource = fs.readFileSync(path.join(here, '../../src/unlock/core.js'), 'utf8');
// Runs in the unlock page: the script's core module, given as source, becomes a module of the page, derives the
// password's key from the page's own data, and opens the page with it (unwrapping, decryption, inflating, decoding).
const deriving = async (secret, source) => {
    const loaded = new Promise((resolve) => { window.quilloraCoreLoaded = resolve; });
    const module = document.createElement('script');
    module.type = 'module';
    module.textContent = `${source}\nwindow.quilloraCoreLoaded(core);`;
    document.head.append(module);
    const core = await loaded;
    const data = JSON.parse(document.getElementById('qv-data').textContent);
    const started = performance.now();
    const derived = await core.derive(secret, data);
    const afterDerivation = performance.now();
    core.decode(await core.decrypt(await core.unwrap(derived, data), data), data);
    return [afterDerivation - started, performance.now() - afterDerivation];
};
// The moment the page stands is taken inside the page, by a timer (timers outlive document.open, listeners do not):
// the driver's own polling would add its round trips to the figure. The derivation of this very unlock is timed
// around WebCrypto's deriveBits: a browser's derivation varies by tens of milliseconds from one start to the next.
const submitting = (secret) => {
    const deriveBits = SubtleCrypto.prototype.deriveBits;
    SubtleCrypto.prototype.deriveBits = function timed(...args) {
        const started = performance.now();
        return deriveBits.apply(this, args).then((bits) => {
            window.quilloraDerivation = performance.now() - started;
            return bits;
        });
    };
    const opened = () => !document.getElementById('qv-data') && document.readyState === 'complete';
    const watch = setInterval(() => {
        if (opened()) {
            window.quilloraOpened = performance.now();
            clearInterval(watch);
        }
    }, 1);
    document.getElementById('qv-password').value = secret;
    window.quilloraStarted = performance.now();
    document.getElementById('qv-form').requestSubmit();
};

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const range = (values) => `${Math.min(...values).toFixed(0)}-${Math.max(...values).toFixed(0)}`;

async function inFreshBrowser(engine, url, act, locked = true) {
    const { browser, reason } = await launchBrowser(engine);
    if (!browser) {
        return { skipped: reason };
    }
    try {
        const { page } = await newPage(browser);
        if (!locked) {
            return { value: await act(page) };
        }
        await goto(page, url);
        await page.waitForFunction(() => document.getElementById('qv-form') && !document.getElementById('qv-form').hidden,
            { timeout: 60000 });
        return { value: await act(page) };
    } finally {
        await browser.close();
    }
}

const server = await startServer(out);
const url = server.urlOf(path.join(out, 'page.html'));
const originalUrl = server.urlOf(path.join(out, 'original.html'));
const size = fs.statSync(path.join(site, 'page.html')).size;
console.log(`page: ${(size / 1024).toFixed(0)} KB, unlock page ${(fs.statSync(path.join(out, 'page.html')).size / 1024)
    .toFixed(0)} KB; ${os.cpus().length} cores; median of ${runs} runs (min-max), each in a fresh browser`);
try {
    for (const engine of kEngines) {
        const derive = [];
        const open = [];
        const whole = [];
        const inFlow = [];
        const original = [];
        let skipped = null;
        for (let r = 0; r < runs && !skipped; r++) {
            const d = await inFreshBrowser(engine, url, (page) => page.evaluate(deriving, password, coreSource));
            const w = await inFreshBrowser(engine, url, async (page) => {
                await page.evaluate(submitting, password);
                await page.waitForFunction(() => window.quilloraOpened !== undefined, { timeout: 60000 });
                return page.evaluate(() => [window.quilloraOpened - window.quilloraStarted, window.quilloraDerivation]);
            });
            const o = await inFreshBrowser(engine, originalUrl, async (page) => {
                await goto(page, originalUrl);
                return page.evaluate(() => performance.getEntriesByType('navigation')[0].loadEventEnd);
            }, false);
            skipped = d.skipped || w.skipped || o.skipped;
            if (!skipped) {
                original.push(o.value);
                derive.push(d.value[0]);
                open.push(d.value[1]);
                whole.push(w.value[0]);
                inFlow.push(w.value[1]);
            }
        }
        if (skipped) {
            console.log(`${engine.padEnd(9)} skipped: ${skipped}`);
            continue;
        }
        const beyond = whole.map((w, i) => w - inFlow[i]);
        console.log(`${engine.padEnd(9)} derivation ${median(derive).toFixed(0)} ms (${range(derive)}), opening ` +
            `${median(open).toFixed(1)} ms; whole unlock ${median(whole).toFixed(0)} ms (${range(whole)}), its own ` +
            `derivation ${median(inFlow).toFixed(0)} ms, the rest ${median(beyond).toFixed(0)} ms (${range(beyond)}); ` +
            `the original page loads in ${median(original).toFixed(0)} ms (${range(original)})`);
    }
} finally {
    await server.close();
    fs.rmSync(work, { recursive: true, force: true });
}
