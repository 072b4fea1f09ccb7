// Every output stays inside ExtractDir, whatever the stored names hold and
// whatever links are already in the target folder.
#include "UnZipTestSupport.h"

#include <filesystem>
#include <sys/stat.h>

using namespace archive;
namespace fs = std::filesystem;

namespace {

// Every file below root, as paths relative to it.
std::vector<std::string> FilesBelow(const std::string& root) {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (!e.is_directory()) files.push_back(fs::relative(e.path(), root).string());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST_F(UnZipTest, HostileNamesWriteNothingOutsideTheTarget) {
    using namespace std::string_literals;
    struct Case {
        std::string stored;
        std::string landsAt; // relative to out; "" = refused
    } cases[] = {
        {"../evil1.txt", ""},
        {"..\\evil2.txt", ""},
        {"a/../../evil3.txt", ""},
        {"a/../inside.txt", ""},            // any ".." is refused
        {"\\\\server\\share\\unc.txt", ""}, // still absolute after one "\" is dropped
        {"//server/share/unc2.txt", ""},
        {"C:\\C:\\x.txt", ""}, // a second drive the rule leaves
        {"C:..\\up.txt", ""},  // the drive rule leaves ".."
        {"nul\0byte.txt"s, ""},
        {"cr\rname.txt", ""}, // any control character: no Windows name holds one
        {"lf\nname.txt", ""},
        {"tab\tname.txt", ""},
        {"folder\x1F/x.txt", ""},
        {"/abs.txt", "abs.txt"}, // the drive rule strips these
        {"C:\\drive.txt", "drive.txt"},
        {"D:rel.txt", "rel.txt"},
        {"\\lead.txt", "lead.txt"},
        {"win\\sep.txt", "win/sep.txt"},
        {"./dot.txt", "dot.txt"},
    };
    ZipTestWriter w;
    for (const Case& c : cases)
        w.AddStored(c.stored, "data of " + c.stored);
    int landing = 0;
    for (const Case& c : cases)
        landing += !c.landsAt.empty();
    EXPECT_EQ(Extract(w.Build()), landing);

    std::vector<std::string> expected;
    std::size_t refused = 0;
    ASSERT_EQ(ends.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        if (c.landsAt.empty()) {
            EXPECT_FALSE(ends[i].second) << c.stored;
            ASSERT_LT(refused, errors.size());
            EXPECT_EQ(errors[refused].code, 25235);
            EXPECT_EQ(errors[refused++].file, Bs(c.stored));
        } else {
            EXPECT_TRUE(ends[i].second) << c.stored;
            EXPECT_EQ(ReadAll(out + c.landsAt), "data of " + c.stored);
            expected.push_back("out/" + c.landsAt);
        }
    }
    EXPECT_EQ(refused, errors.size());
    expected.push_back("a.zip");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesBelow(tmp.path()), expected);
}

TEST_F(UnZipTest, LinksInTheTargetFolderAreNeverFollowed) {
    const std::string outside = tmp.file("outside/");
    fs::create_directories(outside);
    fs::create_directories(out);
    WriteAll(outside + "target.txt", "keep");
    fs::permissions(outside + "target.txt", fs::perms::owner_read);
    fs::create_directory_symlink(outside, out + "link");
    fs::create_symlink(outside + "target.txt", out + "t.txt");

    ZipTestWriter w;
    w.AddStored("link/x.txt", "through a folder link");
    w.AddStored("t.txt", "over a file link");
    w.AddDirectory("link/sub/");
    unzip.SetCreateStoredDirs(true);
    unzip.SetConfirmOverwrites(true);
    unzip.OnFileExists = [](QObject*, const std::string&, std::string&, TOverwriteMode& mode) {
        mode = omOverwrite;
    };
    EXPECT_EQ(Extract(w.Build()), 0);
    EXPECT_EQ(Codes(), (std::vector<int>{25235, 25235, 25235}));
    EXPECT_EQ(errors[0].file, OutPath("link/x.txt"));
    for (const auto& [name, pass] : ends)
        EXPECT_FALSE(pass) << name;
    EXPECT_EQ(FilesBelow(outside), std::vector<std::string>{"target.txt"});
    EXPECT_EQ(ReadAll(outside + "target.txt"), "keep");
    EXPECT_EQ(fs::status(outside + "target.txt").permissions(), fs::perms::owner_read);
    EXPECT_TRUE(fs::is_symlink(out + "t.txt"));
}

TEST_F(UnZipTest, SymbolicLinkEntriesBecomePlainFiles) {
    ZipTestWriter w;
    w.AddStored("ln", "../outside/target.txt").externalAttributes = 0xA1FF0000u; // lrwxrwxrwx
    EXPECT_EQ(Extract(w.Build()), 1);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out + "ln")));
    EXPECT_EQ(ReadAll(out + "ln"), "../outside/target.txt");
}
