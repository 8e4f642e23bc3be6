// One large page (a few MB), generated rather than stored: a long catalogue with tables, lists, links,
// e-mail links and inline scripts, the same bytes on every run.
import fs from 'node:fs';
import path from 'node:path';

export const kLargePageName = 'large.html';

const kWords = ('flour water salt yeast starter dough crumb crust oven proof knead fold shape score bake cool slice '
    + 'loaf roll bun tart pie cake scone muffin rye spelt wheat barley oat seed honey butter milk cream sugar '
    + 'lemon plum apple cherry walnut almond hazel raisin cinnamon clove ginger vanilla cocoa morning harbour '
    + 'counter basket tray shelf window market order delivery recipe batch weight tin paper ribbon').split(' ');

function makeRandom(seed) {
    let state = seed >>> 0;
    return () => {
        state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
        return state / 4294967296;
    };
}

function sentence(random, count) {
    const words = [];
    for (let i = 0; i < count; i++) {
        words.push(kWords[Math.floor(random() * kWords.length)]);
    }
    const text = words.join(' ');
    return text[0].toUpperCase() + text.slice(1) + '.';
}

function section(random, n) {
    const parts = [`<h2 id="s${n}">Section ${n}: ${sentence(random, 3)}</h2>`];
    for (let p = 0; p < 3; p++) {
        parts.push(`<p>${sentence(random, 18)} ${sentence(random, 14)} <em>${sentence(random, 4)}</em></p>`);
    }
    parts.push('<table><tr><th>Item</th><th>Weight</th><th>Price</th></tr>');
    for (let r = 0; r < 4; r++) {
        const grams = 100 + Math.floor(random() * 900);
        parts.push(`<tr><td>${sentence(random, 2)}</td><td>${grams} g</td><td>${(grams / 97).toFixed(2)}</td></tr>`);
    }
    parts.push('</table>');
    parts.push(`<ul><li>${sentence(random, 6)}</li><li>${sentence(random, 5)}</li></ul>`);
    parts.push(`<p>See <a href="#s${Math.max(1, n - 7)}">section ${Math.max(1, n - 7)}</a> or ` +
        `<a href="article.html">our story</a>; questions to <a href="mailto:desk${n % 10}@harbourlane.example">` +
        `desk ${n % 10}</a>.</p>`);
    if (n % 50 === 0) {
        parts.push(`<script type="text/javascript">document.write("<p class=\\"note\\">Checkpoint ${n} written by a ` +
            `script.</p>");</script>`);
    }
    return parts.join('\n');
}

/// Writes the large page into dir and returns its name.
export function writeLargePage(dir, sections = 2400) {
    const random = makeRandom(20260101);
    const body = [];
    for (let n = 1; n <= sections; n++) {
        body.push(section(random, n));
    }
    const html = `<!DOCTYPE html>
<html>
<head>
<meta charset="utf-8">
<title>The big catalogue</title>
<link rel="stylesheet" href="style.css">
</head>
<body>
<h1>The big catalogue</h1>
${body.join('\n')}
<div id="footer">End of the catalogue.</div>
</body>
</html>
`;
    fs.writeFileSync(path.join(dir, kLargePageName), html);
    return kLargePageName;
}
