#pragma once

#include <cstddef>
#include <string>

namespace quillora::bench {

/// Realistic page text of about `size` code units: mostly ASCII markup, some Latin-1 and other BMP characters.
inline std::u16string pageText(std::size_t size) {
    static const std::u16string paragraphs[] = {
        u"<p class=\"lead\">The caf\u00E9 on the corner serves cr\u00E8me br\u00FBl\u00E9e for 4 \u20AC, and the "
        u"<a href=\"menu.html\">menu</a> changes every week.</p>\n",
        u"<div id=\"news\"><h2>Neuigkeiten f\u00FCr M\u00E4rz</h2><ul><li><a href=\"/a/1.htm\">Erster "
        u"Beitrag</a></li><li>Zweiter Beitrag \u2014 \u00DCbersicht</li></ul></div>\n",
        u"<table border=\"1\"><tr><td>\u6771\u4EAC</td><td>\u5927\u962A</td><td>Kyoto</td></tr><tr><td>12</td>"
        u"<td>34</td><td>56</td></tr></table>\n",
        u"<p>Plain ASCII text makes up most of a page: headings, paragraphs, navigation, footers and the "
        u"attributes of every element, such as style=\"margin: 0 auto; color: #333\" and "
        u"onclick=\"return go(this)\".</p>\n",
        u"<p>Contact <a href=\"mailto:info@example.com\">info@example.com</a> &middot; "
        u"<img src=\"logo.png\" alt=\"Logo\" width=\"120\" height=\"40\"></p>\n",
        u"<script>document.getElementById('x').className = 'on';</script>\n",
        u"<p>Another paragraph of ordinary prose that goes on for a while, describing the product, its "
        u"features, and the people who made it, with a link to <a href=\"about.htm\">about us</a>.</p>\n",
    };
    std::u16string body;
    body.reserve(size + 512);
    for (std::size_t i = 0; body.size() < size; ++i) {
        body += paragraphs[(i * 5 + i / 7) % std::size(paragraphs)];
    }
    body.resize(size);
    return body;
}

/// A whole page around pageText: head with title and style, the text as the body.
inline std::u16string wholePage(std::size_t size) {
    return u"<!DOCTYPE html>\n<html><head><title>Benchmark page</title><style>p{margin:0}</style></head>\n<body>\n" +
           pageText(size) + u"\n</body></html>\n";
}

} // namespace quillora::bench
