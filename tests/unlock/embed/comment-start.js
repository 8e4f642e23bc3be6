export const a = '<!-- x';
