#include "platform/CodePage.h"

#include <QStringEncoder>
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

} // namespace platform
