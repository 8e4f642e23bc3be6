#!/usr/bin/env node
// The browser suite: protects a copy of every page with quillora-cli in each mode and script variant, loads
// original and protected page in headless Chromium or Firefox (each engine compared with itself), and
// requires the same title, character set, visible text, links, images and screenshot, no new script errors,
// and (body and whole-page modes) no visible word left readable in the protected bytes. Pages load as files,
// or with --serve over http from a static server of the suite's own.
// Exit status: 0 all passed, 1 a failure, 2 usage, 77 no browser here.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { compareDialogs, compareRightClick, compareSnapshots } from './lib/aspects.mjs';
import { launchBrowser, takeSnapshot, unlockForm, unlockSession } from './lib/browser.mjs';
import { copySite, listPages } from './lib/corpus.mjs';
import { applyExceptions } from './lib/exceptions.mjs';
import { writeLargePage } from './lib/largePage.mjs';
import { kNotice, kVariants, parseOptions } from './lib/options.mjs';
import { runOrdered } from './lib/pool.mjs';
import { protectPages } from './lib/protect.mjs';
import { readableByDesign, readableWords, withoutPolicy } from './lib/readable.mjs';
import { keepFailure, resultLine, Tally } from './lib/report.mjs';
import { startServer } from './lib/server.mjs';

const kSkipped = 77;
const kHidingModes = ['body', 'page'];
// What every unlock page carries, in its bytes as written (UTF-16 pages in either byte order).
const kUnlockMarker = '<meta name="quillora-page" content="encrypted">';
const isSealed = (bytes) => [Buffer.from(kUnlockMarker, 'latin1'), Buffer.from(kUnlockMarker, 'utf16le'),
    Buffer.from(kUnlockMarker, 'utf16le').swap16()].some((marker) => bytes.includes(marker));

function pageUrl(suite, dir, page) {
    const file = path.join(dir, page);
    return suite.server ? suite.server.urlOf(file) : pathToFileURL(file).href;
}

// The file an address names: through the server when the site is served.
function fileOf(suite, url) {
    if (suite.server) {
        return suite.server.fileOf(url);
    }
    return url.startsWith('file:') ? fileURLToPath(url.split('#')[0].split('?')[0]) : null;
}

// The words an unlock page shows whatever page it seals: those of the unlock page of an empty page.
function unlockPageWords(suite, run) {
    const dir = `${run.dir}-empty`;
    fs.mkdirSync(dir, { recursive: true });
    fs.writeFileSync(path.join(dir, 'empty.html'), '<!DOCTYPE html><html><head><title></title></head></html>');
    const protection = protectPages(suite.options.cli, dir, ['empty.html'], run.mode, run.variant.args);
    if (protection.status !== 0) {
        throw new Error(`quillora-cli could not seal an empty page: ${protection.messages}`);
    }
    return fs.readFileSync(path.join(dir, 'empty.html'), 'utf8');
}

// What the protection leaves readable by design: for a sealed page its title, document type and the
// unlock page's own texts; the ciphertext itself is left out of the protected source.
function readableSources(run, mode, source, protectedSource) {
    if (run.variant.unlock) {
        const title = /<title[^>]*>([\s\S]*?)<\/title>/i.exec(source)?.[1] ?? '';
        return {
            allowed: [run.unlockPage, title, readableByDesign(source, 'page', kNotice)].join('\n'),
            checked: withoutPolicy(protectedSource).replace(/"page":"[A-Za-z0-9+/=]*"/g, '"page":""'),
        };
    }
    const allowed = readableByDesign(source, mode, kNotice) ?? readableByDesign(source, 'page', kNotice);
    return { allowed, checked: withoutPolicy(protectedSource) };
}

function readableCheck(run, original, bytes) {
    const charset = original.frames[0].charset;
    const source = new TextDecoder(charset).decode(bytes.original);
    const { allowed, checked: protectedSource } =
        readableSources(run, run.mode, source, new TextDecoder(charset).decode(bytes.protected));
    const words = readableWords({ visibleText: original.frames[0].text, protectedSource, allowedSource: allowed });
    return words.length ? [{ aspect: 'readable', detail: words.slice(0, 30).join(' ') }] : [];
}

