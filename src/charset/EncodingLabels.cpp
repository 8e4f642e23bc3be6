#include "EncodingLabels.h"

#include "engine/TextSearch.h"

#include <algorithm>
#include <unicode/ucnv.h>
#include <unordered_map>

namespace quillora::charset {

namespace {

using Kind = PageEncoding::Kind;

struct Encoding {
    Kind kind;
    const char* icuName;   // for Kind::Icu
    std::string_view name; // the web's own name of the set
};

// Each set and the converter that reads it like a browser does.
constexpr Encoding kUtf8{Kind::Utf8, "", "utf-8"};
constexpr Encoding kWindows1252{Kind::Windows1252, "", "windows-1252"};
constexpr Encoding kIbm866{Kind::Icu, "ibm-866", "ibm866"};
constexpr Encoding kIso8859_2{Kind::Icu, "ISO-8859-2", "iso-8859-2"};
constexpr Encoding kIso8859_3{Kind::Icu, "ISO-8859-3", "iso-8859-3"};
constexpr Encoding kIso8859_4{Kind::Icu, "ISO-8859-4", "iso-8859-4"};
constexpr Encoding kIso8859_5{Kind::Icu, "ISO-8859-5", "iso-8859-5"};
constexpr Encoding kIso8859_6{Kind::Icu, "ISO-8859-6", "iso-8859-6"};
constexpr Encoding kIso8859_7{Kind::Icu, "ISO-8859-7", "iso-8859-7"};
constexpr Encoding kIso8859_8{Kind::Icu, "ISO-8859-8", "iso-8859-8"};
constexpr Encoding kIso8859_10{Kind::Icu, "ISO-8859-10", "iso-8859-10"};
constexpr Encoding kIso8859_13{Kind::Icu, "ISO-8859-13", "iso-8859-13"};
constexpr Encoding kIso8859_14{Kind::Icu, "ISO-8859-14", "iso-8859-14"};
constexpr Encoding kIso8859_15{Kind::Icu, "ISO-8859-15", "iso-8859-15"};
constexpr Encoding kIso8859_16{Kind::Icu, "ISO-8859-16", "iso-8859-16"};
constexpr Encoding kKoi8R{Kind::Icu, "KOI8-R", "koi8-r"};
constexpr Encoding kKoi8U{Kind::Icu, "KOI8-U", "koi8-u"};
constexpr Encoding kMacintosh{Kind::Icu, "macos-0_2-10.2", "macintosh"};
constexpr Encoding kMacCyrillic{Kind::Icu, "macos-7_3-10.2", "x-mac-cyrillic"};
constexpr Encoding kWindows874{Kind::Icu, "windows-874-2000", "windows-874"};
constexpr Encoding kWindows1250{Kind::Icu, "windows-1250", "windows-1250"};
constexpr Encoding kWindows1251{Kind::Icu, "windows-1251", "windows-1251"};
constexpr Encoding kWindows1253{Kind::Icu, "windows-1253", "windows-1253"};
constexpr Encoding kWindows1254{Kind::Icu, "windows-1254", "windows-1254"};
constexpr Encoding kWindows1255{Kind::Icu, "windows-1255", "windows-1255"};
constexpr Encoding kWindows1256{Kind::Icu, "windows-1256", "windows-1256"};
constexpr Encoding kWindows1257{Kind::Icu, "windows-1257", "windows-1257"};
constexpr Encoding kWindows1258{Kind::Icu, "windows-1258", "windows-1258"};
constexpr Encoding kGbk{Kind::Icu, "windows-936-2000", "gbk"};
constexpr Encoding kGb18030{Kind::Icu, "gb18030", "gb18030"};
constexpr Encoding kBig5{Kind::Icu, "windows-950-2000", "big5"};
constexpr Encoding kEucJp{Kind::Icu, "euc-jp-2007", "euc-jp"};
constexpr Encoding kIso2022Jp{Kind::Icu, "ISO_2022,locale=ja,version=0", "iso-2022-jp"};
constexpr Encoding kShiftJis{Kind::Icu, "ibm-943_P15A-2003", "shift_jis"};
constexpr Encoding kEucKr{Kind::Icu, "windows-949-2000", "euc-kr"};

struct Label {
    std::string_view label;
    const Encoding* encoding;
};

// A page that declares UTF-16 is read as UTF-8 (it could not have declared it in ASCII otherwise), and
// x-user-defined as Windows-1252, as browsers do for a declaration found in the page itself. The labels of
// the "replacement" set are left out: browsers show such a page as one replacement character.
constexpr Label kLabels[] = {
    {"unicode-1-1-utf-8", &kUtf8},
    {"unicode11utf8", &kUtf8},
    {"unicode20utf8", &kUtf8},
    {"utf-8", &kUtf8},
    {"utf8", &kUtf8},
    {"x-unicode20utf8", &kUtf8},
    {"unicodefffe", &kUtf8},
    {"utf-16be", &kUtf8},
    {"csunicode", &kUtf8},
    {"iso-10646-ucs-2", &kUtf8},
    {"ucs-2", &kUtf8},
    {"unicode", &kUtf8},
    {"unicodefeff", &kUtf8},
    {"utf-16", &kUtf8},
    {"utf-16le", &kUtf8},
    {"x-user-defined", &kWindows1252},
    {"866", &kIbm866},
    {"cp866", &kIbm866},
    {"csibm866", &kIbm866},
    {"ibm866", &kIbm866},
    {"csisolatin2", &kIso8859_2},
    {"iso-8859-2", &kIso8859_2},
    {"iso-ir-101", &kIso8859_2},
    {"iso8859-2", &kIso8859_2},
    {"iso88592", &kIso8859_2},
    {"iso_8859-2", &kIso8859_2},
    {"iso_8859-2:1987", &kIso8859_2},
    {"l2", &kIso8859_2},
    {"latin2", &kIso8859_2},
    {"csisolatin3", &kIso8859_3},
    {"iso-8859-3", &kIso8859_3},
    {"iso-ir-109", &kIso8859_3},
    {"iso8859-3", &kIso8859_3},
    {"iso88593", &kIso8859_3},
    {"iso_8859-3", &kIso8859_3},
    {"iso_8859-3:1988", &kIso8859_3},
    {"l3", &kIso8859_3},
    {"latin3", &kIso8859_3},
    {"csisolatin4", &kIso8859_4},
    {"iso-8859-4", &kIso8859_4},
    {"iso-ir-110", &kIso8859_4},
    {"iso8859-4", &kIso8859_4},
    {"iso88594", &kIso8859_4},
    {"iso_8859-4", &kIso8859_4},
    {"iso_8859-4:1988", &kIso8859_4},
    {"l4", &kIso8859_4},
    {"latin4", &kIso8859_4},
    {"csisolatincyrillic", &kIso8859_5},
    {"cyrillic", &kIso8859_5},
    {"iso-8859-5", &kIso8859_5},
    {"iso-ir-144", &kIso8859_5},
    {"iso8859-5", &kIso8859_5},
    {"iso88595", &kIso8859_5},
    {"iso_8859-5", &kIso8859_5},
    {"iso_8859-5:1988", &kIso8859_5},
    {"arabic", &kIso8859_6},
    {"asmo-708", &kIso8859_6},
    {"csiso88596e", &kIso8859_6},
    {"csiso88596i", &kIso8859_6},
    {"csisolatinarabic", &kIso8859_6},
    {"ecma-114", &kIso8859_6},
    {"iso-8859-6", &kIso8859_6},
    {"iso-8859-6-e", &kIso8859_6},
    {"iso-8859-6-i", &kIso8859_6},
    {"iso-ir-127", &kIso8859_6},
    {"iso8859-6", &kIso8859_6},
    {"iso88596", &kIso8859_6},
    {"iso_8859-6", &kIso8859_6},
    {"iso_8859-6:1987", &kIso8859_6},
    {"csisolatingreek", &kIso8859_7},
    {"ecma-118", &kIso8859_7},
    {"elot_928", &kIso8859_7},
    {"greek", &kIso8859_7},
    {"greek8", &kIso8859_7},
    {"iso-8859-7", &kIso8859_7},
    {"iso-ir-126", &kIso8859_7},
    {"iso8859-7", &kIso8859_7},
    {"iso88597", &kIso8859_7},
    {"iso_8859-7", &kIso8859_7},
    {"iso_8859-7:1987", &kIso8859_7},
    {"sun_eu_greek", &kIso8859_7},
    {"csiso88598e", &kIso8859_8},
    {"csisolatinhebrew", &kIso8859_8},
    {"hebrew", &kIso8859_8},
    {"iso-8859-8", &kIso8859_8},
    {"iso-8859-8-e", &kIso8859_8},
    {"iso-ir-138", &kIso8859_8},
    {"iso8859-8", &kIso8859_8},
    {"iso88598", &kIso8859_8},
    {"iso_8859-8", &kIso8859_8},
    {"iso_8859-8:1988", &kIso8859_8},
    {"visual", &kIso8859_8},
    {"csiso88598i", &kIso8859_8},
    {"iso-8859-8-i", &kIso8859_8},
    {"logical", &kIso8859_8},
    {"csisolatin6", &kIso8859_10},
    {"iso-8859-10", &kIso8859_10},
    {"iso-ir-157", &kIso8859_10},
    {"iso8859-10", &kIso8859_10},
    {"iso885910", &kIso8859_10},
    {"l6", &kIso8859_10},
    {"latin6", &kIso8859_10},
    {"iso-8859-13", &kIso8859_13},
    {"iso8859-13", &kIso8859_13},
    {"iso885913", &kIso8859_13},
    {"iso-8859-14", &kIso8859_14},
    {"iso8859-14", &kIso8859_14},
    {"iso885914", &kIso8859_14},
    {"csisolatin9", &kIso8859_15},
    {"iso-8859-15", &kIso8859_15},
    {"iso8859-15", &kIso8859_15},
    {"iso885915", &kIso8859_15},
    {"iso_8859-15", &kIso8859_15},
    {"l9", &kIso8859_15},
    {"iso-8859-16", &kIso8859_16},
    {"cskoi8r", &kKoi8R},
    {"koi", &kKoi8R},
    {"koi8", &kKoi8R},
    {"koi8-r", &kKoi8R},
    {"koi8_r", &kKoi8R},
    {"koi8-ru", &kKoi8U},
    {"koi8-u", &kKoi8U},
    {"csmacintosh", &kMacintosh},
    {"mac", &kMacintosh},
    {"macintosh", &kMacintosh},
    {"x-mac-roman", &kMacintosh},
    {"x-mac-cyrillic", &kMacCyrillic},
    {"x-mac-ukrainian", &kMacCyrillic},
    {"dos-874", &kWindows874},
    {"iso-8859-11", &kWindows874},
    {"iso8859-11", &kWindows874},
    {"iso885911", &kWindows874},
    {"tis-620", &kWindows874},
    {"windows-874", &kWindows874},
    {"cp1250", &kWindows1250},
    {"windows-1250", &kWindows1250},
    {"x-cp1250", &kWindows1250},
    {"cp1251", &kWindows1251},
    {"windows-1251", &kWindows1251},
    {"x-cp1251", &kWindows1251},
    {"ansi_x3.4-1968", &kWindows1252},
    {"ascii", &kWindows1252},
    {"cp1252", &kWindows1252},
    {"cp819", &kWindows1252},
    {"csisolatin1", &kWindows1252},
    {"ibm819", &kWindows1252},
    {"iso-8859-1", &kWindows1252},
    {"iso-ir-100", &kWindows1252},
    {"iso8859-1", &kWindows1252},
    {"iso88591", &kWindows1252},
    {"iso_8859-1", &kWindows1252},
    {"iso_8859-1:1987", &kWindows1252},
    {"l1", &kWindows1252},
    {"latin1", &kWindows1252},
    {"us-ascii", &kWindows1252},
    {"windows-1252", &kWindows1252},
    {"x-cp1252", &kWindows1252},
    {"cp1253", &kWindows1253},
    {"windows-1253", &kWindows1253},
    {"x-cp1253", &kWindows1253},
    {"cp1254", &kWindows1254},
    {"csisolatin5", &kWindows1254},
    {"iso-8859-9", &kWindows1254},
    {"iso-ir-148", &kWindows1254},
    {"iso8859-9", &kWindows1254},
    {"iso88599", &kWindows1254},
    {"iso_8859-9", &kWindows1254},
    {"iso_8859-9:1989", &kWindows1254},
    {"l5", &kWindows1254},
    {"latin5", &kWindows1254},
    {"windows-1254", &kWindows1254},
    {"x-cp1254", &kWindows1254},
    {"cp1255", &kWindows1255},
    {"windows-1255", &kWindows1255},
    {"x-cp1255", &kWindows1255},
    {"cp1256", &kWindows1256},
    {"windows-1256", &kWindows1256},
    {"x-cp1256", &kWindows1256},
    {"cp1257", &kWindows1257},
    {"windows-1257", &kWindows1257},
    {"x-cp1257", &kWindows1257},
    {"cp1258", &kWindows1258},
    {"windows-1258", &kWindows1258},
    {"x-cp1258", &kWindows1258},
    {"chinese", &kGbk},
    {"csgb2312", &kGbk},
    {"csiso58gb231280", &kGbk},
    {"gb2312", &kGbk},
    {"gb_2312", &kGbk},
    {"gb_2312-80", &kGbk},
    {"gbk", &kGbk},
    {"iso-ir-58", &kGbk},
    {"x-gbk", &kGbk},
    {"gb18030", &kGb18030},
    {"big5", &kBig5},
    {"big5-hkscs", &kBig5},
    {"cn-big5", &kBig5},
    {"csbig5", &kBig5},
    {"x-x-big5", &kBig5},
    {"cseucpkdfmtjapanese", &kEucJp},
    {"euc-jp", &kEucJp},
    {"x-euc-jp", &kEucJp},
    {"csiso2022jp", &kIso2022Jp},
    {"iso-2022-jp", &kIso2022Jp},
    {"csshiftjis", &kShiftJis},
    {"ms932", &kShiftJis},
    {"ms_kanji", &kShiftJis},
    {"shift-jis", &kShiftJis},
    {"shift_jis", &kShiftJis},
    {"sjis", &kShiftJis},
    {"windows-31j", &kShiftJis},
    {"x-sjis", &kShiftJis},
    {"cseuckr", &kEucKr},
    {"csksc56011987", &kEucKr},
    {"euc-kr", &kEucKr},
    {"iso-ir-149", &kEucKr},
    {"korean", &kEucKr},
    {"ks_c_5601-1987", &kEucKr},
    {"ks_c_5601-1989", &kEucKr},
    {"ksc5601", &kEucKr},
    {"ksc_5601", &kEucKr},
    {"windows-949", &kEucKr},
};

const std::unordered_map<std::string_view, const Encoding*>& labelMap() {
    static const auto map = [] {
        std::unordered_map<std::string_view, const Encoding*> built;
        for (const auto& entry : kLabels)
            built.emplace(entry.label, entry.encoding);
        return built;
    }();
    return map;
}

bool converterAvailable(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(name, &status);
    if (converter != nullptr)
        ucnv_close(converter);
    return U_SUCCESS(status) && converter != nullptr;
}

} // namespace

std::optional<PageEncoding> encodingForLabel(std::string_view label) {
    constexpr std::size_t kLongestLabel = 32;
    if (label.empty() || label.size() > kLongestLabel)
        return std::nullopt;
    std::string lower(label);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return engine::asciiLower(c); });
    const auto found = labelMap().find(lower);
    if (found == labelMap().end())
        return std::nullopt;
    const Encoding& encoding = *found->second;
    if (encoding.kind == Kind::Icu && !converterAvailable(encoding.icuName))
        return std::nullopt;
    return PageEncoding{encoding.kind, encoding.icuName, false};
}

std::string_view labelForEncoding(const PageEncoding& encoding) {
    switch (encoding.kind) {
    case Kind::Utf8:
        return kUtf8.name;
    case Kind::Utf16LE:
        return "utf-16le";
    case Kind::Utf16BE:
        return "utf-16be";
    case Kind::Windows1252:
        return kWindows1252.name;
    case Kind::Icu:
        break;
    }
    // The name of a converter is that of the set the label table reads with it.
    for (const auto& entry : kLabels) {
        if (entry.encoding->kind == Kind::Icu && encoding.icuName == entry.encoding->icuName)
            return entry.encoding->name;
    }
    return kWindows1252.name;
}

} // namespace quillora::charset
