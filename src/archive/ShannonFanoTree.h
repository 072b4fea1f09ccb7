// A Shannon-Fano decode tree of the implode format: a binary tree walked one
// stream bit per level, the code's most significant bit at the root.
#pragma once

#include "archive/BitInput.h"
#include "archive/Decoders.h"

#include <cstdint>
#include <vector>

namespace archive {

class TShannonFanoTree {
public:
    // symbols: 256 for the literal tree, 64 for the length and distance trees.
    explicit TShannonFanoTree(int symbols);

    // Reads the tree's description from the input and builds it.
    // TreeBuild: the description is malformed or does not fit the tree's
    // capacity; TreeDecode: two codes collide; DataError: the input ended.
    TDecodeResult Read(TBitInput& input);

    // Builds the tree from one bit length (1..16) per symbol.
    TDecodeResult Build(const std::vector<std::uint8_t>& lengths);

    // The next symbol; EndMark when the input ends; TreeDecode in error when the
    // walk reaches a branch no code leads to.
    int Decode(TBitInput& input, TDecodeResult& error) const;

private:
    TDecodeResult Insert(std::uint16_t code, int length, int symbol);

    struct TNode {
        std::uint16_t child[2]; // 0: no branch (the root is never a child)
        std::int16_t symbol;    // -1: inner node
    };
    int symbols;
    std::size_t capacity; // the 2N-1 nodes of a complete tree of N leaves
    std::vector<TNode> nodes;
};

} // namespace archive
