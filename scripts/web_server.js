#!/usr/bin/env node
// Serves the browser build's site (build-web/site) over HTTP on 127.0.0.1, as any static
// web host would: `node scripts/web_server.js <site> [port]` prints the address. The
// browser tests and the measurements start it in-process with serve().
'use strict';

const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');

const TYPES = {
    '.html': 'text/html; charset=utf-8',
    '.js': 'text/javascript; charset=utf-8',
    '.css': 'text/css; charset=utf-8',
    '.wasm': 'application/wasm',
    '.data': 'application/octet-stream',
    '.wav': 'audio/wav',
    '.png': 'image/png',
};

// Resolves with the server and its address once it listens; port 0 takes a free one.
function serve(root, port = 0) {
    const top = path.resolve(root);
    const server = http.createServer((request, response) => {
        const address = new URL(request.url, 'http://127.0.0.1');
        let name = decodeURIComponent(address.pathname);
        if (name.endsWith('/'))
            name += 'index.html';
        const file = path.join(top, path.normalize(name));
        if (!file.startsWith(top + path.sep) || (request.method !== 'GET' && request.method !== 'HEAD')) {
            response.writeHead(404).end();
            return;
        }
        fs.readFile(file, (error, bytes) => {
            if (error) {
                response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n');
                return;
            }
            response.writeHead(200, {
                'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
                'Content-Length': bytes.length,
                'Cache-Control': 'no-cache',
            });
            response.end(request.method === 'HEAD' ? undefined : bytes);
        });
    });
    return new Promise((resolve, reject) => {
        server.once('error', reject);
        server.listen(port, '127.0.0.1', () => {
            resolve({ server, url: `http://127.0.0.1:${server.address().port}/` });
        });
    });
}

module.exports = { serve };

if (require.main === module) {
    const root = process.argv[2] || 'build-web/site';
    const port = Number(process.argv[3] || 8000);
    if (!fs.existsSync(path.join(root, 'index.html'))) {
        console.error(`no site in ${root}: build it with scripts/web.sh build`);
        process.exit(1);
    }
    // A port already taken gives way to a free one.
    serve(root, port)
        .catch((error) => (error.code === 'EADDRINUSE' ? serve(root, 0) : Promise.reject(error)))
        .then(({ url }) => console.log(`Glimpwatch is served at ${url} (Ctrl+C stops it)`))
        .catch((error) => {
            console.error(`cannot serve ${root}: ${error.message}`);
            process.exit(1);
        });
}