// Why the protected page cannot be compared at all, as a difference; null when it can.
function blocker(run, page, original) {
    if (original.error) {
        return { aspect: 'load', detail: `original: ${original.error}` };
    }
    if (!run.protection.written.has(path.resolve(run.dir, page))) {
        const why = run.protection.messages.split('\n')[0] || `exit status ${run.protection.status}`;
        return { aspect: 'protect', detail: `not written by quillora-cli: ${why}` };
    }
    return null;
}

async function checkProtected(suite, run, page, original) {
    const { mode, variant, dir } = run;
    const snap = await takeSnapshot(suite.browser, pageUrl(suite, dir, page), {
        answer: variant.password, unlock: variant.unlock, rightClick: Boolean(variant.warning),
        shotHeight: suite.options.shotHeight,
    });
    suite.loads++;
    const dirs = { original: suite.originalDir, protected: dir, toFile: (url) => fileOf(suite, url) };
    const diffs = [...compareSnapshots(original, snap, dirs), ...compareDialogs(original, snap, variant.password)];
    if (variant.warning) {
        diffs.push(...compareRightClick(snap, variant.warning));
    }
    const bytes = {
        original: fs.readFileSync(path.join(suite.originalDir, page)), protected: fs.readFileSync(path.join(dir, page)),
    };
    if (kHidingModes.includes(mode) || variant.unlock) {
        diffs.push(...readableCheck(run, original, bytes));
    }
    // Every page of an encrypted run is sealed, a frameset too: it opened above with one password, its frames too.
    if (variant.unlock && !isSealed(bytes.protected)) {
        diffs.push({ aspect: 'sealed', detail: 'written without encryption' });
    }
    const context = {
        engine: suite.options.browser, mode, variant, original, protectedSnap: snap, dirs,
        originalBytes: bytes.original, protectedBytes: bytes.protected,
        originalSource: new TextDecoder(original.frames[0].charset).decode(bytes.original),
    };
    const { failing, excused } = applyExceptions(diffs, context);
    return { snap, failing, excused };
}

async function comparePage(suite, run, page) {
    const record = { page, mode: run.mode, variant: run.variantName, diffs: [], excused: [] };
    const original = suite.originals.get(page);
    let snap = null;
    const cannot = blocker(run, page, original);
    if (cannot) {
        record.diffs.push(cannot);
    } else {
        try {
            const checked = await checkProtected(suite, run, page, original);
            [snap, record.diffs, record.excused] = [checked.snap, checked.failing, checked.excused];
        } catch (error) {
            record.diffs.push({ aspect: 'load', detail: `protected: ${error.message.split('\n')[0]}` });
        }
    }
    record.status = record.diffs.length ? 'FAIL' : record.excused.length ? 'SKIP' : 'PASS';
    if (record.diffs.length) {
        keepFailure(suite.failuresDir, record, original, snap);
    }
    return record;
}

// A wrong answer to the password prompt must send the visitor to about:blank.
async function refusalCheck(suite, run, page) {
    const record = { page, mode: run.mode, variant: run.variantName, diffs: [], excused: [] };
    const url = pageUrl(suite, run.dir, page);
    const snap = await takeSnapshot(suite.browser, url, { answer: 'wrong', expectUrl: 'about:blank' });
    suite.loads++;
    if (snap.url !== 'about:blank') {
        record.diffs.push({ aspect: 'password', detail: `a wrong password left the visitor on ${snap.url}` });
    }
    record.status = record.diffs.length ? 'FAIL' : 'PASS';
    record.note = 'a wrong password leads to about:blank';
    return record;
}

// A wrong password typed into a sealed page must be refused with the wrong-password message, and nothing
// of the page may show.
async function wrongPasswordCheck(suite, run, page) {
    const record = { page, mode: run.mode, variant: run.variantName, diffs: [], excused: [] };
    const shown = await takeSnapshot(suite.browser, pageUrl(suite, run.dir, page), { refuse: 'wrong' });
    suite.loads++;
    // The title is readable by design, and an unlock template may show it in the page too.
    const words = readableWords({
        visibleText: suite.originals.get(page).frames[0].text, protectedSource: shown.text,
        allowedSource: `${run.unlockPage}\n${suite.originals.get(page).title ?? ''}`,
    });
    if (!shown.locked || !shown.error) {
        record.diffs.push({ aspect: 'password', detail: `a wrong password was not refused: "${shown.error}"` });
    }
    if (words.length) {
        record.diffs.push({ aspect: 'readable', detail: `shown after a wrong password: ${words.join(' ')}` });
    }
    record.status = record.diffs.length ? 'FAIL' : 'PASS';
    record.note = 'a wrong password is refused and shows nothing of the page';
    return record;
}

