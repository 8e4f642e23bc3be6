// The suite's own tests: a stand-in for quillora-cli makes one known fault on each page, and the suite
// must report exactly the aspects that fault touches, and pass an unchanged page in every other respect.
// They run in each engine whose browser and driver are installed.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { before, describe, it } from 'node:test';
import { fileURLToPath } from 'node:url';

import { kEngines, kExecutables } from '../lib/browser.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const suiteDir = path.dirname(here);
const hasDriver = fs.existsSync(path.join(suiteDir, 'node_modules', 'puppeteer-core'));

// Page, the fault the stand-in makes on it, and the aspects that must then differ.
const kFaults = [
    ['article.html', 'image', ['images', 'screenshot']],
    ['links.html', 'link', ['links']],
    ['utf8-bom.html', 'style', ['screenshot']],
    // The focus ring is not drawn in the screenshots (which window holds the focus is chance), but where
    // the focus is must be the same.
    ['forms.html', 'focus', ['focus']],
    ['scripts.html', 'error', ['errors']],
    ['comments.html', 'text', ['text', 'screenshot']],
    ['utf8.html', 'title', ['title']],
    ['frame-main.html', 'prompt', ['password']],
    // Only the character set differs: the page's text is plain ASCII.
    ['frame-menu.html', 'charset', ['charset']],
    ['no-head.html', 'none', []],
    // A body without its end tag, left readable although body mode hides it.
    ['no-body-end.html', 'unencoded', ['readable']],
];

// In the order the suite reports them: what the browser shows, the password prompt, the bytes.
function expectedLine(mode, variant, [page, fault, aspects]) {
    const all = aspects.filter((a) => a !== 'password' && a !== 'readable');
    if ((fault === 'prompt') !== (variant === 'password')) {
        all.push('password');
    }
    if (mode === 'body' && aspects.includes('readable')) {
        all.push('readable');
    }
    const status = all.length ? 'FAIL' : 'PASS';
    return `${status} ${mode}/${variant} ${page}${all.length ? `: ${all.join(', ')}` : ''}`;
}

// One mode: the stand-in's faults do not depend on it, and body mode is the one that also checks for words left
// readable.
const kModes = ['body'];

function expectedLines() {
    const lines = [];
    for (const mode of kModes) {
        for (const variant of ['plain', 'password']) {
            lines.push(...kFaults.map((row) => expectedLine(mode, variant, row)));
            if (variant === 'password') {
                // The stand-in's prompt never sends a wrong answer away; the first page is the one tried.
                lines.push(`FAIL ${mode}/password article.html: password`);
            }
        }
    }
    return lines;
}

function runSuite(engine) {
    const out = fs.mkdtempSync(path.join(os.tmpdir(), `qv-selftest-${engine}-`));
    const list = path.join(out, 'pages.txt');
    fs.writeFileSync(list, kFaults.map(([page]) => page).join('\n'));
    const faults = kFaults.map(([page, fault]) => `${page}=${fault}`).join(',');
    const result = spawnSync(process.execPath, [
        path.join(suiteDir, 'compare.mjs'), '--browser', engine, '--cli', path.join(here, 'fake-cli.mjs'),
        '--pages', path.join(suiteDir, 'pages'), '--list', list, '--out', out, '--modes', kModes.join(','),
        '--variants', 'plain,password',
    ], { encoding: 'utf8', env: { ...process.env, QV_FAKE_FAULTS: faults } });
    return { status: result.status, lines: result.stdout.trim().split('\n'), stderr: result.stderr, out };
}

for (const engine of kEngines) {
    const missing = !hasDriver ? 'puppeteer-core missing' : !fs.existsSync(kExecutables[engine]) &&
        `${kExecutables[engine]} missing`;
    describe(`browser suite in ${engine} against known faults`, { skip: missing }, () => {
        let run;
        before(() => {
            run = runSuite(engine);
        });

        it('names exactly the aspects each fault touches', () => {
            const results = run.lines.filter((l) => /^(PASS|FAIL|SKIP) /.test(l));
            assert.deepEqual(results, expectedLines(), run.stderr);
        });

        it('closes with the counts and fails the run', () => {
            const failed = expectedLines().filter((l) => l.startsWith('FAIL')).length;
            assert.equal(run.lines.at(-1), `${expectedLines().length - failed} passed, ${failed} failed, 0 skipped`);
            assert.equal(run.status, 1);
        });

        it('keeps both screenshots of a failure and names the words left readable', () => {
            const base = path.join(run.out, 'failures', 'body-plain', 'utf8-bom.html');
            assert.ok(fs.existsSync(`${base}.original.png`) && fs.existsSync(`${base}.protected.png`));
            const details = fs.readFileSync(`${base}.txt`, 'utf8');
            assert.match(details, /^screenshot: the screenshots differ \(window height 1 of \d+\)$/m);
            const leak = fs.readFileSync(path.join(run.out, 'failures', 'body-plain', 'no-body-end.html.txt'), 'utf8');
            assert.match(leak, /^readable: .*\bholidays\b/m);
            assert.doesNotMatch(leak, /^readable: .*\bOpening\b/m, 'the title stays readable in body mode');
            fs.rmSync(run.out, { recursive: true, force: true });
        });
    });
}
