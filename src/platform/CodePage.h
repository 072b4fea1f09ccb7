// Code page conversions, one place each. The program's data is GBK (code page
// 936, the "OEM" code page); the "ANSI" code page is the native narrow encoding
// (UTF-8 on Linux). GBK data stays bytes until it is shown.
#pragma once

#include <QString>
#include <QStringDecoder>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// Stored ZIP names: GBK to native. A GBK pair whose second byte is 0x5C stays
// one character. Bytes that are not GBK become U+FFFD.
std::string OemToAnsi(std::string_view gbk);
// Native names (from the file system) to GBK. Characters GBK cannot encode
// become "?"; ok (when given) tells whether every character was encoded.
std::string NativeToGbk(std::string_view native, bool* ok = nullptr);
// GBK bytes to text for the screen.
QString GbkToQString(std::string_view gbk);
// Screen text to GBK; ok is false when a character cannot be encoded.
std::string QStringToGbk(const QString& text, bool* ok = nullptr);
// GBK bytes to UTF-8 (for command-line output).
std::string GbkToUtf8(std::string_view gbk);

// One decoder reused across the lines of a document: a new one per line costs
// several times more.
class GbkDecoder {
public:
    GbkDecoder();
    QString operator()(std::string_view gbk);

private:
    QStringDecoder decoder;
};

// GBK bytes to UTF-8 exactly as GbkToUtf8 gives them, for many short texts
// (command-line output), at a fraction of the cost: a two-byte character is
// looked up in a table taken from the decoder itself, a row of second bytes
// at a time, the first time a text holds its first byte. A text holding
// anything the decoder does not turn into one character of its own (a cut
// character, a byte that is no GBK) goes through the decoder whole.
class GbkToUtf8Table {
public:
    GbkToUtf8Table();
    ~GbkToUtf8Table();
    GbkToUtf8Table(const GbkToUtf8Table&) = delete;
    GbkToUtf8Table& operator=(const GbkToUtf8Table&) = delete;

    // Appends the UTF-8 of gbk to out.
    void Append(std::string_view gbk, std::string& out);
    // The same where the table knows every character of gbk; false, with out
    // as it was, where it does not.
    bool AppendByTable(std::string_view gbk, std::string& out);

private:
    struct TRow;
    const TRow& Row(unsigned char lead);

    bool asciiAlone = false; // bytes below 0x80 decode to themselves
    std::unique_ptr<TRow> rows[256];
    GbkDecoder decode;
};

} // namespace platform
