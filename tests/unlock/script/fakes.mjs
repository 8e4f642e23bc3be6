// Stand-ins for what a browser gives the unlock script: Web Storage, and WebCrypto as a global on Node.js 18.
import { webcrypto } from 'node:crypto';

// Node.js 18 has WebCrypto as a module only; the script uses the global a browser has.
if (!globalThis.crypto?.subtle) {
    globalThis.crypto = webcrypto;
}

/// Web Storage over a Map, keys in the order they were set.
export class FakeStorage {
    constructor(entries = {}) {
        this.map = new Map(Object.entries(entries));
    }
    get length() {
        return this.map.size;
    }
    key(i) {
        return [...this.map.keys()][i] ?? null;
    }
    getItem(name) {
        return this.map.has(name) ? this.map.get(name) : null;
    }
    setItem(name, value) {
        this.map.set(name, String(value));
    }
    removeItem(name) {
        this.map.delete(name);
    }
    entries() {
        return Object.fromEntries(this.map);
    }
}

/// A store that refuses every use, as a browser may for a page from a file or in a private window.
export const refusingStorage = new Proxy({}, {
    get() {
        throw new Error('SecurityError');
    },
});

/// The stores the script reads through getters, each reached only when used.
export function storesOf(session, local) {
    return {
        get session() {
            if (session === refusingStorage) throw new Error('SecurityError');
            return session;
        },
        get local() {
            if (local === refusingStorage) throw new Error('SecurityError');
            return local;
        },
    };
}

/// IndexedDB reduced to what the page uses: one database of object stores keyed by a key path, transactions that
/// apply their requests in order once the caller's code has run, and a refusal to write in a read-only one. Values
/// are kept as given (a browser keeps a structured clone). refuse makes every opening fail, as a browser may.
export class FakeIndexedDB {
    constructor({ refuse = false } = {}) {
        this.refuse = refuse;
        this.stores = null;
        this.openings = 0;
    }

    open() {
        this.openings++;
        const request = {};
        setTimeout(() => {
            if (this.refuse) {
                request.error = new Error('InvalidStateError');
                request.onerror?.();
                return;
            }
            request.result = this.database();
            if (!this.stores) {
                this.stores = new Map();
                request.onupgradeneeded?.();
            }
            request.onsuccess?.();
        });
        return request;
    }

    /// The entries of one store, as a plain object by key.
    entries(name) {
        return Object.fromEntries(this.stores?.get(name)?.rows ?? []);
    }

    database() {
        return {
            createObjectStore: (name, { keyPath }) => this.stores.set(name, { keyPath, rows: new Map() }),
            transaction: (name, mode) => this.transaction(this.stores.get(name), mode),
            close() {},
        };
    }

    transaction(store, mode) {
        const queued = [];
        const transaction = {};
        const enqueue = (apply) => {
            const request = {};
            queued.push(() => {
                request.result = apply();
                request.onsuccess?.();
            });
            return request;
        };
        const writing = (apply) => {
            if (mode !== 'readwrite') {
                throw new Error('ReadOnlyError');
            }
            return enqueue(apply);
        };
        transaction.objectStore = () => ({
            getAll: () => enqueue(() => [...store.rows.values()]),
            put: (value) => writing(() => store.rows.set(value[store.keyPath], value) && value[store.keyPath]),
            delete: (key) => {
                if (key === null || key === undefined) {
                    throw new Error('DataError');
                }
                return writing(() => store.rows.delete(key));
            },
            clear: () => writing(() => store.rows.clear()),
        });
        setTimeout(() => {
            for (const run of queued) {
                run();
            }
            transaction.oncomplete?.();
        });
        return transaction;
    }
}

/// BroadcastChannel between the pages that share one bus: each hears what the others post, never its own.
export class FakeBus {
    constructor() {
        this.channels = [];
    }

    /// The BroadcastChannel constructor of one page on this bus.
    channelClass() {
        const bus = this;
        return class {
            constructor() {
                bus.channels.push(this);
            }
            postMessage(data) {
                for (const other of bus.channels) {
                    if (other !== this) {
                        setTimeout(() => other.onmessage?.({ data }));
                    }
                }
            }
        };
    }
}
