// Runs the product's command line over a copy of the site, as a user would in a build pipeline.
import { spawnSync } from 'node:child_process';
import path from 'node:path';

/// Protects the given pages of dir in place (no backups); returns the exit status, the written files
/// (absolute paths) and the messages of standard error.
export function protectPages(cli, dir, pages, mode, variantArgs) {
    const files = pages.map((p) => path.join(dir, p));
    const args = ['--overwrite', '--no-backup', '--hide', mode, ...variantArgs, ...files];
    const run = spawnSync(cli, args, { encoding: 'utf8', maxBuffer: 64 * 1024 * 1024 });
    if (run.error) {
        return { status: -1, written: new Set(), messages: String(run.error) };
    }
    const written = new Set(run.stdout.split('\n').filter(Boolean).map((line) => path.resolve(line)));
    return { status: run.status, written, messages: run.stderr.trim() };
}
