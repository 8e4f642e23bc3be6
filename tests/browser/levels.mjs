// A site with an access level, opened as a visitor opens it in Chromium and in Firefox: the pages of the level
// "staff" open with the staff's password and not the site's, the site's pages the other way round, and a visitor
// who unlocked both stays unlocked for both (the browser keeps each key apart). Pages are served over http.
//
//   node tests/browser/levels.mjs --cli QUILLORA_CLI --out DIR
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import {
    goto, inEachEngine, kLoadTimeoutMs, lockedFrames, newPage, poll, settledAs, shownForm, typePassword,
} from './lib/browser.mjs';
import { startServer } from './lib/server.mjs';
import { argument } from './lib/options.mjs';

const kSkipped = 77;
const cli = argument('--cli');
const out = path.resolve(argument('--out'));

const kPasswords = { site: 'open sesame, said the lantern', staff: 'seven quiet herons over the weir' };
const kPages = { 'a.html': 'levels site words', 'staff/s.html': 'levels staff words' };

fs.rmSync(out, { recursive: true, force: true });
const site = path.join(out, 'site');
for (const [name, words] of Object.entries(kPages)) {
    fs.mkdirSync(path.dirname(path.join(site, name)), { recursive: true });
    fs.writeFileSync(path.join(site, name), `<!DOCTYPE html><html><head><title>t</title></head><body><p>${words}</p>` +
        '</body></html>');
}
for (const [name, password] of Object.entries(kPasswords)) {
    fs.writeFileSync(path.join(out, `${name}.txt`), `${password}\n`, { mode: 0o600 });
}
fs.writeFileSync(path.join(site, 'quillora.toml'), [
    '[output]', 'mode = "copy"', 'target = "../public"',
    '[encryption]', 'password-file = "../site.txt"',
    '[pages]', 'encrypt = true',
    '[[rule]]', 'paths = ["staff/"]', 'level = "staff"', '',
].join('\n'));
const run = (...args) => execFileSync(cli, ['--quiet', ...args], { stdio: ['ignore', 'ignore', 'inherit'] });
run('--add-level', 'staff', '--new-password-file', path.join(out, 'staff.txt'), '--password-file',
    path.join(out, 'site.txt'), site);
run(site);
const published = path.join(out, 'public');

let failures = 0;
let engines = 0;
const check = (engine, what, good) => {
    failures += good ? 0 : 1;
    console.log(`${good ? 'ok  ' : 'FAIL'} ${engine.padEnd(8)} ${what}`);
};
// Types a password into a cleared field and tells whether it opened the page ('open') or was refused ('refused').
async function tryPassword(page, password) {
    const form = await poll('no unlock form showed', kLoadTimeoutMs, () => shownForm(page));
    await form.$eval('#qv-password', (field) => { field.value = ''; });
    await form.$eval('#qv-error', (error) => { error.textContent = ''; });
    await typePassword(page, password);
    const outcome = await poll('the page neither opened nor refused the password', kLoadTimeoutMs, async () => {
        const refused = await form.evaluate(() => document.getElementById('qv-error')?.textContent || '')
            .catch(() => '');
        if (refused) {
            return 'refused';
        }
        return (await lockedFrames(page).catch(() => [null])).length === 0 ? 'open' : null;
    });
    return outcome === 'open' ? settledAs(page) : outcome;
}

const server = await startServer(published);
try {
    engines = await inEachEngine(async (browser, engine) => {
        const { context, page } = await newPage(browser);
        const url = (name) => server.urlOf(path.join(published, name));
        const shows = async (name) => (await page.evaluate(() => document.body.innerText)).includes(kPages[name]);
        try {
            await goto(page, url('a.html'));
            check(engine, 'the staff password does not open a page of the site',
                await tryPassword(page, kPasswords.staff) === 'refused');
            check(engine, 'the site password opens it',
                await tryPassword(page, kPasswords.site) === 'open' && await shows('a.html'));
            await goto(page, url('staff/s.html'));
            check(engine, 'a page of the level asks though the site is unlocked', await settledAs(page) === 'asks');
            check(engine, 'the site password does not open it', await tryPassword(page, kPasswords.site) === 'refused');
            check(engine, 'the staff password opens it',
                await tryPassword(page, kPasswords.staff) === 'open' && await shows('staff/s.html'));
            for (const name of Object.keys(kPages)) {
                await goto(page, url(name));
                check(engine, `${name} opens again without typing`,
                    await settledAs(page) === 'open' && await shows(name));
            }
        } finally {
            await context.close().catch(() => undefined);
        }
    });
} finally {
    await server.close();
}
if (engines === 0) {
    process.exit(kSkipped);
}
console.log(failures ? `${failures} checks of the levels failed` : 'each level opens with its own passwords');
process.exit(failures ? 1 : 0);
