// Encrypted pages bound to their place, in Chromium and in Firefox, over http: a share link opens a page without
// typing and leaves no fragment in the address or its history entry, and opens none once its password is removed;
// a page opens where it was sealed for;
// an unlock page put in another page's place, or one whose sealed bytes were taken from another page, says it is
// damaged (before any password, or once the right password opened the site's key) instead of asking again or saying
// the password is wrong. The intact page opens with the same password first: a check that cannot fail proves nothing.
//
//   node tests/browser/sealed.mjs --cli QUILLORA_CLI --out DIR
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import { kEngines, launchBrowser } from './lib/browser.mjs';
import { startServer } from './lib/server.mjs';
import { argument } from './lib/options.mjs';

const kSkipped = 77;
const kPassword = 'open sesame, said the lantern';
// Only a hang runs into this; every wait below is for an event or a state.
const kHangMs = 60000;

const cli = argument('--cli');
const out = path.resolve(argument('--out'));

const page = (title, words) =>
    `<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>${title}</title></head>\n<body><p id="words">${words}</p></body></html>\n`;

/// The site, encrypted into out/site: a.html, b.html and sub/index.html.
function encryptSite() {
    fs.rmSync(out, { recursive: true, force: true });
    fs.mkdirSync(path.join(out, 'source/sub'), { recursive: true });
    fs.writeFileSync(path.join(out, 'source/a.html'), page('Alpha', 'alpha words'));
    fs.writeFileSync(path.join(out, 'source/b.html'), page('Beta', 'beta words'));
    fs.writeFileSync(path.join(out, 'source/sub/index.html'), page('Gamma', 'gamma words'));
    execFileSync(cli, ['-q', '--encrypt', '--key-file', path.join(out, 'site.quillora-key'), '--copy-to',
        path.join(out, 'site'), path.join(out, 'source')], { env: { ...process.env, QUILLORA_PASSWORD: kPassword } });
}

/// A share link to the page at url: its password added to the site (every unlock page sealed again with it).
function shareLink(url, label) {
    const printed = execFileSync(cli, ['-q', '--share-link', url, '--label', label, '--key-file',
        path.join(out, 'site.quillora-key'), path.join(out, 'site')],
    { env: { ...process.env, QUILLORA_PASSWORD: kPassword }, encoding: 'utf8' });
    return printed.trim().split('\n').pop();
}

function removeLink(label) {
    execFileSync(cli, ['-q', '--remove-password', label, '--key-file', path.join(out, 'site.quillora-key'),
        path.join(out, 'site')], { env: { ...process.env, QUILLORA_PASSWORD: kPassword } });
}

/// What a share link shows: 'open' with the page's words and the address it is left at, or 'asks'.
async function followLink(browser, link) {
    const context = await browser.createBrowserContext();
    try {
        const tab = await context.newPage();
        await tab.goto(link, { waitUntil: 'load', timeout: kHangMs });
        const seen = await tab.waitForFunction(() => {
            if (document.getElementById('words')) return 'open';
            const form = document.getElementById('qv-form');
            return form && !form.hidden ? 'asks' : '';
        }, { timeout: kHangMs }).then((handle) => handle.jsonValue());
        const address = await tab.evaluate(() => location.href);
        return { seen, fragmentLeft: address.includes('#'), words: seen === 'open' ? await tab.$eval('#words',
            (e) => e.textContent) : '' };
    } finally {
        await context.close().catch(() => undefined);
    }
}

// The unlock page with its sealed bytes (nonce and page) taken from another unlock page.
function withSealedBytesOf(unlock, other) {
    let changed = unlock;
    for (const name of ['iv', 'page']) {
        const pattern = new RegExp(`"${name}":"[^"]*"`);
        changed = changed.replace(pattern, other.match(pattern)[0]);
    }
    return changed;
}

