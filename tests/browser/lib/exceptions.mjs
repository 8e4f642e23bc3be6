// Differences that the protection causes by its design rather than by a fault. Each names the aspects it
// covers and the case it applies to; a page and mode that differs only in covered aspects is reported as
// skipped with the exception's name and kept out of the pass count. Anything else that differs fails.
import { relativeUrl } from './browser.mjs';

export const kExceptions = [
    {
        // Body mode hides what stands between a body tag and its end tag. A page that has no body tag (its
        // body is implied) therefore keeps all its text readable; that is how the mode is defined.
        name: 'body-mode-without-body-tag',
        aspects: ['readable'],
        applies: (c) => c.mode === 'body' && !/<body/i.test(c.originalSource),
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
            const framePages = c.original.frames.slice(1).map((f) => relativeUrl(f.url, c.dirs.original));
            return framePages.includes(relativeUrl(c.protectedSnap.url, c.dirs.protected));
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