// Every file the run wrote, searched for the password's bytes.
function filesHolding(dir, secret) {
    const forms = [Buffer.from(secret, 'utf8'), Buffer.from(secret, 'utf16le')];
    const found = [];
    const walk = (folder) => {
        for (const entry of fs.readdirSync(folder, { withFileTypes: true })) {
            const file = path.join(folder, entry.name);
            if (entry.isDirectory()) {
                walk(file);
            } else if (entry.isFile() && forms.some((f) => fs.readFileSync(file).includes(f))) {
                found.push(path.relative(dir, file));
            }
        }
    };
    walk(dir);
    return found;
}

// One unlock serves the other pages of the run for the session (served pages), "#quillora-forget" forgets the key,
// and the password stands in no byte of the run's files.
async function sessionCheck(suite, run, first, next) {
    const record = { page: `${first}, ${next}`, mode: run.mode, variant: run.variantName, diffs: [], excused: [] };
    const url = (p) => pageUrl(suite, run.dir, p);
    const seen = await unlockSession(suite.browser, url(first), url(next), run.variant.unlock);
    suite.loads += 4;
    // Pages from files keep no key beyond themselves: there the next page asks too.
    const expected = { next: suite.server ? 'open' : 'asks', forgetting: 'asks', afterForgetting: 'asks' };
    for (const [step, want] of Object.entries(expected)) {
        if (seen[step] !== want) {
            record.diffs.push({ aspect: 'session', detail: `${step}: the page ${seen[step]}, expected it ${want}` });
        }
    }
    const holding = filesHolding(run.dir, run.variant.unlock);
    if (holding.length) {
        record.diffs.push({ aspect: 'password', detail: `the password stands in ${holding.join(', ')}` });
    }
    record.status = record.diffs.length ? 'FAIL' : 'PASS';
    record.note = `${suite.server ? 'one unlock opens the next page' : 'each page from a file asks'}; ` +
        '#quillora-forget forgets; the password is in no file';
    return record;
}

// The unlock page of a page in German speaks German, keeps the page's language, and its show-password box, reached
// with Tab from the field, shows the typed password and hides it again.
const kGermanPage = 'german.html';
const kGermanPrompt = 'Geben Sie das Passwort ein, um diese Seite zu \u00F6ffnen';

async function languageCheck(suite, run) {
    const record = { page: kGermanPage, mode: run.mode, variant: run.variantName, diffs: [], excused: [] };
    const typed = 'Probe 123';
    const form = await unlockForm(suite.browser, pageUrl(suite, run.dir, kGermanPage), typed);
    suite.loads++;
    const expected = { lang: 'de', prompt: kGermanPrompt, focused: 'qv-show', shown: 'text', value: typed,
        hidden: 'password' };
    for (const [aspect, want] of Object.entries(expected)) {
        if (form[aspect] !== want) {
            record.diffs.push({ aspect: 'unlock form', detail: `${aspect}: "${form[aspect]}", expected "${want}"` });
        }
    }
    record.status = record.diffs.length ? 'FAIL' : 'PASS';
    record.note = 'a German page asks in German, and the show-password box shows and hides the password';
    return record;
}

function report(suite, record) {
    suite.tally.add(record);
    console.log(resultLine(record));
}

