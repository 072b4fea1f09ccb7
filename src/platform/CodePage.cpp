#include "platform/CodePage.h"

#include <QStringEncoder>
#include <QStringList>
#include <cstring>
#include <optional>

namespace platform {

GbkDecoder::GbkDecoder() : decoder("GBK", QStringConverter::Flag::Stateless) {}

QString GbkDecoder::operator()(std::string_view gbk) {
    return decoder.decode(QByteArrayView(gbk.data(), qsizetype(gbk.size())));
}

QString GbkToQString(std::string_view gbk) { return GbkDecoder()(gbk); }

std::string QStringToGbk(const QString& text, bool* ok) {
    // Opening the converter costs more than converting a name: keep one per
    // thread. Its error flag is sticky (and resetState() would close the
    // converter), so an encoder that met an error is replaced.
    thread_local std::optional<QStringEncoder> encoder;
    if (!encoder || encoder->hasError()) encoder.emplace("GBK", QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder->encode(text);
    if (ok) *ok = !encoder->hasError();
    return bytes.toStdString();
}

std::string GbkToUtf8(std::string_view gbk) { return GbkToQString(gbk).toStdString(); }

std::string OemToAnsi(std::string_view gbk) {
    // Plain ASCII needs no trip through the decoder.
    bool ascii = true;
    for (unsigned char c : gbk) ascii = ascii && c < 0x80;
    return ascii ? std::string(gbk) : GbkToUtf8(gbk);
}

std::string NativeToGbk(std::string_view native, bool* ok) {
    bool ascii = true;
    for (unsigned char c : native) ascii = ascii && c < 0x80;
    if (ascii) {
        if (ok) *ok = true;
        return std::string(native);
    }
    return QStringToGbk(QString::fromUtf8(native.data(), qsizetype(native.size())), ok);
}

// The UTF-8 of each second byte after one first byte; Size 0 where the pair
// is not one character of its own.
struct GbkToUtf8Table::TRow {
    struct TChar {
        char Bytes[3];
        std::uint8_t Size;
    };
    TChar Second[256];
};

GbkToUtf8Table::GbkToUtf8Table() {
    // Whether the decoder leaves ASCII as it is, as GBK does (0 ends no text
    // here, and a text holding one goes through the decoder).
    std::string ascii;
    for (int c = 1; c < 0x80; ++c)
        ascii += char(c);
    asciiAlone = GbkToUtf8(ascii) == ascii;
}

GbkToUtf8Table::~GbkToUtf8Table() = default;

// Decodes every pair of lead and a second byte at once, each pair followed by
// a line feed, which is never a second byte and so always decodes alone: the
// decoder's text, cut at its line feeds, gives each pair's characters.
const GbkToUtf8Table::TRow& GbkToUtf8Table::Row(unsigned char lead) {
    std::unique_ptr<TRow>& row = rows[lead];
    if (row) return *row;
    row = std::make_unique<TRow>();
    std::string pairs;
    for (int second = 0x40; second <= 0xFE; ++second)
        pairs += {char(lead), char(second), '\n'};
    const QStringList chars = GbkToQString(pairs).split(QLatin1Char('\n'));
    if (chars.size() != 0xFE - 0x40 + 2) return *row; // not one piece per pair: none by table
    for (int second = 0x40; second <= 0xFE; ++second) {
        const QString& c = chars[second - 0x40];
        if (c.size() != 1 || c[0] == QChar::ReplacementCharacter || c[0].isSurrogate()) continue;
        const QByteArray utf8 = c.toUtf8();
        TRow::TChar& entry = row->Second[second];
        std::memcpy(entry.Bytes, utf8.constData(), std::size_t(utf8.size()));
        entry.Size = std::uint8_t(utf8.size());
    }
    return *row;
}

// false, with out as it was, when gbk holds what the table does not know.
bool GbkToUtf8Table::AppendByTable(std::string_view gbk, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + 3 * gbk.size()); // 1 or 2 bytes of a character take 1 to 3 in UTF-8
    char* to = out.data() + start;
    std::size_t i = 0;
    while (i < gbk.size()) {
        const auto c = static_cast<unsigned char>(gbk[i]);
        if (c != 0 && c < 0x80 && asciiAlone) {
            *to++ = char(c);
            ++i;
        } else if (c >= 0x81 && c != 0xFF && i + 1 < gbk.size()) {
            const TRow::TChar& entry = Row(c).Second[static_cast<unsigned char>(gbk[i + 1])];
            if (entry.Size == 0) break;
            std::memcpy(to, entry.Bytes, sizeof entry.Bytes);
            to += entry.Size;
            i += 2;
        } else {
            break;
        }
    }
    out.resize(i == gbk.size() ? std::size_t(to - out.data()) : start);
    return i == gbk.size();
}

void GbkToUtf8Table::Append(std::string_view gbk, std::string& out) {
    if (!AppendByTable(gbk, out)) out += GbkToUtf8(gbk);
}

} // namespace platform
