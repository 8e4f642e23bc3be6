#!/usr/bin/env node
// Stands in for quillora-cli in the suite's own tests. It takes the same arguments but protects only in
// body mode, and only plainly: the body's content (to "</body>", else "</html>", else the end) becomes one
// script that writes it. In every other mode it leaves the page as it is. On
// top of that it makes the one fault that QV_FAKE_FAULTS names for a page ("article.html=title,links.html=link"),
// so that the tests can see which aspects the suite reports.
import fs from 'node:fs';
import path from 'node:path';

const kFaults = {
    none: (page) => page,
    title: (page) => page.replace(/<title>/i, '<title>Changed '),
    text: (page) => page.replace(/<\/h1>/i, ' (changed)</h1>'),
    error: (page) => page.replace(/<\/body>/i, '<script>qv_undefinedWriter();</script></body>'),
    link: (page) => page.replace(/href="article.html"/i, 'href="article.htm"'),
    image: (page) => page.replace(/src="images\/logo.png"/i, 'src="images/missing.png"'),
    style: (page) => page.replace(/<\/head>/i, '<style>h1 { letter-spacing: 1px; }</style></head>'),
    focus: (page) => page.replace(/<input/i, '<input autofocus'),
    prompt: (page) => page.replace(/<head>/i, "<head><script>prompt('Enter Password:','')</script>"),
    // The declaration names another set than the one the page is written in.
    charset: (page) => page.replace(/charset=(["']?)[\w-]+/i, 'charset=$1windows-1252'),
    // The body stays as it was, although the mode hides it.
    unencoded: (page) => page,
};

// The same escapes the product writes: %XX below 256, %uXXXX above.
function escapeAll(text) {
    let out = '';
    for (let i = 0; i < text.length; i++) {
        const code = text.charCodeAt(i);
        out += code < 256 ? `%${code.toString(16).toUpperCase().padStart(2, '0')}`
            : `%u${code.toString(16).toUpperCase().padStart(4, '0')}`;
    }
    return out;
}

// page is the file's bytes as Latin-1 text, so that markup can be searched and the bytes written back;
// charset is the set the page is written in.
function hideBody(page, charset) {
    const open = /<body[^>]*>/i.exec(page);
    if (!open) {
        return page;
    }
    const start = open.index + open[0].length;
    const lower = page.toLowerCase();
    const close = lower.indexOf('</body>', start);
    const html = lower.indexOf('</html>', start);
    const end = close >= 0 ? close : html >= 0 ? html : page.length;
    const content = new TextDecoder(charset).decode(Buffer.from(page.slice(start, end), 'latin1'));
    const writer = `<script>document.write(unescape("${escapeAll(content)}"))</script>`;
    return page.slice(0, start) + writer + page.slice(end);
}

const kValued = new Set(['--hide', '--warning', '--password', '--notice', '--copy-to']);
const args = process.argv.slice(2);
const files = [];
for (let i = 0; i < args.length; i++) {
    if (kValued.has(args[i])) {
        i++;
    } else if (!args[i].startsWith('-')) {
        files.push(args[i]);
    }
}
const mode = args[args.indexOf('--hide') + 1];
const faults = new Map((process.env.QV_FAKE_FAULTS ?? '').split(',').filter(Boolean).map((f) => f.split('=')));
for (const file of files) {
    const faultName = faults.get(path.basename(file)) ?? 'none';
    const page = fs.readFileSync(file, 'latin1');
    const charset = /charset=["']?([\w-]+)/i.exec(page)?.[1] ?? 'utf-8';
    const faulty = kFaults[faultName](page);
    fs.writeFileSync(file, mode === 'body' && faultName !== 'unencoded' ? hideBody(faulty, charset) : faulty, 'latin1');
    console.log(file);
}
