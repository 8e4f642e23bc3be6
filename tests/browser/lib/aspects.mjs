// Compares what a visitor sees of the original and of the protected page, aspect by aspect.
import { relativeUrl } from './browser.mjs';

function firstDifference(a, b) {
    let i = 0;
    while (i < a.length && i < b.length && a[i] === b[i]) {
        i++;
    }
    const show = (s) => JSON.stringify(s.slice(Math.max(0, i - 20), i + 40));
    return `at character ${i}: ${show(a)} vs ${show(b)}`;
}

function listDifference(a, b) {
    const n = Math.max(a.length, b.length);
    for (let i = 0; i < n; i++) {
        if (a[i] !== b[i]) {
            return `item ${i + 1} of ${a.length} vs ${b.length}: ${JSON.stringify(a[i])} vs ${JSON.stringify(b[i])}`;
        }
    }
    return '';
}

/// Messages the protected page raised that the original did not (each counted as often as it occurs).
export function extraErrors(original, protectedErrors) {
    const left = [...original];
    return protectedErrors.filter((message) => {
        const i = left.indexOf(message);
        if (i < 0) {
            return true;
        }
        left.splice(i, 1);
        return false;
    });
}

function differingScreenshot(a, b) {
    if (a.length !== b.length) {
        return `${a.length} vs ${b.length} window heights`;
    }
    const i = a.findIndex((shot, k) => !shot.equals(b[k]));
    return i < 0 ? '' : `the screenshots differ (window height ${i + 1} of ${a.length})`;
}

/// Every script error of a snapshot, main frame first.
export function allErrors(snapshot) {
    return snapshot.frames.flatMap((f) => f.errors);
}

function frameUrls(snapshot, dir, toFile) {
    return snapshot.frames.map((f) => relativeUrl(f.url, dir, toFile));
}

/// The aspects in which the protected snapshot differs from the original: [{aspect, detail}].
/// dirs gives the folders of both copies, so that frame addresses compare relative to them, and toFile, the
/// file of an address.
export function compareSnapshots(original, protectedSnap, dirs) {
    const diffs = [];
    const add = (aspect, detail) => diffs.push({ aspect, detail });
    if (original.title !== protectedSnap.title) {
        add('title', `${JSON.stringify(original.title)} vs ${JSON.stringify(protectedSnap.title)}`);
    }
    const urls = [
        frameUrls(original, dirs.original, dirs.toFile), frameUrls(protectedSnap, dirs.protected, dirs.toFile),
    ];
    if (urls[0].join('\n') !== urls[1].join('\n')) {
        add('frames', listDifference(urls[0], urls[1]));
    }
    const frames = Math.min(original.frames.length, protectedSnap.frames.length);
    for (let i = 0; i < frames; i++) {
        const [a, b] = [original.frames[i], protectedSnap.frames[i]];
        const where = i ? ` (frame ${urls[0][i]})` : '';
        // Text written by the writer calls is decoded by script and reads the same in any character set;
        // the page's own bytes (title, head, the parts a mode leaves) and the fonts chosen for its language
        // follow the set the browser picked, which must stay the original's.
        if (a.charset !== b.charset) {
            add('charset', `${a.charset} vs ${b.charset}${where}`);
        }
        if (a.text !== b.text) {
            add('text', firstDifference(a.text, b.text) + where);
        }
        if (a.links.join('\n') !== b.links.join('\n')) {
            add('links', listDifference(a.links, b.links) + where);
        }
        if (a.images.join('\n') !== b.images.join('\n')) {
            add('images', listDifference(a.images, b.images) + where);
        }
        if (a.focus !== b.focus) {
            add('focus', `${JSON.stringify(a.focus)} vs ${JSON.stringify(b.focus)}${where}`);
        }
    }
    const shot = differingScreenshot(original.screenshots, protectedSnap.screenshots);
    if (shot) {
        add('screenshot', shot);
    }
    const extra = extraErrors(allErrors(original), allErrors(protectedSnap));
    if (extra.length) {
        add('errors', extra.join(' | '));
    }
    if (original.textAfterClicks !== protectedSnap.textAfterClicks) {
        add('clicks', firstDifference(original.textAfterClicks ?? '', protectedSnap.textAfterClicks ?? ''));
    }
    return diffs;
}

/// Dialogs of the protected page beyond the original's, less the password prompts that are expected;
/// reports a missing prompt when a password was set.
export function compareDialogs(original, protectedSnap, password) {
    const prompts = protectedSnap.dialogs.filter((d) => d === 'prompt: Enter Password:');
    const others = protectedSnap.dialogs.filter((d) => d !== 'prompt: Enter Password:');
    const diffs = [];
    if (password && prompts.length === 0) {
        diffs.push({ aspect: 'password', detail: 'no "Enter Password:" prompt was shown' });
    }
    if (!password && prompts.length) {
        diffs.push({ aspect: 'password', detail: 'a password prompt was shown without a password' });
    }
    if (others.join('\n') !== original.dialogs.join('\n')) {
        diffs.push({ aspect: 'dialogs', detail: listDifference(original.dialogs, others) });
    }
    return diffs;
}

/// A right click on the protected page must bring the warning (when one was chosen) and nothing else.
export function compareRightClick(protectedSnap, warning) {
    const expected = warning ? [`alert: ${warning}`] : [];
    const got = protectedSnap.rightClickDialogs;
    if (got.join('\n') === expected.join('\n')) {
        return [];
    }
    const detail = `right click showed ${JSON.stringify(got)}, expected ${JSON.stringify(expected)}`;
    return [{ aspect: 'behaviour', detail }];
}
