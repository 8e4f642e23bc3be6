import b from './core.js';
