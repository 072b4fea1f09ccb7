// Finding a search key in a station text: the one place of the search that
// has a kernel beside its plain version (U_MainFunSearchFind.cpp says what it
// buys).
#pragma once

#include <cstddef>
#include <string_view>

// A search key (not empty) and the two of its bytes that the wide way tests
// first: at first its first and last; after Adapt, the two that are rarest in
// a sample of the text searched, such as the first station's, where a time's
// digits are in every line and a word in a title in few.
class TKeyFinder {
public:
    TKeyFinder(std::string_view key); // implicit: a key is a finder of itself
    void Adapt(std::string_view sample);
    bool Adapted() const { return adapted; }
    std::string_view Key() const { return key; }

    // The first occurrence of the key in text at or after from, or npos.
    // Bytes are compared as they are: an occurrence may start on the second
    // byte of a GBK character.
    std::size_t Find(std::string_view text, std::size_t from) const;
    // The two ways Find takes, each giving the same, for tests and
    // benchmarks: memmem, and 32 positions at a time with AVX2 where
    // WideSupported() (platform/CpuFeatures, VIMBREL_CPU).
    std::size_t FindPlain(std::string_view text, std::size_t from) const;
    std::size_t FindWide(std::string_view text, std::size_t from) const;
    static bool WideSupported();

private:
    std::string_view key;
    std::size_t rare1 = 0, rare2 = 0; // positions in key
    bool adapted = false;
};
