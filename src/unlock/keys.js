// Where a browser keeps the key of a run, so that one password opens every page of the run: for the browser's
// session, and for a number of days where the visitor typed the password and the run allows it. A browser may
// refuse its storage (private modes, pages from files): every access goes through quietly, and stores names
// getters, so that even reaching a store may fail quietly.

export const kKeyPrefix = 'quillora-key:';
export const kDayMs = 864e5;

// f's result, or null when it throws.
export function quietly(f) {
  try {
    return f();
  } catch (e) {
    return null;
  }
}

// The name a run's key is kept under: one per salt, which every page of the run carries.
export function keyName(salt) {
  return kKeyPrefix + salt;
}

// The key kept for a run: the session's, else a remembered one that has not expired (an expired one goes).
export function storedKey(stores, name, now) {
  const key = quietly(() => stores.session.getItem(name));
  if (key) return key;
  const kept = quietly(() => JSON.parse(stores.local.getItem(name)));
  if (kept && kept.expires > now) return kept.key;
  if (kept) quietly(() => stores.local.removeItem(name));
  return null;
}

// Keeps a key for the session and, when the visitor typed the password and the run allows it, for rememberDays.
export function keep(stores, name, key, typed, rememberDays, now) {
  quietly(() => stores.session.setItem(name, key));
  if (typed && rememberDays > 0)
    quietly(() => stores.local.setItem(name, JSON.stringify({key, expires: now + rememberDays * kDayMs})));
}

// Forgets the run's key, or the keys of every run (all).
export function forget(stores, name, all) {
  for (const kind of ['session', 'local']) quietly(() => {
    const store = stores[kind];
    for (let i = store.length - 1; i >= 0; i--)
      if (all ? store.key(i).startsWith(kKeyPrefix) : store.key(i) === name) store.removeItem(store.key(i));
  });
}
