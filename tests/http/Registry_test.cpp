// The registry stand-in and the proxy settings read through it, in a
// private XDG_CONFIG_HOME.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "http/U_HttpGet.h"
#include "platform/AccountDefaults.h"
#include "platform/Hive.h"
#include "platform/Registry.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

using platform::ERegistryException;
using platform::TRegistry;

namespace {

using platform::InternetSettingsKey;

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) saved = old;
        setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    }
    void TearDown() override {
        if (saved.empty())
            unsetenv("XDG_CONFIG_HOME");
        else
            setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    }
    void Settings(void (*write)(TRegistry&)) {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(InternetSettingsKey, true));
        write(r);
    }
    // The message of the registry error that fn raises, or "<none>".
    template <class Fn> static std::string ErrorOf(Fn fn) {
        try {
            fn();
        } catch (const ERegistryException& e) {
            return e.what();
        }
        return "<none>";
    }

    // "on" or "off" as ReadIEProxySettings answers, or the message of its error.
    std::string ProxyOutcome(std::string& proxy) {
        try {
            return http.ReadIEProxySettings(proxy) ? "on" : "off";
        } catch (const ERegistryException& e) {
            return e.what();
        }
    }

    TempDir dir;
    std::string saved;
    ScopedEnv desktopProxy{"http_proxy", "HTTP_PROXY"}; // what the defaults follow
    TTvHttpGet http;
};

TEST_F(Registry, HiveLivesUnderTheXdgConfigFolder) {
    EXPECT_EQ(TRegistry::HiveFileName(), dir.path() + "/vimbrel/registry.reg");
}

// The desktop's proxy, as the variables name it, in the form "ProxyServer"
// keeps (host:port); "" when they name no HTTP proxy.
TEST_F(Registry, DesktopProxyComesFromTheProxyVariables) {
    const struct {
        const char* lower; // http_proxy, or null
        const char* upper; // HTTP_PROXY, or null
        const char* server;
    } cases[] = {
        {nullptr, nullptr, ""},
        {"http://user:pw@proxy.example:3128/", nullptr, "proxy.example:3128"},
        {nullptr, "proxy2.example:8080", "proxy2.example:8080"},
        {"lower:2", "upper:1", "lower:2"},
        {"", "upper:1", "upper:1"},
        {"http://p.example", nullptr, "p.example:1080"}, // curl's default port
        {"https://p.example", nullptr, "p.example:443"},
        {"http://[::1]:3128", nullptr, "[::1]:3128"},
        {"socks5://s.example:1080", nullptr, ""},
        {"http://p.example:port", nullptr, ""},
        {"http://p.example:1\r\n", nullptr, ""},
    };
    for (const auto& c : cases) {
        const ScopedEnv clean{"http_proxy", "HTTP_PROXY"};
        if (c.lower) setenv("http_proxy", c.lower, 1);
        if (c.upper) setenv("HTTP_PROXY", c.upper, 1);
        EXPECT_EQ(platform::DesktopProxyServer(), c.server)
            << (c.lower ? c.lower : "-") << " " << (c.upper ? c.upper : "-");
    }
}

// Each case starts from an empty configuration folder and no desktop proxy,
// prepares them, and reads the proxy settings: the outcome is "on", "off" or
// the error's message. Like a real account, the hive holds Internet Settings
// from the start; here they follow the desktop's proxy.
TEST_F(Registry, ProxySettingsReadOrFailByWhatTheHiveHolds) {
    const std::string blocker = dir.file("blocker");
    auto desktop = [] { setenv("http_proxy", "desk:1", 1); };
    const struct {
        const char* name;
        std::function<void()> prepare;
        const char* outcome;
        const char* proxy;
    } cases[] = {
        {"a fresh account", [] {}, "off", ""},
        {"the desktop names a proxy", desktop, "on", "desk:1"},
        {"a written value wins",
         [&] {
             desktop();
             Settings([](TRegistry& r) { r.WriteInteger("ProxyEnable", 0); });
         },
         "off", "desk:1"},
        {"both written",
         [&] {
             desktop();
             Settings([](TRegistry& r) {
                 r.WriteInteger("ProxyEnable", 1);
                 r.WriteString("ProxyServer", "mine:2");
             });
         },
         "on", "mine:2"},
        {"missing ProxyServer",
         [&] { Settings([](TRegistry& r) { r.WriteInteger("ProxyEnable", 1); }); }, "on", ""},
        {"ProxyEnable as text",
         [&] { Settings([](TRegistry& r) { r.WriteString("ProxyEnable", "1"); }); },
         "Invalid data type for 'ProxyEnable'", "unchanged"},
        {"ProxyServer as a number",
         [&] {
             Settings([](TRegistry& r) {
                 r.WriteInteger("ProxyEnable", 1);
                 r.WriteInteger("ProxyServer", 8080);
             });
         },
         "Invalid data type for 'ProxyServer'", "unchanged"},
        {"hive that cannot be written",
         [&] {
             WriteAll(blocker, "a file where a folder should be");
             setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
         },
         "off", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir.path() + "/vimbrel");
        setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
        for (const char* name : {"http_proxy", "HTTP_PROXY"})
            unsetenv(name);
        c.prepare();
        std::string proxy = "unchanged";
        EXPECT_EQ(ProxyOutcome(proxy), c.outcome);
        EXPECT_EQ(proxy, c.proxy);
    }
}

