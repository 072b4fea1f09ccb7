// Finding a search key in a station text: the one place of the search that
// has a kernel beside its plain version (U_MainFunSearchFind.cpp says what it
// buys).
#pragma once

#include <cstddef>
#include <string_view>

// The first occurrence of key (not empty) in text at or after from, or npos.
// Bytes are compared as they are: an occurrence may start on the second byte
// of a GBK character.
std::size_t FindKey(std::string_view text, std::string_view key, std::size_t from);

// The two ways FindKey takes, each giving the same, for tests and
// benchmarks: memmem, and 32 positions at a time with AVX2 where
// FindKeyWideSupported() (platform/CpuFeatures, VIMBREL_CPU).
std::size_t FindKeyPlain(std::string_view text, std::string_view key, std::size_t from);
bool FindKeyWideSupported();
std::size_t FindKeyWide(std::string_view text, std::string_view key, std::size_t from);
