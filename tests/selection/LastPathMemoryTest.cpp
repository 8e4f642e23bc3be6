#include "selection/LastPathMemory.h"

#include "TempFolder.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using quillora::selection::LastPathMemory;
using quillora::testing::TempFolder;

namespace {

struct StoredPath {
    const char* name;
    const char* content; // "{dir}" stands for an existing folder, "{gone}" for one that was deleted
    bool expectFolder;   // true: the existing folder comes back; false: the empty string
};

class ReadLastPathTest : public ::testing::TestWithParam<StoredPath> {};

TEST_P(ReadLastPathTest, TakesTheFirstLineWhenItNamesAFolder) {
    TempFolder program;
    const QString folder = program.makeFolder(QStringLiteral("site"));
    const QString gone = program.makeFolder(QStringLiteral("gone"));
    QDir(gone).removeRecursively();
    QString content = QString::fromUtf8(GetParam().content);
    content.replace(QStringLiteral("{dir}"), folder).replace(QStringLiteral("{gone}"), gone);
    program.writeFile(QStringLiteral("filepath.txt"), content.toUtf8());

    const QString read = LastPathMemory(program.path()).ReadLastPath();

    EXPECT_EQ(read, GetParam().expectFolder ? folder : QString());
}

INSTANTIATE_TEST_SUITE_P(Contents, ReadLastPathTest,
                         ::testing::Values(StoredPath{"Folder", "{dir}", true},
                                           StoredPath{"SeveralLines", "{dir}\nsomething else\n", true},
                                           StoredPath{"WindowsLineEnd", "{dir}\r\nmore", true},
                                           StoredPath{"OnlyALineEnd", "\n", false}, StoredPath{"Empty", "", false},
                                           StoredPath{"DeletedFolder", "{gone}", false},
                                           StoredPath{"FolderOnSecondLine", "\n{dir}", false},
                                           StoredPath{"AFileNotAFolder", "{dir}/../filepath.txt", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LastPathMemoryTest, NoFileReadsAsNothingRemembered) {
    TempFolder program;
    EXPECT_EQ(LastPathMemory(program.path()).ReadLastPath(), QString());
}

TEST(LastPathMemoryTest, RememberWritesThePathWithoutLineEnd) {
    TempFolder program;
    const QString folder = program.makeFolder(QStringLiteral("web")) + QLatin1Char('/');
    const LastPathMemory memory(program.path());
    program.writeFile(QStringLiteral("filepath.txt"), "a much longer old text that must not survive");

    memory.remember(folder);

    EXPECT_EQ(TempFolder::read(program.filePath(QStringLiteral("filepath.txt"))), folder.toUtf8());
    EXPECT_EQ(memory.ReadLastPath(), folder);
}

TEST(LastPathMemoryTest, WriteWithoutResetDoesNotCreateTheFile) {
    TempFolder program;
    LastPathMemory(program.path()).WriteLastPath(program.path());
    EXPECT_FALSE(QFileInfo::exists(program.filePath(QStringLiteral("filepath.txt"))));
}

TEST(LastPathMemoryTest, ResetEmptiesTheFile) {
    TempFolder program;
    program.writeFile(QStringLiteral("filepath.txt"), program.path().toUtf8());
    const LastPathMemory memory(program.path());

    memory.ResetLastPathFile();

    EXPECT_TRUE(TempFolder::read(program.filePath(QStringLiteral("filepath.txt"))).isEmpty());
    EXPECT_EQ(memory.ReadLastPath(), QString());
}

TEST(LastPathMemoryTest, AProgramFolderThatCannotBeWrittenRemembersNothing) {
    TempFolder program;
    const LastPathMemory memory(program.filePath(QStringLiteral("missing/folder")));

    memory.remember(program.path());

    EXPECT_EQ(memory.ReadLastPath(), QString());
}

TEST(LastPathMemoryTest, TheFileLiesInTheProgramFolder) {
    EXPECT_EQ(LastPathMemory(QStringLiteral("/opt/q")).filePath(), QStringLiteral("/opt/q/filepath.txt"));
    // The separator is always added, so a program in the root holds a doubled one.
    EXPECT_EQ(LastPathMemory(QStringLiteral("/")).filePath(), QStringLiteral("//filepath.txt"));
}

} // namespace
