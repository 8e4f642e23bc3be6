#include "selection/LastPathMemory.h"

#include "TempFolder.h"

#include <QFileInfo>
#include <QStandardPaths>
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

TEST(LastPathMemoryTest, AProgramFolderThatCannotBeWrittenRemembersInTheConfigurationFolder) {
    TempFolder program;
    TempFolder config;
    const QString notAFolder = program.writeFile(QStringLiteral("program"), "a file, not a folder");
    const QString configFolder = config.filePath(QStringLiteral("not/made/yet"));
    const LastPathMemory memory(notAFolder, configFolder, &LastPathMemory::canWriteFolder);

    memory.remember(program.path());

    EXPECT_EQ(memory.filePath(), configFolder + QStringLiteral("/filepath.txt"));
    EXPECT_EQ(TempFolder::read(memory.filePath()), program.path().toUtf8());
    EXPECT_EQ(memory.ReadLastPath(), program.path());
    EXPECT_EQ(LastPathMemory(notAFolder, configFolder, &LastPathMemory::canWriteFolder).ReadLastPath(), program.path())
        << "the next start finds it again";
}

TEST(LastPathMemoryTest, TheFileLiesInTheProgramFolder) {
    const auto writable = [](const QString&) { return true; };
    EXPECT_EQ(LastPathMemory(QStringLiteral("/opt/q"), QStringLiteral("/c"), writable).filePath(),
              QStringLiteral("/opt/q/filepath.txt"));
    // The separator is always added, so a program in the root holds a doubled one.
    EXPECT_EQ(LastPathMemory(QStringLiteral("/"), QStringLiteral("/c"), writable).filePath(),
              QStringLiteral("//filepath.txt"));
}

TEST(LastPathMemoryTest, AnInstalledProgramUsesTheApplicationsConfigurationFolder) {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    ASSERT_FALSE(config.isEmpty());
    EXPECT_EQ(LastPathMemory(QStringLiteral("/usr/bin")).filePath(), config + QStringLiteral("/filepath.txt"));
}

TEST(LastPathMemoryTest, RememberReplacesTheFileInOneStep) {
    TempFolder program;
    const QString file = program.writeFile(QStringLiteral("filepath.txt"), "/old/path");
    QFile before(file);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));

    LastPathMemory(program.path()).remember(program.path());

    // A reader that opened the old file still reads the old text whole: the new text is a new file renamed over it.
    EXPECT_EQ(before.readAll(), QByteArray("/old/path"));
    EXPECT_EQ(TempFolder::read(file), program.path().toUtf8());
    EXPECT_EQ(QDir(program.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("filepath.txt")})
        << "no temporary file is left behind";
}

struct Place {
    const char* name;
    bool programWritable;
    const char* inProgram; // the file beside the program: "" none, else "old" or "new"
    const char* inConfig;  // the file in the configuration folder, the same way
    const char* read;      // what ReadLastPath gives: "", "old" or "new"
    bool writtenBesideProgram;
};

class MemoryPlaceTest : public ::testing::TestWithParam<Place> {};

TEST_P(MemoryPlaceTest, ReadsWhereItWritesAndFallsBackToTheOtherPlace) {
    const Place& place = GetParam();
    TempFolder program;
    TempFolder config;
    const QString oldFolder = program.makeFolder(QStringLiteral("old"));
    const QString newFolder = program.makeFolder(QStringLiteral("new"));
    const auto folderFor = [&](const char* which) { return QByteArray(which) == "old" ? oldFolder : newFolder; };
    if (*place.inProgram != 0)
        program.writeFile(QStringLiteral("filepath.txt"), folderFor(place.inProgram).toUtf8());
    if (*place.inConfig != 0)
        config.writeFile(QStringLiteral("filepath.txt"), folderFor(place.inConfig).toUtf8());
    const LastPathMemory memory(program.path(), config.path(), [&](const QString& folder) {
        return folder == program.path() && place.programWritable;
    });

    EXPECT_EQ(memory.ReadLastPath(), *place.read == 0 ? QString() : folderFor(place.read));

    const QString written = (place.writtenBesideProgram ? program : config).filePath(QStringLiteral("filepath.txt"));
    const QString other = (place.writtenBesideProgram ? config : program).filePath(QStringLiteral("filepath.txt"));
    const QByteArray otherBefore = TempFolder::read(other);
    const QString chosen = program.makeFolder(QStringLiteral("chosen"));
    memory.remember(chosen);
    EXPECT_EQ(memory.filePath(), written);
    EXPECT_EQ(TempFolder::read(written), chosen.toUtf8());
    EXPECT_EQ(TempFolder::read(other), otherBefore) << "the other place is left as it was";
    EXPECT_EQ(memory.ReadLastPath(), chosen);
}

INSTANTIATE_TEST_SUITE_P(Places, MemoryPlaceTest,
                         ::testing::Values(Place{"WritableProgramFolder", true, "", "", "", true},
                                           Place{"WritableWithAnOlderConfigurationFile", true, "", "old", "old", true},
                                           Place{"WritableWithBothFiles", true, "new", "old", "new", true},
                                           Place{"ReadOnlyProgramFolder", false, "", "", "", false},
                                           Place{"ReadOnlyWithAShippedFile", false, "old", "", "old", false},
                                           Place{"ReadOnlyWithBothFiles", false, "old", "new", "new", false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FolderCase {
    const char* name;
    const char* folder; // "{tmp}" a temporary folder, "{file}" a regular file in it
    bool writable;
};

class CanWriteFolderTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(CanWriteFolderTest, TriesToMakeAFile) {
    TempFolder program;
    const QString file = program.writeFile(QStringLiteral("plain.txt"), "x");
    QString folder = QString::fromUtf8(GetParam().folder);
    folder.replace(QStringLiteral("{tmp}"), program.path()).replace(QStringLiteral("{file}"), file);

    EXPECT_EQ(LastPathMemory::canWriteFolder(folder), GetParam().writable);
    EXPECT_EQ(QDir(program.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("plain.txt")})
        << "the probe leaves nothing behind";
}

INSTANTIATE_TEST_SUITE_P(Folders, CanWriteFolderTest,
                         ::testing::Values(FolderCase{"TemporaryFolder", "{tmp}", true},
                                           FolderCase{"BelowARegularFile", "{file}/sub", false},
                                           FolderCase{"ARegularFile", "{file}", false},
                                           FolderCase{"MissingFolder", "{tmp}/missing", false},
                                           FolderCase{"SystemBinaries", "/usr/bin", false},
                                           FolderCase{"SystemPrefix", "/usr", false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
