// JavaScript's escape() over the same kind of text as the engine benchmark, in MB/s of UTF-16 input.
// Usage: node bench/escape-node.js [megabytes]
'use strict';
const paragraphs = [
  '<p class="lead">The caf\u00E9 on the corner serves cr\u00E8me br\u00FBl\u00E9e for 4 \u20AC, and the ' +
    '<a href="menu.html">menu</a> changes every week.</p>\n',
  '<div id="news"><h2>Neuigkeiten f\u00FCr M\u00E4rz</h2><ul><li><a href="/a/1.htm">Erster ' +
    'Beitrag</a></li><li>Zweiter Beitrag \u2014 \u00DCbersicht</li></ul></div>\n',
  '<table border="1"><tr><td>\u6771\u4EAC</td><td>\u5927\u962A</td><td>Kyoto</td></tr><tr><td>12</td>' +
    '<td>34</td><td>56</td></tr></table>\n',
  '<p>Plain ASCII text makes up most of a page: headings, paragraphs, navigation, footers and the ' +
    'attributes of every element, such as style="margin: 0 auto; color: #333" and ' +
    'onclick="return go(this)".</p>\n',
  '<p>Contact <a href="mailto:info@example.com">info@example.com</a> &middot; ' +
    '<img src="logo.png" alt="Logo" width="120" height="40"></p>\n',
  "<script>document.getElementById('x').className = 'on';</script>\n",
  '<p>Another paragraph of ordinary prose that goes on for a while, describing the product, its ' +
    'features, and the people who made it, with a link to <a href="about.htm">about us</a>.</p>\n',
];
const megabytes = Number(process.argv[2] || 1);
const units = megabytes * 512 * 1024;
let parts = [], length = 0;
for (let i = 0; length < units; ++i) {
  const p = paragraphs[(i * 5 + Math.floor(i / 7)) % paragraphs.length];
  parts.push(p);
  length += p.length;
}
const text = parts.join('').slice(0, units);
let best = Infinity, out = '';
for (let round = 0; round < 7; ++round) {
  const start = process.hrtime.bigint();
  out = escape(text);
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  best = Math.min(best, seconds);
}
// escape() leaves letters, digits and @*_+-./ as they are, so its output is shorter than the engine's.
console.log(`escape(): ${megabytes} MB of UTF-16 input in ${(best * 1000).toFixed(2)} ms: ` +
            `${(text.length * 2 / 1e6 / best).toFixed(0)} MB/s input, output ${out.length} units`);
