#include "BehaviourScripts.h"

#include "ContentEncoding.h"
#include "MarkupScanner.h"

namespace quillora::engine {

namespace {

constexpr std::u16string_view kD = u"function qv_dn(a){return false}";
constexpr std::u16string_view kC1 = u"function qv_cm(){";
constexpr std::u16string_view kR = u"return false}";
constexpr std::u16string_view kM1 = u"function qv_md(e){";
constexpr std::u16string_view kM2 = u"if(e.which==2||e.which==3){";
constexpr std::u16string_view kM3 = u"if(e.which==1){window.captureEvents(Event.MOUSEMOVE);window.onmousemove=qv_dn}";
constexpr std::u16string_view kE = u"}";
constexpr std::u16string_view kIS =
    u"function qv_mu(e){if(e.which==1){window.releaseEvents(Event.MOUSEMOVE);window.onmousemove=null}}"
    u"if(navigator.appName.indexOf('Internet Explorer')==-1||navigator.userAgent.indexOf('MSIE')!=-1){"
    u"if(document.all){document.oncontextmenu=qv_cm;document.onselectstart=qv_dn}"
    u"if(document.layers){window.captureEvents(Event.MOUSEUP|Event.MOUSEDOWN);window.onmousedown=qv_md;"
    u"window.onmouseup=qv_mu}"
    u"if(document.getElementById&&!document.all){document.oncontextmenu=qv_cm;document.onmousedown=qv_dn}}";
constexpr std::u16string_view kIR =
    u"if(navigator.appName.indexOf('Internet Explorer')==-1||navigator.userAgent.indexOf('MSIE')!=-1){"
    u"if(document.all){document.oncontextmenu=qv_cm}"
    u"if(document.layers){document.captureEvents(Event.MOUSEDOWN);document.onmousedown=qv_md}"
    u"if(document.getElementById&&!document.all){document.oncontextmenu=qv_cm}}";
constexpr std::u16string_view kS3 = u"function qv_nls(){window.status='';setTimeout('qv_nls()',10)}qv_nls();";
constexpr std::u16string_view kS4 =
    u"function qv_dp1(){for(i=0;i<document.all.length;i++){if(document.all[i].style.visibility!='hidden'){"
    u"document.all[i].style.visibility='hidden';document.all[i].id='qv_id'}}};"
    u"function qv_dp2(){for(i=0;i<document.all.length;i++){if(document.all[i].id=='qv_id')"
    u"document.all[i].style.visibility=''}};"
    u"window.onbeforeprint=qv_dp1;window.onafterprint=qv_dp2;";
constexpr std::u16string_view kS5 =
    u"function qv_dc(){qv_ta.createTextRange().execCommand('Copy');setTimeout('qv_dc()',300)}"
    u"if(navigator.appName.indexOf('Internet Explorer')==-1||navigator.userAgent.indexOf('MSIE')!=-1){"
    u"if(document.all&&navigator.userAgent.indexOf('Opera')==-1){document.write('<div style=position:absolute;"
    u"left:-1000px;top:-1000px><input type=textarea name=qv_ta value=a style=visibility:hidden></div>');qv_dc()}}";
constexpr std::u16string_view kS6 = u"function qv_ndd(){return false}document.ondragstart=qv_ndd;";
constexpr std::u16string_view kS9 = u"if(frames){if(top.frames.length>0)top.location.href=self.location;}";
constexpr std::u16string_view kB1 = u"<SCRIPT LANGUAGE=JavaScript><!--\r\n";
constexpr std::u16string_view kB2 = u"function qv_ne(){return true}onerror=qv_ne;";
constexpr std::u16string_view kB3 = u"//--></SCRIPT>";

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

std::u16string behaviourScript(const ProtectionOptions& options) {
    std::u16string s;
    if (options.script(kScriptRightClick) || options.script(kScriptTextSelection)) {
        appendMouseBlocks(s, options);
    }
    const std::pair<ScriptIndex, std::u16string_view> fixed[] = {
        {kScriptStatusBar, kS3}, {kScriptPrinting, kS4},    {kScriptClipboard, kS5},
        {kScriptDragDrop, kS6},  {kScriptBreakFrames, kS9},
    };
    for (const auto& [index, fragment] : fixed) {
        if (options.script(index)) {
            s += fragment;
        }
    }
    if (options.passwordProtect) {
        s += u"p=prompt('Enter Password:','');if(p==null||p!='";
        s += EscapeScriptString(options.password);
        s += u"')window.location='about:blank';";
    }
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
    block.reserve(kB1.size() + kB2.size() + s.size() + kB3.size());
    block += kB1;
    block += kB2;
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
