// The pages of one run in the frames of one window share the key (over http and https): a page that is unlocked
// tells the others, and a page that opens later asks for it. These decide where a message may go and which message
// to believe.
import {quietly} from './keys.js';

// Where the key may be sent: only to the page's own origin. Pages opened from files (and other pages of no origin)
// cannot name one, and a message to any origin would reach whatever a frame holds: they send nothing, and each of
// their frames asks the reader.
export function messageTarget(location) {
  return location.protocol === 'file:' || location.origin === 'null' ? null : location.origin;
}

// The window w and every frame below it, depth first; frames that cannot be looked into are passed over.
export function family(w, list = [w]) {
  quietly(() => {
    for (let i = 0; i < w.frames.length; i++) {
      list.push(w.frames[i]);
      family(w.frames[i], list);
    }
  });
  return list;
}

// Sends a message of the run (named by its salt) to every window of to but self.
export function tell(message, salt, target, to, self) {
  for (const w of to) if (w !== self) quietly(() => w.postMessage({quillora: salt, ...message}, target));
}

// Whether a message comes from a page of the same run in this window's frames: it names the run's salt, comes from
// this page's origin and from one of the windows of members(), which is looked at last. Nothing is believed where
// nothing may be sent.
export function isTrusted(event, salt, target, members) {
  const m = event.data;
  return Boolean(target && m && m.quillora === salt && event.origin === target && members().includes(event.source));
}
