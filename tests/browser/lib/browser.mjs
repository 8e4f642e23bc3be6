// Loads one page in a fresh browser context at a fixed window size and records what a visitor sees of it.
// Both engines go through puppeteer-core: Debian's chromium over the DevTools protocol, Debian's firefox-esr
// over WebDriver BiDi. Neither downloads a browser; each engine is only ever compared with itself.
import fs from 'node:fs';
import { fileURLToPath } from 'node:url';

export const kEngines = ['chromium', 'firefox'];
export const kExecutables = { chromium: '/usr/bin/chromium', firefox: '/usr/bin/firefox-esr' };
export const kViewport = { width: 1024, height: 768, deviceScaleFactor: 1 };

// Flags for a machine without network: no background traffic, no updates, no sandbox (runs as root).
// Partial raster repaints only the changed part of a tile, which can round the edge pixels of anti-aliased
// shapes (rounded corners) differently from one load of the same page to the next; whole tiles are stable.
const kChromiumFlags = [
    '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--font-render-hinting=none', '--hide-scrollbars',
    '--disable-partial-raster', '--force-color-profile=srgb', '--lang=en-US', '--force-prefers-reduced-motion',
];

// Firefox on a fresh profile makes no connection of its own: no updates, telemetry, captive-portal or
// connectivity probes, remote settings, safe-browsing lists or prefetching. A file:// page keeps an origin
// of its own, as in a visitor's Firefox (the driver's profile would otherwise relax that).
const kFirefoxPrefs = {
    'app.update.auto': false,
    'app.update.disabledForTesting': true,
    'app.normandy.enabled': false,
    'app.shield.optoutstudies.enabled': false,
    'browser.ping-centre.telemetry': false,
    'browser.safebrowsing.update.enabled': false,
    'browser.topsites.contile.enabled': false,
    'datareporting.healthreport.uploadEnabled': false,
    'datareporting.policy.dataSubmissionEnabled': false,
    'datareporting.healthreport.documentServerURI': 'data:,',
    'toolkit.telemetry.enabled': false,
    'toolkit.telemetry.unified': false,
    'toolkit.telemetry.archive.enabled': false,
    'toolkit.telemetry.server': 'data:,',
    'network.captive-portal-service.enabled': false,
    'network.connectivity-service.enabled': false,
    'network.trr.mode': 5,
    'network.dns.disablePrefetch': true,
    'network.prefetch-next': false,
    'network.predictor.enabled': false,
    'network.sntp.pools': '',
    'services.settings.server': 'data:,',
    'extensions.blocklist.enabled': false,
    'extensions.systemAddon.update.enabled': false,
    'media.gmp-manager.url': 'data:,',
    'security.fileuri.strict_origin_policy': true,
    'intl.accept_languages': 'en-US',
    'intl.locale.requested': 'en-US',
    'ui.prefersReducedMotion': 1,
    'layout.css.devPixelsPerPx': '1.0',
    // Global history outlives the per-load contexts: a link to a page loaded earlier would show as visited.
    'places.history.enabled': false,
    'layout.css.visited_links_enabled': false,
};

// Generous: the large page on a busy machine takes most of a minute.
export const kLoadTimeoutMs = 180000;
// How often a snapshot starts again when the page moved on to another document while it was being read.
const kNavigationRetries = 3;

