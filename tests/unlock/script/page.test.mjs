// The script as the build joined it (QUILLORA_UNLOCK_SCRIPT names the file), run in a stand-in of the unlock page:
// what a visitor meets in each case. Each test waits for the page's own event (written, asked, refused), not for
// time.
import assert from 'node:assert/strict';
import { createCipheriv, pbkdf2Sync, randomBytes, webcrypto } from 'node:crypto';
import fs from 'node:fs';
import test from 'node:test';
import vm from 'node:vm';
import { FakeStorage } from './fakes.mjs';

const scriptPath = process.env.QUILLORA_UNLOCK_SCRIPT;
const script = scriptPath ? fs.readFileSync(scriptPath, 'latin1') : null;
const skip = script ? false : 'QUILLORA_UNLOCK_SCRIPT does not name the joined script';

const password = 'Caf\u00E9 pass';
const pageText = '<!DOCTYPE html><title>Opened</title><p>Gr\u00FC\u00DFe</p>';
const salt = randomBytes(16);
const derived = pbkdf2Sync(Buffer.from(password, 'utf8'), salt, 1000, 32, 'sha256');
// The site's content key, which the browser keeps, and its slot under the password's key beside another password's.
const rawKey = randomBytes(32);
async function slotOf(wrapping) {
    const kek = await webcrypto.subtle.importKey('raw', wrapping, 'AES-KW', false, ['wrapKey']);
    const content = await webcrypto.subtle.importKey('raw', rawKey, 'AES-GCM', true, ['decrypt']);
    return Buffer.from(await webcrypto.subtle.wrapKey('raw', content, kek, 'AES-KW')).toString('base64');
}
const slots = [await slotOf(randomBytes(32)), await slotOf(derived)];

/// The data an unlock page carries for pageText, sealed under the site's content key.
function pageData(remember = 0) {
    const iv = randomBytes(12);
    const cipher = createCipheriv('aes-256-gcm', rawKey, iv);
    const page = Buffer.concat([cipher.update(pageText, 'utf8'), cipher.final(), cipher.getAuthTag()]);
    return { salt: salt.toString('base64'), iterations: 1000, slots, remember, label: 'utf-8', page: page.toString('base64'),
        iv: iv.toString('base64') };
}

const keyName = `quillora-key:${salt.toString('base64')}`;

/// Runs the script in a page of its own; the promises resolve on what the page does.
function openPage({ data = pageData(), session = new FakeStorage(), local = new FakeStorage(), secure = true,
    hash = '' } = {}) {
    const events = {};
    const happened = (name) => new Promise((resolve) => {
        events[name] = resolve;
    });
    const written = happened('written');
    const asked = happened('asked');
    const settled = happened('settled');
    const attributes = {};
    const form = {
        hidden: true,
        listeners: {},
        addEventListener(type, f) {
            this.listeners[type] = f;
        },
        getAttribute: (n) => attributes[n] ?? null,
        setAttribute: (n, v) => {
            attributes[n] = v;
        },
        removeAttribute: (n) => {
            delete attributes[n];
            events.settled?.();
        },
    };
    const input = { value: '', focus: () => events.asked(), select() {} };
    const elements = {
        'qv-data': { textContent: JSON.stringify(data) },
        'qv-form': form,
        'qv-password': input,
        'qv-error': { textContent: '', dataset: { wrong: 'Wrong password' } },
        'qv-insecure': { hidden: true },
    };
    let text = '';
    const window = {
        document: {
            readyState: 'complete',
            getElementById: (id) => elements[id],
            open() {},
            write(t) {
                text += t;
            },
            close: () => events.written(text),
        },
        location: { protocol: 'https:', origin: 'https://example.com', hash, href: `https://example.com/a.html${hash}`,
            reload() {} },
        history: {
            state: null,
            replaceState(state, title, url) {
                window.location.href = url;
            },
        },
        sessionStorage: session,
        localStorage: local,
        frames: [],
        isSecureContext: secure,
        crypto: globalThis.crypto,
        atob,
        btoa,
        setTimeout,
        TextEncoder,
        TextDecoder,
    };
    window.listeners = {};
    window.addEventListener = (type, f) => (window.listeners[type] ??= []).push(f);
    window.window = window;
    window.top = window;
    vm.runInNewContext(script, window);
    return { window, form, input, elements, written, asked, settled };
}

/// What the page did first: asked for the password, or wrote the opened page.
function outcome(page) {
    return Promise.race([page.asked.then(() => 'asked'), page.written.then(() => 'written')]);
}

/// Types the password and presses Enter.
function submit(page, typed) {
    page.input.value = typed;
    page.form.listeners.submit({ preventDefault() {} });
}

test('the joined script is one classic script of printable ASCII that nothing in it can end', { skip }, () => {
    assert.doesNotThrow(() => new vm.Script(script));
    assert.match(script, /^\(\(\) => \{\n'use strict';\n/);
    assert.match(script, /\n\}\)\(\);\n$/);
    assert.doesNotMatch(script, /[^\n -~]/);
    assert.doesNotMatch(script, /<\/script|<!--/i);
    assert.doesNotMatch(script, /^(\/\/| |import |export )/m, 'no comment line, indentation, import or export');
});

test('outside a secure context the page says why and asks for nothing', { skip }, () => {
    const page = openPage({ secure: false });
    assert.equal(page.elements['qv-insecure'].hidden, false);
    assert.equal(page.form.hidden, true);
    assert.equal(page.form.listeners.submit, undefined);
});

test('the typed password opens the page and the key is kept for the session, and for the days allowed',
    { skip }, async () => {
        const session = new FakeStorage();
        const local = new FakeStorage();
        const page = openPage({ data: pageData(7), session, local });
        assert.equal(await outcome(page), 'asked');
        assert.equal(page.form.hidden, false);
        submit(page, 'Cafe\u0301 pass');
        assert.equal(await page.written, pageText);
        assert.equal(session.getItem(keyName), rawKey.toString('base64'));
        assert.equal(JSON.parse(local.getItem(keyName)).key, rawKey.toString('base64'));
    });

test('a wrong password shows the message and opens nothing', { skip }, async () => {
    const session = new FakeStorage();
    const page = openPage({ session });
    await page.asked;
    submit(page, 'wrong');
    await page.settled;
    assert.equal(page.elements['qv-error'].textContent, 'Wrong password');
    assert.equal(session.length, 0);
    assert.equal(page.form.getAttribute('aria-busy'), null);
});

test('a kept key opens the page without a question', { skip }, async () => {
    const session = new FakeStorage({ [keyName]: rawKey.toString('base64') });
    const page = openPage({ session });
    assert.equal(await outcome(page), 'written');
    assert.equal(await page.written, pageText);
    assert.equal(page.form.hidden, true);
});

test('a kept key that does not open the page is forgotten and the password asked for', { skip }, async () => {
    const session = new FakeStorage({ [keyName]: randomBytes(32).toString('base64'), other: 'x' });
    const page = openPage({ session });
    assert.equal(await outcome(page), 'asked');
    assert.deepEqual(session.entries(), { other: 'x' });
});

test('the forget address forgets every run\'s key and asks again', { skip }, async () => {
    const session = new FakeStorage({ [keyName]: rawKey.toString('base64'), 'quillora-key:other': 'k' });
    const page = openPage({ session, hash: '#quillora-forget' });
    assert.equal(await outcome(page), 'asked');
    assert.equal(session.length, 0);
    assert.equal(page.window.location.href, 'https://example.com/a.html');
});
