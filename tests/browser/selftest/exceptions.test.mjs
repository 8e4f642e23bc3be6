// The named exceptions excuse only the case each one explains, in the aspects it names.
import assert from 'node:assert/strict';
import { describe, it } from 'node:test';

import { applyExceptions } from '../lib/exceptions.mjs';
import { parseOptions } from '../lib/options.mjs';

const frame = (fields = {}) => ({
    url: 'file:///s/a.html', errors: [], compatMode: 'CSS1Compat', firstInBody: 'H1', ...fields,
});

// A context as the suite builds it, with the given changes: a Firefox body-mode run of a plain page.
function context(changes = {}) {
    return {
        engine: 'firefox', mode: 'body', variant: { breaksFrames: false },
        original: { frames: [frame()] }, protectedSnap: { url: 'file:///p/a.html', frames: [frame()] },
        dirs: { original: '/s', protected: '/p' }, originalSource: '<body>x</body>',
        originalBytes: Buffer.from('<body>caf\xe9</body>', 'latin1'), protectedBytes: Buffer.from('<body></body>'),
        ...changes,
    };
}

const quirks = {
    original: { frames: [frame({ compatMode: 'BackCompat' })] },
    protectedSnap: { url: 'file:///p/a.html', frames: [frame({ compatMode: 'BackCompat', firstInBody: 'SCRIPT' })] },
};
const framed = {
    variant: { breaksFrames: true },
    original: { frames: [frame(), frame({ url: 'file:///s/menu.html' })] },
    protectedSnap: {
        url: 'file:///p/a.html',
        frames: [frame(), frame({ url: 'file:///p/menu.html', errors: ['SecurityError: The operation is insecure.'] })],
    },
};
const declared = { originalBytes: Buffer.from('<meta charset="windows-1252"><body>caf\xe9</body>', 'latin1') };
const koi8 = (original, shown, bytes = '<body>\xf0\xd2</body>') => ({
    engine: 'chromium', originalBytes: Buffer.from(bytes, 'latin1'),
    protectedBytes: Buffer.from('<head><meta charset="koi8-u"></head><body>\xf0\xd2</body>', 'latin1'),
    original: { frames: [frame({ charset: original })] },
    protectedSnap: { url: 'file:///p/a.html', frames: [frame({ charset: shown })] },
});

describe('applyExceptions', () => {
    // Aspect, changes to the context, and the exception that must excuse it (null: it must fail).
    const rows = [
        // Body mode hides the body a page without a body tag shows, like any other.
        ['readable', { originalSource: '<p>x</p>' }, null],
        ['readable', {}, null],
        ['readable', { mode: 'page', originalSource: '<p>x</p>' }, null],
        ['screenshot', quirks, 'firefox-quirks-writer-call-first-in-body'],
        ['screenshot', { ...quirks, engine: 'chromium' }, null],
        ['text', quirks, null],
        ['screenshot', { protectedSnap: quirks.protectedSnap }, null],
        ['errors', { ...framed, engine: 'firefox' }, 'firefox-file-frames-stay-framed'],
        ['errors', { ...framed, engine: 'chromium' }, null],
        ['errors', { ...framed, variant: { breaksFrames: false } }, null],
        ['charset', {}, 'undeclared-charset-all-ascii'],
        ['charset', { engine: 'chromium' }, 'undeclared-charset-all-ascii'],
        ['charset', declared, null],
        ['charset', { protectedBytes: Buffer.from('<title>caf\xe9</title>', 'latin1') }, null],
        ['charset', { originalBytes: Buffer.from('\xef\xbb\xbf<body>caf\xc3\xa9</body>', 'latin1') }, null],
        ['charset', { protectedBytes: Buffer.from('<meta charset="koi8-u"><body></body>') }, null],
        ['charset', koi8('KOI8-R', 'KOI8-U'), 'koi8-guess-declared-as-koi8-u'],
        ['charset', koi8('KOI8-R', 'windows-1251'), null],
        ['charset', koi8('KOI8-U', 'KOI8-R'), null],
        ['charset', koi8('KOI8-R', 'KOI8-U', '<meta charset=koi8-r><body>\xf0\xd2</body>'), null],
    ];
    for (const [aspect, changes, name] of rows) {
        it(`${aspect} with ${JSON.stringify(Object.keys(changes))} in ${changes.engine ?? 'firefox'}: ${name}`, () => {
            const { failing, excused } = applyExceptions([{ aspect, detail: '' }], context(changes));
            assert.deepEqual(excused, name ? [name] : []);
            assert.equal(failing.length, name ? 0 : 1);
        });
    }

    it('keeps a new error beside the break-out failing in Firefox', () => {
        const errors = ['SecurityError: The operation is insecure.', 'ReferenceError: qv_x is not defined'];
        const changes = { ...framed, protectedSnap: { ...framed.protectedSnap, frames: [frame(), frame({ errors })] } };
        assert.equal(applyExceptions([{ aspect: 'errors', detail: '' }], context(changes)).failing.length, 1);
    });
});

describe('parseOptions --browser', () => {
    const base = ['--cli', 'q', '--pages', 'p', '--out', 'o'];
    const rows = [
        [[], 'chromium'],
        [['--browser', 'firefox'], 'firefox'],
        [['--browser=chromium'], 'chromium'],
        [['--browser', 'safari'], null],
        [['--browser', 'chromium,firefox'], null],
    ];
    for (const [args, engine] of rows) {
        it(args.join(' ') || '(none)', () => {
            if (engine) {
                assert.equal(parseOptions([...base, ...args]).browser, engine);
            } else {
                assert.throws(() => parseOptions([...base, ...args]), /browser/);
            }
        });
    }
});
