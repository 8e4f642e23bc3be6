export const a = '	x';
