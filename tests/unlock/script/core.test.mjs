import assert from 'node:assert/strict';
import { createCipheriv, pbkdf2Sync, randomBytes, webcrypto } from 'node:crypto';
import { deflateSync } from 'node:zlib';
import test from 'node:test';
import './fakes.mjs';
import { core } from '../../../src/unlock/core.js';

const iterations = 1000;

/// A page sealed as the C++ side seals it (AES-256-GCM, the tag after the ciphertext), and its data.
function sealed(key, plain, label = 'utf-8') {
    const iv = randomBytes(12);
    const cipher = createCipheriv('aes-256-gcm', key, iv);
    const page = Buffer.concat([cipher.update(plain), cipher.final(), cipher.getAuthTag()]);
    return { salt: randomBytes(16).toString('base64'), iterations, label, iv: iv.toString('base64'),
        page: page.toString('base64') };
}

test('base64 both ways, every byte value', () => {
    const all = Uint8Array.from({ length: 256 }, (_, i) => i);
    assert.equal(core.text(all), Buffer.from(all).toString('base64'));
    assert.deepEqual([...core.bytes(core.text(all))], [...all]);
    assert.equal(core.text(new Uint8Array()), '');
    assert.throws(() => core.bytes('not base64!'));
});

test('the key is PBKDF2-HMAC-SHA256 of the password in NFC, under the page\'s salt and count', async () => {
    const data = { salt: randomBytes(16).toString('base64'), iterations };
    const expected = pbkdf2Sync(Buffer.from('Caf\u00E9 \u{1F511}', 'utf8'), Buffer.from(data.salt, 'base64'), iterations,
        32, 'sha256');
    const composed = Buffer.from(await core.derive('Caf\u00E9 \u{1F511}', data));
    const decomposed = Buffer.from(await core.derive('Cafe\u0301 \u{1F511}', data));
    assert.deepEqual(composed, expected);
    assert.deepEqual(decomposed, expected, 'the same password typed decomposed');
    assert.notDeepEqual(Buffer.from(await core.derive('Cafe', data)), expected);
});

test('the page opens with its key only, given as a key or its bytes, and not once a byte of it changed', async () => {
    const key = randomBytes(32);
    const data = sealed(key, Buffer.from('<p>Gr\u00FC\u00DFe</p>', 'utf8'));
    const cryptoKey = await webcrypto.subtle.importKey('raw', key, 'AES-GCM', false, ['decrypt']);
    for (const given of [key, cryptoKey]) {
        assert.equal(core.decode(await core.decrypt(given, data), data), '<p>Gr\u00FC\u00DFe</p>');
    }
    await assert.rejects(core.decrypt(randomBytes(32), data));
    const bytes = Buffer.from(data.page, 'base64');
    bytes[0] ^= 1;
    await assert.rejects(core.decrypt(cryptoKey, { ...data, page: bytes.toString('base64') }));
});

/// A format-2 page's content as the C++ side lays it out: insertions into the original ([offset, text] pairs).
function content(original, insertions) {
    const head = Buffer.alloc(5 + 8 * insertions.length);
    head.writeUInt32BE(insertions.length, 1);
    insertions.forEach(([at, text], i) => {
        head.writeUInt32BE(at, 5 + 8 * i);
        head.writeUInt32BE(Buffer.byteLength(text), 9 + 8 * i);
    });
    return Buffer.concat([head, ...insertions.map(([, text]) => Buffer.from(text)), Buffer.from(original)]);
}

/// A format-2 page: its content deflated, then sealed with its path as the associated data.
function sealedFor(key, path, packed) {
    const iv = randomBytes(12);
    const cipher = createCipheriv('aes-256-gcm', key, iv);
    cipher.setAAD(Buffer.from(decodeURIComponent(path)));
    const page = Buffer.concat([cipher.update(deflateSync(packed)), cipher.final(), cipher.getAuthTag()]);
    return { label: 'utf-8', path, format: 2, iv: iv.toString('base64'), page: page.toString('base64') };
}

test('a format-2 page opens as its original with its insertions, and only for the path it was sealed for', async () => {
    const key = randomBytes(32);
    const inserted = content('<head></head><p>x</p>', [[0, '<!-- n -->'], [6, '<script>s</script>'], [21, '!']]);
    const data = sealedFor(key, 'a%20b/%C3%A9.html', inserted);
    assert.equal(core.decode(await core.decrypt(key, data), data), '<!-- n --><head><script>s</script></head><p>x</p>!');
    await assert.rejects(core.decrypt(key, { ...data, path: 'a%20b/other.html' }), 'moved to another page');
    const whole = Buffer.concat([Buffer.from([1, 0, 0, 0, 4]), Buffer.from('ABCDoriginal')]);
    const kept = sealedFor(key, 'x.html', whole);
    assert.equal(core.decode(await core.decrypt(key, kept), kept), 'ABCD', 'a shown page kept whole');
});

