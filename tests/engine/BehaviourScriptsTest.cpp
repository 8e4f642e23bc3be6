#include "engine/BehaviourScripts.h"

#include "EngineTestSupport.h"

#include <gtest/gtest.h>

namespace quillora::engine {
namespace {

using test::call;

const std::u16string kB1 = u"<SCRIPT LANGUAGE=JavaScript><!--\r\n";
const std::u16string kB3 = u"//--></SCRIPT>";
const std::u16string kIR =
    u"if(navigator.appName.indexOf('Internet Explorer')==-1||navigator.userAgent.indexOf('MSIE')!=-1){"
    u"if(document.all){document.oncontextmenu=qv_cm}if(document.layers){document.captureEvents(Event.MOUSEDOWN);"
    u"document.onmousedown=qv_md}if(document.getElementById&&!document.all){document.oncontextmenu=qv_cm}}";
// Mended: today's browsers took the branch that cancelled every mouse press, so no form field could be clicked
// into, while Ctrl+A still selected the page; selection is now refused where it starts and Ctrl+A outside form
// fields.
const std::u16string kIS =
    u"function qv_ss(e){if(!qv_ff(e.target))e.preventDefault()}"
    u"function qv_ka(e){if((e.ctrlKey||e.metaKey)&&(e.keyCode==65||e.key=='a'||e.key=='A')&&!qv_ff(e.target))"
    u"e.preventDefault()}"
    u"function qv_mu(e){if(e.which==1){window.releaseEvents(Event.MOUSEMOVE);window.onmousemove=null}}"
    u"if(navigator.appName.indexOf('Internet Explorer')==-1||navigator.userAgent.indexOf('MSIE')!=-1){"
    u"if(document.all){document.oncontextmenu=qv_cm;document.onselectstart=qv_dn}if(document.layers){"
    u"window.captureEvents(Event.MOUSEUP|Event.MOUSEDOWN);window.onmousedown=qv_md;window.onmouseup=qv_mu}"
    u"if(document.getElementById&&!document.all){document.oncontextmenu=qv_cm;"
    u"document.addEventListener('selectstart',qv_ss,true);document.addEventListener('keydown',qv_ka,true)}}";
// New: the test the mouse and clipboard blocks make before they refuse anything.
const std::u16string kF =
    u"function qv_ff(n){for(;n;n=n.parentNode){if(n.nodeType==1&&(/^(input|textarea|select|option)$/i.test("
    u"n.nodeName)||n.isContentEditable))return true}return false}";
// Mended: the menu handler refused the menu of form fields too (no paste, no spelling).
const std::u16string kC1 = u"function qv_cm(e){if(e&&qv_ff(e.target))return true;";

// Mended: each part runs on its own, so that one that fails (a frame of another site may not move its top) no
// longer skips the password prompt after it, and its error still reaches the console.
std::u16string guarded(const std::u16string& part) {
    return u"try{" + part + u"}catch(e){setTimeout(function(){throw e},0)}";
}

// The header a block of behaviour script S gives: one writer call for the block, one empty call after it. Mended:
// the block no longer starts with an error handler that kept every error of the page from the console.
std::u16string blockFor(const std::u16string& s) {
    return call(kB1 + s + kB3) + call(u"");
}

std::u16string headerWith(const ProtectionOptions& options) {
    std::u16string header = u"HEAD";
    BuildBehaviourScripts(header, options);
    return header;
}

TEST(BuildBehaviourScripts, AppendsNothingWithoutBehaviour) {
    ProtectionOptions options;
    options.showRightClickWarning = true;        // without the right-click block it has no effect
    options.scripts[kScriptImageToolbar] = true; // a META tag, not script
    EXPECT_EQ(headerWith(options), u"HEAD");
}

TEST(BuildBehaviourScripts, DragBlockAlone) {
    ProtectionOptions options;
    options.scripts[kScriptDragDrop] = true;
    EXPECT_EQ(headerWith(options),
              u"HEAD" + blockFor(guarded(u"function qv_ndd(){return false}document.ondragstart=qv_ndd;")));
}

TEST(BuildBehaviourScripts, RightClickWithWarning) {
    ProtectionOptions options;
    options.scripts[kScriptRightClick] = true;
    options.showRightClickWarning = true;
    options.rightClickWarning = u"No";
    EXPECT_EQ(headerWith(options),
              u"HEAD" + blockFor(kF + guarded(kC1 +
                                              u"alert('No');return false}function qv_md(e){if(e.which==2||"
                                              u"e.which==3){alert('No');return false}}" +
                                              kIR)));
}

TEST(BuildBehaviourScripts, SelectionBlockAlone) {
    ProtectionOptions options;
    options.scripts[kScriptTextSelection] = true;
    EXPECT_EQ(headerWith(options),
              u"HEAD" + blockFor(kF + guarded(u"function qv_dn(a){return false}" + kC1 +
                                              u"return false}function qv_md(e){if(e.which==1){window.captureEvents("
                                              u"Event.MOUSEMOVE);window.onmousemove=qv_dn}}" +
                                              kIS)));
}

// Mended: the print fragment set every element's id to "qv_id" and never gave the ids back; a print style sheet
// hides the page instead.
const std::u16string kPrint =
    u"function qv_dp(){var s=document.createElement('style');s.media='print';s.appendChild(document."
    u"createTextNode('html{display:none!important}'));(document.head||document.documentElement).appendChild(s)}"
    u"qv_dp();";

// Mended: a timer compiled from a string 100 times a second in every browser, for a status bar no current browser
// lets a page blank; now only where document.all is (old Internet Explorer), and from a function.
const std::u16string kStatus = u"function qv_nls(){window.status='';setTimeout(qv_nls,10)}if(document.all)qv_nls();";
// Mended: the clipboard fragment ran only in old Internet Explorer; copy and cut events refuse the page's text now.
const std::u16string kClipboard = u"function qv_cc(e){if(!qv_ff(e.target)){e.preventDefault();";
const std::u16string kClipboardEnd =
    u"}}document.addEventListener('copy',qv_cc,true);document.addEventListener('cut',qv_cc,true);";

TEST(BuildBehaviourScripts, EveryBlockInItsOrder) {
    ProtectionOptions options;
    for (const auto i : {kScriptRightClick, kScriptTextSelection, kScriptStatusBar, kScriptPrinting, kScriptClipboard,
                         kScriptDragDrop, kScriptBreakFrames}) {
        options.scripts[i] = true;
    }
    options.passwordProtect = true;
    options.password = u"pw";
    const std::u16string s =
        kF +
        guarded(u"function qv_dn(a){return false}" + kC1 +
                u"return false}function qv_md(e){if(e.which==2||e.which==3){return false}if(e.which==1){"
                u"window.captureEvents(Event.MOUSEMOVE);window.onmousemove=qv_dn}}" +
                kIS + kIR) +
        guarded(kStatus) + guarded(kPrint) + guarded(kClipboard + kClipboardEnd) +
        guarded(u"function qv_ndd(){return false}document.ondragstart=qv_ndd;") +
        guarded(u"if(frames){if(top.frames.length>0)top.location.href=self.location;}") +
        guarded(u"p=prompt('Enter Password:','');if(p==null||p!='pw')window.location='about:blank';");
    EXPECT_EQ(headerWith(options), u"HEAD" + blockFor(s));
}

TEST(BuildBehaviourScripts, PasswordKeepsItsBlanks) {
    ProtectionOptions options;
    options.passwordProtect = true;
    options.password = u" a b ";
    EXPECT_EQ(headerWith(options),
              u"HEAD" + blockFor(guarded(
                            u"p=prompt('Enter Password:','');if(p==null||p!=' a b ')window.location='about:blank';")));
}

TEST(BuildBehaviourScripts, ClipboardBlockPutsTheWarningOnTheClipboard) {
    ProtectionOptions options;
    options.scripts[kScriptClipboard] = true;
    options.showRightClickWarning = true; // without the right-click block there is no warning
    EXPECT_EQ(headerWith(options), u"HEAD" + blockFor(kF + guarded(kClipboard + kClipboardEnd)));
    options.scripts[kScriptRightClick] = true;
    options.rightClickWarning = u"Don't";
    EXPECT_NE(
        headerWith(options).find(test::referenceEscape(guarded(
            kClipboard + u"if(e.clipboardData)e.clipboardData.setData('text/plain','Don\\'t');" + kClipboardEnd))),
        std::u16string::npos);
}

// The script block a header carries, read back from its writer call.
std::u16string blockOf(const std::u16string& header) {
    const std::u16string open = u"unescape(\"";
    const std::size_t from = header.find(open);
    const std::size_t to = header.find(u'"', from + open.size());
    std::u16string block;
    for (std::size_t i = from + open.size(); i < to;) {
        const bool wide = header[i + 1] == u'u';
        const std::size_t digits = wide ? 4 : 2;
        const std::u16string hex = header.substr(i + (wide ? 2 : 1), digits);
        block += static_cast<char16_t>(std::stoi(std::string(hex.begin(), hex.end()), nullptr, 16));
        i += (wide ? 2 : 1) + digits;
    }
    return block;
}

// The parts one option adds to the block, after the form-field test.
std::u16string partsOf(const ProtectionOptions& options) {
    const std::u16string block = blockOf(headerWith(options));
    const std::size_t from = block.find(u"try{");
    return block.substr(from, block.size() - kB3.size() - from);
}

TEST(BuildBehaviourScripts, ShortcutBlockAndAttributionRunOnTheirOwnBetweenTheClipboardAndTheDragBlock) {
    ProtectionOptions shortcuts;
    shortcuts.scripts[kScriptShortcuts] = true;
    ProtectionOptions attribution;
    attribution.scripts[kScriptCopyAttribution] = true;
    ProtectionOptions drag;
    drag.scripts[kScriptDragDrop] = true;
    ProtectionOptions all;
    for (const auto i : {kScriptShortcuts, kScriptCopyAttribution, kScriptDragDrop})
        all.scripts[i] = true;
    // Both refuse nothing in a form field, so both carry the test for one.
    EXPECT_EQ(blockOf(headerWith(shortcuts)), kB1 + kF + partsOf(shortcuts) + kB3);
    EXPECT_EQ(blockOf(headerWith(attribution)), kB1 + kF + partsOf(attribution) + kB3);
    EXPECT_EQ(blockOf(headerWith(all)), kB1 + kF + partsOf(attribution) + partsOf(shortcuts) +
                                            guarded(u"function qv_ndd(){return false}"
                                                    u"document.ondragstart=qv_ndd;") +
                                            kB3);
    EXPECT_NE(partsOf(attribution).find(u"{var a='Source:',"), std::u16string::npos) << "the default attribution";
}

// The clipboard block refuses the copy: an attribution would have nothing to go after.
TEST(BuildBehaviourScripts, TheClipboardBlockWinsOverTheAttribution) {
    ProtectionOptions blocked;
    blocked.scripts[kScriptClipboard] = true;
    ProtectionOptions both = blocked;
    both.scripts[kScriptCopyAttribution] = true;
    EXPECT_EQ(headerWith(both), headerWith(blocked));
    EXPECT_EQ(headerWith(both).find(test::referenceEscape(u"qv_ca")), std::u16string::npos);
}

// Whatever is chosen, the page's own errors reach the console: no handler takes them.
TEST(BuildBehaviourScripts, NoChoiceTakesThePagesErrors) {
    for (std::size_t i = 0; i < kScriptCount; ++i) {
        ProtectionOptions options;
        options.scripts[i] = true;
        options.showRightClickWarning = true;
        options.passwordProtect = i % 2 == 0;
        options.password = u"pw";
        const std::u16string header = headerWith(options);
        EXPECT_EQ(header.find(test::referenceEscape(u"onerror")), std::u16string::npos) << "script " << i;
        EXPECT_EQ(header.find(test::referenceEscape(u"qv_id")), std::u16string::npos) << "script " << i;
        // No timer is compiled from a string.
        EXPECT_EQ(header.find(test::referenceEscape(u"setTimeout('")), std::u16string::npos) << "script " << i;
    }
}

TEST(BuildBehaviourScripts, TypedTextsCannotBreakTheScript) {
    ProtectionOptions options;
    options.scripts[kScriptRightClick] = true;
    options.showRightClickWarning = true;
    options.rightClickWarning = u"it's </script>";
    options.passwordProtect = true;
    options.password = u"a'b\\";
    options.scripts[kScriptCopyAttribution] = true;
    options.copyAttribution = u"a\"b</script>\n";
    const std::u16string header = headerWith(options);
    const std::u16string warning = u"alert('it\\'s <\\/script>');";
    EXPECT_NE(header.find(test::referenceEscape(kB1 + kF + u"try{" + kC1 + warning)), std::u16string::npos);
    EXPECT_NE(header.find(test::referenceEscape(u"p!='a\\'b\\\\')")), std::u16string::npos);
    EXPECT_NE(blockOf(header).find(u"var a='a\\\"b<\\/script>\\n',"), std::u16string::npos);
}

struct StringRow {
    std::u16string typed;
    std::u16string literal;
};

class EscapeScriptStringTest : public ::testing::TestWithParam<StringRow> {};

TEST_P(EscapeScriptStringTest, MakesASafeSingleQuotedLiteral) {
    EXPECT_EQ(EscapeScriptString(GetParam().typed), GetParam().literal);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, EscapeScriptStringTest,
    ::testing::Values(StringRow{u"This page is protected!", u"This page is protected!"},
                      StringRow{u"a'b\"c\\d", u"a\\'b\\\"c\\\\d"}, StringRow{u"1\r\n2", u"1\\r\\n2"},
                      StringRow{std::u16string(u"\0\t\x1F\x7F", 4), u"\\x00\\x09\\x1F\\x7F"},
                      StringRow{u"\u2028\u2029", u"\\u2028\\u2029"}, StringRow{u"</script></", u"<\\/script><\\/"},
                      StringRow{u"a/b < /c", u"a/b < /c"}, StringRow{u"\u00E9\u20AC", u"\u00E9\u20AC"}));

struct MetaRow {
    const char* name;
    std::u16string page;
    std::u16string expected;
};

class InsertImageToolbarMetaTest : public ::testing::TestWithParam<MetaRow> {};

TEST_P(InsertImageToolbarMetaTest, InsertsOnceAfterTheHeadTag) {
    std::u16string page = GetParam().page;
    InsertImageToolbarMeta(page);
    EXPECT_EQ(page, GetParam().expected);
}

const std::u16string kMeta = u"<META HTTP-EQUIV=\"imagetoolbar\" CONTENT=\"no\">";

INSTANTIATE_TEST_SUITE_P(
    Pages, InsertImageToolbarMetaTest,
    ::testing::Values(MetaRow{"AfterHead", u"<html><HEAD lang=en><title>t</title>",
                              u"<html><HEAD lang=en>" + kMeta + u"<title>t</title>"},
                      MetaRow{"AlreadyThere", u"<head><meta http-equiv=\"ImageToolbar\" content=\"no\">",
                              u"<head><meta http-equiv=\"ImageToolbar\" content=\"no\">"},
                      MetaRow{"NoHead", u"<html><body>x</body></html>", u"<html><body>x</body></html>"},
                      MetaRow{"HeadWithoutEnd", u"<head", u"<head"},
                      MetaRow{"HeaderIsNotHead", u"<body><header>x</header>", u"<body><header>x</header>"},
                      MetaRow{"HeadInComment", u"<!-- <head> --><head>", u"<!-- <head> --><head>" + kMeta},
                      MetaRow{"QuotedGreaterThan", u"<head data-x='a>b'>", u"<head data-x='a>b'>" + kMeta}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quillora::engine
