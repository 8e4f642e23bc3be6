// The unlock page: it asks for the password (or takes the key this browser keeps for the site), derives the key,
// decrypts and decodes the page and puts it in place of the unlock page. The page's data stand in the element
// "qv-data": the salt and iteration count of the passwords' keys, the site's content key wrapped under each password
// (its slots), the days a typed password may be remembered, the page's set and the sealed page with its nonce.
import {core} from './core.js';
import {family, isTrusted, messageTarget, tell} from './frames.js';
import {entries, entryOf, keep, quietly, remove, sessionOf, sift} from './keys.js';

const kForgetHash = '#quillora-forget';
const kLinkHash = '#quillora-key=';
const $ = (id) => document.getElementById(id);
// A share link carries a password of the site in its fragment, which is taken and then removed from the address and
// its history entry at once, before anything else can read it.
const linked = location.hash.startsWith(kLinkHash) ? location.hash.slice(kLinkHash.length) : '';
if (linked) quietly(() => history.replaceState(history.state, '', location.href.replace(/#.*$/, '')));
// The note for a site published without its shared script goes as soon as the script runs.
$('qv-missing')?.remove();
const data = JSON.parse($('qv-data').textContent);
const target = messageTarget(location);
// A page opened from a file keeps nothing beyond its own life: whether other local files share its storage is left
// to each browser.
const factory = target ? quietly(() => indexedDB) : null;
// The other tabs of the site hear when a key was kept or every key forgotten; no key goes this way.
const channel = quietly(() => new BroadcastChannel('quillora'));
const stores = {
  get session() {
    return sessionStorage;
  },
  get local() {
    return localStorage;
  },
};
const form = $('qv-form');
const input = $('qv-password');
const error = $('qv-error');
// The form's check boxes: the password shown as typed, and the key kept beyond the session (only where the run
// allows it; pages written before had neither).
const shown = $('qv-show');
const remembered = $('qv-remember');
let unlocked = null;
let session = null;

const members = () => family(top);
const trusted = (e) => isTrusted(e, data.salt, target, members);
const tellMembers = (message, to = members()) => target && tell(message, data.salt, target, to, window);
const announce = (message) => quietly(() => channel.postMessage(message));

async function forgetAll() {
  await remove(factory, [], true, stores);
  announce({forget: true});
}

async function show(key, typed) {
  let page;
  try {
    page = core.decode(await core.decrypt(key, data), data);
  } catch (e) {
    return false;
  }
  if (unlocked) return true;
  unlocked = key;
  // Kept beyond the session only where the visitor asked for it; a page without the box keeps it as before.
  const remember = !remembered || remembered.checked;
  const entry = typed && entryOf(key, data.salt, remember, data.remember, session, Date.now(), data.site);
  // Kept while the page is written, not before: the visitor does not wait for the database. Another tab may use a
  // remembered key, never this session's.
  keep(factory, entry).then((kept) => kept && !entry.session && announce({kept: data.salt}));
  tellMembers({key});
  const write = () => {
    document.open();
    document.write(page);
    document.close();
    // The unlock page's listeners went with it. These give the key to frames that open later, and lock the
    // page again when the forget address is typed after it.
    addEventListener('message', (e) => {
      if (trusted(e) && e.data.ask) tellMembers({key: unlocked}, [e.source]);
    });
    addEventListener('hashchange', () => {
      if (location.hash === kForgetHash) forgetAll().then(() => location.reload());
    });
  };
  // Not from inside the unlock page's own load event: Firefox would then fire none for the page.
  if (document.readyState === 'complete') write();
  else addEventListener('load', () => setTimeout(write));
  return true;
}

// Whether the password opens the page (kept as a typed one would be).
async function opensWith(password) {
  const key = await core.derive(password, data).then((derived) => core.unwrap(derived, data)).catch(() => null);
  return key !== null && show(key, true);
}

async function start() {
  const {usable, stale} = sift(await entries(factory), data.salt, session, Date.now(), data.site);
  for (const entry of usable) {
    if (await show(entry.key, false)) break;
    stale.push(entry.id);
  }
  remove(factory, stale, false, stores);
  if (unlocked) return;
  if (linked && (await opensWith(linked))) return;
  form.hidden = false;
  input.focus();
  if (top !== window) tellMembers({ask: true});
}

function listen() {
  if (factory) session = sessionOf(stores, core.text(crypto.getRandomValues(new Uint8Array(16))));
  if (shown) shown.addEventListener('change', () => {
    input.type = shown.checked ? 'text' : 'password';
  });
  addEventListener('message', (e) => {
    if (!unlocked && trusted(e) && e.data.key) show(e.data.key, false);
  });
  if (channel) channel.onmessage = (e) => {
    if (e.data.forget && unlocked) location.reload();
    else if (e.data.kept === data.salt && !unlocked) start();
  };
  form.addEventListener('submit', async (e) => {
    e.preventDefault();
    if (form.getAttribute('aria-busy')) return;
    form.setAttribute('aria-busy', 'true');
    error.textContent = '';
    const key = await core.derive(input.value, data).then((derived) => core.unwrap(derived, data)).catch(() => null);
    if (!key || !(await show(key, true))) {
      // A slot checks the key it unwraps: a page that then does not open was changed, not mistyped.
      error.textContent = key && data.slots.length ? $('qv-damaged').textContent : error.dataset.wrong;
      input.select();
    }
    form.removeAttribute('aria-busy');
  });
  start();
}

async function begin() {
  if (location.hash === kForgetHash) {
    await forgetAll();
    quietly(() => history.replaceState(history.state, '', location.href.replace(/#.*$/, '')));
  }
  if (!window.isSecureContext || !window.crypto || !crypto.subtle) {
    $('qv-insecure').hidden = false;
  } else if (!core.located(data.path, location.pathname)) {
    // Sealed for another page's place: it was moved or put in place of another.
    $('qv-damaged').hidden = false;
  } else {
    listen();
  }
}

begin();
