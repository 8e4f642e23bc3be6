export const a = 'café';