// Runs in every document before its own scripts: records uncaught errors even where a page (or the
// protection's own error handler) tells the browser to keep quiet about them, which style sheets have loaded or
// failed, and how many context menus were asked for. document.open() takes every listener of the document's
// window away; an unlock page that writes the page it decrypted would then hide that page's errors, so each open
// puts them back.
function recordErrors() {
    const errors = [];
    Object.defineProperty(window, '__qvErrors', { value: errors });
    const seen = { settled: new WeakSet(), contextMenus: 0 };
    Object.defineProperty(window, '__qvSeen', { value: seen });
    const onError = (e) => {
        if (e instanceof ErrorEvent) {
            errors.push(String(e.message));
        }
    };
    const onRejection = (e) => errors.push(`Unhandled rejection: ${e.reason}`);
    // A script, handler or eval the page's Content-Security-Policy refused (none is refused without a policy).
    const onViolation = (e) => errors.push(`Content-Security-Policy refused ${e.effectiveDirective}: ` +
        `${e.blockedURI || 'inline'} ${e.sample || ''}`.trim());
    // A link's load and error events do not bubble, but the window sees them on their way down.
    const onSettled = (e) => {
        if (e.target instanceof HTMLLinkElement) {
            seen.settled.add(e.target);
        }
    };
    // Counted once the whole dispatch is over (the page's own handler and any alert it shows), whatever the
    // page's handler does to the event.
    const onContextMenu = () => setTimeout(() => { seen.contextMenus++; }, 0);
    const listen = () => {
        window.addEventListener('error', onError, true);
        window.addEventListener('unhandledrejection', onRejection);
        window.addEventListener('securitypolicyviolation', onViolation, true);
        window.addEventListener('load', onSettled, true);
        window.addEventListener('error', onSettled, true);
        window.addEventListener('contextmenu', onContextMenu, true);
    };
    listen();
    const open = Document.prototype.open;
    Document.prototype.open = function (...args) {
        const opened = open.apply(this, args);
        if (this === document) {
            listen();
        }
        return opened;
    };
}

