// Loads one page in a fresh browser context at a fixed window size and records what a visitor sees of it.
import fs from 'node:fs';
import { fileURLToPath } from 'node:url';

export const kChromium = '/usr/bin/chromium';
export const kViewport = { width: 1024, height: 768 };

// Flags for a machine without network: no background traffic, no updates, no sandbox (runs as root).
// Partial raster repaints only the changed part of a tile, which can round the edge pixels of anti-aliased
// shapes (rounded corners) differently from one load of the same page to the next; whole tiles are stable.
const kFlags = [
    '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--font-render-hinting=none', '--hide-scrollbars',
    '--disable-partial-raster', '--force-color-profile=srgb',
];
// Generous: the large page on a busy machine takes most of a minute.
const kLoadTimeoutMs = 180000;

// Runs in every document before its own scripts: records uncaught errors even where a page (or the
// protection's own error handler) tells the browser to keep quiet about them.
function recordErrors() {
    const errors = [];
    Object.defineProperty(window, '__qvErrors', { value: errors });
    window.addEventListener('error', (e) => {
        if (e instanceof ErrorEvent) {
            errors.push(String(e.message));
        }
    }, true);
    window.addEventListener('unhandledrejection', (e) => errors.push(`Unhandled rejection: ${e.reason}`));
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
        height: Math.max(document.documentElement.scrollHeight, document.body ? document.body.scrollHeight : 0),
    };
}

/// Starts Debian's Chromium through playwright-core; null with a reason when either is missing.
export async function launchBrowser() {
    if (!fs.existsSync(kChromium)) {
        return { browser: null, reason: `${kChromium} is missing (scripts/setup --browser installs it)` };
    }
    let chromium;
    try {
        ({ chromium } = await import('playwright-core'));
    } catch {
        return { browser: null, reason: 'playwright-core is missing (scripts/setup --browser installs it)' };
    }
    const browser = await chromium.launch({ executablePath: kChromium, headless: true, args: kFlags });
    return { browser, reason: '' };
}

function frameTree(frame, out = []) {
    out.push(frame);
    for (const child of frame.childFrames()) {
        frameTree(child, out);
    }
    return out;
}

async function goto(page, url) {
    try {
        await page.goto(url, { waitUntil: 'load', timeout: kLoadTimeoutMs });
    } catch (error) {
        // A page that leaves for another address while loading (breaking out of frames, a refused
        // password) interrupts the first navigation; what counts is where it lands.
        if (!/interrupted by another navigation|net::ERR_ABORTED/.test(String(error.message))) {
            throw error;
        }
        await page.waitForLoadState('load', { timeout: kLoadTimeoutMs });
    }
}

async function settle(page) {
    for (const frame of frameTree(page.mainFrame())) {
        await frame.evaluate(() => document.fonts.ready.then(() => undefined)).catch(() => undefined);
    }
    await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
}

// The window, then the page below it one window at a time, down to maxHeight: scrolling is cheap where
// a full-page capture would lay a long page out again at its whole height.
async function screenshots(page, frames, maxHeight) {
    const height = Math.min(maxHeight, frames[0].height);
    const shots = [await page.screenshot({ animations: 'disabled', caret: 'hide' })];
    for (let y = kViewport.height; y < height; y += kViewport.height) {
        await page.evaluate((top) => window.scrollTo(0, top), y);
        shots.push(await page.screenshot({ animations: 'disabled', caret: 'hide' }));
    }
    return shots;
}

async function clickMarked(page) {
    const marked = page.locator('[data-check-click]');
    const count = await marked.count();
    for (let i = 0; i < count; i++) {
        await marked.nth(i).click({ timeout: 5000 });
    }
    return count ? page.evaluate(() => (document.body || document.documentElement).innerText) : null;
}

async function rightClick(page, dialogs) {
    const before = dialogs.length;
    await page.mouse.click(4, 4, { button: 'right' });
    await page.waitForTimeout(150);
    return dialogs.slice(before);
}

/// Loads url and returns its snapshot: the title, each frame's aspects (main frame first), the dialogs
/// shown (prompts answered with options.answer), the screenshots, and the text after clicking the
/// elements marked data-check-click. With options.rightClick, also the dialogs a right click brings.
export async function takeSnapshot(browser, url, options = {}) {
    const context = await browser.newContext({
        viewport: kViewport, deviceScaleFactor: 1, locale: 'en-US', timezoneId: 'UTC', reducedMotion: 'reduce',
    });
    try {
        await context.addInitScript(recordErrors);
        const page = await context.newPage();
        const dialogs = [];
        page.on('dialog', (dialog) => {
            dialogs.push(`${dialog.type()}: ${dialog.message()}`);
            const answer = dialog.type() === 'prompt' ? (options.answer ?? '') : undefined;
            dialog.accept(answer).catch(() => undefined);
        });
        await goto(page, url);
        if (options.expectUrl) {
            await page.waitForURL(options.expectUrl, { timeout: 10000 }).catch(() => undefined);
            return { url: page.url(), dialogs };
        }
        await settle(page);
        const frames = [];
        for (const frame of frameTree(page.mainFrame())) {
            frames.push(await frame.evaluate(frameAspects));
        }
        const snapshot = { url: page.url(), title: await page.title(), frames, dialogs: [...dialogs] };
        snapshot.screenshots = await screenshots(page, frames, options.shotHeight ?? 3000);
        snapshot.textAfterClicks = await clickMarked(page);
        snapshot.rightClickDialogs = options.rightClick ? await rightClick(page, dialogs) : [];
        return snapshot;
    } finally {
        await context.close();
    }
}

/// The path of a file:// address below the given folder, with "/" separators; the address itself otherwise.
export function relativeUrl(url, dir) {
    if (!url.startsWith('file:')) {
        return url;
    }
    const file = fileURLToPath(url.split('#')[0].split('?')[0]);
    return file.startsWith(dir + '/') ? file.slice(dir.length + 1) : file;
}
