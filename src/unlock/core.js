// What the unlock page does with the data it carries, with nothing but WebCrypto, TextEncoder, TextDecoder and
// atob/btoa: the interoperability test runs it under Node.js against pages the C++ side sealed.
export const core = {
  // base64 (the page's data and the kept key) to bytes
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
  // The site's raw content key: the first of the page's slots that the password's key unwraps (AES-KW checks the
  // key it unwraps with); fails when none does. One derivation, however many slots.
  async unwrap(derived, data) {
    const wrapping = await crypto.subtle.importKey('raw', derived, 'AES-KW', false, ['unwrapKey']);
    for (const slot of data.slots) {
      const key = await crypto.subtle.unwrapKey('raw', core.bytes(slot), wrapping, 'AES-KW', 'AES-GCM', true,
        ['decrypt']).catch(() => null);
      if (key) return crypto.subtle.exportKey('raw', key);
    }
    throw new Error('no slot opens');
  },
  // The page's bytes; fails when the key is not the site's or the bytes were changed.
  async decrypt(raw, data) {
    const key = await crypto.subtle.importKey('raw', raw, 'AES-GCM', false, ['decrypt']);
    return crypto.subtle.decrypt({name: 'AES-GCM', iv: core.bytes(data.iv)}, key, core.bytes(data.page));
  },
  // The page's text, read in the set it was written in.
  decode(plain, data) {
    return new TextDecoder(data.label).decode(plain);
  },
};
