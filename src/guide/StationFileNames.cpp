#include "guide/StationFileNames.h"

#include <QString>

#include "platform/AsciiCase.h"
#include "platform/CodePage.h"
#include "platform/ControlChars.h"

namespace guide {
namespace {

bool Forbidden(char32_t c) {
    return platform::IsControlChar(c) || c == '/' || c == '\\' || c == ':' || c == '*' ||
           c == '?' || c == '"' || c == '<' || c == '>' || c == '|';
}

// GBK bytes with each character that GBK cannot encode as "_".
std::string GbkOrUnderscore(const QString& text) {
    bool ok = true;
    std::string gbk = platform::QStringToGbk(text, &ok);
    if (ok) return gbk;
    gbk.clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A surrogate pair is one character.
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const std::string one = platform::QStringToGbk(text.mid(i, n), &ok);
        gbk += ok ? one : "_";
        i += n - 1;
    }
    return gbk;
}

// ASCII letters in lower case; the second byte of a GBK pair stays as it is,
// since it may look like a letter.
std::string FoldAsciiCase(std::string_view gbk) {
    std::string folded(gbk);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(folded[i]);
        if (c >= 0x81)
            ++i;
        else
            folded[i] = platform::AsciiLower(folded[i]);
    }
    return folded;
}

} // namespace

std::string SafeGbkName(std::string_view stationName) {
    QString safe = QString::fromUtf8(stationName.data(), qsizetype(stationName.size()));
    // The characters to replace are all ASCII: no surrogate is among them.
    for (QChar& c : safe)
        if (Forbidden(c.unicode())) c = u'_';
    // The only white space left is the space itself.
    qsizetype from = 0, to = safe.size();
    while (from < to && safe[from] == u' ')
        ++from;
    while (to > from && safe[to - 1] == u' ')
        --to;
    return from == to ? "_" : GbkOrUnderscore(safe.sliced(from, to - from));
}

std::string TStationFileNames::Add(std::string_view stationName) {
    const std::string base = SafeGbkName(stationName);
    std::string name = base;
    for (int n = 2; !taken.insert(FoldAsciiCase(name)).second; ++n)
        name = base + "(" + std::to_string(n) + ")";
    return name + ".txt";
}

} // namespace guide
