import assert from 'node:assert/strict';
import test from 'node:test';
import { entries, entryOf, kDayMs, kStore, keep, remove, sessionOf, sift } from '../../../src/unlock/keys.js';
import { FakeIndexedDB, FakeStorage, refusingStorage, storesOf } from './fakes.mjs';

const salt = 'c2FsdA==';
const now = 1_700_000_000_000;
const key = { type: 'secret' };

test('a tab names its session once, keeps the name, and has none where session storage is refused', () => {
    const session = new FakeStorage({ other: 'x' });
    const stores = storesOf(session, new FakeStorage());
    assert.equal(sessionOf(stores, 'first'), 'first');
    assert.equal(sessionOf(stores, 'second'), 'first', 'the name stays for the tab');
    assert.deepEqual(session.entries(), { other: 'x', 'quillora-session': 'first' });
    assert.equal(sessionOf(storesOf(refusingStorage, new FakeStorage()), 'fresh'), null);
});

test('a typed key is remembered for the days allowed, else kept for the session, and never without either', () => {
    const forSession = { id: `${salt} s`, salt, key, session: 's', expires: now + kDayMs };
    const cases = [
        { typed: true, days: 30, session: 's', want: { id: salt, salt, key, expires: now + 30 * kDayMs } },
        { typed: true, days: 0, session: 's', want: forSession },
        { typed: false, days: 30, session: 's', want: forSession },
        { typed: true, days: 0, session: null, want: null },
        { typed: true, days: 7, session: null, want: { id: salt, salt, key, expires: now + 7 * kDayMs } },
    ];
    for (const c of cases) {
        assert.deepEqual(entryOf(key, salt, c.typed, c.days, c.session, now), c.want, JSON.stringify(c));
    }
    assert.equal(kDayMs, 24 * 60 * 60 * 1000);
});

test('sifting keeps this salt\'s live entries of this session or of none, and drops expired and other salts', () => {
    const live = now + 1;
    const kept = [
        { id: 'remembered', salt, key, expires: live },
        { id: 'mine', salt, key, session: 'me', expires: live },
        { id: 'theirs', salt, key, session: 'them', expires: live },
        { id: 'expired', salt, key, expires: now },
        { id: 'long expired', salt, key, session: 'me', expires: now - kDayMs },
        { id: 'other salt', salt: 'b3RoZXI=', key, expires: live },
        { id: 'no expiry', salt, key },
        { id: 'no key', salt, expires: live },
    ];
    const { usable, stale } = sift(kept, salt, 'me', now);
    assert.deepEqual(usable.map((e) => e.id), ['remembered', 'mine']);
    assert.deepEqual(stale, ['expired', 'long expired', 'other salt', 'no expiry', 'no key'],
        'another session\'s live entry stays for its tab');
    assert.deepEqual(sift(kept, salt, null, now).usable.map((e) => e.id), ['remembered'],
        'no session, no session key');
    assert.deepEqual(sift([], salt, 'me', now), { usable: [], stale: [] });
});

test('the entries of a site\'s levels stay side by side, and those of other sites go', () => {
    const site = 'c2l0ZQ==';
    const level = 'bGV2ZWw=';
    const live = now + 1;
    const ofLevel = entryOf(key, level, true, 1, 's', now, site);
    assert.deepEqual(ofLevel, { id: level, salt: level, key, expires: now + kDayMs, site });
    assert.equal(entryOf(key, site, true, 1, 's', now, site).site, undefined, 'the site\'s own entries as before');
    const kept = [
        { id: 'site', salt: site, key, expires: live },
        { id: 'level', salt: level, key, site, expires: live },
        { id: 'other level', salt: 'b3RoZXI=', key, site, expires: live },
        { id: 'other site', salt: 'b3RoZXI=', key, expires: live },
        { id: 'level of another site', salt: level, key, site: 'b3RoZXI=', expires: live },
    ];
    const onLevel = sift(kept, level, 's', now, site);
    assert.deepEqual(onLevel.usable.map((e) => e.id), ['level']);
    assert.deepEqual(onLevel.stale, ['other site', 'level of another site']);
    const onSite = sift(kept, site, 's', now);
    assert.deepEqual(onSite.usable.map((e) => e.id), ['site']);
    assert.deepEqual(onSite.stale, ['other site', 'level of another site']);
});

test('entries are kept, read back and removed by id or all at once in the browser\'s database', async () => {
    const factory = new FakeIndexedDB();
    const stores = storesOf(new FakeStorage(), new FakeStorage());
    const first = entryOf(key, salt, true, 1, 's', now);
    const second = entryOf(key, 'b3RoZXI=', false, 0, 's', now);
    assert.equal(await keep(factory, first), true);
    assert.equal(await keep(factory, second), true);
    assert.deepEqual(await entries(factory), [first, second]);
    await remove(factory, [first.id], false, stores);
    assert.deepEqual(Object.keys(factory.entries(kStore)), [second.id]);
    await keep(factory, first);
    await remove(factory, [], true, stores);
    assert.deepEqual(await entries(factory), []);
});

test('a browser that keeps nothing gives no entries and no error, and nothing is kept without an entry', async () => {
    const stores = storesOf(refusingStorage, refusingStorage);
    for (const factory of [null, new FakeIndexedDB({ refuse: true })]) {
        assert.deepEqual(await entries(factory), []);
        assert.equal(await keep(factory, entryOf(key, salt, true, 1, null, now)), false);
        await assert.doesNotReject(remove(factory, ['x'], false, stores));
        await assert.doesNotReject(remove(factory, [], true, stores));
    }
    const factory = new FakeIndexedDB();
    assert.equal(await keep(factory, null), false);
    await remove(factory, [], false, stores);
    assert.equal(factory.openings, 0, 'nothing to keep or remove opens nothing');
});

test('raw keys that earlier pages left in Web Storage go on every removal, and nothing else there', async () => {
    const old = () => ({ 'quillora-key:a': 'AAAA', x: '1', 'quillora-session': 's', 'quillora-keys': '2' });
    const session = new FakeStorage(old());
    const local = new FakeStorage(old());
    await remove(null, [], false, storesOf(session, local));
    for (const store of [session, local]) {
        assert.deepEqual(Object.keys(store.entries()), ['x', 'quillora-session', 'quillora-keys']);
    }
    const alone = new FakeStorage(old());
    await remove(null, [], false, storesOf(refusingStorage, alone));
    assert.equal(alone.getItem('quillora-key:a'), null, 'a refusing store does not stop the other');
});
