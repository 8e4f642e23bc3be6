export const a = 1;