async function runVariant(suite, mode, variantName) {
    const variant = kVariants[variantName];
    const dir = path.join(suite.workDir, `${mode}-${variantName}`);
    copySite(suite.originalDir, dir);
    // The large page proves that size does not matter: where the body or the whole page goes through the writer
    // calls. The script variants and the link modes (which leave its text as it stands) add nothing to that, and a
    // page of a few MB costs as much to load as all the small pages together.
    const sized = !variant.args.length && (mode === 'body' || mode === 'page');
    const pages = sized ? suite.pages : suite.pages.filter((p) => p !== suite.largePage);
    const protection = protectPages(suite.options.cli, dir, pages, mode, variant.args);
    const run = { mode, variantName, variant, dir, protection };
    if (variant.unlock) {
        run.unlockPage = unlockPageWords(suite, run);
    }
    const check = (page) => comparePage(suite, run, page);
    await runOrdered(pages, suite.options.jobs, check, (_, record) => report(suite, record));
    const [page, next] = pages.filter((p) => protection.written.has(path.resolve(dir, p)) &&
        suite.originals.get(p).frames?.length === 1 && suite.originals.get(p).frames[0].text.trim());
    if (page && variant.password) {
        report(suite, await refusalCheck(suite, run, page));
    }
    if (page && variant.unlock) {
        report(suite, await wrongPasswordCheck(suite, run, page));
    }
    if (next && variant.unlock) {
        report(suite, await sessionCheck(suite, run, page, next));
    }
    if (variant.unlock && protection.written.has(path.resolve(dir, kGermanPage))) {
        report(suite, await languageCheck(suite, run));
    }
}

async function snapshotOriginals(suite) {
    await runOrdered(suite.pages, suite.options.jobs, async (page) => {
        try {
            const url = pageUrl(suite, suite.originalDir, page);
            const snap = await takeSnapshot(suite.browser, url, { shotHeight: suite.options.shotHeight });
            suite.loads++;
            return snap;
        } catch (error) {
            return { error: error.message.split('\n')[0] };
        }
    }, (page, snap) => {
        suite.originals.set(page, snap);
        if (suite.originals.size % 50 === 0) {
            console.error(`originals: ${suite.originals.size} of ${suite.pages.length} loaded`);
        }
    });
}

function printSummary(suite, seconds) {
    const checked = suite.tally.records.length;
    console.log(`${suite.options.browser}: checked ${checked} protected pages (${suite.loads} page loads) in ` +
        `${seconds.toFixed(1)} s: ${(checked / (seconds / 60)).toFixed(1)} pages per minute`);
    for (const [mode, c] of suite.tally.byMode) {
        const rate = (100 * c.passed) / Math.max(1, c.passed + c.failed);
        console.log(`${mode}: ${c.passed} passed, ${c.failed} failed, ${c.skipped} skipped (${rate.toFixed(1)}% pass)`);
    }
    const t = suite.tally.total();
    console.log(`${t.passed} passed, ${t.failed} failed, ${t.skipped} skipped`);
}

async function runSuite(browser, options) {
    const workDir = path.join(options.out, 'work');
    const suite = {
        browser, options, workDir, originalDir: path.join(workDir, 'original'),
        failuresDir: path.join(options.out, 'failures'), originals: new Map(), tally: new Tally(), loads: 0,
    };
    fs.rmSync(workDir, { recursive: true, force: true });
    fs.rmSync(suite.failuresDir, { recursive: true, force: true });
    copySite(options.pages, suite.originalDir);
    suite.pages = listPages(suite.originalDir, options.list);
    if (options.large) {
        // First, so that one worker loads it while the others go through the small pages.
        suite.largePage = writeLargePage(suite.originalDir);
        suite.pages.unshift(suite.largePage);
    }
    suite.server = options.serve ? await startServer(workDir) : null;
    const started = Date.now();
    try {
        await snapshotOriginals(suite);
        for (const mode of options.modes) {
            for (const variantName of options.variants) {
                await runVariant(suite, mode, variantName);
            }
        }
    } finally {
        await suite.server?.close();
    }
    printSummary(suite, (Date.now() - started) / 1000);
    fs.writeFileSync(path.join(options.out, 'results.json'), JSON.stringify(suite.tally.records, null, 1));
    return suite.tally.total().failed ? 1 : 0;
}

async function main() {
    let options;
    try {
        options = parseOptions(process.argv.slice(2));
    } catch (error) {
        console.error(error.message);
        return 2;
    }
    if (!fs.existsSync(options.cli)) {
        console.error(`compare.mjs: ${options.cli} does not exist`);
        return 2;
    }
    const { browser, reason } = await launchBrowser(options.browser);
    if (!browser) {
        console.log(`browser suite skipped (${options.browser}): ${reason}`);
        return kSkipped;
    }
    try {
        return await runSuite(browser, options);
    } finally {
        await browser.close();
    }
}

process.exitCode = await main();
