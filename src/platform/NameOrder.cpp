#include "platform/NameOrder.h"

#include <QChar>
#include <QString>

namespace platform {

std::u16string NameOrderKey(std::string_view name) {
    const QString text = QString::fromUtf8(name.data(), qsizetype(name.size()));
    std::u16string key(std::size_t(text.size()), u'\0');
    // Code unit by code unit, as the file system's table does: a surrogate
    // stays as it is, and no character becomes two.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i].unicode();
        const char32_t upper = QChar::toUpper(unit);
        key[std::size_t(i)] = char16_t(upper <= 0xFFFF ? upper : unit);
    }
    return key;
}

} // namespace platform
