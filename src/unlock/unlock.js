// The unlock page: it asks for the password (or takes the key this browser keeps for the run), derives the key,
// decrypts and decodes the page and puts it in place of the unlock page. The page's data stand in the element
// "qv-data": the salt and iteration count of the passwords' keys, the site's content key wrapped under each password
// (its slots), the days a typed password may be remembered, the page's set and the sealed page with its nonce.
import {core} from './core.js';
import {family, isTrusted, messageTarget, tell} from './frames.js';
import {forget, keep, keyName, quietly, storedKey} from './keys.js';

const kForgetHash = '#quillora-forget';
const $ = (id) => document.getElementById(id);
const data = JSON.parse($('qv-data').textContent);
const name = keyName(data.salt);
const target = messageTarget(location);
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
let unlocked = null;

const members = () => family(top);
const trusted = (e) => isTrusted(e, data.salt, target, location.origin, members);
const tellMembers = (message, to = members()) => tell(message, data.salt, target, to, window);

async function show(raw, typed) {
  let page;
  try {
    page = core.decode(await core.decrypt(raw, data), data);
  } catch (e) {
    return false;
  }
  if (unlocked) return true;
  unlocked = core.text(raw);
  keep(stores, name, unlocked, typed, data.remember, Date.now());
  tellMembers({key: unlocked, typed});
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
      if (location.hash === kForgetHash) {
        forget(stores, name, true);
        location.reload();
      }
    });
  };
  // Not from inside the unlock page's own load event: Firefox would then fire none for the page.
  if (document.readyState === 'complete') write();
  else addEventListener('load', () => setTimeout(write));
  return true;
}

async function start() {
  const key = storedKey(stores, name, Date.now());
  if (key && await quietly(() => show(core.bytes(key), false))) return;
  if (key) forget(stores, name, false);
  form.hidden = false;
  input.focus();
  if (top !== window) tellMembers({ask: true});
}

function listen() {
  addEventListener('message', (e) => {
    if (!unlocked && trusted(e) && typeof e.data.key === 'string')
      quietly(() => show(core.bytes(e.data.key), e.data.typed));
  });
  addEventListener('storage', (e) => {
    if (!unlocked && e.key === name && e.newValue) start();
  });
  form.addEventListener('submit', async (e) => {
    e.preventDefault();
    if (form.getAttribute('aria-busy')) return;
    form.setAttribute('aria-busy', 'true');
    error.textContent = '';
    const raw = await core.derive(input.value, data).then((derived) => core.unwrap(derived, data)).catch(() => null);
    if (!raw || !(await show(raw, true))) {
      error.textContent = error.dataset.wrong;
      input.select();
    }
    form.removeAttribute('aria-busy');
  });
  start();
}

if (location.hash === kForgetHash) {
  forget(stores, name, true);
  quietly(() => history.replaceState(history.state, '', location.href.replace(/#.*$/, '')));
}
if (!window.isSecureContext || !window.crypto || !crypto.subtle) $('qv-insecure').hidden = false;
else listen();
