// Where a browser keeps the site's content key, so that one password opens every page of the site: as the unwrap
// gives it, a CryptoKey that decrypts and can never be read back as bytes, in IndexedDB (which keeps such keys as
// they are). An entry is remembered for the days the run allows where the visitor typed the password, else it
// belongs to the tab's session: the tab's sessionStorage holds a random name for its session (no key material),
// the entry names that session and serves no other, and it goes a day after it was kept whatever happens to the
// tab. Every load removes expired entries, entries of other sites, and entries of the page's salt that no longer
// open it. A site's access levels have salts of their own; their pages name the salt of the site's own key (site),
// and the entries of one site's salts stay side by side. A browser may refuse any of this (private modes, sandboxed
// frames): every access goes through quietly.

export const kDayMs = 864e5;
export const kDatabase = 'quillora';
export const kStore = 'keys';
export const kSessionName = 'quillora-session';
// The keys of earlier versions of the page, kept as base64 in Web Storage: removed wherever they are met.
export const kOldPrefix = 'quillora-key:';

// f's result, or null when it throws.
export function quietly(f) {
  try {
    return f();
  } catch (e) {
    return null;
  }
}

// The name of the tab's session (in stores.session), made on first use from fresh; null where the tab keeps no
// session storage.
export function sessionOf(stores, fresh) {
  return quietly(() => {
    const storage = stores.session;
    if (!storage.getItem(kSessionName)) storage.setItem(kSessionName, fresh);
    return storage.getItem(kSessionName);
  });
}

// The entry that keeps key for the page of salt: remembered for rememberDays where typed, else for the session
// (null when there is none to keep it for). A level's entry names its site's salt.
export function entryOf(key, salt, typed, rememberDays, session, now, site = salt) {
  const of = site === salt ? {} : {site};
  if (typed && rememberDays > 0) return {id: salt, salt, key, expires: now + rememberDays * kDayMs, ...of};
  return session ? {id: `${salt} ${session}`, salt, key, session, expires: now + kDayMs, ...of} : null;
}

// The kept entries sorted for a page of salt (of the site whose own key has the salt site) in session at now: those
// to try, and the ids of those that go. Another session's entry stays (another tab may be using it) until it
// expires, and so do the entries of the site's other levels.
export function sift(entries, salt, session, now, site = salt) {
  const usable = [];
  const stale = [];
  for (const entry of entries) {
    if ((entry.site || entry.salt) !== site || !(entry.expires > now) || !entry.key) stale.push(entry.id);
    else if (entry.salt === salt && (!entry.session || entry.session === session)) usable.push(entry);
  }
  return {usable, stale};
}

// The result of request once it succeeded.
function settled(request) {
  return new Promise((resolve, reject) => {
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
  });
}

// Runs act on the store of kept keys (made on first use) in one transaction of mode; its request's result once
// the transaction is done. Rejects where the browser keeps nothing.
export async function withStore(factory, mode, act) {
  const opening = factory.open(kDatabase);
  opening.onupgradeneeded = () => opening.result.createObjectStore(kStore, {keyPath: 'id'});
  const db = await settled(opening);
  try {
    const transaction = db.transaction(kStore, mode);
    const request = act(transaction.objectStore(kStore));
    await new Promise((resolve, reject) => {
      transaction.oncomplete = resolve;
      transaction.onerror = transaction.onabort = () => reject(transaction.error);
    });
    return request && request.result;
  } finally {
    db.close();
  }
}

// Every kept entry; none where nothing can be read.
export function entries(factory) {
  return factory ? withStore(factory, 'readonly', (store) => store.getAll()).catch(() => []) : Promise.resolve([]);
}

// Keeps entry; whether it was kept.
export function keep(factory, entry) {
  if (!factory || !entry) return Promise.resolve(false);
  return withStore(factory, 'readwrite', (store) => store.put(entry)).then(() => true, () => false);
}

// Removes the entries of ids, or every entry (all); and the keys earlier versions left in Web Storage.
export function remove(factory, ids, all, stores) {
  for (const name of ['session', 'local']) quietly(() => {
    const store = stores[name];
    for (let i = store.length - 1; i >= 0; i--) if (store.key(i).startsWith(kOldPrefix)) store.removeItem(store.key(i));
  });
  if (!factory || !(all || ids.length)) return Promise.resolve();
  return withStore(factory, 'readwrite', (store) => {
    if (all) return store.clear();
    for (const id of ids) store.delete(id);
    return null;
  }).catch(() => undefined);
}