// Runs in one frame after loading: the aspects compared between original and protected page.
function frameAspects() {
    const root = document.body || document.documentElement;
    return {
        url: location.href,
        text: root ? root.innerText : '',
        links: Array.from(document.links, (a) => a.getAttribute('href')),
        images: Array.from(document.images, (img) =>
            `${img.getAttribute('src')}${img.complete && img.naturalWidth > 0 ? '' : ' (not loaded)'}`),
        errors: Array.from(window.__qvErrors || []),
        charset: document.characterSet,
        compatMode: document.compatMode,
        firstInBody: document.body?.firstElementChild?.tagName ?? '',
        focus: ((e) => (e && e !== document.body && e !== document.documentElement
            ? `${e.tagName.toLowerCase()}${e.id ? `#${e.id}` : ''}${e.name ? `[name=${e.name}]` : ''}` : ''))(
            document.activeElement),
        height: Math.max(document.documentElement.scrollHeight, document.body ? document.body.scrollHeight : 0),
    };
}

async function loadDriver() {
    try {
        return (await import('puppeteer-core')).default;
    } catch {
        return null;
    }
}

function launchOptions(engine) {
    const env = { ...process.env, TZ: 'UTC', LANG: 'en_US.UTF-8', LANGUAGE: 'en_US' };
    const common = { executablePath: kExecutables[engine], headless: true, defaultViewport: kViewport, env };
    if (engine === 'firefox') {
        return { ...common, browser: 'firefox', extraPrefsFirefox: kFirefoxPrefs, protocolTimeout: kLoadTimeoutMs };
    }
    return { ...common, browser: 'chrome', args: kChromiumFlags, protocolTimeout: kLoadTimeoutMs };
}

const engineOf = new WeakMap();

/// Starts the engine's Debian browser through puppeteer-core; null with a reason when either is missing.
export async function launchBrowser(engine = 'chromium') {
    const executable = kExecutables[engine];
    if (!fs.existsSync(executable)) {
        return { browser: null, reason: `${executable} is missing (scripts/setup --browser installs it)` };
    }
    const puppeteer = await loadDriver();
    if (!puppeteer) {
        return { browser: null, reason: 'puppeteer-core is missing (scripts/setup --browser installs it)' };
    }
    const browser = await puppeteer.launch(launchOptions(engine));
    engineOf.set(browser, engine);
    return { browser, reason: '' };
}

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// A page that leaves for another address while loading (breaking out of frames, a refused password)
// interrupts the first navigation, or replaces the document while it is being read (Firefox then reports the
// frame being read as no such frame); what counts is where it lands.
const kNavigated = /interrupted|abort|cancel|detached|destroyed|navigat|Cannot find context|No target|discarded|no such frame/i;
const movedOn = (error) => kNavigated.test(String(error.message)) && !/timeout|timed out/i.test(String(error.message));

async function readyState(page) {
    try {
        return await page.evaluate(() => document.readyState);
    } catch (error) {
        if (movedOn(error)) {
            return 'navigating';
        }
        throw error;
    }
}

async function waitForLoad(page, timeoutMs = kLoadTimeoutMs) {
    const end = Date.now() + timeoutMs;
    while ((await readyState(page)) !== 'complete') {
        if (Date.now() > end) {
            throw new Error(`${page.url()} did not finish loading in ${timeoutMs / 1000} s`);
        }
        await sleep(25);
    }
}

/// Runs act(browser, engine) in each engine that can be started, and closes its browser after; an engine that
/// cannot be started is named with the reason and passed over. Returns how many engines ran.
export async function inEachEngine(act) {
    let ran = 0;
    for (const engine of kEngines) {
        const { browser, reason } = await launchBrowser(engine);
        if (!browser) {
            console.log(`${engine}: skipped, ${reason}`);
            continue;
        }
        ran++;
        try {
            await act(browser, engine);
        } finally {
            await browser.close();
        }
    }
    return ran;
}

export async function goto(page, url) {
    try {
        await page.goto(url, { waitUntil: 'load', timeout: kLoadTimeoutMs });
    } catch (error) {
        if (!movedOn(error)) {
            throw error;
        }
    }
    await waitForLoad(page);
}

// A wrong answer sends the visitor away from the script that asked, within milliseconds of the answer; a page that
// has finished loading and still stays after this bound (a hundred times what a loaded machine needs) stays for good.
const kSentAwayBoundMs = 30000;

async function waitForUrl(page, url) {
    const end = Date.now() + kSentAwayBoundMs;
    while (page.url() !== url && Date.now() < end) {
        await sleep(25);
    }
}

function frameTree(frame, out = []) {
    out.push(frame);
    for (const child of frame.childFrames()) {
        frameTree(child, out);
    }
    return out;
}

// Fonts loaded and two frames painted. A blinking caret or a running animation would make two screenshots
// of one page differ; both are stopped in every document alike.
async function settle(page) {
    for (const frame of frameTree(page.mainFrame())) {
        await frame.evaluate(() => {
            const style = document.createElement('style');
            style.textContent = '*,*::before,*::after{caret-color:transparent!important;' +
                'animation-play-state:paused!important;transition:none!important}';
            (document.head || document.documentElement)?.appendChild(style);
            return document.fonts.ready.then(() => undefined);
        });
    }
    await twoFrames(page);
}

function twoFrames(page) {
    return page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
}

const shoot = (page) => page.screenshot({ captureBeyondViewport: false });

// Firefox keeps the focus in one window at a time: a page loaded beside another would draw its focused
// field with the focus ring or without, by chance. Which element has the focus is compared as an aspect
// of its own; before the screenshots every frame lets go of it, so that no page draws a ring.
async function dropFocus(page) {
    for (const frame of frameTree(page.mainFrame())) {
        await frame.evaluate(() => document.activeElement?.blur?.());
    }
    await twoFrames(page);
}

// The window, then the page below it one window at a time, down to maxHeight: scrolling is cheap where
// a full-page capture would lay a long page out again at its whole height.
async function screenshots(page, frames, maxHeight) {
    const height = Math.min(maxHeight, frames[0].height);
    const shots = [Buffer.from(await shoot(page))];
    for (let y = kViewport.height; y < height; y += kViewport.height) {
        await page.evaluate((top) => new Promise((done) => {
            window.scrollTo(0, top);
            requestAnimationFrame(() => requestAnimationFrame(done));
        }), y);
        shots.push(Buffer.from(await shoot(page)));
    }
    return shots;
}

async function clickMarked(page) {
    const marked = await page.$$('[data-check-click]');
    for (const element of marked) {
        await element.click();
    }
    if (!marked.length) {
        return null;
    }
    // A click may send the page on to another document (a form submitted where a strict policy refused its inline
    // handler): the text is read from the document that stands once it has loaded, not from one half replaced.
    for (let attempt = 1; ; attempt++) {
        try {
            await waitForLoad(page);
            return await page.evaluate(() => (document.body || document.documentElement)?.innerText ?? '');
        } catch (error) {
            if (attempt > kNavigationRetries || !movedOn(error)) {
                throw error;
            }
        }
    }
}

// Waits for the context menu's whole dispatch, not for a time: an alert it shows is then in dialogs.
async function rightClick(page, dialogs) {
    const before = dialogs.length;
    const menusBefore = await page.evaluate(() => window.__qvSeen.contextMenus);
    await page.mouse.click(4, 4, { button: 'right' });
    await poll('the right click never reached the page', kLoadTimeoutMs,
        () => page.evaluate((count) => window.__qvSeen.contextMenus > count, menusBefore));
    return dialogs.slice(before);
}

async function readPage(page, dialogs, options) {
    await settle(page);
    const frames = [];
    for (const frame of frameTree(page.mainFrame())) {
        frames.push(await frame.evaluate(frameAspects));
    }
    const snapshot = { url: page.url(), title: await page.title(), frames, dialogs: [...dialogs] };
    await dropFocus(page);
    snapshot.screenshots = await screenshots(page, frames, options.shotHeight ?? 3000);
    snapshot.textAfterClicks = await clickMarked(page);
    snapshot.rightClickDialogs = options.rightClick ? await rightClick(page, dialogs) : [];
    return snapshot;
}

// Reads the page once it has loaded; starts again when the page moved on to another document meanwhile.
async function readLoadedPage(page, dialogs, options) {
    for (let attempt = 1; ; attempt++) {
        try {
            return await readPage(page, dialogs, options);
        } catch (error) {
            if (attempt > kNavigationRetries || !movedOn(error)) {
                throw error;
            }
            await waitForLoad(page);
        }
    }
}

// Firefox now and then reports a fresh context's first tab gone while it is still being made. Each page
// gets a window of its own there: a tab behind another is hidden, and a hidden page neither paints nor
// runs its animation frames.
export async function newPage(browser) {
    const options = engineOf.get(browser) === 'firefox' ? { type: 'window' } : {};
    for (let attempt = 1; ; attempt++) {
        const context = await browser.createBrowserContext();
        try {
            const page = await context.newPage(options);
            await page.evaluateOnNewDocument(recordErrors);
            return { context, page };
        } catch (error) {
            await context.close().catch(() => undefined);
            if (attempt > kNavigationRetries || !movedOn(error)) {
                throw error;
            }
        }
    }
}

// The frames that still show an unlock page.
export async function lockedFrames(page) {
    const locked = [];
    for (const frame of frameTree(page.mainFrame())) {
        try {
            if (await frame.evaluate(() => Boolean(document.getElementById('qv-data')))) {
                locked.push(frame);
            }
        } catch (error) {
            if (!movedOn(error)) {
                throw error;
            }
        }
    }
    return locked;
}

export async function poll(what, timeoutMs, test) {
    const end = Date.now() + timeoutMs;
    for (;;) {
        const found = await test();
        if (found) {
            return found;
        }
        if (Date.now() > end) {
            throw new Error(`${what} in ${timeoutMs / 1000} s`);
        }
        await sleep(50);
    }
}

// Types the password into the first unlock form that shows, as a visitor would, and presses Enter. A
// frameset's frame pages each carry one; the others take the key from the first.
export async function shownForm(page) {
    for (const frame of await lockedFrames(page)) {
        // A page that opens with a kept key replaces its document meanwhile: then it shows no form.
        const shows = await frame.evaluate(() => {
            const form = document.getElementById('qv-form');
            return Boolean(form) && !form.hidden;
        }).catch((error) => {
            if (movedOn(error)) {
                return false;
            }
            throw error;
        });
        if (shows) {
            return frame;
        }
    }
    return null;
}

export async function typePassword(page, password) {
    const frame = await poll('no unlock form showed', kLoadTimeoutMs, () => shownForm(page));
    const field = await frame.$('#qv-password');
    await field.type(password);
    await field.press('Enter');
    return frame;
}

// A locked page settles as opened (every frame loaded, none locked), or as asking again in one of its frames: a form
// that shows with nothing typed into it and no password being tried.
export async function afterTyping(tab) {
    return poll('the page neither opened nor asked again', kLoadTimeoutMs, async () => {
        const locked = await lockedFrames(tab);
        if (locked.length === 0) {
            return await framesLoaded(tab) ? 'open' : null;
        }
        for (const frame of locked) {
            const asks = await frame.evaluate(() => {
                const form = document.getElementById('qv-form');
                return !form.hidden && !form.getAttribute('aria-busy') && !document.getElementById('qv-password').value;
            }).catch(() => false);
            if (asks) {
                return 'asks';
            }
        }
        return null;
    });
}

// Every frame shows a document of its own that has loaded (a frame just written holds about:blank first); a frame
// with no address, or with about:blank for one, is loaded as it is.
async function framesLoaded(page) {
    for (const frame of frameTree(page.mainFrame()).slice(1)) {
        try {
            if (!await frame.evaluate(() => {
                if (document.readyState !== 'complete') {
                    return false;
                }
                const address = window.frameElement ? window.frameElement.getAttribute('src') : '';
                const blank = address === null || ['', 'about:blank'].includes(address.trim().toLowerCase());
                return location.href !== 'about:blank' || blank;
            })) {
                return false;
            }
        } catch (error) {
            if (!movedOn(error)) {
                throw error;
            }
            return false;
        }
    }
    return true;
}

// A written document does not always wait for its images and style sheets before it counts as loaded.
async function imagesLoaded(page) {
    for (const frame of frameTree(page.mainFrame())) {
        if (!await frame.evaluate(() => Array.from(document.images).every((img) => img.complete))) {
            return false;
        }
    }
    return true;
}

// Every style sheet has loaded or failed to (a failed one never gets its sheet, but its error event was seen).
async function styleSheetsLoaded(page) {
    for (const frame of frameTree(page.mainFrame())) {
        await poll('a style sheet neither loaded nor failed', kLoadTimeoutMs, () => frame.evaluate(() =>
            Array.from(document.querySelectorAll('link[rel~="stylesheet" i][href]:not([href=""])'))
                .every((link) => link.sheet !== null || window.__qvSeen.settled.has(link))));
    }
}

// Unlocks every frame with the password and waits until each shows its page with its images. The frame
// the password was typed into keeps the focus, as it would for a visitor; a fresh load of the frameset
// has it nowhere, so it goes back to the top document.
async function unlock(page, password) {
    // From files, each sealed frame of a frameset asks for itself.
    do {
        await typePassword(page, password);
    } while ((await afterTyping(page)) === 'asks');
    await waitForLoad(page);
    // A sealed frameset writes its frames once unlocked, and they unlock in turn with the key it hands them.
    await poll('the frames did not unlock', kLoadTimeoutMs,
        async () => (await lockedFrames(page)).length === 0 && await framesLoaded(page));
    await poll('the images of the unlocked page did not load', kLoadTimeoutMs, () => imagesLoaded(page));
    await styleSheetsLoaded(page);
    await page.evaluate(() => {
        if (['FRAME', 'IFRAME'].includes(document.activeElement?.tagName)) {
            document.activeElement.blur();
        }
    });
}

// Types a wrong password and returns what the unlock page then shows: its error text and its whole text.
async function refuse(page, password) {
    const frame = await typePassword(page, password);
    const error = await poll('no error showed', kLoadTimeoutMs,
        () => frame.evaluate(() => document.getElementById('qv-error')?.textContent || ''));
    return {
        error, locked: (await lockedFrames(page)).length > 0, text: await frame.evaluate(() => document.body.innerText),
    };
}

// Where a loaded page settles: 'open' (it shows its page), 'asks' (its form shows).
export async function settledAs(page) {
    await waitForLoad(page);
    return poll('the page neither opened nor asked', kLoadTimeoutMs, async () => {
        if ((await lockedFrames(page)).length === 0) {
            return 'open';
        }
        return (await shownForm(page)) ? 'asks' : null;
    });
}

/// The unlock form as a visitor meets it before unlocking: the document's language and direction, the field's
/// label, and the field's type after typing text, pressing Tab (which must reach the show-password box) and Space,
/// and Space once more. Returns { lang, dir, prompt, focused, shown, value, hidden }.
export async function unlockForm(browser, url, typed) {
    const { context, page } = await newPage(browser);
    try {
        await goto(page, url);
        const frame = await poll('no unlock form showed', kLoadTimeoutMs, () => shownForm(page));
        const read = (f) => frame.evaluate(f);
        const { lang, dir, prompt } = await read(() => ({
            lang: document.documentElement.lang, dir: document.documentElement.dir,
            prompt: document.querySelector('label[for="qv-password"]').textContent,
        }));
        const field = await frame.$('#qv-password');
        await field.type(typed);
        await page.keyboard.press('Tab');
        const focused = await read(() => document.activeElement?.id ?? '');
        await page.keyboard.press(' ');
        const shown = await read(() => document.getElementById('qv-password').type);
        const value = await read(() => document.getElementById('qv-password').value);
        await page.keyboard.press(' ');
        const hidden = await read(() => document.getElementById('qv-password').type);
        return { lang, dir, prompt, focused, shown, value, hidden };
    } finally {
        await context.close().catch(() => undefined);
    }
}

/// One visitor's session over two sealed pages of one run: unlocks the first with the password, then opens
/// the second, then the second with "#quillora-forget" after its address, then the first again. Returns how
/// each of the last three settled: { next, forgetting, afterForgetting }, each 'open' or 'asks'.
export async function unlockSession(browser, firstUrl, nextUrl, password) {
    const { context, page } = await newPage(browser);
    try {
        await goto(page, firstUrl);
        await unlock(page, password);
        await goto(page, nextUrl);
        const next = await settledAs(page);
        if (next === 'open') {
            // From the open page a change of the address's fragment only: the page itself forgets and loads again.
            await page.evaluate(() => { window.__qvBeforeForgetting = true; location.hash = 'quillora-forget'; });
            await poll('the page did not load again after #quillora-forget', kLoadTimeoutMs, async () => {
                try {
                    return await page.evaluate(() => window.__qvBeforeForgetting !== true);
                } catch (error) {
                    if (movedOn(error)) {
                        return false;
                    }
                    throw error;
                }
            });
        } else {
            // A page that asks (from a file, which keeps nothing) is opened with the forget address instead.
            await goto(page, 'about:blank');
            await goto(page, `${nextUrl}#quillora-forget`);
        }
        const forgetting = await settledAs(page);
        await goto(page, firstUrl);
        const afterForgetting = await settledAs(page);
        return { next, forgetting, afterForgetting };
    } finally {
        await context.close().catch(() => undefined);
    }
}

/// Loads url and returns its snapshot: the title, each frame's aspects (main frame first), the dialogs
/// shown (prompts answered with options.answer), the screenshots, and the text after clicking the
/// elements marked data-check-click. With options.rightClick, also the dialogs a right click brings.
/// With options.expectUrl, only waits for the page to reach that address and returns where it is.
/// An encrypted page is first unlocked with options.unlock; with options.refuse, a wrong password is typed
/// instead and what the unlock page then shows is returned ({ error, locked, text }).
export async function takeSnapshot(browser, url, options = {}) {
    const { context, page } = await newPage(browser);
    try {
        const dialogs = [];
        page.on('dialog', (dialog) => {
            dialogs.push(`${dialog.type()}: ${dialog.message()}`);
            const answer = dialog.type() === 'prompt' ? (options.answer ?? '') : undefined;
            dialog.accept(answer).catch(() => undefined);
        });
        await goto(page, url);
        if (options.expectUrl) {
            await waitForUrl(page, options.expectUrl);
            return { url: page.url(), dialogs };
        }
        if (options.refuse) {
            return await refuse(page, options.refuse);
        }
        if (options.unlock) {
            await unlock(page, options.unlock);
        }
        return await readLoadedPage(page, dialogs, options);
    } finally {
        await context.close().catch(() => undefined);
    }
}

const fileOfUrl = (url) => (url.startsWith('file:') ? fileURLToPath(url.split('#')[0].split('?')[0]) : null);

/// The path of a page's address below the given folder, with "/" separators; the address itself otherwise.
/// toFile maps an address to its file (file:// addresses by default; a served site gives its own).
export function relativeUrl(url, dir, toFile = fileOfUrl) {
    const file = toFile(url);
    if (!file) {
        return url;
    }
    return file.startsWith(dir + '/') ? file.slice(dir.length + 1) : file;
}
