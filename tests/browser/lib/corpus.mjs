// The pages under test: listing them, and copying a site so that each protection works on its own copy.
import fs from 'node:fs';
import path from 'node:path';

// The same test the folder scan uses: only these two extensions, case-sensitive.
const kPageName = /\.html?$/;

function walk(root, rel, out) {
    for (const entry of fs.readdirSync(path.join(root, rel), { withFileTypes: true })) {
        const child = rel ? `${rel}/${entry.name}` : entry.name;
        const full = path.join(root, child);
        if (fs.statSync(full).isDirectory()) {
            walk(root, child, out);
        } else if (kPageName.test(entry.name)) {
            out.push(child);
        }
    }
    return out;
}

/// The pages to compare, as paths relative to root with "/" separators: the list file's lines, or every page.
export function listPages(root, listFile) {
    if (listFile) {
        const lines = fs.readFileSync(listFile, 'utf8').split('\n').map((l) => l.trim());
        return lines.filter((l) => l && !l.startsWith('#'));
    }
    return walk(root, '', []).sort();
}

/// Copies a site. Pages are copied (the run rewrites them); everything else is hard-linked where possible,
/// since the run never writes stylesheets, scripts or images and real sites are large.
export function copySite(from, to) {
    fs.mkdirSync(to, { recursive: true });
    for (const entry of fs.readdirSync(from, { withFileTypes: true })) {
        const src = path.join(from, entry.name);
        const dst = path.join(to, entry.name);
        const stat = fs.statSync(src);
        if (stat.isDirectory()) {
            copySite(src, dst);
        } else if (kPageName.test(entry.name) || !tryLink(src, dst)) {
            fs.copyFileSync(src, dst);
        }
    }
}

function tryLink(src, dst) {
    try {
        fs.linkSync(fs.realpathSync(src), dst);
        return true;
    } catch {
        return false;
    }
}
