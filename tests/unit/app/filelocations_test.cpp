// Which folders the program writes to: beside itself unless the package's marker is
// there, then the user's XDG folders.
#include "app/filelocations.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace {

auto environment(std::map<std::string, QString> values) {
    return [values](const char *name) {
        const auto found = values.find(name);
        return found == values.end() ? QString() : found->second;
    };
}

TEST(FileLocations, WithoutThePackagesMarkerEverythingStaysBesideTheProgram) {
    QTemporaryDir root;
    const QString program = root.filePath(QStringLiteral("KVT"));
    ASSERT_TRUE(QDir().mkpath(program));
    // A folder named like the marker's is not the marker.
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("share/kvt/per-user-files"))));
    const FileLocations files =
        FileLocations::locate(program, QStringLiteral("/home/tech"),
                              environment({{"XDG_CONFIG_HOME", QStringLiteral("/xdg/config")}}));
    EXPECT_FALSE(files.perUser);
    EXPECT_EQ(files.programFolder, program);
    EXPECT_EQ(files.settingsFolder, program);
    EXPECT_EQ(files.backupFolder, program);
}

TEST(FileLocations, ThePackagedProgramUsesTheUsersFolders) {
    QTemporaryDir root;
    const QString program = root.filePath(QStringLiteral("usr/bin"));
    ASSERT_TRUE(QDir().mkpath(program));
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("usr/share/kvt"))));
    QFile marker(root.filePath(QStringLiteral("usr/share/kvt/per-user-files")));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();

    // An empty settings folder: the program refuses to start, as no folder is known.
    struct Case {
        const char *name;
        QString home;
        std::map<std::string, QString> env;
        QString settings;
        QString backups;
    };
    const QString home = QStringLiteral("/home/tech");
    const Case cases[] = {
        {"no XDG variables", home, {}, "/home/tech/.config/KVT", "/home/tech/.local/share/KVT"},
        {"XDG variables set",
         home,
         {{"XDG_CONFIG_HOME", "/srv/cfg/"}, {"XDG_DATA_HOME", "/srv/data"}},
         "/srv/cfg/KVT",
         "/srv/data/KVT"},
        {"relative XDG variables are ignored",
         home,
         {{"XDG_CONFIG_HOME", "cfg"}, {"XDG_DATA_HOME", "./data"}},
         "/home/tech/.config/KVT",
         "/home/tech/.local/share/KVT"},
        {"no home, both XDG folders",
         "",
         {{"XDG_CONFIG_HOME", "/srv/cfg"}, {"XDG_DATA_HOME", "/srv/data"}},
         "/srv/cfg/KVT",
         "/srv/data/KVT"},
        {"no home, no XDG folders", "", {}, "", ""},
        {"no home, only the XDG config folder", "", {{"XDG_CONFIG_HOME", "/srv/cfg"}}, "", ""},
        {"relative home", "tech", {{"XDG_DATA_HOME", "/srv/data"}}, "", ""},
    };
    for (const Case &c : cases) {
        const FileLocations files = FileLocations::locate(program, c.home, environment(c.env));
        EXPECT_TRUE(files.perUser) << c.name;
        EXPECT_EQ(files.programFolder, program) << c.name;
        EXPECT_EQ(files.settingsFolder, c.settings) << c.name;
        EXPECT_EQ(files.backupFolder, c.backups) << c.name;
        EXPECT_EQ(files.error.isEmpty(), !c.settings.isEmpty()) << c.name;
    }
}

} // namespace
