// A small static server on the loopback address, so that pages can be loaded as a published site is:
// over http, one origin for the whole site. It sends no character set with a page, as a server that was
// never told one, so that the browser decides from the page's own bytes as it does for a file.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const kTypes = {
    '.html': 'text/html', '.htm': 'text/html', '.css': 'text/css', '.js': 'text/javascript',
    '.json': 'application/json', '.png': 'image/png', '.gif': 'image/gif', '.jpg': 'image/jpeg',
    '.jpeg': 'image/jpeg', '.svg': 'image/svg+xml', '.ico': 'image/x-icon', '.txt': 'text/plain',
    '.woff': 'font/woff', '.woff2': 'font/woff2',
};

/// The path below root that a request path names, or null when it would leave root.
export function fileOfRequest(root, requestPath) {
    let decoded;
    try {
        decoded = decodeURIComponent(requestPath.split('?')[0].split('#')[0]);
    } catch {
        return null;
    }
    const file = path.resolve(root, `.${path.posix.normalize(`/${decoded}`)}`);
    return file === root || file.startsWith(root + path.sep) ? file : null;
}

// A file's path below a site's folder as the path of its address, escaped as quillora-cli escapes it.
function addressOf(relative) {
    const kept = /[A-Za-z0-9\-._~/!$&'()*+,;=:@]/;
    let address = '/';
    for (const byte of Buffer.from(relative.split(path.sep).join('/'), 'utf8')) {
        const c = String.fromCharCode(byte);
        address += byte < 0x80 && kept.test(c) ? c : `%${byte.toString(16).toUpperCase().padStart(2, '0')}`;
    }
    return address;
}

/// The headers a "_headers" file (a path line, its headers indented below it) gives a file: the nearest such
/// file in the file's folder or above it, up to root, is the site's; its block for the file's address counts.
export function headersOf(root, file) {
    for (let dir = path.dirname(file); dir === root || dir.startsWith(root + path.sep); dir = path.dirname(dir)) {
        let text;
        try {
            text = fs.readFileSync(path.join(dir, '_headers'), 'utf8');
        } catch {
            continue;
        }
        const wanted = addressOf(path.relative(dir, file));
        const headers = {};
        let inBlock = false;
        for (const line of text.split('\n')) {
            if (!line.trim() || line.startsWith('#')) {
                inBlock = false;
            } else if (!/^\s/.test(line)) {
                inBlock = line.trim() === wanted;
            } else if (inBlock) {
                const colon = line.indexOf(':');
                headers[line.slice(0, colon).trim()] = line.slice(colon + 1).trim();
            }
        }
        return headers;
    }
    return {};
}

function answer(root, request, response) {
    const file = request.method === 'GET' || request.method === 'HEAD' ? fileOfRequest(root, request.url) : null;
    if (!file || !fs.statSync(file, { throwIfNoEntry: false })?.isFile()) {
        response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
        return;
    }
    const type = kTypes[path.extname(file).toLowerCase()] ?? 'application/octet-stream';
    response.writeHead(200, { ...headersOf(root, file), 'Content-Type': type, 'Cache-Control': 'no-store' });
    if (request.method === 'HEAD') {
        response.end();
    } else {
        fs.createReadStream(file).pipe(response);
    }
}

/// Serves the files below root on 127.0.0.1 (or another loopback address, for a second origin) at a free port:
/// { origin, urlOf(file), fileOf(url), close() }.
export async function startServer(root, host = '127.0.0.1') {
    const base = path.resolve(root);
    const server = http.createServer((request, response) => answer(base, request, response));
    await new Promise((done, fail) => server.once('error', fail).listen(0, host, done));
    const origin = `http://${host}:${server.address().port}`;
    return {
        origin,
        urlOf: (file) => `${origin}/${path.relative(base, file).split(path.sep).map(encodeURIComponent).join('/')}`,
        fileOf: (url) => (url.startsWith(`${origin}/`) ? fileOfRequest(base, url.slice(origin.length)) : null),
        close: () => new Promise((done) => server.close(done)),
    };
}
