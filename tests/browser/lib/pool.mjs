// A small worker pool whose results are handed on in input order, so that output lines stay ordered.

/// Runs work(item) for every item with at most jobs running at once; calls done(item, result) in the
/// order of items as soon as a result and all results before it are there.
export async function runOrdered(items, jobs, work, done) {
    const results = new Array(items.length);
    const ready = new Array(items.length).fill(false);
    let next = 0;
    let shown = 0;
    const flush = () => {
        while (shown < items.length && ready[shown]) {
            done(items[shown], results[shown]);
            shown++;
        }
    };
    const worker = async () => {
        while (next < items.length) {
            const i = next++;
            results[i] = await work(items[i]);
            ready[i] = true;
            flush();
        }
    };
    await Promise.all(Array.from({ length: Math.min(jobs, items.length) }, worker));
}
