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
  // The raw key: PBKDF2-HMAC-SHA256 of the password in NFC, under the run's salt and iteration count.
  async derive(password, data) {
    const secret = new TextEncoder().encode(password.normalize('NFC'));
    const material = await crypto.subtle.importKey('raw', secret, 'PBKDF2', false, ['deriveBits']);
    return crypto.subtle.deriveBits(
      {name: 'PBKDF2', hash: 'SHA-256', salt: core.bytes(data.salt), iterations: data.iterations}, material, 256);
  },
  // The page's bytes; fails when the key is not the run's or the bytes were changed.
  async decrypt(raw, data) {
    const key = await crypto.subtle.importKey('raw', raw, 'AES-GCM', false, ['decrypt']);
    return crypto.subtle.decrypt({name: 'AES-GCM', iv: core.bytes(data.iv)}, key, core.bytes(data.page));
  },
  // The page's text, read in the set it was written in.
  decode(plain, data) {
    return new TextDecoder(data.label).decode(plain);
  },
};
