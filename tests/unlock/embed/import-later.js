import {b} from './later.js';
export const a = b;
