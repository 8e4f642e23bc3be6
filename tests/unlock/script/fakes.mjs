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
