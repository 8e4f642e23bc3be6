#include "CharsetDetector.h"

#include "AsciiRuns.h"
#include "EncodingLabels.h"
#include "PageDecoder.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unicode/ucsdet.h>

namespace quillora::charset {

namespace {

struct DetectorCloser {
    void operator()(UCharsetDetector* detector) const { ucsdet_close(detector); }
};

/// ICU's answer: the name of the most likely set, its confidence and that of Windows-1252 (ISO-8859-1 to ICU).
struct Answer {
    std::string name;
    int confidence = 0;
    int latin1Confidence = 0;
};

bool isLatin1(std::string_view name) {
    return name == "ISO-8859-1" || name == "windows-1252";
}

std::optional<Answer> ask(std::string_view sample) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UCharsetDetector, DetectorCloser> detector(ucsdet_open(&status));
    if (U_FAILURE(status))
        return std::nullopt;
    ucsdet_enableInputFilter(detector.get(), true); // tags say nothing of the text's language
    ucsdet_setText(detector.get(), sample.data(), static_cast<int32_t>(sample.size()), &status);
    int32_t count = 0;
    const UCharsetMatch** matches = ucsdet_detectAll(detector.get(), &count, &status);
    if (U_FAILURE(status) || count == 0)
        return std::nullopt;
    Answer answer;
    for (int32_t i = 0; i < count; ++i) {
        const char* name = ucsdet_getName(matches[i], &status);
        const int confidence = ucsdet_getConfidence(matches[i], &status);
        if (U_FAILURE(status) || name == nullptr)
            return std::nullopt;
        if (i == 0) {
            answer.name = name;
            answer.confidence = confidence;
        }
        if (isLatin1(name))
            answer.latin1Confidence = std::max(answer.latin1Confidence, confidence);
    }
    return answer;
}

/// The set browsers read a page in that ICU's detector names so; nothing for the sets browsers never guess.
std::optional<PageEncoding> browserSet(std::string name, std::string_view bytes) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    if (name.starts_with("utf-") || name.starts_with("ibm42") || name.starts_with("iso-2022-"))
        return std::nullopt;
    // Browsers guess Hebrew as Windows-1255, and text ICU takes for GB18030 as GBK when GBK reads it. KOI8-U
    // reads every letter KOI8-R does, and Ukrainian's too (Firefox names every KOI8 page so).
    if (name == "iso-8859-8" || name == "iso-8859-8-i")
        name = "windows-1255";
    if (name == "koi8-r")
        name = "koi8-u";
    if (name == "gb18030") {
        auto gbk = encodingForLabel("gbk");
        if (gbk && PageDecoder::validWithConverter(gbk->icuName, bytes))
            return gbk;
    }
    return encodingForLabel(name);
}

std::size_t bytesBeyondAscii(std::string_view bytes) {
    return static_cast<std::size_t>(
        std::count_if(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
}

} // namespace

std::optional<PageEncoding> CharsetDetector::guess(std::string_view bytes) {
    const std::size_t first = asciiRunLength(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    const std::size_t high = std::find_if(bytes.begin() + static_cast<std::ptrdiff_t>(first), bytes.end(),
                                          [](char c) { return static_cast<unsigned char>(c) >= 0x80; }) -
                             bytes.begin();
    // Some text before the first such byte tells the detector which language the page is in.
    const std::size_t start = high > kLeadIn ? high - kLeadIn : 0;
    const std::string_view sample = bytes.substr(start, kSampleLength);
    if (bytesBeyondAscii(sample) < kLeastEvidence)
        return std::nullopt;
    const auto answer = ask(sample);
    if (!answer || isLatin1(answer->name))
        return std::nullopt;
    auto encoding = browserSet(answer->name, bytes);
    if (!encoding || encoding->kind != PageEncoding::Kind::Icu)
        return std::nullopt;
    if (answer->latin1Confidence > 0 && answer->confidence < answer->latin1Confidence + kLatinMargin)
        return std::nullopt;
    if (!PageDecoder::validWithConverter(encoding->icuName, bytes))
        return std::nullopt;
    return encoding;
}

} // namespace quillora::charset
