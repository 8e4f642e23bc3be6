// Command-line options of the browser suite, and the protection modes and script variants it runs.
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

import { kEngines } from './browser.mjs';

export const kModes = ['email-links', 'links', 'body', 'page'];

export const kWarning = 'This page is protected!';
export const kNotice = 'Sample notice for the browser suite';
export const kPassword = 'open sesame';
// Encryption refuses a password as weak as the prompt's.
export const kUnlockPassword = 'open sesame, said the lantern';
// An unlock page of the user's design, with characters outside ASCII in its text.
const kUnlockTemplate = fileURLToPath(new URL('../unlock-template.html', import.meta.url));

// Every behaviour script except the password prompt, with a notice comment on top.
const kAllScripts = [
    '--no-right-click', '--warning', kWarning, '--no-select', '--no-status-urls', '--no-print',
    '--no-clipboard', '--no-drag', '--break-frames', '--no-image-toolbar', '--notice', kNotice,
];

export const kVariants = {
    plain: { args: [], password: null, breaksFrames: false, warning: null },
    scripts: { args: kAllScripts, password: null, breaksFrames: true, warning: kWarning },
    password: { args: ['--password', kPassword], password: kPassword, breaksFrames: false, warning: null },
    // Sealed pages: unlocked by typing the password into the unlock page, then compared like the others.
    encrypted: {
        args: ['--encrypt', '--password', kUnlockPassword], password: null, unlock: kUnlockPassword, breaksFrames: false,
        warning: null,
    },
    // Pages for a strict policy, served with the policy of the _headers file the run wrote (--serve) besides
    // the one in each page: every script must be allowed by its hash, none refused.
    csp: { args: ['--csp'], password: null, breaksFrames: false, warning: null },
    'csp-encrypted': {
        args: ['--csp', '--encrypt', '--password', kUnlockPassword], password: null, unlock: kUnlockPassword,
        breaksFrames: false, warning: null,
    },
    // The same through an unlock page of the user's design (--unlock-template), which must work under the policy.
    'csp-template': {
        args: ['--csp', '--encrypt', '--password', kUnlockPassword, '--unlock-template', kUnlockTemplate],
        password: null, unlock: kUnlockPassword, breaksFrames: false, warning: null,
    },
};

// The strict-policy variants are a suite of their own (tests/browser/CMakeLists.txt), named when wanted.
const kDefaultVariants = Object.keys(kVariants).filter((name) => !name.startsWith('csp'));

const kUsage = `usage: compare.mjs --cli PATH --pages DIR --out DIR [--list FILE] [--large] [--serve]
       [--browser ${kEngines.join('|')}] [--modes ${kModes.join(',')}]
       [--variants ${Object.keys(kVariants).join(',')}] [--jobs N] [--shot-height PX]
Protects a copy of every page with the command line, loads original and protected page in the headless
browser (Chromium unless --browser says otherwise) as files, or with --serve over http from 127.0.0.1,
and compares them. Prints one line per page, mode and
variant and closes with "N passed, M failed, K skipped".`;

function splitList(text, known, what) {
    const items = text.split(',').map((s) => s.trim()).filter(Boolean);
    for (const item of items) {
        if (!known.includes(item)) {
            throw new Error(`unknown ${what} "${item}" (known: ${known.join(', ')})`);
        }
    }
    return items;
}

/// Parses argv into the suite's settings; throws with the usage text on a mistake.
export function parseOptions(argv) {
    const { values } = parseArgs({
        args: argv,
        options: {
            cli: { type: 'string' },
            browser: { type: 'string', default: 'chromium' },
            pages: { type: 'string' },
            list: { type: 'string' },
            out: { type: 'string' },
            modes: { type: 'string', default: kModes.join(',') },
            variants: { type: 'string', default: kDefaultVariants.join(',') },
            large: { type: 'boolean', default: false },
            serve: { type: 'boolean', default: false },
            jobs: { type: 'string', default: '2' },
            'shot-height': { type: 'string', default: '3000' },
            help: { type: 'boolean', default: false },
        },
    });
    if (values.help || !values.cli || !values.pages || !values.out) {
        throw new Error(kUsage);
    }
    const [browser, ...more] = splitList(values.browser, kEngines, 'browser');
    if (!browser || more.length) {
        throw new Error(`--browser takes one of ${kEngines.join(', ')}`);
    }
    return {
        cli: path.resolve(values.cli),
        browser,
        pages: path.resolve(values.pages),
        list: values.list ? path.resolve(values.list) : null,
        out: path.resolve(values.out),
        modes: splitList(values.modes, kModes, 'mode'),
        variants: splitList(values.variants, Object.keys(kVariants), 'variant'),
        large: values.large,
        serve: values.serve,
        jobs: Math.max(1, parseInt(values.jobs, 10) || 1),
        shotHeight: Math.max(100, parseInt(values['shot-height'], 10) || 3000),
    };
}

/// The value after a required option of a browser test's command line (--cli, --out); throws when it is missing.
export function argument(name, argv = process.argv) {
    const i = argv.indexOf(name);
    if (i < 0 || i + 1 >= argv.length) {
        throw new Error(`${name} is missing`);
    }
    return argv[i + 1];
}
