// Encrypted entries: the password check, the candidates, OnGetPassword and
// the run-wide failure.
#include "UnZipTestSupport.h"

#include <filesystem>

using namespace archive;
namespace fs = std::filesystem;

namespace {

std::string Secrets(bool dataDescriptor = false) {
    ZipTestWriter w;
    ZipTestEntry e;
    e.name = "one.txt";
    e.data = "first secret";
    e.password = "sesame";
    e.dataDescriptor = dataDescriptor; // the check byte comes from the DOS time
    w.Add(e);
    w.AddStored("plain.txt", "open");
    e.name = "two.txt";
    e.data = "second secret";
    w.Add(e);
    return w.Build();
}

} // namespace

TEST_F(UnZipTest, PasswordFromTheListOpensEveryEntry) {
    for (bool dd : {false, true}) {
        fs::remove_all(out);
        unzip.Passwords() = TStringList{"wrong", "sesame"};
        unzip.OnGetPassword = [](QObject*, const std::string&, std::string&, bool&) {
            ADD_FAILURE() << "not asked when a listed password opens the entry";
        };
        EXPECT_EQ(Extract(Secrets(dd)), 3);
        EXPECT_EQ(ReadAll(out + "one.txt"), "first secret");
        EXPECT_EQ(ReadAll(out + "two.txt"), "second secret");
        EXPECT_TRUE(errors.empty());
    }
}

TEST_F(UnZipTest, WithoutPasswordOrHandlerEncryptedEntriesAreSkippedAfterOneReport) {
    EXPECT_EQ(Extract(Secrets()), 1);
    EXPECT_EQ(Codes(), std::vector<int>{25270});
    EXPECT_EQ(errors[0].extended, "OnGetPassword");
    EXPECT_EQ(ends, (std::vector<std::pair<std::string, bool>>{
                        {"one.txt", false}, {OutPath("plain.txt"), true}, {"two.txt", false}}));
    EXPECT_FALSE(fs::exists(out + "one.txt"));
}

TEST_F(UnZipTest, AskedPasswordIsRememberedForTheRun) {
    std::vector<std::string> answers{"guess", "sesame"};
    std::vector<std::string> askedFor;
    unzip.OnGetPassword = [&](QObject*, const std::string& name, std::string& password,
                              bool& tryAgain) {
        EXPECT_TRUE(tryAgain);
        askedFor.push_back(name);
        password = answers[askedFor.size() - 1];
    };
    EXPECT_EQ(Extract(Secrets()), 3);
    EXPECT_EQ(askedFor, (std::vector<std::string>{OutPath("one.txt"), OutPath("one.txt")}));
    EXPECT_EQ(Codes(), std::vector<int>{26517});
    EXPECT_EQ(unzip.Passwords(), TStringList{"sesame"});
    EXPECT_EQ(ReadAll(out + "two.txt"), "second secret");
}

TEST_F(UnZipTest, GivingUpOrRunningOutOfAttemptsFailsTheRun) {
    int asked = 0;
    unzip.OnGetPassword = [&](QObject*, const std::string&, std::string& password, bool&) {
        ++asked;
        password = "wrong";
    };
    EXPECT_EQ(Extract(Secrets()), 1);
    EXPECT_EQ(asked, 3); // PasswordAttempts, then no more questions this run
    EXPECT_EQ(Codes(), (std::vector<int>{26517, 26517, 26517}));

    asked = 0;
    errors.clear();
    unzip.OnGetPassword = [&](QObject*, const std::string&, std::string&, bool& tryAgain) {
        ++asked;
        tryAgain = false;
    };
    EXPECT_EQ(Extract(Secrets()), 1);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Codes(), std::vector<int>{26517});
}

TEST_F(UnZipTest, InfoZipEncryptedArchiveOpensWithItsPassword) {
    WriteAll(tmp.file("secret.txt"), std::string(50000, 'q') + "end");
    const std::string cmd = "cd " + tmp.path() + " && zip -0 -q -P k3y enc.zip secret.txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    unzip.Passwords().Add("k3y");
    EXPECT_EQ(ExtractFile(tmp.file("enc.zip")), 1);
    EXPECT_EQ(ReadAll(out + "secret.txt"), std::string(50000, 'q') + "end");
    EXPECT_EQ(ends, (std::vector<std::pair<std::string, bool>>{{OutPath("secret.txt"), true}}));
}
