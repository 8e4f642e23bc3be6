// The suite's static server: it serves the files below its folder and nothing else, and names no
// character set, so that the browser decides from the page's bytes.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, it } from 'node:test';

import { fileOfRequest, startServer } from '../lib/server.mjs';

// fetch() is still experimental on Node.js 18, and an address would have its "../" resolved before it
// is sent; a plain request sends the path as it stands.
function get(origin, requestPath) {
    const { hostname, port } = new URL(origin);
    return new Promise((done, fail) => {
        http.get({ hostname, port, path: requestPath }, (response) => {
            const chunks = [];
            response.on('data', (c) => chunks.push(c));
            response.on('end', () => done({
                status: response.statusCode, type: response.headers['content-type'], body: Buffer.concat(chunks),
            }));
        }).on('error', fail);
    });
}

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
        fs.writeFileSync(`${dir}-outside.txt`, 'outside');
        server = await startServer(dir);
    });
    after(async () => {
        await server.close();
        fs.rmSync(dir, { recursive: true, force: true });
        fs.rmSync(`${dir}-outside.txt`, { force: true });
    });

    it('serves a page byte for byte, without a character set', async () => {
        const file = path.join(dir, 'sub dir', 'page.htm');
        const url = server.urlOf(file);
        assert.equal(url, `${server.origin}/sub%20dir/page.htm`);
        assert.equal(server.fileOf(url), file);
        const response = await get(server.origin, url.slice(server.origin.length));
        assert.equal(response.status, 200);
        assert.equal(response.type, 'text/html');
        assert.deepEqual(response.body, fs.readFileSync(file));
    });

    it('answers 404 for a missing file, a folder and a path that leaves the folder', async () => {
        const outside = `/../${path.basename(dir)}-outside.txt`;
        for (const request of ['/missing.html', '/sub%20dir', outside, outside.replace('..', '%2e%2e')]) {
            assert.equal((await get(server.origin, request)).status, 404, request);
        }
    });
});
