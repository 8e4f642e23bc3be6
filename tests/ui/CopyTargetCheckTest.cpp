#include "ui/CopyTargetCheck.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

using namespace quillora;
using quillora::testing::TempFolder;

namespace {

std::vector<run::SelectionEntry> picks(std::initializer_list<std::pair<QString, bool>> list) {
    std::vector<run::SelectionEntry> entries;
    for (const auto& [path, isFolder] : list)
        entries.push_back({path.toStdString(), isFolder});
    return entries;
}

TEST(CopyTargetStartTest, StartsAtTheTargetElseBesideTheFirstPickElseTheFallback) {
    TempFolder disk;
    const QString site = disk.makeFolder(QStringLiteral("web/site"));
    const QString page = disk.writeFile(QStringLiteral("web/pages/a.htm"), "a");
    const QString web = disk.filePath(QStringLiteral("web"));
    struct Row {
        const char* name;
        QString target;
        std::vector<run::SelectionEntry> picked;
        QString start;
    };
    const Row rows[] = {
        {"nothing at all", QString(), {}, QStringLiteral("/fallback")},
        {"a picked folder: its parent", QString(), picks({{site, true}}), web},
        {"a picked page: above its folder", QString(), picks({{page, false}}), web},
        {"the first pick counts", QString(), picks({{page, false}, {disk.path(), true}}), web},
        {"a target typed wins", site, picks({{page, false}}), site},
        {"a target not made yet: its nearest folder", site + QStringLiteral("/new/deeper"), {}, site},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ui::copyTargetStart(row.target, row.picked, QStringLiteral("/fallback")), row.start) << row.name;
}

} // namespace
