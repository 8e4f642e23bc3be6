// Result lines, tallies and the files kept for a failure.
import fs from 'node:fs';
import path from 'node:path';

export class Tally {
    constructor() {
        this.byMode = new Map();
        this.records = [];
    }

    add(record) {
        this.records.push(record);
        const counts = this.byMode.get(record.mode) ?? { passed: 0, failed: 0, skipped: 0 };
        counts[record.status === 'PASS' ? 'passed' : record.status === 'FAIL' ? 'failed' : 'skipped']++;
        this.byMode.set(record.mode, counts);
    }

    total() {
        const sum = { passed: 0, failed: 0, skipped: 0 };
        for (const counts of this.byMode.values()) {
            for (const key of Object.keys(sum)) {
                sum[key] += counts[key];
            }
        }
        return sum;
    }
}

/// The one line printed for a page, mode and variant.
export function resultLine(record) {
    const head = `${record.status} ${record.mode}/${record.variant} ${record.page}`;
    if (record.status === 'FAIL') {
        return `${head}: ${record.diffs.map((d) => d.aspect).join(', ')}`;
    }
    if (record.status === 'SKIP') {
        return `${head}: exception ${record.excused.join(', ')}`;
    }
    return record.note ? `${head}: ${record.note}` : head;
}

/// Keeps both screenshots and the details of a failing comparison below failuresDir.
export function keepFailure(failuresDir, record, original, protectedSnap) {
    const base = path.join(failuresDir, `${record.mode}-${record.variant}`, record.page);
    fs.mkdirSync(path.dirname(base), { recursive: true });
    for (const [which, snap] of [['original', original], ['protected', protectedSnap]]) {
        for (const [i, shot] of (snap?.screenshots ?? []).entries()) {
            fs.writeFileSync(`${base}.${which}${i ? `-${i + 1}` : ''}.png`, shot);
        }
    }
    const details = record.diffs.map((d) => `${d.aspect}: ${d.detail}`).join('\n');
    fs.writeFileSync(`${base}.txt`, `${resultLine(record)}\n${details}\n`);
}
