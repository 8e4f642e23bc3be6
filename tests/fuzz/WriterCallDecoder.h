#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillora::fuzz {

/// A stretch of protected output: a writer call with the text it writes, or markup that stands as it is.
struct OutputSegment {
    bool writerCall = false;
    std::u16string text;
};

/// Reads protected output the way the browser will run it: every writer call is replaced by the text it writes.
/// Written independently of the encoder, from the writer-call layout, so that it can judge the encoder's output.
class WriterCallDecoder {
public:
    /// Splits text into raw stretches and decoded writer calls. False, with the reason, when a writer call is
    /// malformed: a character outside an escape, an escape not in its one canonical form, or a missing end.
    static bool split(std::u16string_view text, std::vector<OutputSegment>& segments, std::string& error);
    /// The text the browser ends up with: the raw stretches and what the writer calls write, in order.
    static std::u16string join(const std::vector<OutputSegment>& segments);
    /// The text after every writer call has run, including writer calls that earlier ones write (a span can be
    /// encoded again when a later search reaches back over it).
    static bool runAll(std::u16string_view text, std::u16string& result, std::string& error);

    /// True for a whole external script element as the encoder keeps it: "<script " with "src=" in its start
    /// tag, through the end tag that ends the script's text, and nothing more.
    static bool isExternalScript(std::u16string_view raw);

    static constexpr std::u16string_view kCallStart = u"<SCRIPT LANGUAGE='JavaScript'><!--\r\nqv_d00(unescape(\"";
    static constexpr std::u16string_view kCallEnd = u"\"));//--></SCRIPT>";

private:
    static bool decodeEscapes(std::u16string_view escapes, std::u16string& text, std::string& error);
};

} // namespace quillora::fuzz