// Every account has its Internet Settings, and reading them writes nothing;
// a hive that cannot be created cannot be written either.
TEST_F(Registry, InternetSettingsExistUnwrittenAndAnUncreatableHiveRefusesWrites) {
    std::string proxy;
    ErrorOf([&] { http.ReadIEProxySettings(proxy); });
    EXPECT_TRUE(TRegistry().KeyExists(InternetSettingsKey));
    EXPECT_FALSE(std::filesystem::exists(TRegistry::HiveFileName()));
    WriteAll(dir.file("blocker"), "a file where a folder should be");
    setenv("XDG_CONFIG_HOME", dir.file("blocker").c_str(), 1);
    TRegistry r;
    EXPECT_EQ(ErrorOf([&] { r.WriteString("x", "y"); }), "Failed to set data for 'x'");
}

TEST_F(Registry, OnlyTheLowByteOfProxyEnableCounts) {
    const struct {
        std::int32_t value;
        bool enabled;
    } cases[] = {
        {0, false}, {1, true}, {0x100, false}, {0x101, true}, {std::int32_t(0xFFFFFF00), false},
        {-1, true}};
    for (const auto& c : cases) {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(InternetSettingsKey, true));
        r.WriteInteger("ProxyEnable", c.value);
        r.WriteString("ProxyServer", "proxy.example:3128");
        std::string proxy;
        EXPECT_EQ(http.ReadIEProxySettings(proxy), c.enabled) << c.value;
        EXPECT_EQ(proxy, "proxy.example:3128");
    }
}

TEST_F(Registry, ValuesSurviveTheFileWhateverTheirBytes) {
    const std::string texts[] = {"",
                                 "plain",
                                 "quote \" and \\ backslash",
                                 "line\r\nbreak\ttab",
                                 "\xBD\xDA\xC4\xBF\xB5\xA5",
                                 std::string("zero\0byte", 9)};
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Test", true));
    for (std::size_t i = 0; i < std::size(texts); ++i)
        r.WriteString("text" + std::to_string(i), texts[i]);
    r.WriteInteger("min", std::numeric_limits<std::int32_t>::min());
    r.WriteInteger("max", std::numeric_limits<std::int32_t>::max());
    r.WriteString("", "default value");

    TRegistry again;
    ASSERT_TRUE(again.OpenKey("\\SOFTWARE\\test\\", false)); // names ignore case
    for (std::size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(again.ReadString("TEXT" + std::to_string(i)), texts[i]) << i;
    EXPECT_EQ(again.ReadInteger("min"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(again.ReadInteger("max"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(again.ReadString(""), "default value");
    EXPECT_EQ(again.GetDataType("max"), platform::TRegDataType::rdInteger);
    EXPECT_EQ(again.GetDataType("nothing"), platform::TRegDataType::rdUnknown);
}

TEST_F(Registry, KeysOpenRelativeToTheOpenKeyAndOnlyWhenAllowedToCreate) {
    TRegistry r;
    EXPECT_FALSE(r.OpenKey("\\Software\\Absent", false));
    ASSERT_TRUE(r.OpenKey("\\Software", true));
    ASSERT_TRUE(r.OpenKey("Vimbrel", true));
    EXPECT_EQ(r.CurrentPath(), "Software\\Vimbrel");
    r.WriteInteger("n", 5);
    r.CloseKey();
    EXPECT_TRUE(r.KeyExists("\\Software\\Vimbrel"));
    EXPECT_TRUE(r.DeleteValue("n") == false); // no key open: the root has no "n"
    ASSERT_TRUE(r.OpenKey("Software\\Vimbrel", false));
    EXPECT_TRUE(r.DeleteValue("n"));
    EXPECT_FALSE(r.ValueExists("n"));
    r.RootKey = platform::HKEY_LOCAL_MACHINE;
    EXPECT_FALSE(r.OpenKey("\\Software", false));
}

TEST_F(Registry, WritesLeaveNoTemporaryFilesAndADamagedLineCostsOnlyItself) {
    Settings([](TRegistry& r) {
        r.WriteInteger("ProxyEnable", 1);
        r.WriteString("ProxyServer", "p:1");
    });
    const std::string file = TRegistry::HiveFileName();
    std::string text = ReadAll(file);
    text.insert(text.find("\"ProxyServer\""), "\"Broken\"=dword:xyz\n");
    WriteAll(file, text);
    std::string proxy;
    EXPECT_TRUE(http.ReadIEProxySettings(proxy));
    EXPECT_EQ(proxy, "p:1");
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path() + "/vimbrel"))
        entries += e.path().filename() != "registry.lock";
    EXPECT_EQ(entries, 1);
}

TEST(Hive, ParsesWhatItFormats) {
    platform::Hive hive;
    hive.Set("A\\B", {"dw", true, 0xDEADBEEF, {}});
    hive.Set("A\\B", {"s", false, 0, "x\"y\\z\x01"});
    const std::string text = hive.Format();
    EXPECT_NE(text.find("\"dw\"=dword:deadbeef"), std::string::npos);
    const platform::Hive back = platform::Hive::Parse(text);
    ASSERT_NE(back.Find("a\\b", "DW"), nullptr);
    EXPECT_EQ(back.Find("a\\b", "DW")->dword, 0xDEADBEEFu);
    EXPECT_EQ(back.Find("A\\B", "s")->text, "x\"y\\z\x01");
    EXPECT_EQ(back.Format(), text);
}

} // namespace
