#include "BehaviourScripts.h"

#include "ContentEncoding.h"
#include "MarkupScanner.h"

namespace quillora::engine {

namespace {

// Whether a node lies in a form field or an editable region: those keep their own mouse, menu and clipboard.
constexpr std::u16string_view kF =
    u"function qv_ff(n){for(;n;n=n.parentNode){if(n.nodeType==1&&(/^(input|textarea|select|option)$/i.test("
    u"n.nodeName)||n.isContentEditable))return true}return false}";
constexpr std::u16string_view kD = u"function qv_dn(a){return false}";
// The menu of a form field stays: paste and spelling live there.
constexpr std::u16string_view kC1 = u"function qv_cm(e){if(e&&qv_ff(e.target))return true;";
constexpr std::u16string_view kR = u"return false}";
constexpr std::u16string_view kM1 = u"function qv_md(e){";
constexpr std::u16string_view kM2 = u"if(e.which==2||e.which==3){";
constexpr std::u16string_view kM3 = u"if(e.which==1){window.captureEvents(Event.MOUSEMOVE);window.onmousemove=qv_dn}";
constexpr std::u16string_view kE = u"}";
// Selection is refused where it starts, and Ctrl+A (Cmd+A) outside form fields; cancelling every mouse press would
// keep the mouse out of the fields too.
constexpr std::u16string_view kIS =
    u"function qv_ss(e){if(!qv_ff(e.target))e.preventDefault()}"
    u"function qv_ka(e){if((e.ctrlKey||e.metaKey)&&(e.keyCode==65||e.key=='a'||e.key=='A')&&!qv_ff(e.target))"
    u"e.preventDefault()}"
    u"function qv_mu(e){if(e.which==1){window.releaseEvents(Event.MOUSEMOVE);window.onmousemove=null}}"
    u"if(navigator.appName.indexOf('Internet Explorer')==-1||navigator.userAgent.indexOf('MSIE')!=-1){"
    u"if(document.all){document.oncontextmenu=qv_cm;document.onselectstart=qv_dn}"
    u"if(document.layers){window.captureEvents(Event.MOUSEUP|Event.MOUSEDOWN);window.onmousedown=qv_md;"
    u"window.onmouseup=qv_mu}"
    u"if(document.getElementById&&!document.all){document.oncontextmenu=qv_cm;"
    u"document.addEventListener('selectstart',qv_ss,true);document.addEventListener('keydown',qv_ka,true)}}";
constexpr std::u16string_view kIR =
    u"if(navigator.appName.indexOf('Internet Explorer')==-1||navigator.userAgent.indexOf('MSIE')!=-1){"
    u"if(document.all){document.oncontextmenu=qv_cm}"
    u"if(document.layers){document.captureEvents(Event.MOUSEDOWN);document.onmousedown=qv_md}"
    u"if(document.getElementById&&!document.all){document.oncontextmenu=qv_cm}}";
// Only browsers that still have document.all (old Internet Explorer) honour window.status; nowhere else does a
// timer run, and none is compiled from a string.
constexpr std::u16string_view kS3 =
    u"function qv_nls(){window.status='';setTimeout(qv_nls,10)}if(document.all)qv_nls();";
// A print style sheet hides the page on paper and leaves every element as the page's scripts know it.
constexpr std::u16string_view kS4 = u"function qv_dp(){var s=document.createElement('style');s.media='print';"
                                    u"s.appendChild(document.createTextNode('html{display:none!important}'));"
                                    u"(document.head||document.documentElement).appendChild(s)}qv_dp();";
// Copy and cut of the page's text put the warning, or nothing, on the clipboard; form fields copy as ever.
constexpr std::u16string_view kS5Start = u"function qv_cc(e){if(!qv_ff(e.target)){e.preventDefault();";
constexpr std::u16string_view kS5End =
    u"}}document.addEventListener('copy',qv_cc,true);document.addEventListener('cut',qv_cc,true);";
// Copy, save, print and view-source keys are refused outside form fields. Shift is left alone: its chords belong
// to the developer tools, which no page can keep closed. A key that reads as another letter (another layout) is
// still told by its code, as the browser tells its shortcuts.
constexpr std::u16string_view kSK =
    u"function qv_ks(e){var k=e.key?e.key.toLowerCase():'',c=e.keyCode;if((e.ctrlKey||e.metaKey)&&!e.shiftKey&&"
    u"(/^[cspu]$/.test(k)||c==67||c==83||c==80||c==85)&&!qv_ff(e.target))e.preventDefault()}"
    u"document.addEventListener('keydown',qv_ks,true);";
// A copy of the page's text carries the attribution and the page's address, as text and as markup whose links and
// images still lead where they did; nothing selected (or a field) copies as the browser would.
constexpr std::u16string_view kCAStart =
    u"function qv_he(s){return s.replace(/&/g,'&amp;').replace(/</g,'&lt;').replace(/>/g,'&gt;')"
    u".replace(/\"/g,'&quot;')}"
    u"function qv_ab(d){var l=d.querySelectorAll('[href],[src]'),n=['href','src'],i,j,v;for(i=0;i<l.length;i++)"
    u"for(j=0;j<2;j++){v=l[i].getAttribute(n[j]);if(v!=null)try{l[i].setAttribute(n[j],new URL(v,"
    u"document.baseURI).href)}catch(x){}}}"
    u"function qv_ca(e){var a='";
constexpr std::u16string_view kCAEnd =
    u"',u=location.href,s=window.getSelection(),t=s?String(s):'',d,i;"
    u"if(!t||!e.clipboardData||qv_ff(e.target))return;d=document.createElement('div');"
    u"for(i=0;i<s.rangeCount;i++)d.appendChild(s.getRangeAt(i).cloneContents());qv_ab(d);"
    u"e.clipboardData.setData('text/plain',t+'\\n\\n'+(a?a+' ':'')+u);"
    u"e.clipboardData.setData('text/html',d.innerHTML+'<p>'+(a?qv_he(a)+' ':'')+'<a href=\"'+qv_he(u)+'\">'+"
    u"qv_he(u)+'<\\/a><\\/p>');e.preventDefault()}document.addEventListener('copy',qv_ca,true);";
constexpr std::u16string_view kS6 = u"function qv_ndd(){return false}document.ondragstart=qv_ndd;";
constexpr std::u16string_view kS9 = u"if(frames){if(top.frames.length>0)top.location.href=self.location;}";
constexpr std::u16string_view kB1 = u"<SCRIPT LANGUAGE=JavaScript><!--\r\n";
constexpr std::u16string_view kB3 = u"//--></SCRIPT>";
// Each part runs on its own: one that fails (a frame of another site may not move its top) neither stops the parts
// after it nor hides its error, which reaches the console once the block is done.
constexpr std::u16string_view kGuardStart = u"try{";
constexpr std::u16string_view kGuardEnd = u"}catch(e){setTimeout(function(){throw e},0)}";

constexpr std::string_view kImageToolbarMeta = "<META HTTP-EQUIV=\"imagetoolbar\" CONTENT=\"no\">";

void appendWarning(std::u16string& s, const ProtectionOptions& options) {
    s += u"alert('";
    s += EscapeScriptString(options.rightClickWarning);
    s += u"');";
}

void appendMouseBlocks(std::u16string& s, const ProtectionOptions& options) {
    const bool rightClick = options.script(kScriptRightClick);
    const bool selection = options.script(kScriptTextSelection);
    const bool warning = rightClick && options.showRightClickWarning;
    if (selection) {
        s += kD;
    }
    s += kC1;
    if (warning) {
        appendWarning(s, options);
    }
    s += kR;
    s += kM1;
    if (rightClick) {
        s += kM2;
        if (warning) {
            appendWarning(s, options);
        }
        s += kR;
    }
    if (selection) {
        s += kM3;
    }
    s += kE;
    if (selection) {
        s += kIS;
    }
    if (rightClick) {
        s += kIR;
    }
}

std::u16string mouseBlocks(const ProtectionOptions& options) {
    std::u16string s;
    if (options.script(kScriptRightClick) || options.script(kScriptTextSelection)) {
        appendMouseBlocks(s, options);
    }
    return s;
}

std::u16string clipboardBlock(const ProtectionOptions& options) {
    std::u16string s;
    if (options.script(kScriptClipboard)) {
        s += kS5Start;
        if (options.script(kScriptRightClick) && options.showRightClickWarning) {
            s += u"if(e.clipboardData)e.clipboardData.setData('text/plain','";
            s += EscapeScriptString(options.rightClickWarning);
            s += u"');";
        }
        s += kS5End;
    }
    return s;
}

// The clipboard block refuses the copy outright: with it chosen, there is no copy to attribute.
std::u16string copyAttribution(const ProtectionOptions& options) {
    std::u16string s;
    if (options.script(kScriptCopyAttribution) && !options.script(kScriptClipboard)) {
        s += kCAStart;
        s += EscapeScriptString(options.copyAttribution);
        s += kCAEnd;
    }
    return s;
}

std::u16string passwordPrompt(const ProtectionOptions& options) {
    std::u16string s;
    if (options.passwordProtect) {
        s += u"p=prompt('Enter Password:','');if(p==null||p!='";
        s += EscapeScriptString(options.password);
        s += u"')window.location='about:blank';";
    }
    return s;
}

void appendGuarded(std::u16string& s, std::u16string_view part) {
    if (!part.empty()) {
        s += kGuardStart;
        s += part;
        s += kGuardEnd;
    }
}

void appendChosen(std::u16string& s, const ProtectionOptions& options, ScriptIndex index,
                  std::u16string_view fragment) {
    if (options.script(index)) {
        appendGuarded(s, fragment);
    }
}

bool needsFormFieldTest(const ProtectionOptions& options) {
    return options.script(kScriptRightClick) || options.script(kScriptTextSelection) ||
           options.script(kScriptClipboard) || options.script(kScriptShortcuts) ||
           options.script(kScriptCopyAttribution);
}

std::u16string behaviourScript(const ProtectionOptions& options) {
    std::u16string s;
    if (needsFormFieldTest(options)) {
        s += kF;
    }
    appendGuarded(s, mouseBlocks(options));
    appendChosen(s, options, kScriptStatusBar, kS3);
    appendChosen(s, options, kScriptPrinting, kS4);
    appendGuarded(s, clipboardBlock(options));
    appendGuarded(s, copyAttribution(options));
    appendChosen(s, options, kScriptShortcuts, kSK);
    appendChosen(s, options, kScriptDragDrop, kS6);
    appendChosen(s, options, kScriptBreakFrames, kS9);
    appendGuarded(s, passwordPrompt(options));
    return s;
}

void appendHexEscape(std::u16string& out, char16_t c) {
    constexpr char16_t digits[] = u"0123456789ABCDEF";
    out += u"\\x";
    out += digits[(c >> 4) & 15];
    out += digits[c & 15];
}

} // namespace

std::u16string EscapeScriptString(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        switch (c) {
        case u'\\':
        case u'\'':
        case u'"':
            out += u'\\';
            out += c;
            break;
        case u'\r':
            out += u"\\r";
            break;
        case u'\n':
            out += u"\\n";
            break;
        case u'\u2028':
            out += u"\\u2028";
            break;
        case u'\u2029':
            out += u"\\u2029";
            break;
        case u'/':
            // "</" would end the script element early.
            out += (i > 0 && text[i - 1] == u'<') ? u"\\/" : u"/";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                appendHexEscape(out, c);
            } else {
                out += c;
            }
        }
    }
    return out;
}

