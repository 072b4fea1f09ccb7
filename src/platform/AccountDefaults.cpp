#include "platform/AccountDefaults.h"

#include <cstdlib>
#include <string_view>

#include "platform/AsciiCase.h"
#include "platform/ControlChars.h"
#include "platform/Registry.h"

namespace platform {
namespace {

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The variable as curl reads it first, the upper-case one as other programs do.
std::string_view DesktopProxyVariable() {
    for (const char* name : {"http_proxy", "HTTP_PROXY"})
        if (const char* value = std::getenv(name); value && *value) return value;
    return {};
}

} // namespace

std::string DesktopProxyServer() {
    std::string_view url = DesktopProxyVariable();
    if (HoldsControlChar(url)) return {};
    std::string scheme = "http";
    if (const std::size_t sep = url.find("://"); sep != std::string_view::npos) {
        scheme = AsciiLower(url.substr(0, sep));
        url.remove_prefix(sep + 3);
    }
    if (scheme != "http" && scheme != "https") return {}; // no HTTP proxy
    url = url.substr(0, url.find_first_of("/?#"));
    if (const std::size_t at = url.rfind('@'); at != std::string_view::npos)
        url.remove_prefix(at + 1);
    // An IPv6 address keeps its brackets and the colons inside them.
    const std::size_t colon = url.find(':', url.starts_with('[') ? url.find(']') : 0);
    const std::string_view host = url.substr(0, colon);
    std::string_view port = colon == std::string_view::npos ? "" : url.substr(colon + 1);
    if (port.empty()) port = scheme == "https" ? "443" : "1080";
    if (host.empty() || !AllDigits(port)) return {};
    return std::string(host) + ":" + std::string(port);
}

void AddAccountDefaults(Hive& hive) {
    const std::string key = Hive::NormalKey(InternetSettingsKey);
    const std::string proxy = DesktopProxyServer();
    if (!hive.Find(key, "ProxyEnable"))
        hive.Set(key, {"ProxyEnable", true, proxy.empty() ? 0u : 1u, {}});
    if (!proxy.empty() && !hive.Find(key, "ProxyServer"))
        hive.Set(key, {"ProxyServer", false, 0, proxy});
}

} // namespace platform
