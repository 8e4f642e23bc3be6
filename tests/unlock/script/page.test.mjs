// The script as the build joined it (QUILLORA_UNLOCK_SCRIPT names the file), run in a stand-in of the unlock page:
// what a visitor meets in each case. Each test waits for the page's own event (written, asked, refused), not for
// time.
import assert from 'node:assert/strict';
import { createCipheriv, pbkdf2Sync, randomBytes, webcrypto } from 'node:crypto';
import fs from 'node:fs';
import test from 'node:test';
import vm from 'node:vm';
import { FakeBus, FakeIndexedDB, FakeStorage } from './fakes.mjs';

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

const saltText = salt.toString('base64');
const kDayMs = 864e5;
const keyOf = (raw) => webcrypto.subtle.importKey('raw', raw, 'AES-GCM', false, ['decrypt']);

/// A check box of the form: its change listener is what the script gave it.
function checkBox() {
    return {
        checked: false,
        listeners: {},
        addEventListener(type, f) {
            this.listeners[type] = f;
        },
    };
}

/// Runs the script in a page of its own; the promises resolve on what the page does. boxes: the form's check boxes
/// (qv-show, qv-remember) the page has; pages written before them had none.
function openPage({ data = pageData(), session = new FakeStorage(), local = new FakeStorage(), secure = true,
    hash = '', db = new FakeIndexedDB(), bus = new FakeBus(), protocol = 'https:', frames = [], boxes = [] } = {}) {
    const events = {};
    const happened = (name) => new Promise((resolve) => {
        events[name] = resolve;
    });
    const written = happened('written');
    const asked = happened('asked');
    const settled = happened('settled');
    const reloaded = happened('reloaded');
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
    const input = { value: '', type: 'password', focus: () => events.asked(), select() {} };
    const elements = {
        'qv-data': { textContent: JSON.stringify(data) },
        'qv-form': form,
        'qv-password': input,
        'qv-error': { textContent: '', dataset: { wrong: 'Wrong password' } },
        'qv-insecure': { hidden: true },
    };
    for (const id of boxes) elements[id] = checkBox();
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
        location: protocol === 'file:'
            ? { protocol, origin: 'null', hash, href: `file:///site/a.html${hash}`, reload: () => events.reloaded() }
            : { protocol, origin: 'https://example.com', hash, href: `https://example.com/a.html${hash}`,
                reload: () => events.reloaded() },
        history: {
            state: null,
            replaceState(state, title, url) {
                window.location.href = url;
            },
        },
        sessionStorage: session,
        localStorage: local,
        indexedDB: db,
        BroadcastChannel: bus.channelClass(),
        frames,
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
    return { window, form, input, elements, written, asked, settled, reloaded };
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

/// The entries the page kept, by id.
const keptIn = (db) => db.entries('keys');

/// Resolves once holds() is true, looking again after each turn of the event loop (the page keeps its key while
/// it writes the page, not before).
function until(holds) {
    return new Promise((done) => {
        const check = () => (holds() ? done() : setTimeout(check));
        check();
    });
}
const keptOne = (db) => until(() => Object.keys(keptIn(db)).length === 1);

/// Whether key is the site's content key: it opens a page sealed under rawKey.
async function opensPage(key) {
    const data = pageData();
    const iv = Buffer.from(data.iv, 'base64');
    return webcrypto.subtle.decrypt({ name: 'AES-GCM', iv }, key, Buffer.from(data.page, 'base64')).then(() => true,
        () => false);
}

test('the typed password opens the page and keeps the key as a key, remembered for the days allowed or for the session',
    { skip }, async () => {
        for (const days of [7, 0]) {
            const session = new FakeStorage();
            const local = new FakeStorage();
            const db = new FakeIndexedDB();
            const page = openPage({ data: pageData(days), session, local, db });
            assert.equal(await outcome(page), 'asked');
            assert.equal(page.form.hidden, false);
            const before = Date.now();
            submit(page, 'Cafe\u0301 pass');
            assert.equal(await page.written, pageText);
            await keptOne(db);
            const [entry, ...more] = Object.values(keptIn(db));
            assert.equal(more.length, 0);
            assert.equal(entry.salt, saltText);
            assert.equal(entry.key.extractable, false, 'the key can never be read back as bytes');
            assert.equal(await opensPage(entry.key), true);
            const name = session.getItem('quillora-session');
            assert.equal(entry.session, days ? undefined : name, `${days} days`);
            const kept = (days || 1) * kDayMs;
            assert.ok(entry.expires >= before + kept && entry.expires <= Date.now() + kept);
            assert.deepEqual(session.entries(), { 'quillora-session': name }, 'no key in Web Storage');
            assert.deepEqual(local.entries(), {});
        }
    });

test('a wrong password shows the message, opens nothing and keeps nothing', { skip }, async () => {
    const db = new FakeIndexedDB();
    const page = openPage({ db });
    await page.asked;
    submit(page, 'wrong');
    await page.settled;
    assert.equal(page.elements['qv-error'].textContent, 'Wrong password');
    assert.deepEqual(keptIn(db), {});
    assert.equal(page.form.getAttribute('aria-busy'), null);
});

/// A database holding the given entries, as a page of the site kept them.
async function dbWith(rows) {
    const db = new FakeIndexedDB();
    const seed = openPage({ db });
    await seed.asked;
    for (const row of rows) {
        db.stores.get('keys').rows.set(row.id, row);
    }
    return db;
}

test('on every load, expired entries, other salts and keys that do not open the page go; a live key opens it',
    { skip }, async () => {
        const key = await keyOf(rawKey);
        const live = Date.now() + kDayMs;
        const cases = [
            { rows: [{ id: saltText, salt: saltText, key, expires: live }], outcome: 'written', left: [saltText] },
            { rows: [{ id: saltText, salt: saltText, key, expires: Date.now() - 1 }], outcome: 'asked', left: [] },
            { rows: [{ id: 'o', salt: 'b3RoZXI=', key, expires: live }], outcome: 'asked', left: [] },
            { rows: [{ id: saltText, salt: saltText, key: await keyOf(randomBytes(32)), expires: live }],
                outcome: 'asked', left: [] },
            { rows: [{ id: 'x', salt: saltText, key, session: 'another tab', expires: live }], outcome: 'asked',
                left: ['x'] },
            { rows: [{ id: 'old', salt: 'b3RoZXI=', key, expires: 0 }, { id: saltText, salt: saltText, key,
                expires: live }], outcome: 'written', left: [saltText] },
        ];
        for (const c of cases) {
            const db = await dbWith(c.rows);
            const page = openPage({ db });
            assert.equal(await outcome(page), c.outcome, JSON.stringify(c.rows.map((r) => r.id)));
            await until(() => Object.keys(keptIn(db)).join() === c.left.join());
        }
    });

test('a session\'s key opens the pages of its tab only', { skip }, async () => {
    const db = new FakeIndexedDB();
    const session = new FakeStorage();
    const first = openPage({ data: pageData(0), session, db });
    await first.asked;
    submit(first, password);
    await first.written;
    await keptOne(db);
    assert.equal(await outcome(openPage({ session, db })), 'written');
    assert.equal(await outcome(openPage({ db })), 'asked', 'another tab');
    assert.equal(Object.keys(keptIn(db)).length, 1, 'and the first tab\'s key stays for it');
});

test('raw keys left in Web Storage by earlier pages go, and do not open the page', { skip }, async () => {
    const old = `quillora-key:${saltText}`;
    const session = new FakeStorage({ [old]: rawKey.toString('base64'), other: 'x' });
    const local = new FakeStorage({ [old]: JSON.stringify({ key: rawKey.toString('base64'), expires: 9e15 }) });
    const page = openPage({ session, local });
    assert.equal(await outcome(page), 'asked');
    await until(() => local.length === 0);
    assert.deepEqual(Object.keys(session.entries()), ['other', 'quillora-session']);
});

test('the forget address forgets every key, asks again, and locks the site\'s other open tabs', { skip }, async () => {
    const db = new FakeIndexedDB();
    const bus = new FakeBus();
    const other = openPage({ db, bus });
    await other.asked;
    submit(other, password);
    await other.written;
    await keptOne(db);
    db.stores.get('keys').rows.set('o', { id: 'o', salt: 'b3RoZXI=', key: {}, expires: 9e15 });
    const page = openPage({ db, bus, hash: '#quillora-forget' });
    assert.equal(await outcome(page), 'asked');
    assert.deepEqual(keptIn(db), {});
    assert.equal(page.window.location.href, 'https://example.com/a.html');
    await other.reloaded;
});

test('the show-password box shows the typed password and hides it again', { skip }, async () => {
    const page = openPage({ boxes: ['qv-show'] });
    await page.asked;
    const show = page.elements['qv-show'];
    for (const [checked, type] of [[true, 'text'], [false, 'password'], [true, 'text']]) {
        show.checked = checked;
        show.listeners.change();
        assert.equal(page.input.type, type);
    }
});

test('with a remember-me box the key outlives the session only when the visitor checks it', { skip }, async () => {
    for (const remember of [false, true]) {
        const session = new FakeStorage();
        const db = new FakeIndexedDB();
        const page = openPage({ data: pageData(30), session, db, boxes: ['qv-show', 'qv-remember'] });
        await page.asked;
        page.elements['qv-remember'].checked = remember;
        submit(page, password);
        assert.equal(await page.written, pageText);
        await keptOne(db);
        const [entry] = Object.values(keptIn(db));
        const name = session.getItem('quillora-session');
        assert.equal(entry.session, remember ? undefined : name, `remember checked: ${remember}`);
    }
});

test('a key kept in another tab opens a tab that waits for the password', { skip }, async () => {
    const db = new FakeIndexedDB();
    const bus = new FakeBus();
    const waiting = openPage({ db, bus });
    await waiting.asked;
    const typing = openPage({ data: pageData(3), db, bus });
    await typing.asked;
    submit(typing, password);
    assert.equal(await waiting.written, pageText);
});

/// A frame that records what is posted to it.
function spyFrame() {
    const posted = [];
    return { posted, frames: [], postMessage: (message, target) => posted.push({ message, target }) };
}

test('a page from a file keeps nothing and tells no frame; over https the frames hear of the key at its origin only',
    { skip }, async () => {
        const db = new FakeIndexedDB();
        const spy = spyFrame();
        const fromFile = openPage({ protocol: 'file:', db, frames: [spy] });
        await fromFile.asked;
        submit(fromFile, password);
        await fromFile.written;
        assert.equal(db.openings, 0);
        assert.deepEqual(spy.posted, []);

        const served = openPage({ frames: [spy] });
        await served.asked;
        submit(served, password);
        await served.written;
        assert.equal(spy.posted.length, 1);
        assert.equal(spy.posted[0].target, 'https://example.com');
        assert.equal(spy.posted[0].message.quillora, saltText);
        assert.equal(await opensPage(spy.posted[0].message.key), true);
    });
