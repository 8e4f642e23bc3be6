import assert from 'node:assert/strict';
import test from 'node:test';
import { forget, kDayMs, keep, keyName, storedKey } from '../../../src/unlock/keys.js';
import { FakeStorage, refusingStorage, storesOf } from './fakes.mjs';

const name = keyName('c2FsdA==');
const now = 1_700_000_000_000;
const remembered = (key, expires) => JSON.stringify({ key, expires });

test('a run\'s key is kept under a name of its salt, apart from other runs and other data', () => {
    assert.equal(name, 'quillora-key:c2FsdA==');
    assert.notEqual(keyName('b3RoZXI='), name);
});

test('the session\'s key comes first, then a remembered one that has not expired', () => {
    const local = new FakeStorage({ [name]: remembered('kept', now + 1) });
    assert.equal(storedKey(storesOf(new FakeStorage({ [name]: 'session' }), local), name, now), 'session');
    assert.equal(storedKey(storesOf(new FakeStorage(), local), name, now), 'kept');
    assert.equal(storedKey(storesOf(new FakeStorage(), new FakeStorage()), name, now), null);
});

test('an expired key is not used and goes', () => {
    for (const expires of [now, now - 1]) {
        const local = new FakeStorage({ [name]: remembered('old', expires), other: 'x' });
        assert.equal(storedKey(storesOf(new FakeStorage(), local), name, now), null);
        assert.deepEqual(local.entries(), { other: 'x' });
    }
});

test('stores that refuse, or hold what is not a kept key, give no key and no error', () => {
    assert.equal(storedKey(storesOf(refusingStorage, refusingStorage), name, now), null);
    const local = new FakeStorage({ [name]: 'not json' });
    assert.equal(storedKey(storesOf(new FakeStorage(), local), name, now), null);
    assert.equal(local.getItem(name), 'not json', 'left alone');
    assert.equal(storedKey(storesOf(refusingStorage, new FakeStorage({ [name]: remembered('k', now + 1) })), name, now),
        'k', 'a refusing session store does not hide a remembered key');
});

test('a key is kept for the session, and remembered only when typed and the run allows days', () => {
    const cases = [
        { typed: true, days: 30, remembered: { key: 'k', expires: now + 30 * kDayMs } },
        { typed: true, days: 0, remembered: null },
        { typed: false, days: 30, remembered: null },
    ];
    for (const c of cases) {
        const session = new FakeStorage();
        const local = new FakeStorage();
        keep(storesOf(session, local), name, 'k', c.typed, c.days, now);
        assert.equal(session.getItem(name), 'k');
        assert.deepEqual(JSON.parse(local.getItem(name)), c.remembered, JSON.stringify(c));
    }
    assert.equal(kDayMs, 24 * 60 * 60 * 1000);
    const local = new FakeStorage();
    keep(storesOf(refusingStorage, local), name, 'k', true, 1, now);
    assert.equal(JSON.parse(local.getItem(name)).key, 'k', 'a refusing session store does not stop remembering');
});

test('forgetting takes this run\'s key from both stores, or every run\'s, and nothing else', () => {
    const entries = () => ({ 'quillora-key:a': '1', [name]: '2', 'quillora-key:b': '3', 'quillora-keys': '4', x: '5' });
    let session = new FakeStorage(entries());
    let local = new FakeStorage(entries());
    forget(storesOf(session, local), name, false);
    for (const store of [session, local]) {
        assert.deepEqual(Object.keys(store.entries()), ['quillora-key:a', 'quillora-key:b', 'quillora-keys', 'x']);
    }
    session = new FakeStorage(entries());
    local = new FakeStorage(entries());
    forget(storesOf(session, local), name, true);
    for (const store of [session, local]) {
        assert.deepEqual(Object.keys(store.entries()), ['quillora-keys', 'x']);
    }
    local = new FakeStorage(entries());
    forget(storesOf(refusingStorage, local), name, true);
    assert.deepEqual(Object.keys(local.entries()), ['quillora-keys', 'x'], 'a refusing store does not stop the other');
});
