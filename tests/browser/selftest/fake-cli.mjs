#!/usr/bin/env node
// Stands in for quillora-cli in the suite's own tests. It takes the same arguments but does not protect:
// it leaves each page as it is, or makes the one fault that QV_FAKE_FAULTS names for it
// ("article.html=title,links.html=link"), so that the tests can see which aspects the suite reports.
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
    prompt: (page) => page.replace(/<head>/i, "<head><script>prompt('Enter Password:','')</script>"),
};

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
const faults = new Map((process.env.QV_FAKE_FAULTS ?? '').split(',').filter(Boolean).map((f) => f.split('=')));
for (const file of files) {
    const fault = kFaults[faults.get(path.basename(file)) ?? 'none'];
    fs.writeFileSync(file, fault(fs.readFileSync(file, 'latin1')), 'latin1');
    console.log(file);
}
