export const a = 1; /* block */
