#include "platform/Hive.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/AsciiCase.h"

namespace platform {
namespace {

// Quoted text: backslash and quote escaped, control bytes as \xHH, other
// bytes (GBK included) as they are.
std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = AsciiLower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Reads a quoted text at line[pos]; pos ends after the closing quote.
bool Unquote(const std::string& line, std::size_t& pos, std::string& out) {
    if (pos >= line.size() || line[pos] != '"') return false;
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') return ++pos, true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++pos >= line.size()) return false;
        if (line[pos] != 'x') {
            out += line[pos];
            continue;
        }
        if (pos + 2 >= line.size()) return false;
        const int hi = HexDigit(line[pos + 1]), lo = HexDigit(line[pos + 2]);
        if (hi < 0 || lo < 0) return false;
        out += char(hi * 16 + lo);
        pos += 2;
    }
    return false;
}

// "name"=dword:0000002a, "name"="text", @="text".
bool ParseValue(const std::string& line, HiveValue& v) {
    std::size_t pos = 0;
    if (line[0] == '@') {
        v.name.clear();
        pos = 1;
    } else if (!Unquote(line, pos, v.name)) {
        return false;
    }
    if (pos >= line.size() || line[pos++] != '=') return false;
    if (line.compare(pos, 6, "dword:") == 0) {
        const std::string digits = line.substr(pos + 6);
        if (digits.size() != 8) return false;
        v.isDword = true;
        v.dword = 0;
        for (char c : digits) {
            if (HexDigit(c) < 0) return false;
            v.dword = v.dword * 16 + std::uint32_t(HexDigit(c));
        }
        return true;
    }
    v.isDword = false;
    return Unquote(line, pos, v.text) && pos == line.size();
}

} // namespace

std::string Hive::NormalKey(const std::string& path) {
    std::size_t from = path.find_first_not_of('\\');
    if (from == std::string::npos) return {};
    return path.substr(from, path.find_last_not_of('\\') - from + 1);
}

Hive Hive::Parse(const std::string& text) {
    Hive hive;
    Key* key = nullptr;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t to = text.find('\n', from);
        if (to == std::string::npos) to = text.size();
        std::string line = text.substr(from, to - from);
        from = to + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[' && line.back() == ']') {
            key = &hive.KeyFor(NormalKey(line.substr(1, line.size() - 2)));
            continue;
        }
        HiveValue v;
        if (key && ParseValue(line, v)) {
            const std::string path = key->path;
            hive.Set(path, v);
            key = &hive.KeyFor(path); // Set may have moved the keys
        }
    }
    return hive;
}

std::string Hive::Format() const {
    std::string out = "; Vimbrel: the current user's registry values\n";
    for (const Key& k : keys) {
        out.append("\n[").append(k.path).append("]\n");
        for (const HiveValue& v : k.values) {
            out += v.name.empty() ? "@" : Quote(v.name);
            if (v.isDword) {
                char hex[24];
                std::snprintf(hex, sizeof hex, "=dword:%08x\n", v.dword);
                out += hex;
            } else {
                out.append("=").append(Quote(v.text)).append("\n");
            }
        }
    }
    return out;
}

const Hive::Key* Hive::FindKey(const std::string& path) const {
    for (const Key& k : keys)
        if (SameTextAscii(k.path, path)) return &k;
    return nullptr;
}

Hive::Key& Hive::KeyFor(const std::string& path) {
    if (const Key* k = FindKey(path)) return const_cast<Key&>(*k);
    keys.push_back(Key{path, {}});
    return keys.back();
}

bool Hive::HasKey(const std::string& path) const {
    return path.empty() || FindKey(path);
}

void Hive::AddKey(const std::string& path) {
    KeyFor(path);
}

const HiveValue* Hive::Find(const std::string& path, const std::string& name) const {
    const Key* k = FindKey(path);
    if (!k) return nullptr;
    for (const HiveValue& v : k->values)
        if (SameTextAscii(v.name, name)) return &v;
    return nullptr;
}

void Hive::Set(const std::string& path, const HiveValue& value) {
    Key& k = KeyFor(path);
    for (HiveValue& v : k.values)
        if (SameTextAscii(v.name, value.name)) return void(v = value);
    k.values.push_back(value);
}

bool Hive::Remove(const std::string& path, const std::string& name) {
    const Key* found = FindKey(path);
    if (!found) return false;
    auto& values = const_cast<Key*>(found)->values;
    for (auto it = values.begin(); it != values.end(); ++it)
        if (SameTextAscii(it->name, name)) return values.erase(it), true;
    return false;
}

std::string ReadWholeFile(const std::string& path) {
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char chunk[4096];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) > 0)
        text.append(chunk, std::size_t(n));
    close(fd);
    return text;
}

bool ReplaceFile(const std::string& path, const std::string& content, unsigned mode) {
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    errno = 0;
    // mkstemp makes the file private; a file meant for others needs its mode.
    bool written = true;
    if (mode != 0600) {
        const mode_t mask = umask(0);
        umask(mask);
        written = fchmod(fd, mode & ~mask) == 0;
    }
    std::size_t done = 0;
    while (written && done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += std::size_t(n);
    }
    written = written && done == content.size() && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(temp.c_str(), path.c_str()) != 0) {
        const int reason = errno ? errno : EIO;
        unlink(temp.c_str());
        errno = reason;
        return false;
    }
    return true;
}

} // namespace platform
