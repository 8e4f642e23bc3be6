// Which words of a page may stay readable after protection, and which may not.
import assert from 'node:assert/strict';
import { describe, it } from 'node:test';

import { readableByDesign, readableWords, wordsOf } from '../lib/readable.mjs';

describe('wordsOf', () => {
    const rows = [
        ['Café Crème: 3,50 € zu 2026', ['Café', 'Crème']],
        ['ab cd 1234 x_1', ['x_1']],
        ['新しいオーブン、毎朝', ['新しいオーブン', '毎朝']],
        ['%u20AC%41%42%43', ['u20AC']],
    ];
    for (const [text, words] of rows) {
        it(JSON.stringify(text), () => assert.deepEqual([...wordsOf(text)], words));
    }
});

describe('readableByDesign', () => {
    const page = '<html><head><title>Menu</title><script src="app.js"></script></head>' +
        '<BODY class=x><p>Bread</p><SCRIPT src="x.js"></SCRIPT></BODY><!-- tail --></html>';
    it('keeps the head material outside the body content readable in body mode', () => {
        const allowed = readableByDesign(page, 'body');
        assert.ok(allowed.includes('<title>Menu</title>'));
        assert.ok(allowed.includes('<!-- tail -->'));
        assert.ok(!allowed.includes('Bread'));
        assert.ok(allowed.includes('<SCRIPT src="x.js"></SCRIPT>'));
    });
    it('keeps no text that the browser shows in the body outside the body tags readable in body mode', () => {
        const outside = '<html><head><title>Menu</title></head><header>Bakery</header><body>Bread</body>Hours</html>';
        const allowed = readableByDesign(outside, 'body');
        assert.ok(allowed.includes('<title>Menu</title>') && allowed.includes('<header>'));
        for (const word of ['Bakery', 'Bread', 'Hours']) {
            assert.ok(!allowed.includes(word), word);
        }
    });
    it('keeps only the document type, external script elements and generated texts in whole-page mode', () => {
        const allowed = readableByDesign(`<!DOCTYPE html>${page}`, 'page', 'My notice');
        assert.ok(allowed.includes('<!DOCTYPE html>'));
        assert.ok(allowed.includes('<html><head>'));
        assert.ok(!allowed.includes('Menu'));
        assert.ok(allowed.includes('<script src="app.js"></script>'));
        assert.ok(allowed.includes('My notice'));
    });
    it('keeps the character-set declaration of the first 1024 characters readable in whole-page mode', () => {
        const declared = '<html><head><meta charset="utf-8"><title>Menu</title></head><body>Bread</body></html>';
        assert.ok(readableByDesign(declared, 'page').includes('<meta charset="utf-8">'));
        const late = `<html><head><title>${'x'.repeat(1024)}</title><meta charset="utf-8"></head></html>`;
        assert.ok(!readableByDesign(late, 'page').includes('<meta charset'));
    });
    it('ends the body at "</html>" or at the end when the end tag of the body is left out', () => {
        const open = '<html><head><title>Menu</title></head><body bgcolor=white>';
        const rows = [
            [`${open}<p>Bread</p></html><!-- tail -->`, '</html><!-- tail -->'],
            [`${open}<p>Bread</p>`, open],
            [`${open}<p>Bread</p></BODY></html>`, '</BODY></html>'],
        ];
        for (const [page, kept] of rows) {
            const allowed = readableByDesign(page, 'body');
            assert.ok(allowed.includes('<title>Menu</title>') && allowed.includes('<body bgcolor=white>'), page);
            assert.ok(allowed.includes(kept) || kept === open, page);
            assert.ok(!allowed.includes('Bread'), page);
        }
    });
    it('keeps only head material readable in body mode when a page has no body tag', () => {
        const allowed = readableByDesign('<title>Menu</title><p>Bread</p>', 'body');
        assert.ok(allowed.includes('<title>Menu</title>'));
        assert.ok(!allowed.includes('Bread'));
    });
});

describe('readableWords', () => {
    it('names visible words found in the protected bytes that the mode should hide', () => {
        const words = readableWords({
            visibleText: 'Menu\nFresh bread daily',
            protectedSource: '<title>Menu</title><SCRIPT>qv_d00(unescape("%46"))</SCRIPT> daily',
            allowedSource: '<title>Menu</title>',
        });
        assert.deepEqual(words, ['daily']);
    });
});
