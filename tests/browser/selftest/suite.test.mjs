// The suite's own tests: a stand-in for quillora-cli makes one known fault on each page, and the suite
// must report exactly the aspects that fault touches, and pass an unchanged page in every other respect.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { before, describe, it } from 'node:test';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const suiteDir = path.dirname(here);
const hasBrowser = fs.existsSync('/usr/bin/chromium') &&
    fs.existsSync(path.join(suiteDir, 'node_modules', 'playwright-core'));

// Page, the fault the stand-in makes on it, and the aspects that must then differ.
const kFaults = [
    ['article.html', 'prompt', ['password']],
    ['links.html', 'link', ['links']],
    ['forms.html', 'style', ['screenshot']],
    ['scripts.html', 'error', ['errors']],
    ['comments.html', 'text', ['text', 'screenshot']],
    ['utf8.html', 'title', ['title']],
    ['upper-case.htm', 'image', ['images', 'screenshot']],
    ['frame-main.html', 'none', []],
];

function expectedLine(mode, variant, [page, fault, aspects]) {
    const all = [...aspects.filter((a) => a !== 'password')];
    if ((fault === 'prompt') !== (variant === 'password')) {
        all.push('password');
    }
    if (mode === 'body') {
        all.push('readable');
    }
    const status = all.length ? 'FAIL' : 'PASS';
    return `${status} ${mode}/${variant} ${page}${all.length ? `: ${all.join(', ')}` : ''}`;
}

function expectedLines() {
    const lines = [];
    for (const mode of ['links', 'body']) {
        for (const variant of ['plain', 'password']) {
            lines.push(...kFaults.map((row) => expectedLine(mode, variant, row)));
            if (variant === 'password') {
                // The stand-in's prompt never sends a wrong answer away.
                lines.push(`FAIL ${mode}/password article.html: password`);
            }
        }
    }
    return lines;
}

describe('browser suite against known faults', { skip: !hasBrowser && 'Chromium or playwright-core missing' }, () => {
    let run;
    before(() => {
        const out = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-selftest-'));
        const list = path.join(out, 'pages.txt');
        fs.writeFileSync(list, kFaults.map(([page]) => page).join('\n'));
        const faults = kFaults.map(([page, fault]) => `${page}=${fault}`).join(',');
        const result = spawnSync(process.execPath, [
            path.join(suiteDir, 'compare.mjs'), '--cli', path.join(here, 'fake-cli.mjs'), '--pages',
            path.join(suiteDir, 'pages'), '--list', list, '--out', out, '--modes', 'links,body',
            '--variants', 'plain,password',
        ], { encoding: 'utf8', env: { ...process.env, QV_FAKE_FAULTS: faults } });
        run = { status: result.status, lines: result.stdout.trim().split('\n'), stderr: result.stderr, out };
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

    it('keeps both screenshots of a failure', () => {
        const base = path.join(run.out, 'failures', 'links-plain', 'forms.html');
        assert.ok(fs.existsSync(`${base}.original.png`) && fs.existsSync(`${base}.protected.png`));
        const details = fs.readFileSync(`${base}.txt`, 'utf8');
        assert.match(details, /^screenshot: the screenshots differ \(window height 1 of \d+\)$/m);
        fs.rmSync(run.out, { recursive: true, force: true });
    });
});
