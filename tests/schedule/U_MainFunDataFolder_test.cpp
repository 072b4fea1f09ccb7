// Where the program keeps its files, one line per case.
#include <gtest/gtest.h>

#include <filesystem>

#include "schedule/U_MainFunDataFolder.h"

namespace {

TEST(DataFolder, BesideTheProgramOnlyWhenWritableAndNotInstalled) {
    struct Case {
        const char* executableFolder;
        bool writable;
        bool installed;
        const char* xdgDataHome;
        const char* home;
        const char* folder;
    } cases[] = {
        // A build tree or a copy on a stick.
        {"/home/u/vimbrel/build/bin/", true, false, "", "/home/u", "/home/u/vimbrel/build/bin/"},
        {"/media/stick/vimbrel/", true, false, "/data", "/home/u", "/media/stick/vimbrel/"},
        // Installed where the user may not write.
        {"/opt/vimbrel/", false, false, "/data", "/home/u", "/data/vimbrel/"},
        {"/opt/vimbrel/", false, false, "", "/home/u", "/home/u/.local/share/vimbrel/"},
        {"/opt/vimbrel/", false, false, "/data/", "/home/u/", "/data/vimbrel/"},
        {"/opt/vimbrel/", false, false, "", "/home/u/", "/home/u/.local/share/vimbrel/"},
        // Run as root from the install folder: never written into.
        {"/usr/bin/", true, true, "", "/root", "/root/.local/share/vimbrel/"},
        {"/usr/bin/", true, true, "/srv/d", "/root", "/srv/d/vimbrel/"},
        // A relative XDG_DATA_HOME is invalid and ignored.
        {"/usr/bin/", false, true, "data", "/home/u", "/home/u/.local/share/vimbrel/"},
        {"/usr/bin/", false, true, "./data", "", "/usr/bin/"},
        // No home to be found: the program folder, whose writes then fail clearly.
        {"/usr/bin/", false, true, "", "", "/usr/bin/"},
    };
    for (const Case& c : cases) {
        TDataFolderFacts facts;
        facts.ExecutableFolder = c.executableFolder;
        facts.ExecutableFolderWritable = c.writable;
        facts.Installed = c.installed;
        facts.XdgDataHome = c.xdgDataHome;
        facts.Home = c.home;
        EXPECT_EQ(ChooseDataFolder(facts), c.folder)
            << c.executableFolder << " writable " << c.writable << " installed " << c.installed
            << " XDG_DATA_HOME '" << c.xdgDataHome << "' HOME '" << c.home << "'";
    }
}

// The tests run from the build tree, which is writable and not the install
// folder: they keep their files beside themselves.
TEST(DataFolder, ABuildTreeKeepsItsFilesBesideTheProgram) {
    const TDataFolderFacts facts = RunningProgramFacts();
    const std::string bin = std::filesystem::canonical(VIMBREL_BIN_DIR).string() + "/";
    EXPECT_EQ(facts.ExecutableFolder, bin);
    EXPECT_FALSE(facts.Installed);
    EXPECT_EQ(ChooseDataFolder(facts), bin);
}

} // namespace
