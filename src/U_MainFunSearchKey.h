// Finding a search key's bytes in a station text, fast enough that a search
// over every station costs about what reading them does.
#pragma once

#include <cstddef>
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

private:
    template <class TCost> void Choose(TCost cost);

    std::string_view key;
    // Two positions of the key whose bytes are seldom in the text: a text
    // position is tested whole only where both of them are there.
    std::size_t rare1 = 0, rare2 = 0;
    bool adapted = false;
};
