// What the unlock page does with the data it carries, with nothing but WebCrypto, TextEncoder, TextDecoder and
// atob/btoa: the interoperability test runs it under Node.js against pages the C++ side sealed.
export const core = {
  // base64 (the page's data) to bytes
  bytes(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  },
  // bytes to base64
  text(bytes) {
    let binary = '';
    for (const b of new Uint8Array(bytes)) binary += String.fromCharCode(b);
    return btoa(binary);
  },
  // The password's raw key: PBKDF2-HMAC-SHA256 of the password in NFC, under the site's salt and iteration count.
  async derive(password, data) {
    const secret = new TextEncoder().encode(password.normalize('NFC'));
    const material = await crypto.subtle.importKey('raw', secret, 'PBKDF2', false, ['deriveBits']);
    return crypto.subtle.deriveBits(
      {name: 'PBKDF2', hash: 'SHA-256', salt: core.bytes(data.salt), iterations: data.iterations}, material, 256);
  },
  // The site's content key, as a CryptoKey that decrypts and can never be read back as bytes: the first of the
  // page's slots that the password's key unwraps (AES-KW checks the key it unwraps with); fails when none does.
  // One derivation, however many slots.
  async unwrap(derived, data) {
    const wrapping = await crypto.subtle.importKey('raw', derived, 'AES-KW', false, ['unwrapKey']);
    for (const slot of data.slots) {
      const key = await crypto.subtle.unwrapKey('raw', core.bytes(slot), wrapping, 'AES-KW', 'AES-GCM', false,
        ['decrypt']).catch(() => null);
      if (key) return key;
    }
    throw new Error('no slot opens');
  },
  // The bytes a percent-encoded path stands for.
  pathBytes(text) {
    const out = [];
    for (let i = 0; i < text.length; i++) {
      if (text[i] === '%' && /^[0-9a-f]{2}$/i.test(text.substr(i + 1, 2))) {
        out.push(parseInt(text.substr(i + 1, 2), 16));
        i += 2;
      } else {
        out.push(...new TextEncoder().encode(text[i]));
      }
    }
    return Uint8Array.from(out);
  },
  // Whether a page sealed for path stands at pathname (an address's path): the address ends in the path, or in the
  // path without its .html or its index.html, as servers give pages. Letters compare in either case.
  located(path, pathname) {
    if (!path) return true;
    const plain = (p) => String.fromCharCode(...core.pathBytes(p)).toLowerCase();
    const here = plain(pathname);
    const want = plain(path);
    return [want, want.replace(/\.html?$/, ''), want.replace(/(^|\/)index\.html?$/, '$1')]
      .some((end) => here === '/' + end || here.endsWith('/' + end));
  },
  // The page's bytes as the browser shows it, under the content key (a CryptoKey, or its raw bytes); fails when the
  // key is not the site's or the bytes were changed. Pages of format 2 are bound to their path and hold their
  // content deflated (see shown).
  async decrypt(key, data) {
    const usable = key.type ? key : await crypto.subtle.importKey('raw', key, 'AES-GCM', false, ['decrypt']);
    const bound = data.format === 2;
    const params = {name: 'AES-GCM', iv: core.bytes(data.iv)};
    if (bound) params.additionalData = core.pathBytes(data.path);
    const plain = await crypto.subtle.decrypt(params, usable, core.bytes(data.page));
    if (!bound) return plain;
    const inflated = new Blob([plain]).stream().pipeThrough(new DecompressionStream('deflate'));
    return core.shown(new Uint8Array(await new Response(inflated).arrayBuffer()));
  },
  // The shown page from a page's content: the original with its insertions put in (kind 0: their count, then an
  // offset in the original and a length for each, then the inserted bytes, then the original), or kept whole
  // (kind 1: its length, the page, then the original).
  shown(content) {
    const view = new DataView(content.buffer, content.byteOffset, content.byteLength);
    const count = view.getUint32(1);
    if (content[0] === 1) return content.subarray(5, 5 + count);
    let inserted = 5 + 8 * count;
    let total = 0;
    for (let i = 0; i < count; i++) total += view.getUint32(9 + 8 * i);
    const original = content.subarray(inserted + total);
    const out = new Uint8Array(original.length + total);
    let written = 0;
    let read = 0;
    for (let i = 0; i < count; i++) {
      const at = view.getUint32(5 + 8 * i);
      const length = view.getUint32(9 + 8 * i);
      out.set(original.subarray(read, at), written);
      written += at - read;
      read = at;
      out.set(content.subarray(inserted, inserted + length), written);
      written += length;
      inserted += length;
    }
    out.set(original.subarray(read), written);
    return out;
  },
  // The page's text, read in the set it was written in.
  decode(plain, data) {
    return new TextDecoder(data.label).decode(plain);
  },
};
