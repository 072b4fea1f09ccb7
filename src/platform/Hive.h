// The registry hive file's contents: keys in file order, each with its typed
// values, read from and written to the regedit text format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct HiveValue {
    std::string name; // "" is the key's default value, written "@"
    bool isDword = false;
    std::uint32_t dword = 0;
    std::string text;
};

class Hive {
public:
    // Lines that are not understood are skipped; a damaged file loses only them.
    static Hive Parse(const std::string& text);
    std::string Format() const;
    // "\A\B\" -> "A\B": the form in which paths are kept and compared.
    static std::string NormalKey(const std::string& path);

    bool HasKey(const std::string& path) const;
    void AddKey(const std::string& path);
    const HiveValue* Find(const std::string& path, const std::string& name) const;
    // Creates the key when it is missing.
    void Set(const std::string& path, const HiveValue& value);
    bool Remove(const std::string& path, const std::string& name);

private:
    struct Key {
        std::string path;
        std::vector<HiveValue> values;
    };
    const Key* FindKey(const std::string& path) const;
    Key& KeyFor(const std::string& path);

    std::vector<Key> keys;
};

// The whole file, or empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Writes a temporary file beside path, flushes it to disk and renames it over
// path, so that a crash leaves either the old or the new file. mode: the new
// file's permission bits, less the umask. On false, errno tells why.
bool ReplaceFile(const std::string& path, const std::string& content, unsigned mode = 0600);

} // namespace platform
