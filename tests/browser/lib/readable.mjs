// Whether a protected file still shows the page's visible words in its bytes. Words are runs of letters
// and digits that are not a number, of three or more characters, or two in scripts written without
// spaces (a CJK run counts as one word).
const kToken = /[\p{L}\p{N}\p{M}_]+/gu;
const kNumber = /^[\p{N}_]+$/u;
const kUnspaced = /[\p{Script=Han}\p{Script=Hiragana}\p{Script=Katakana}\p{Script=Hangul}]/u;

// Texts the protection itself leaves readable in every protected file, including the head it adds to a
// page that has none.
const kGeneratedTexts = [
    "<SCRIPT LANGUAGE='JavaScript'>", '<SCRIPT LANGUAGE=JavaScript>', 'qv_d00(unescape(', "eval(unescape('",
    '<NOSCRIPT>To display this page you need a browser with JavaScript support.</NOSCRIPT>', '<html><head></head>',
    // The bootstrap of a page for a strict policy, which defines the writer without eval.
    'qv_ok=true;function qv_d00(s){if(!qv_ok)return;document.write(s)}',
];

// A strict policy's META tag names the hashes of the page's scripts, no words of the page.
const kPolicyMeta = /<meta http-equiv="Content-Security-Policy" content="[^"]*">/g;

/// The protected source without what the protection writes that holds none of the page's words.
export function withoutPolicy(protectedSource) {
    return protectedSource.replace(kPolicyMeta, '');
}

/// The set of words of a text.
export function wordsOf(text) {
    const words = new Set();
    for (const [word] of text.matchAll(kToken)) {
        if ((word.length >= 3 || (word.length === 2 && kUnspaced.test(word))) && !kNumber.test(word)) {
            words.add(word);
        }
    }
    return words;
}

// External script elements stay raw markup in every mode.
function externalScripts(source) {
    const found = [];
    for (const [element] of source.matchAll(/<script [^>]*src=[^>]*>[\s\S]*?<\/script>/gi)) {
        found.push(element);
    }
    return found.join('\n');
}

// Elements whose text shows nothing in the body: it may stay readable outside the body's content.
const kHeadText = /<(title|script|style|noscript|noframes|template)\b[^>]*>[\s\S]*?<\/\1\s*>/gi;

// Elements whose text is no markup: a body tag inside one is text.
const kRawText = /<(title|script|style|noscript|noframes|template|xmp|textarea|iframe|noembed)\b[^>]*>[\s\S]*?<\/\1\s*>/gi;

// What of a stretch outside the body's content stays readable: its tags and comments and the text of head
// elements, not the text between tags (the browser shows that in the body).
function headMaterial(stretch) {
    const texts = [...stretch.matchAll(kHeadText)].map((m) => m[0]);
    return [stretch.replace(/>[^<]*</g, '><'), ...texts].join('\n');
}

/// The parts of the original source that stay readable by design: in body mode the head material outside the
/// body's content (which ends at "</body>", else at "</html>", else with the text; a page without a body tag is
/// all body), in whole-page mode nothing but the document type, the character-set declaration and external
/// script elements.
export function readableByDesign(source, mode, notice = '') {
    // The document type stays in front, so that the page keeps its rendering mode.
    const doctype = /<!DOCTYPE[^>]*>/i.exec(source)?.[0] ?? '';
    // Comments before the document type stay in front of it.
    const leading = /^(?:\s|<!--[\s\S]*?--!?>)*(?=<!DOCTYPE)/i.exec(source)?.[0] ?? '';
    const parts = [...kGeneratedTexts, notice, leading, doctype, externalScripts(source)];
    if (mode === 'page') {
        // A copy of the character-set declaration stays in front, so that the browser still finds it.
        parts.push(/<meta[^>]*charset[^>]*>/i.exec(source.slice(0, 1024))?.[0] ?? '');
    }
    if (mode === 'body') {
        // Tags are looked for where raw text is blanked out, so that indices stay those of the source.
        const markup = source.replace(kRawText, (element) => ' '.repeat(element.length));
        const open = /<body[^>]*>/i.exec(markup);
        if (!open) {
            parts.push(headMaterial(source));
            return parts.join('\n');
        }
        parts.push(headMaterial(source.slice(0, open.index)), source.slice(open.index, open.index + open[0].length));
        // The body's end tag is optional: without it the body runs to the end of the html element, or of
        // the text. What follows stays readable; everything between must not.
        const lower = markup.toLowerCase();
        const close = lower.lastIndexOf('</body>');
        const end = close >= 0 ? close : lower.lastIndexOf('</html>');
        if (end > open.index) {
            parts.push(headMaterial(source.slice(end)));
        }
    }
    return parts.join('\n');
}

/// The visible words of the original that can be read in the protected source although the mode should
/// hide them, sorted. visibleText is what the browser showed of the original page.
export function readableWords({ visibleText, protectedSource, allowedSource }) {
    const present = wordsOf(protectedSource);
    const allowed = wordsOf(allowedSource);
    return [...wordsOf(visibleText)].filter((w) => present.has(w) && !allowed.has(w)).sort();
}
