// ESLint over the unlock page's script (src/unlock/*.js) and the tests of JavaScript that go with it. The build joins
// the script's modules into one inline script (cmake/EmbedScript.cmake): comments stand on lines of their own, one
// name per declaration, and the page may use only the browser's objects named below.
import js from '@eslint/js';

const browserPage = {
    addEventListener: 'readonly',
    atob: 'readonly',
    Blob: 'readonly',
    btoa: 'readonly',
    BroadcastChannel: 'readonly',
    crypto: 'readonly',
    DecompressionStream: 'readonly',
    document: 'readonly',
    history: 'readonly',
    indexedDB: 'readonly',
    localStorage: 'readonly',
    location: 'readonly',
    Response: 'readonly',
    sessionStorage: 'readonly',
    setTimeout: 'readonly',
    TextDecoder: 'readonly',
    TextEncoder: 'readonly',
    top: 'readonly',
    window: 'readonly',
};

const node = {
    atob: 'readonly',
    btoa: 'readonly',
    Buffer: 'readonly',
    console: 'readonly',
    globalThis: 'readonly',
    process: 'readonly',
    setTimeout: 'readonly',
    TextDecoder: 'readonly',
    TextEncoder: 'readonly',
    URL: 'readonly',
};

const house = {
    'no-inline-comments': 'error',
    'one-var': ['error', 'never'],
    'no-var': 'error',
    'prefer-const': 'error',
    eqeqeq: 'error',
    'no-unused-vars': ['error', { caughtErrors: 'none' }],
};

export default [
    { ignores: ['build/**', 'node_modules/**', 'tests/browser/**', 'bench/**', 'tests/unlock/embed/**'] },
    {
        files: ['src/unlock/**/*.js'],
        ...js.configs.recommended,
        languageOptions: { ecmaVersion: 2022, sourceType: 'module', globals: browserPage },
        rules: { ...js.configs.recommended.rules, ...house },
    },
    {
        files: ['tests/unlock/**/*.mjs'],
        ...js.configs.recommended,
        languageOptions: { ecmaVersion: 2022, sourceType: 'module', globals: node },
        rules: { ...js.configs.recommended.rules, ...house },
    },
];
