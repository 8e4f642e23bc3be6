#include "UnlockScript.h"

#include <algorithm>
#include <string>

namespace quillora::unlock {

namespace {

// Nothing here may hold the text "</script" or "<!--": it stands inside a script element as it is. Comments
// stand on lines of their own: the pages get the script without them and without its indentation.
constexpr std::string_view kScript = R"js((() => {
'use strict';
/*core{*/
const core = {
  bytes(text) {
    const binary = atob(text), bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  },
  text(bytes) {
    let binary = '';
    for (const b of new Uint8Array(bytes)) binary += String.fromCharCode(b);
    return btoa(binary);
  },
  async derive(password, data) {
    const secret = new TextEncoder().encode(password.normalize('NFC'));
    const material = await crypto.subtle.importKey('raw', secret, 'PBKDF2', false, ['deriveBits']);
    return crypto.subtle.deriveBits(
      {name: 'PBKDF2', hash: 'SHA-256', salt: core.bytes(data.salt), iterations: data.iterations}, material, 256);
  },
  async decrypt(raw, data) {
    const key = await crypto.subtle.importKey('raw', raw, 'AES-GCM', false, ['decrypt']);
    return crypto.subtle.decrypt({name: 'AES-GCM', iv: core.bytes(data.iv)}, key, core.bytes(data.page));
  },
  decode(plain, data) {
    return new TextDecoder(data.label).decode(plain);
  },
};
/*}core*/
const $ = (id) => document.getElementById(id);
const quietly = (f) => { try { return f(); } catch (e) { return null; } };
const data = JSON.parse($('qv-data').textContent);
const name = 'quillora-key:' + data.salt, forgetHash = '#quillora-forget';
// Files may each be an origin of their own: then frames are told the key whatever their origin says.
const target = location.protocol === 'file:' ? '*' : location.origin;
const form = $('qv-form'), input = $('qv-password'), error = $('qv-error');
let unlocked = null;

function storedKey() {
  const key = quietly(() => sessionStorage.getItem(name));
  if (key) return key;
  const kept = quietly(() => JSON.parse(localStorage.getItem(name)));
  if (kept && kept.expires > Date.now()) return kept.key;
  if (kept) quietly(() => localStorage.removeItem(name));
  return null;
}
function keep(key, typed) {
  quietly(() => sessionStorage.setItem(name, key));
  if (typed && data.remember > 0)
    quietly(() => localStorage.setItem(name, JSON.stringify({key, expires: Date.now() + data.remember * 864e5})));
}
function forget(all) {
  for (const kind of ['sessionStorage', 'localStorage']) quietly(() => {
    const store = window[kind];
    for (let i = store.length - 1; i >= 0; i--)
      if (all ? store.key(i).startsWith('quillora-key:') : store.key(i) === name) store.removeItem(store.key(i));
  });
}
function family(w = top, list = [top]) {
  quietly(() => { for (let i = 0; i < w.frames.length; i++) { list.push(w.frames[i]); family(w.frames[i], list); } });
  return list;
}
function tell(message, to = family()) {
  for (const w of to) if (w !== window) quietly(() => w.postMessage({quillora: data.salt, ...message}, target));
}
function trusted(e) {
  const m = e.data;
  return m && m.quillora === data.salt && (target === '*' || e.origin === location.origin) &&
    family().includes(e.source);
}
async function show(raw, typed) {
  let page;
  try { page = core.decode(await core.decrypt(raw, data), data); } catch (e) { return false; }
  if (unlocked) return true;
  unlocked = core.text(raw);
  keep(unlocked, typed);
  tell({key: unlocked, typed});
  const write = () => {
    document.open();
    document.write(page);
    document.close();
    // The unlock page's listeners went with it. These give the key to frames that open later, and lock the
    // page again when the forget address is typed after it.
    addEventListener('message', (e) => { if (trusted(e) && e.data.ask) tell({key: unlocked}, [e.source]); });
    addEventListener('hashchange', () => { if (location.hash === forgetHash) { forget(true); location.reload(); } });
  };
  // Not from inside the unlock page's own load event: Firefox would then fire none for the page.
  if (document.readyState === 'complete') write(); else addEventListener('load', () => setTimeout(write));
  return true;
}
async function start() {
  const key = storedKey();
  if (key && await quietly(() => show(core.bytes(key), false))) return;
  if (key) forget(false);
  form.hidden = false;
  input.focus();
  if (top !== window) tell({ask: true});
}

if (location.hash === forgetHash) {
  forget(true);
  quietly(() => history.replaceState(history.state, '', location.href.replace(/#.*$/, '')));
}
if (!window.isSecureContext || !window.crypto || !crypto.subtle) {
  $('qv-insecure').hidden = false;
  return;
}
addEventListener('message', (e) => {
  if (!unlocked && trusted(e) && typeof e.data.key === 'string') quietly(() => show(core.bytes(e.data.key), e.data.typed));
});
addEventListener('storage', (e) => { if (!unlocked && e.key === name && e.newValue) start(); });
form.addEventListener('submit', async (e) => {
  e.preventDefault();
  if (form.getAttribute('aria-busy')) return;
  form.setAttribute('aria-busy', 'true');
  error.textContent = '';
  const raw = await core.derive(input.value, data).catch(() => null);
  if (!raw || !(await show(raw, true))) {
    error.textContent = error.dataset.wrong;
    input.select();
  }
  form.removeAttribute('aria-busy');
});
start();
})();
)js";

} // namespace

std::string_view unlockScript() {
    // Every page carries the script: it goes without its indentation and its comment lines, which are for
    // the reader of this file.
    static const std::string compact = [] {
        std::string out;
        std::size_t start = 0;
        while (start < kScript.size()) {
            std::size_t end = kScript.find('\n', start);
            if (end == std::string_view::npos)
                end = kScript.size();
            std::string_view line = kScript.substr(start, end - start);
            start = end + 1;
            line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
            if (line.empty() || line.starts_with("//"))
                continue;
            out.append(line);
            out += '\n';
        }
        return out;
    }();
    return compact;
}

} // namespace quillora::unlock
