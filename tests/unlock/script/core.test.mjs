import assert from 'node:assert/strict';
import { createCipheriv, pbkdf2Sync, randomBytes, webcrypto } from 'node:crypto';
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

test('the page opens with its key only, and not once a byte of it changed', async () => {
    const key = randomBytes(32);
    const data = sealed(key, Buffer.from('<p>Gr\u00FC\u00DFe</p>', 'utf8'));
    assert.equal(core.decode(await core.decrypt(key, data), data), '<p>Gr\u00FC\u00DFe</p>');
    await assert.rejects(core.decrypt(randomBytes(32), data));
    const bytes = Buffer.from(data.page, 'base64');
    bytes[0] ^= 1;
    await assert.rejects(core.decrypt(key, { ...data, page: bytes.toString('base64') }));
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
    const data = { slots: [await wrapped(first, content), await wrapped(second, content)] };
    assert.deepEqual(Buffer.from(await core.unwrap(first, data)), content);
    assert.deepEqual(Buffer.from(await core.unwrap(second, data)), content);
    await assert.rejects(core.unwrap(randomBytes(32), data));
    await assert.rejects(core.unwrap(first, { slots: [] }));
});

// RFC 3394, 4.6: the published wrap of 256 bits under a 256-bit key, unwrapped as the page does it.
test('a slot of the published key wrap answer unwraps to its key', async () => {
    const kek = Buffer.from('000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F', 'hex');
    const slot = Buffer.from('28C9F404C4B810F4CBCCB35CFB87F8263F5786E2D80ED326CBC7F0E71A99F43BFB988B9B7A02DD21', 'hex');
    const key = Buffer.from(await core.unwrap(kek, { slots: [slot.toString('base64')] }));
    assert.equal(key.toString('hex').toUpperCase(), '00112233445566778899AABBCCDDEEFF000102030405060708090A0B0C0D0E0F');
});
