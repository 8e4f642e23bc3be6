#include "run/RuleSet.h"

#include <gtest/gtest.h>

namespace quillora::run {
namespace {

using engine::EncryptionMode;

PathPatternList listOf(std::initializer_list<const char*> patterns) {
    PathPatternList list;
    std::string error;
    for (const char* pattern : patterns)
        EXPECT_TRUE(list.add(pattern, error)) << error;
    return list;
}

PageRule hiding(EncryptionMode mode, std::string name) {
    PageRule rule;
    rule.options.encryptionMode = mode;
    rule.name = std::move(name);
    return rule;
}

PageRule leavingAlone(std::string name) {
    PageRule rule;
    rule.action = PageRule::Action::LeaveAlone;
    rule.name = std::move(name);
    return rule;
}

class RuleSetTest : public ::testing::Test {
protected:
    RuleSetTest() : rules(engine::ProtectionOptions{}) {
        rules.setRoot("/site/");
        rules.addRule(listOf({"*.html"}), hiding(EncryptionMode::EmailLinks, "emails"));
        rules.addRule(listOf({"members/"}), hiding(EncryptionMode::WholePage, "members"));
        rules.addRule(listOf({"/index.html", "404.html"}), leavingAlone("alone"));
        rules.setExcluded(listOf({"drafts/", "*.tmp.html"}));
    }
    std::string nameFor(const std::string& path) const {
        const PageRule& rule = rules.ruleFor(path);
        return rule.index == 0 ? "defaults" : rule.name;
    }

    RuleSet rules;
};

TEST_F(RuleSetTest, TheLastMatchingRuleWins) {
    const std::pair<const char*, const char*> cases[] = {
        {"/site/a.html", "emails"},
        {"/site/members/a.html", "members"},
        {"/site/members/index.html", "members"}, // "/index.html" is anchored at the root
        {"/site/index.html", "alone"},
        {"/site/blog/404.html", "alone"},
        {"/site/a.htm", "defaults"}, // no rule matches: the run's own choices
        {"/elsewhere/a.html", "defaults"},
        {"/site2/a.html", "defaults"}, // a folder whose name begins like the root's is not below it
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(nameFor(path), expected) << path;
    EXPECT_EQ(rules.ruleFor("/site/members/a.html").index, 2u);
    EXPECT_EQ(rules.ruleFor("/site/members/a.html").options.encryptionMode, EncryptionMode::WholePage);
}

TEST_F(RuleSetTest, ExcludedPathsAndTheFoldersThatHoldThem) {
    EXPECT_TRUE(rules.isExcluded("/site/drafts", true));
    EXPECT_TRUE(rules.isExcluded("/site/drafts/a.html", false));
    EXPECT_TRUE(rules.isExcluded("/site/blog/x.tmp.html", false));
    EXPECT_FALSE(rules.isExcluded("/site/a.html", false));
    EXPECT_FALSE(rules.isExcluded("/site", true)) << "the root itself is never left out";
    EXPECT_FALSE(rules.isExcluded("/other/drafts/a.html", false)) << "outside the root nothing is";
}

TEST_F(RuleSetTest, RelativePathsBelowTheRoot) {
    EXPECT_EQ(rules.relativePath("/site/a/b.html"), "a/b.html");
    EXPECT_EQ(rules.relativePath("/site"), std::nullopt);
    EXPECT_EQ(rules.relativePath("/sites/a.html"), std::nullopt);
    RuleSet top{engine::ProtectionOptions{}};
    top.setRoot("/");
    EXPECT_EQ(top.relativePath("/a.html"), "a.html");
}

TEST(RuleSet, WithoutRulesEveryPageGetsTheRunsChoicesAndNothingIsLeftOut) {
    engine::ProtectionOptions options;
    options.encryptionMode = EncryptionMode::AllLinks;
    const RuleSet rules(options);
    EXPECT_EQ(rules.ruleFor("/any/page.html").options.encryptionMode, EncryptionMode::AllLinks);
    EXPECT_FALSE(rules.isExcluded("/any/page.html", false));
    EXPECT_FALSE(rules.anyEncrypts());
}

TEST(RuleSet, AnyEncryptsLooksPastRulesThatLeavePagesAlone) {
    RuleSet rules{engine::ProtectionOptions{}};
    PageRule alone = leavingAlone("alone");
    alone.options.encrypt = true; // not used: the pages stay as they are
    rules.addRule(listOf({"a.html"}), alone);
    EXPECT_FALSE(rules.anyEncrypts());
    PageRule sealed;
    sealed.options.encrypt = true;
    rules.addRule(listOf({"b.html"}), sealed);
    EXPECT_TRUE(rules.anyEncrypts());
}

} // namespace
} // namespace quillora::run
