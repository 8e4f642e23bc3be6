#include "charset/TagReader.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillora::charset {
namespace {

/// The tags read, start tags by name and end tags with "/" in front, each after the position of its "<".
std::string tagsOf(std::string_view bytes) {
    TagReader reader(bytes);
    MarkupTag tag;
    std::string tags;
    while (reader.next(tag)) {
        tags += tags.empty() ? "" : " ";
        tags += (tag.endTag ? "/" : "") + tag.name + "@" + std::to_string(tag.at);
    }
    return tags;
}

struct TagsRow {
    const char* name;
    std::string bytes;
    std::string tags;
};

class TagReaderTags : public ::testing::TestWithParam<TagsRow> {};

TEST_P(TagReaderTags, ReadsTagsAsTheTokenizerDoes) {
    EXPECT_EQ(tagsOf(GetParam().bytes), GetParam().tags);
}

INSTANTIATE_TEST_SUITE_P(
    Markup, TagReaderTags,
    ::testing::Values(
        TagsRow{"StartAndEndTags", "<HTML><Head></head>", "html@0 head@6 /head@12"},
        TagsRow{"NameEndsAtSlashOrBlank", "<meta/charset=x><br\n/>", "meta@0 br@16"},
        TagsRow{"Comment", "<!-- <meta> --><p>", "p@15"},
        TagsRow{"CommentClosedByBang", "<!-- a --!><meta>", "meta@11"},
        TagsRow{"EmptyComments", "<!--><a><!---><b>", "a@5 b@14"},
        TagsRow{"CommentWithMoreDashes", "<!-- a ---><a>", "a@11"},
        TagsRow{"DashesWithoutEnd", "<!-- -- x --><a>", "a@13"},
        TagsRow{"UnclosedComment", "<!-- <meta charset=x>", ""},
        TagsRow{"DoctypeAndBogusComments", "<!DOCTYPE html><?php <meta> ?><![CDATA[<meta>]]><a>", "a@48"},
        TagsRow{"EndTagWithoutName", "</><a></ b><c>", "a@3 c@11"}, TagsRow{"LessThanAsText", "a < b <3 <a>", "a@9"},
        TagsRow{"QuotedGreaterThan", "<div title='a>b'><p>", "div@0 p@17"},
        TagsRow{"TitleIsText", "<title><meta></title><meta>", "title@0 /title@13 meta@21"},
        TagsRow{"EndTagNeedsTheWholeName", "<title></titles><meta></title ><a>", "title@0 /title@22 a@31"},
        TagsRow{"TextareaStyleXmp", "<textarea><a></textarea><style><b></style><xmp><c></xmp>",
                "textarea@0 /textarea@13 style@24 /style@34 xmp@42 /xmp@50"},
        TagsRow{"IframeNoembedNoframes", "<iframe><a></iframe><noembed><b></noembed><noframes><c></noframes>",
                "iframe@0 /iframe@11 noembed@20 /noembed@32 noframes@42 /noframes@55"},
        TagsRow{"NoscriptIsMarkup", "<noscript><meta></noscript>", "noscript@0 meta@10 /noscript@16"},
        TagsRow{"Plaintext", "<plaintext><a></plaintext>", "plaintext@0"},
        TagsRow{"Script", "<script>if (a<b) x('<meta>')</script><a>", "script@0 /script@28 a@37"},
        TagsRow{"ScriptEscapes", "<script><!--<script></script><meta>--></script><a>", "script@0 /script@38 a@47"},
        TagsRow{"ScriptEscapeClosedAtOnce", "<script><!--></script><a>", "script@0 /script@13 a@22"},
        TagsRow{"ScriptEscapeWithoutNestedScript", "<script><!--x</script><a>", "script@0 /script@13 a@22"},
        TagsRow{"UnclosedScript", "<script>x<meta>", "script@0"},
        TagsRow{"TagTheBytesEndInside", "<a><meta charset=x", "a@0"},
        TagsRow{"QuoteTheBytesEndInside", "<a title='x><b>", ""},
        TagsRow{"EndTagsHaveAttributesToo", "</p class='>'><a>", "/p@0 a@14"}),
    [](const auto& info) { return info.param.name; });

struct AttributeRow {
    const char* name;
    std::string tail; // what follows a tag name
    std::vector<std::pair<std::string, std::string>> attributes;
};

class TagReaderAttributes : public ::testing::TestWithParam<AttributeRow> {};

TEST_P(TagReaderAttributes, ReadsAttributesAsThePrescanDoes) {
    std::vector<std::pair<std::string, std::string>> read;
    std::size_t position = 0;
    TagAttribute attribute;
    while (TagReader::readAttribute(GetParam().tail, position, attribute))
        read.emplace_back(attribute.name, attribute.value);
    EXPECT_EQ(read, GetParam().attributes);
}

INSTANTIATE_TEST_SUITE_P(
    Prescan, TagReaderAttributes,
    ::testing::Values(AttributeRow{"Quoted",
                                   " charset=\"KOI8-R\" http-equiv='Content-Type'>",
                                   {{"charset", "koi8-r"}, {"http-equiv", "content-type"}}},
                      AttributeRow{"Unquoted", " CHARSET=Utf-8 x=y>", {{"charset", "utf-8"}, {"x", "y"}}},
                      AttributeRow{"BlanksAroundEquals", " charset \t=\n koi8-r>", {{"charset", "koi8-r"}}},
                      AttributeRow{"WithoutValues", " a b/c>", {{"a", ""}, {"b", ""}, {"c", ""}}},
                      AttributeRow{"SlashesBetween", "/charset=x/>", {{"charset", "x/"}}},
                      AttributeRow{"EqualsStartsAName", " =a=b>", {{"=a", "b"}}},
                      AttributeRow{"NoSpaceAfterQuote", " a='1'b=\"2\">", {{"a", "1"}, {"b", "2"}}},
                      AttributeRow{"ValueEndsAtGreaterThan", " a=>", {{"a", ""}}},
                      AttributeRow{"EndOfBytesInValue", " a=b", {}}, AttributeRow{"EndOfBytesInQuote", " a='b>", {}}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace quillora::charset
