export const a = ')quillora_js"';
