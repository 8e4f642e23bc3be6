import {a} from './first.js';
export function a() {}
