// Finding a search key's bytes in a station text, fast enough that a search
// over every station costs about what reading them does.
#pragma once

#include <cstddef>
#include <string_view>

class TKeyFinder {
public:
    // key must not be empty, and must outlive the finder.
    explicit TKeyFinder(std::string_view key);

    // The first occurrence of the key in text at or after from, or npos. Bytes
    // are compared as they are: an occurrence may start on the second byte of
    // a GBK character.
    std::size_t Find(std::string_view text, std::size_t from) const;

    std::string_view Key() const { return key; }

private:
    std::string_view key;
    // Two positions of the key whose bytes are seldom in programme text: a
    // text position is tested whole only where both of them are there.
    std::size_t rare1 = 0, rare2 = 0;
};
