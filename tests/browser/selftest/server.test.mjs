// The suite's static server: it serves the files below its folder and nothing else, and names no
// character set, so that the browser decides from the page's bytes.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';

import { fileOfRequest, startServer } from '../lib/server.mjs';

describe('fileOfRequest', () => {
    const root = '/srv/site';
    const rows = [
        ['/index.html', '/srv/site/index.html'],
        ['/news/caf%C3%A9%20cr%C3%A8me.html?x=1#top', '/srv/site/news/café crème.html'],
        ['/../etc/passwd', '/srv/site/etc/passwd'],
        ['/%2e%2e/%2e%2e/etc/passwd', '/srv/site/etc/passwd'],
        ['/%E0%A4%A', null],
    ];
    for (const [request, file] of rows) {
        it(request, () => assert.equal(fileOfRequest(root, request), file));
    }
});

describe('startServer', () => {
    let dir;
    let server;
    before(async () => {
        dir = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-server-'));
        fs.mkdirSync(path.join(dir, 'sub dir'));
        fs.writeFileSync(path.join(dir, 'sub dir', 'page.htm'), Buffer.from('<p>Caf\xe9</p>', 'latin1'));
        fs.writeFileSync(path.join(path.dirname(dir), 'qv-server-outside.txt'), 'outside');
        server = await startServer(dir);
    });
    after(async () => {
        await server.close();
        fs.rmSync(dir, { recursive: true, force: true });
        fs.rmSync(path.join(path.dirname(dir), 'qv-server-outside.txt'), { force: true });
    });

    it('serves a page byte for byte, without a character set', async () => {
        const file = path.join(dir, 'sub dir', 'page.htm');
        const url = server.urlOf(file);
        assert.equal(url, `${server.origin}/sub%20dir/page.htm`);
        assert.equal(server.fileOf(url), file);
        const response = await fetchBytes(url);
        assert.equal(response.status, 200);
        assert.equal(response.type, 'text/html');
        assert.deepEqual(response.body, fs.readFileSync(file));
    });

    it('answers 404 for a missing file, a folder and a path that leaves the folder', async () => {
        for (const request of ['/missing.html', '/sub%20dir', '/../qv-server-outside.txt', '/%2e%2e/qv-server-outside.txt']) {
            assert.equal((await fetchBytes(server.origin + request)).status, 404, request);
        }
    });
});

// fetch() is still experimental on Node.js 18; a plain request is the same on every version.
async function fetchBytes(url) {
    const http = await import('node:http');
    return new Promise((done, fail) => {
        http.get(url, (response) => {
            const chunks = [];
            response.on('data', (c) => chunks.push(c));
            response.on('end', () => done({
                status: response.statusCode, type: response.headers['content-type'], body: Buffer.concat(chunks),
            }));
        }).on('error', fail);
    });
}