void BuildBehaviourScripts(std::u16string& header, const ProtectionOptions& options) {
    const std::u16string s = behaviourScript(options);
    if (s.empty()) {
        return;
    }
    std::u16string block;
    block.reserve(kB1.size() + s.size() + kB3.size());
    block += kB1;
    block += s;
    block += kB3;
    AppendEncodedWithScripts(header, block);
}

namespace {

template <typename Unit> void insertImageToolbarMeta(std::basic_string<Unit>& page) {
    const std::basic_string_view<Unit> text = page;
    if (findIgnoreCase(text, "<meta http-equiv=\"imagetoolbar", 0) != kNotFound) {
        return;
    }
    BasicMarkupScanner<Unit> scanner(text);
    const std::size_t head = scanner.find("<head", 0, true);
    const std::size_t gt = head == kNotFound ? kNotFound : BasicMarkupScanner<Unit>::tagEnd(text, head);
    if (gt != kNotFound) {
        page.insert(page.begin() + static_cast<std::ptrdiff_t>(gt + 1), kImageToolbarMeta.begin(),
                    kImageToolbarMeta.end());
    }
}

} // namespace

void InsertImageToolbarMeta(std::u16string& page) {
    insertImageToolbarMeta(page);
}

void InsertImageToolbarMeta(std::string& page) {
    insertImageToolbarMeta(page);
}

} // namespace quillora::engine
