// The unlock time of an encrypted page in Chromium and in Firefox: key derivation plus decryption (and the
// decoding) of the page, timed inside the browser with the unlock script's own code (its module
// src/unlock/core.js, put into the page as a module), and the whole unlock as a visitor has it, from pressing Enter
// until the page stands in place of the unlock page.
//
//   node bench/unlock/unlock_time.mjs --pages DIR [--runs N]
//
// DIR holds encrypted pages (tests/unlock/encrypt_pages makes them) and the password is QUILLORA_PASSWORD.
// Chromium is driven through tests/browser's playwright-core, Firefox (firefox-esr) through WebDriver BiDi,
// which needs a global WebSocket: Node.js 22, or 20 with --experimental-websocket; without it Firefox is
// left out. Every run starts a fresh browser: Firefox keeps the last key it derived from a password and a
// salt, and would otherwise derive the next one at no cost.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const argument = (name, fallback) => {
    const i = process.argv.indexOf(name);
    return i < 0 ? fallback : process.argv[i + 1];
};
const pages = path.resolve(argument('--pages'));
const runs = Number(argument('--runs', '5'));
const password = process.env.QUILLORA_PASSWORD;
if (!password) {
    throw new Error('QUILLORA_PASSWORD is not set');
}
const names = fs.readdirSync(pages).filter((name) => /\.html?$/.test(name));

// Runs in the unlock page: the script's core module, given as source, becomes a module of the page and is timed
// on the page's own data.
const coreSource = fs.readFileSync(path.join(here, '../../src/unlock/core.js'), 'utf8');
const coreTiming = `(async (password, source) => {
    const loaded = new Promise((resolve) => { window.quilloraCoreLoaded = resolve; });
    const module = document.createElement('script');
    module.type = 'module';
    module.textContent = source + '\\nwindow.quilloraCoreLoaded(core);';
    document.head.append(module);
    const core = await loaded;
    const data = JSON.parse(document.getElementById('qv-data').textContent);
    const started = performance.now();
    const raw = await core.derive(password, data);
    const derived = performance.now();
    const text = core.decode(await core.decrypt(raw, data), data);
    const done = performance.now();
    return [derived - started, done - derived, text.length];
})`;
const submit = `((password) => {
    document.getElementById('qv-password').value = password;
    window.__started = performance.now();
    document.getElementById('qv-form').requestSubmit();
    return true;
})`;
const opened = `!document.getElementById('qv-data') && document.readyState === 'complete'`;

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function measure(engine, launch) {
    for (const name of names) {
        const url = `file://${path.join(pages, name)}`;
        const derive = [];
        const decrypt = [];
        const whole = [];
        let length = 0;
        for (let r = 0; r < runs; r++) {
            let browser = await launch();
            await browser.goto(url);
            const [d, c, n] = await browser.evaluate(
                `${coreTiming}(${JSON.stringify(password)}, ${JSON.stringify(coreSource)})`);
            await browser.close();
            derive.push(d);
            decrypt.push(c);
            length = n;
            browser = await launch();
            await browser.goto(url);
            const started = Date.now();
            await browser.evaluate(`${submit}(${JSON.stringify(password)})`);
            await browser.until(opened);
            whole.push(Date.now() - started);
            await browser.close();
        }
        const size = fs.statSync(path.join(pages, name)).size;
        console.log(`${engine.padEnd(9)} ${name}: ${(size / 1024).toFixed(0)} KB written, ${length} characters; ` +
            `derivation ${median(derive).toFixed(0)} ms, decryption and decoding ${median(decrypt).toFixed(1)} ms, ` +
            `whole unlock ${median(whole)} ms (median of ${runs})`);
    }
}

async function chromium() {
    const { chromium: launcher } = await import(path.join(here, '../../tests/browser/node_modules/playwright-core/index.mjs'));
    await measure('Chromium', async () => {
        const browser = await launcher.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox', '--disable-gpu'] });
        const page = await (await browser.newContext()).newPage();
        return {
            goto: (url) => page.goto(url),
            evaluate: (expression) => page.evaluate(expression),
            until: (expression) => page.waitForFunction(expression, null, { timeout: 60000, polling: 5 }),
            close: () => browser.close(),
        };
    });
}

/// Firefox through WebDriver BiDi: just the commands this needs.
async function launchFirefox() {
    const profile = fs.mkdtempSync('/tmp/quillora-unlock-profile-');
    const child = spawn('/usr/bin/firefox-esr', ['--headless', '--no-remote', '--profile', profile,
        '--remote-debugging-port', '0'], { stdio: ['ignore', 'ignore', 'pipe'] });
    const address = await new Promise((resolve, reject) => {
        child.stderr.on('data', (d) => {
            const match = /WebDriver BiDi listening on (ws:\/\/\S+)/.exec(String(d));
            if (match) {
                resolve(match[1]);
            }
        });
        child.on('exit', () => reject(new Error('firefox-esr ended')));
    });
    const socket = new WebSocket(`${address}/session`);
    await new Promise((resolve) => socket.addEventListener('open', resolve));
    let id = 0;
    const waiting = new Map();
    socket.addEventListener('message', (event) => {
        const message = JSON.parse(event.data);
        const reply = waiting.get(message.id);
        if (reply) {
            waiting.delete(message.id);
            message.type === 'error' ? reply.reject(new Error(message.message)) : reply.resolve(message.result);
        }
    });
    const send = (method, params = {}) => new Promise((resolve, reject) => {
        waiting.set(++id, { resolve, reject });
        socket.send(JSON.stringify({ id, method, params }));
    });
    await send('session.new', { capabilities: {} });
    const context = (await send('browsingContext.getTree', {})).contexts[0].context;
    const evaluate = async (expression) => {
        const result = await send('script.evaluate',
            { expression, target: { context }, awaitPromise: true, resultOwnership: 'none' });
        if (result.type === 'exception') {
            throw new Error(result.exceptionDetails.text);
        }
        const value = result.result;
        return value.type === 'array' ? value.value.map((v) => v.value) : value.value;
    };
    return {
        goto: (url) => send('browsingContext.navigate', { context, url, wait: 'complete' }),
        evaluate,
        until: async (expression) => {
            while (!(await evaluate(expression).catch(() => false))) {
                await new Promise((resolve) => setTimeout(resolve, 5));
            }
        },
        close: async () => {
            await send('browser.close').catch(() => {});
            socket.close();
            child.kill();
            fs.rmSync(profile, { recursive: true, force: true });
        },
    };
}

await chromium();
if (typeof WebSocket === 'undefined') {
    console.log('Firefox left out: this Node.js has no WebSocket (Node.js 22, or 20 with --experimental-websocket)');
} else {
    await measure('Firefox', launchFirefox);
}
