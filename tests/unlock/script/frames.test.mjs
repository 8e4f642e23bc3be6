import assert from 'node:assert/strict';
import test from 'node:test';
import { family, isTrusted, messageTarget, tell } from '../../../src/unlock/frames.js';

/// A window with frames; one that cannot be looked into throws when its frames are asked for.
function frameWindow(name, frames = [], closed = false) {
    const posted = [];
    return {
        name,
        posted,
        get frames() {
            if (closed) throw new Error('SecurityError');
            return frames;
        },
        postMessage(message, target) {
            if (name === 'refusing') throw new Error('DataCloneError');
            posted.push({ message, target });
        },
    };
}

test('the key goes to the page\'s own origin only, and nowhere from a page of no origin', () => {
    assert.equal(messageTarget({ protocol: 'https:', origin: 'https://example.com' }), 'https://example.com');
    assert.equal(messageTarget({ protocol: 'http:', origin: 'http://127.0.0.1:8000' }), 'http://127.0.0.1:8000');
    assert.equal(messageTarget({ protocol: 'file:', origin: 'null' }), null);
    assert.equal(messageTarget({ protocol: 'file:', origin: 'file://' }), null, 'as one engine names files');
    assert.equal(messageTarget({ protocol: 'https:', origin: 'null' }), null, 'a sandboxed frame');
});

test('the family is the top window and every frame below it, depth first, closed frames kept but not entered', () => {
    const deep = frameWindow('deep');
    const closedOne = frameWindow('closed', [deep], true);
    const left = frameWindow('left', [deep]);
    const top = frameWindow('top', [left, closedOne, frameWindow('right')]);
    assert.deepEqual(family(top).map((w) => w.name), ['top', 'left', 'deep', 'closed', 'right']);
    assert.deepEqual(family(frameWindow('alone')).map((w) => w.name), ['alone']);
});

test('a message is believed only from a window of the family, of the run, from the page\'s origin', () => {
    const member = frameWindow('member');
    const stranger = frameWindow('stranger');
    const salt = 'c2FsdA==';
    const origin = 'https://example.com';
    const cases = [
        { event: { data: { quillora: salt, key: 'k' }, origin, source: member }, target: origin, trusted: true },
        { event: { data: { quillora: 'other', key: 'k' }, origin, source: member }, target: origin, trusted: false },
        { event: { data: { quillora: salt }, origin: 'https://evil.example', source: member }, target: origin,
            trusted: false },
        { event: { data: { quillora: salt }, origin: 'null', source: member }, target: null, trusted: false },
        { event: { data: { quillora: salt }, origin, source: member }, target: null, trusted: false },
        { event: { data: { quillora: salt }, origin, source: stranger }, target: origin, trusted: false },
        { event: { data: null, origin, source: member }, target: origin, trusted: false },
        { event: { data: 'text', origin, source: member }, target: origin, trusted: false },
    ];
    for (const c of cases) {
        let looked = 0;
        const members = () => {
            looked++;
            return [member];
        };
        assert.equal(isTrusted(c.event, salt, c.target, members), c.trusted, JSON.stringify(c));
        if (c.event.data?.quillora !== salt || !c.target) {
            assert.equal(looked, 0, 'the frames are looked at only for a message of the run that may be believed');
        }
    }
});

test('a message goes to every other window of the family, with the run\'s salt, whatever one of them does', () => {
    const self = frameWindow('self');
    const refusing = frameWindow('refusing');
    const other = frameWindow('other');
    const origin = 'https://example.com';
    tell({ key: 'k' }, 'c2FsdA==', origin, [self, refusing, other], self);
    assert.deepEqual(self.posted, []);
    assert.deepEqual(other.posted, [{ message: { quillora: 'c2FsdA==', key: 'k' }, target: origin }]);
});