test('a page stands where it was sealed for: its path, without .html, or its folder for an index', () => {
    const at = [
        ['blog/post.html', '/blog/post.html', true], ['blog/post.html', '/site/blog/post.html', true],
        ['blog/post.html', '/blog/post', true], ['blog/post.html', '/BLOG/Post.HTML', true],
        ['blog/index.html', '/blog/', true], ['index.html', '/', true], ['index.html', '/en/', true],
        ['%C3%A9t%C3%A9.html', '/%C3%A9t%C3%A9.html', true], ['a%20b.html', '/a%20b.html', true],
        ['', '/anywhere.html', true],
        ['blog/post.html', '/blog/other.html', false], ['blog/post.html', '/news/post.html', false],
        ['blog/post.html', '/ablog/post.html', false], ['index.html', '/about.html', false],
        ['blog/index.html', '/news/', false],
    ];
    for (const [path, pathname, expected] of at)
        assert.equal(core.located(path, pathname), expected, `${path} at ${pathname}`);
});

test('the text is read in the set the page names', async () => {
    const key = randomBytes(32);
    const data = sealed(key, Buffer.from('\uFEFF<p>\u65E5\u672C</p>', 'utf16le'), 'utf-16le');
    assert.equal(core.decode(await core.decrypt(key, data), data), '<p>\u65E5\u672C</p>');
});

/// The standard key wrap of key under wrapping, as the C++ side writes a slot.
async function wrapped(wrapping, key) {
    const kek = await webcrypto.subtle.importKey('raw', wrapping, 'AES-KW', false, ['wrapKey']);
    const content = await webcrypto.subtle.importKey('raw', key, 'AES-GCM', true, ['decrypt']);
    return Buffer.from(await webcrypto.subtle.wrapKey('raw', content, kek, 'AES-KW')).toString('base64');
}

test('the content key comes from whichever slot the password\'s key unwraps, and from none for another', async () => {
    const content = randomBytes(32);
    const first = randomBytes(32);
    const second = randomBytes(32);
    const data = sealed(content, Buffer.from('<p>page</p>'));
    data.slots = [await wrapped(first, content), await wrapped(second, content)];
    for (const password of [first, second]) {
        const key = await core.unwrap(password, data);
        assert.equal(core.decode(await core.decrypt(key, data), data), '<p>page</p>');
    }
    await assert.rejects(core.unwrap(randomBytes(32), data));
    await assert.rejects(core.unwrap(first, { slots: [] }));
});

test('the unwrapped key decrypts and nothing else, and its bytes can never be read', async () => {
    const content = randomBytes(32);
    const password = randomBytes(32);
    const key = await core.unwrap(password, { slots: [await wrapped(password, content)] });
    assert.equal(key.extractable, false);
    assert.deepEqual(key.usages, ['decrypt']);
    assert.equal(key.algorithm.name, 'AES-GCM');
    await assert.rejects(webcrypto.subtle.exportKey('raw', key));
    await assert.rejects(webcrypto.subtle.encrypt({ name: 'AES-GCM', iv: randomBytes(12) }, key, Buffer.from('x')));
});

// RFC 3394, 4.6: the published wrap of 256 bits under a 256-bit key, unwrapped as the page does it.
test('a slot of the published key wrap answer unwraps to its key', async () => {
    const kek = Buffer.from('000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F', 'hex');
    const slot = Buffer.from('28C9F404C4B810F4CBCCB35CFB87F8263F5786E2D80ED326CBC7F0E71A99F43BFB988B9B7A02DD21', 'hex');
    const key = await core.unwrap(kek, { slots: [slot.toString('base64')] });
    // The key itself cannot be read: a page sealed under the published key opens with it, and under another not.
    const published = Buffer.from('00112233445566778899AABBCCDDEEFF000102030405060708090A0B0C0D0E0F', 'hex');
    const data = sealed(published, Buffer.from('known'));
    assert.equal(core.decode(await core.decrypt(key, data), data), 'known');
    published[0] ^= 1;
    await assert.rejects(core.decrypt(key, sealed(published, Buffer.from('known'))));
});
