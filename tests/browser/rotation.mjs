// A site whose passwords changed, opened as visitors open it in Chromium and in Firefox: after a second and a third
// password were added and the first removed (which gives the site a new content key), the removed password no
// longer opens any page, and the rotated site opens with each remaining password. Pages are served over http.
//
//   node tests/browser/rotation.mjs --cli QUILLORA_CLI --out DIR
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { inEachEngine, takeSnapshot } from './lib/browser.mjs';
import { startServer } from './lib/server.mjs';
import { argument } from './lib/options.mjs';

const kSkipped = 77;
const cli = argument('--cli');
const out = path.resolve(argument('--out'));

const kPasswords = {
    removed: 'open sesame, said the lantern',
    editors: 'purple monkey dishwasher lamp',
    staff: 'seven quiet herons over the weir',
};
const kPages = {
    'a.html': 'rotation alpha words',
    'sub/b.html': 'rotation beta words',
};

fs.rmSync(out, { recursive: true, force: true });
const site = path.join(out, 'site');
for (const [name, words] of Object.entries(kPages)) {
    fs.mkdirSync(path.dirname(path.join(site, name)), { recursive: true });
    fs.writeFileSync(path.join(site, name), `<!DOCTYPE html><html><head><title>t</title></head><body><p>${words}</p>` +
        '</body></html>');
}
const passwordFile = (name) => {
    const file = path.join(out, `${name}.txt`);
    fs.writeFileSync(file, `${kPasswords[name]}\n`, { mode: 0o600 });
    return file;
};
const run = (...args) => execFileSync(cli, ['--quiet', ...args, site], { stdio: ['ignore', 'ignore', 'inherit'] });
run('--encrypt', '--password-file', passwordFile('removed'));
run('--add-password', '--new-password-file', passwordFile('editors'), '--label', 'editors',
    '--password-file', passwordFile('removed'));
run('--add-password', '--new-password-file', passwordFile('staff'), '--label', 'staff',
    '--password-file', passwordFile('removed'));
run('--remove-password', '#1', '--password-file', passwordFile('editors'));

const textOf = (snap) => snap.frames.map((frame) => frame.text).join('\n');
const server = await startServer(site);
let failures = 0;
let engines = 0;
try {
    engines = await inEachEngine(async (browser, engine) => {
        for (const [name, words] of Object.entries(kPages)) {
            const url = server.urlOf(path.join(site, name));
            const wrong = [];
            // A page that opens shows no error, which the refusal waits for until its time is up.
            const refused = await takeSnapshot(browser, url, { refuse: kPasswords.removed })
                .catch((error) => ({ locked: false, error: error.message, text: '' }));
            if (!refused.locked || !refused.error || refused.text.includes(words)) {
                wrong.push(`the removed password opened it ("${refused.error}")`);
            }
            for (const remaining of ['editors', 'staff']) {
                const opened = await takeSnapshot(browser, url, { unlock: kPasswords[remaining] });
                if (!textOf(opened).includes(words)) {
                    wrong.push(`the ${remaining} password did not open it`);
                }
            }
            failures += wrong.length ? 1 : 0;
            console.log(`${wrong.length ? 'FAIL' : 'ok  '} ${engine.padEnd(8)} ${name.padEnd(12)}` +
                (wrong.length ? ` ${wrong.join('; ')}` : ' refuses the removed password, opens with the others'));
        }
    });
} finally {
    await server.close();
}
if (engines === 0) {
    process.exit(kSkipped);
}
console.log(failures ? `${failures} pages did not take their passwords as changed`
    : 'every page as its passwords were changed');
process.exit(failures ? 1 : 0);
