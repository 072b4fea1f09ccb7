// Why a guide could not be packed. what() is the English line the tools
// print; the cause and its details let a dialog say the same in its own words.
#pragma once

#include <QDate>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace guide {

class EGuideError : public std::runtime_error {
public:
    enum TCause {
        ceEmpty,       // no byte at all
        ceXml,         // not well-formed XML (line, column, detail)
        ceGzipDamaged, // the gzip data cannot be inflated
        ceGzipCut,     // the gzip stream ends early
        ceTooLarge,    // more than MaxGuideBytes of XML
        ceBomb,        // gzip that unpacks far beyond any guide's ratio
        ceLongText,    // a title or name longer than MaxTextBytes (line)
        ceTooMany,     // more programmes in the window than a schedule holds
        ceNoProgramme, // nothing in the window (lastDay: the guide's last day, if any)
    };

    EGuideError(TCause cause, const std::string& message)
        : std::runtime_error(message), cause(cause) {}

    TCause cause;
    int line = 0, column = 0;
    std::string detail; // the XML parser's own words
    QDate lastDay;      // invalid when the guide has no programme at all
};

// Bounds that keep a hostile or mistaken source from taking the machine's
// memory or time: real guides of 1,500 channels hold about 40 MB of XML.
inline constexpr long long MaxGuideBytes = 1LL << 30;
// The programmes kept for the window: a real week of 1,500 channels holds
// about 6 MB of them; their station texts take as much again.
inline constexpr long long MaxWindowBytes = 64LL << 20;
inline constexpr std::size_t MaxTextBytes = 64 * 1024;
// XML guides deflate 5 to 20 times; past 64 MB, 200 times is no guide.
inline constexpr long long BombCheckBytes = 64LL << 20;
inline constexpr int MaxGzipRatio = 200;

} // namespace guide
