// Differences that the protection causes by its design rather than by a fault. Each names the aspects it
// covers and the case it applies to; a page and mode that differs only in covered aspects is reported as
// skipped with the exception's name and kept out of the pass count. Anything else that differs fails.
import { allErrors, extraErrors } from './aspects.mjs';
import { relativeUrl } from './browser.mjs';

// A byte-order mark or a character-set declaration anywhere in the page.
function declaresCharset(bytes) {
    const bom = [[0xef, 0xbb, 0xbf], [0xfe, 0xff], [0xff, 0xfe]].some((m) => m.every((b, i) => bytes[i] === b));
    return bom || /<meta[^>]*charset/i.test(bytes.toString('latin1'));
}

const isAscii = (bytes) => bytes.every((b) => b < 0x80);

export const kExceptions = [
    {
        // Under a strict policy the page's own inline event handlers (onclick="...") do not run: a policy
        // allows one only with 'unsafe-hashes', which --csp does not write. The page then works as it would
        // under the same policy unprotected; every refusal must be one of such a handler.
        name: 'csp-refuses-inline-handlers',
        aspects: ['title', 'frames', 'charset', 'text', 'links', 'images', 'screenshot', 'errors', 'clicks'],
        applies: (c) => Boolean(c.variant?.args?.includes('--csp')) && /<[a-z][^>]*\son[a-z]+\s*=/i.test(c.originalSource) &&
            extraErrors(allErrors(c.original), allErrors(c.protectedSnap))
                .every((e) => e.startsWith('Content-Security-Policy refused script-src-attr')),
    },
    {
        // "Break out of frames" makes every protected page load itself as the top page when it finds itself
        // in a frame. The frameset itself stays unchanged, so its frame pages take over the window: the
        // protected frameset ends up showing one of its frame pages, which is what the script is for.
        name: 'frame-pages-break-out',
        aspects: ['title', 'frames', 'text', 'links', 'images', 'screenshot', 'clicks'],
        applies: (c) => {
            if (!c.variant.breaksFrames || c.original.frames.length < 2) {
                return false;
            }
            const { original, toFile } = c.dirs;
            const framePages = c.original.frames.slice(1).map((f) => relativeUrl(f.url, original, toFile));
            return framePages.includes(relativeUrl(c.protectedSnap.url, c.dirs.protected, toFile));
        },
    },
    {
        // Firefox gives every file:// page an origin of its own, and a frame may not send a top page of
        // another origin elsewhere: "Break out of frames" then raises a SecurityError in each frame page and
        // the frameset stays as it was. Served from one site, the frames share the top page's origin.
        name: 'firefox-file-frames-stay-framed',
        aspects: ['errors'],
        applies: (c) => c.engine === 'firefox' && c.variant.breaksFrames && c.original.frames.length > 1 &&
            extraErrors(allErrors(c.original), allErrors(c.protectedSnap)).every((e) => /^SecurityError/.test(e)),
    },
    {
        // In quirks mode Firefox drops the top margin of the body's first child; the writer call has to
        // stand where its markup goes, so the body's first child becomes that (invisible) script and the
        // first visible block keeps its margin. Chromium applies the rule to the first child that is laid out.
        name: 'firefox-quirks-writer-call-first-in-body',
        aspects: ['screenshot'],
        applies: (c) => c.engine === 'firefox' && c.original.frames.some((f, i) => f.compatMode === 'BackCompat' &&
            f.firstInBody !== 'SCRIPT' && c.protectedSnap.frames[i]?.firstInBody === 'SCRIPT'),
    },
    {
        // A page that declares no character set is read by the browser in the set it guesses from the bytes.
        // Once every non-ASCII character travels escaped inside writer calls, the protected bytes are plain
        // ASCII and give the guess nothing to go on; the text itself decodes the same in any set (the text
        // aspect still compares it). Where the protection declared the set it read the page in, the browser
        // has to take that one.
        name: 'undeclared-charset-all-ascii',
        aspects: ['charset'],
        applies: (c) => !declaresCharset(c.originalBytes) && isAscii(c.protectedBytes) && !isAscii(c.originalBytes) &&
            !declaresCharset(c.protectedBytes),
    },
    {
        // KOI8 text in a page that declares no set: Chromium names its guess KOI8-R, Firefox KOI8-U. The
        // protected page declares KOI8-U, which reads every letter KOI8-R reads alike (and Ukrainian's too); the
        // text aspect still compares what the page shows.
        name: 'koi8-guess-declared-as-koi8-u',
        aspects: ['charset'],
        applies: (c) => {
            const renamed = (f, i) => f.charset === 'KOI8-R' && c.protectedSnap.frames[i]?.charset === 'KOI8-U';
            const frames = c.original.frames;
            return !declaresCharset(c.originalBytes) && frames.some(renamed) &&
                frames.every((f, i) => renamed(f, i) || f.charset === c.protectedSnap.frames[i]?.charset);
        },
    },
];

/// Splits the differences into those excused by an exception (with the exception names) and the rest.
export function applyExceptions(diffs, context) {
    const names = new Set();
    const failing = diffs.filter((d) => {
        const exception = kExceptions.find((e) => e.aspects.includes(d.aspect) && e.applies(context));
        if (exception) {
            names.add(exception.name);
        }
        return !exception;
    });
    return { failing, excused: [...names] };
}