/// What a visitor sees at url after typing the password if the form asks for it: 'open' with the page's words,
/// 'damaged' (the damaged note, or the damaged text after the password), 'wrong' (the wrong-password text).
async function visit(browser, url) {
    const context = await browser.createBrowserContext();
    try {
        const tab = await context.newPage();
        await tab.goto(url, { waitUntil: 'load', timeout: kHangMs });
        const first = await tab.waitForFunction(() => {
            const damaged = document.getElementById('qv-damaged');
            if (damaged && !damaged.hidden) return 'damaged-at-once';
            const form = document.getElementById('qv-form');
            return form && !form.hidden ? 'asks' : '';
        }, { timeout: kHangMs }).then((handle) => handle.jsonValue());
        if (first !== 'asks') return { seen: first };
        await tab.type('#qv-password', kPassword);
        await tab.keyboard.press('Enter');
        const seen = await tab.waitForFunction(() => {
            const words = document.getElementById('words');
            if (words) return 'open';
            const error = document.getElementById('qv-error');
            const damaged = document.getElementById('qv-damaged');
            if (!error || !error.textContent) return '';
            return error.textContent === damaged.textContent ? 'damaged' : 'wrong';
        }, { timeout: kHangMs }).then((handle) => handle.jsonValue());
        const words = seen === 'open' ? await tab.$eval('#words', (e) => e.textContent) : '';
        return { seen, words };
    } finally {
        await context.close().catch(() => undefined);
    }
}

async function runEngine(engine, failures) {
    const { browser, reason } = await launchBrowser(engine);
    if (!browser) {
        return reason;
    }
    encryptSite();
    const site = path.join(out, 'site');
    const server = await startServer(site);
    const check = (what, got, expected) => {
        const line = `${JSON.stringify(got)} (expected ${JSON.stringify(expected)})`;
        console.log(`${got === expected ? 'PASS' : 'FAIL'} ${engine} ${what}: ${line}`);
        if (got !== expected) failures.push(`${engine} ${what}: ${line}`);
    };
    try {
        const link = shareLink(`${server.origin}/a.html`, `link ${engine}`);
        const followed = await followLink(browser, link);
        check('a share link opens the page without typing', `${followed.seen} ${followed.words}`, 'open alpha words');
        check('a share link leaves no fragment in the address', followed.fragmentLeft, false);
        check('a share link opens the site\'s other pages too',
            (await followLink(browser, link.replace('/a.html#', '/b.html#'))).seen, 'open');
        removeLink(`link ${engine}`);
        check('a share link whose password was removed asks', (await followLink(browser, link)).seen, 'asks');

        const unlockA = fs.readFileSync(path.join(site, 'a.html'), 'latin1');
        const unlockB = fs.readFileSync(path.join(site, 'b.html'), 'latin1');
        const intact = await visit(browser, server.urlOf(path.join(site, 'a.html')));
        check('the intact page opens', `${intact.seen} ${intact.words ?? ''}`.trim(), 'open alpha words');
        const below = await visit(browser, `${server.origin}/sub/index.html`);
        check('a page below the site\'s root opens (its script one folder up)', `${below.seen} ${below.words ?? ''}`.trim(),
            'open gamma words');

        fs.writeFileSync(path.join(site, 'b.html'), unlockA, 'latin1');
        check('a page put in another page\'s place', (await visit(browser, `${server.origin}/b.html`)).seen,
            'damaged-at-once');
        fs.writeFileSync(path.join(site, 'a.html'), withSealedBytesOf(unlockA, unlockB), 'latin1');
        check('a page holding another page\'s sealed bytes', (await visit(browser, `${server.origin}/a.html`)).seen,
            'damaged');
    } finally {
        await server.close();
        await browser.close();
    }
    return '';
}

const failures = [];
const skipped = [];
for (const engine of kEngines) {
    const reason = await runEngine(engine, failures);
    if (reason) {
        console.log(`SKIP ${engine}: ${reason}`);
        skipped.push(engine);
    }
}
console.log(failures.length ? `${failures.length} failed` : 'all passed');
process.exit(failures.length ? 1 : skipped.length === kEngines.length ? kSkipped : 0);
