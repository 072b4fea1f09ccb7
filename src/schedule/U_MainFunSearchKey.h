// Finding a search key's bytes in a station text, fast enough that a search
// over every station costs about what reading them does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

class TKeyFinder {
public:
    // key must outlive the finder. An empty key is never found.
    explicit TKeyFinder(std::string_view key);

    // Chooses the key's bytes to look for by how often they are in sample,
    // such as the first text searched; until then by what programme text
    // usually holds. The choice changes only the speed.
    void Adapt(std::string_view sample);
    bool Adapted() const { return adapted; }

    // The first occurrence of the key in text at or after from, or npos. Bytes
    // are compared as they are: an occurrence may start on the second byte of
    // a GBK character.
    std::size_t Find(std::string_view text, std::size_t from) const;

    std::string_view Key() const { return key; }

    // The 64 bytes at p, bit i standing for p[i]: where the key may start
    // (the two bytes it looks for are there; KeyAt tells) and where a line
    // ends (a CR or an LF). Reads up to p[62 + Key().size()]. Where the key is
    // in most lines, one window serves several of them.
    struct TWindow {
        std::uint64_t starts, breaks;
    };
    TWindow Window(const char* p) const;
    // Whether the key is at p, given that Window had p's bit in starts.
    bool KeyAt(const char* p) const;

private:
    template <class TCost> void Choose(TCost cost);

    std::string_view key;
    // Two positions of the key whose bytes are seldom in the text: a text
    // position is tested whole only where both of them are there.
    std::size_t rare1 = 0, rare2 = 0;
    bool adapted = false;
};
