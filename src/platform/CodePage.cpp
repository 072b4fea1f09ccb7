// GbkToUtf8Table is a second way from GBK to UTF-8 beside the decoder, kept
// for what it buys: vimbrel-cli search 新闻 (270,000 rows, UTF-8 output) on the
// 56 MB schedule of bench/search_cli_bench.sh takes 52 to 56 ms of CPU with it,
// a record at a time, and 88 ms with the decoder over each whole 64 KB output
// block (1.6x; the same search with --gbk output takes 43 ms; best of 15,
// perf stat), which besides reads a character cut at a field's end otherwise
// than the field alone. The tests compare the table with the decoder.
#include "platform/CodePage.h"

#include <QStringEncoder>
#include <cstring>
#include <optional>

namespace platform {

GbkDecoder::GbkDecoder() : decoder("GBK", QStringConverter::Flag::Stateless) {}

QString GbkDecoder::operator()(std::string_view gbk) {
    return decoder.decode(QByteArrayView(gbk.data(), qsizetype(gbk.size())));
}

QString GbkToQString(std::string_view gbk) {
    return GbkDecoder()(gbk);
}

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

std::string GbkToUtf8(std::string_view gbk) {
    return GbkToQString(gbk).toStdString();
}

std::string OemToAnsi(std::string_view gbk) {
    // Plain ASCII needs no trip through the decoder.
    bool ascii = true;
    for (unsigned char c : gbk)
        ascii = ascii && c < 0x80;
    return ascii ? std::string(gbk) : GbkToUtf8(gbk);
}

std::string NativeToGbk(std::string_view native, bool* ok) {
    bool ascii = true;
    for (unsigned char c : native)
        ascii = ascii && c < 0x80;
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
    asciiAlone = decode(ascii).toStdString() == ascii;
}

GbkToUtf8Table::~GbkToUtf8Table() = default;

namespace {

// UTF-8 of one UTF-16 unit that is no surrogate.
void PutUtf8(char16_t unit, char* to, std::uint8_t& size) {
    if (unit < 0x80) {
        to[0] = char(unit);
        size = 1;
    } else if (unit < 0x800) {
        to[0] = char(0xC0 | unit >> 6);
        to[1] = char(0x80 | (unit & 0x3F));
        size = 2;
    } else {
        to[0] = char(0xE0 | unit >> 12);
        to[1] = char(0x80 | (unit >> 6 & 0x3F));
        to[2] = char(0x80 | (unit & 0x3F));
        size = 3;
    }
}

} // namespace

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
    const QString text = decode(pairs);
    if (text.count(QLatin1Char('\n')) != 0xFE - 0x40 + 1) return *row; // none by table then
    int second = 0x40;
    for (qsizetype at = 0; at < text.size(); ++second) {
        const qsizetype end = text.indexOf(QLatin1Char('\n'), at);
        const char16_t unit = text[at].unicode();
        // One character of its own, and no stand-in for bytes it could not take.
        if (end == at + 1 && unit != QChar::ReplacementCharacter && !QChar::isSurrogate(unit))
            PutUtf8(unit, row->Second[second].Bytes, row->Second[second].Size);
        at = end + 1;
    }
    return *row;
}

// false, with out as it was, when gbk holds what the table does not know.
bool GbkToUtf8Table::AppendByTable(std::string_view gbk, std::string& out) {
    if (!asciiAlone) return false;
    const std::size_t start = out.size();
    out.resize(start + 3 * gbk.size()); // 1 or 2 bytes of a character take 1 to 3 in UTF-8
    char* to = out.data() + start;
    const auto* from = reinterpret_cast<const unsigned char*>(gbk.data());
    const auto* const end = from + gbk.size();
    while (from < end) {
        const unsigned char c = *from;
        if (c != 0 && c < 0x80) {
            *to++ = char(c);
            ++from;
            continue;
        }
        if (c < 0x81 || c == 0xFF || end - from < 2) break;
        const TRow* row = rows[c].get();
        const TRow::TChar& entry = (row ? *row : Row(c)).Second[from[1]];
        if (entry.Size == 0) break;
        std::memcpy(to, entry.Bytes, sizeof entry.Bytes);
        to += entry.Size;
        from += 2;
    }
    const bool whole = from == end;
    out.resize(whole ? std::size_t(to - out.data()) : start);
    return whole;
}

void GbkToUtf8Table::Append(std::string_view gbk, std::string& out) {
    if (!AppendByTable(gbk, out)) out += GbkToUtf8(gbk);
}

} // namespace platform
