// URL splitting and Content-Length parsing, one line per case.
#include <gtest/gtest.h>

#include "http/U_HttpGet.h"

namespace {

TEST(SplitUrl, CutsAtTheFirstSlash) {
    struct Case {
        const char* url;
        const char* host;
        const char* objectPath;
    } cases[] = {
        {"srv/download/a.zip", "srv", "/download/a.zip"},
        {"http://srv/download/a.zip", "srv", "/download/a.zip"},
        {"HTTP://srv/x", "srv", "/x"},
        {"hTtP://srv/x", "srv", "/x"},
        {"srv/", "srv", "/"},
        {"/a", "", "/a"},
        {"srv", "", "srv"},
        {"http://srv", "", "srv"},
        {"", "", ""},
        {"http://", "", ""},
        {"http:/", "http:", "/"},
        {"srv:8080/x", "srv:8080", "/x"}, // the port stays in the host
        {"srv/a?u=http://b/c", "srv", "/a?u=http://b/c"},
        {"x?u=http://srv/a", "x?u=http:", "//srv/a"}, // "http://" later on is kept
        {"https://srv/a", "https:", "//srv/a"},
        {"http://http://srv/a", "http:", "//srv/a"}, // removed once only
        {"srv//a", "srv", "//a"},
    };
    for (const Case& c : cases) {
        std::string host = "stale", path = "stale";
        SplitUrl(c.url, host, path);
        EXPECT_EQ(host, c.host) << c.url;
        EXPECT_EQ(path, c.objectPath) << c.url;
    }
}

TEST(ParseContentLength, TakesOnlyDecimal32BitNumbers) {
    struct Case {
        const char* text;
        bool ok;
        std::int32_t value;
    } cases[] = {
        {"0", true, 0},           {"5000", true, 5000},
        {"007", true, 7},         {"2147483647", true, 2147483647},
        {"2147483648", false, 0}, {"99999999999999999999", false, 0},
        {"", false, 0},           {"-1", false, 0},
        {"+5", false, 0},         {" 5", false, 0},
        {"5 ", false, 0},         {"0x10", false, 0},
        {"$10", false, 0},        {"12abc", false, 0},
        {"1e3", false, 0},        {"1.0", false, 0},
    };
    for (const Case& c : cases) {
        std::int32_t value = -99;
        EXPECT_EQ(ParseContentLength(c.text, value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : -99) << c.text;
    }
}

} // namespace
