#include "archive/ShannonFanoTree.h"

#include <algorithm>
#include <numeric>

namespace archive {

TShannonFanoTree::TShannonFanoTree(int symbols)
    : symbols(symbols), capacity(std::size_t(2 * symbols - 1)) {
    nodes.reserve(capacity);
}

// A byte holding the count of description bytes less one, then per byte a
// repeat count less one (high nibble) and a bit length less one (low nibble)
// for that many consecutive symbols.
TDecodeResult TShannonFanoTree::Read(TBitInput& input) {
    int count = input.Bits(8);
    if (count == TBitInput::EndMark) return TDecodeResult::DataError;
    std::vector<std::uint8_t> lengths;
    lengths.reserve(std::size_t(symbols));
    for (int i = 0; i <= count; ++i) {
        int byte = input.Bits(8);
        if (byte == TBitInput::EndMark) return TDecodeResult::DataError;
        int repeat = (byte >> 4) + 1;
        if (int(lengths.size()) + repeat > symbols)
            return TDecodeResult::TreeBuild; // too many symbols
        lengths.insert(lengths.end(), std::size_t(repeat), std::uint8_t((byte & 0x0F) + 1));
    }
    if (int(lengths.size()) != symbols) return TDecodeResult::TreeBuild; // too few symbols
    return Build(lengths);
}

// Codes by the APPNOTE rule: symbols sorted by bit length, then by value; from
// the last (longest) to the first, the code grows by 2^(16 - length) of the
// current length, left-aligned in 16 bits.
TDecodeResult TShannonFanoTree::Build(const std::vector<std::uint8_t>& lengths) {
    std::vector<int> order(lengths.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return lengths[std::size_t(a)] < lengths[std::size_t(b)];
    });
    nodes.assign(1, TNode{{0, 0}, -1});
    std::uint16_t code = 0;
    std::uint16_t increment = 0;
    int lastLength = 0;
    for (int i = int(order.size()) - 1; i >= 0; --i) {
        int symbol = order[std::size_t(i)];
        int length = lengths[std::size_t(symbol)];
        code = std::uint16_t(code + increment); // wraps for over-subscribed lengths: a collision
        if (length != lastLength) {
            lastLength = length;
            increment = std::uint16_t(1u << (16 - length));
        }
        TDecodeResult result = Insert(code, length, symbol);
        if (result != TDecodeResult::Ok) return result;
    }
    return TDecodeResult::Ok;
}

TDecodeResult TShannonFanoTree::Insert(std::uint16_t code, int length, int symbol) {
    std::size_t node = 0;
    for (int level = 0; level < length; ++level) {
        int bit = (code >> (15 - level)) & 1;
        if (nodes[node].symbol >= 0) return TDecodeResult::TreeDecode; // a shorter code is a prefix
        std::uint16_t next = nodes[node].child[bit];
        bool last = level == length - 1;
        if (last && next != 0) return TDecodeResult::TreeDecode; // the slot is already taken
        if (next == 0) {
            if (nodes.size() == capacity) return TDecodeResult::TreeBuild; // past capacity
            next = std::uint16_t(nodes.size());
            nodes.push_back(TNode{{0, 0}, std::int16_t(last ? symbol : -1)});
            nodes[node].child[bit] = next;
        }
        node = next;
    }
    return TDecodeResult::Ok;
}

int TShannonFanoTree::Decode(TBitInput& input, TDecodeResult& error) const {
    std::size_t node = 0;
    while (nodes[node].symbol < 0) {
        int bit = input.Bits(1);
        if (bit == TBitInput::EndMark) return TBitInput::EndMark;
        node = nodes[node].child[bit];
        if (node == 0) { // a branch no code leads to
            error = TDecodeResult::TreeDecode;
            return TBitInput::EndMark;
        }
    }
    return nodes[node].symbol;
}

} // namespace archive
