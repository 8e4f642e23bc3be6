// The pages of one run in the frames of one window share the key: a page that is unlocked tells the others, and a
// page that opens later asks for it. These decide where a message may go and which message to believe.
import {quietly} from './keys.js';

// Where the key may be sent: pages opened from files may each be an origin of their own, and are told the key
// whatever their origin says; any other page tells only its own origin.
export function messageTarget(location) {
  return location.protocol === 'file:' ? '*' : location.origin;
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
// this page's origin (unless pages are files) and from one of the windows of members(), which is looked at last.
export function isTrusted(event, salt, target, origin, members) {
  const m = event.data;
  return m && m.quillora === salt && (target === '*' || event.origin === origin) && members().includes(event.source);
}
