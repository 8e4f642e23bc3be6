// External script of the sample site: defines helpers and writes one line where it is included.
var siteName = "Harbour Lane Bakery";
function formatPrice(cents) {
    return "\u20ac " + (cents / 100).toFixed(2);
}
function markReady(id) {
    var el = document.getElementById(id);
    if (el) {
        el.textContent = "Scripts loaded for " + siteName + ".";
    }
}
if (document.currentScript && document.currentScript.getAttribute("data-write") === "yes") {
    document.write("<p class=\"note\">This line was written by app.js while the page loaded.</p>");
}
