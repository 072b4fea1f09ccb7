#include "archive/ZipCrypto.h"

#include "archive/Crc32.h"

#include <algorithm>

namespace archive {

void TZipCrypto::Reset() {
    keys[0] = 0x12345678;
    keys[1] = 0x23456789;
    keys[2] = 0x34567890;
}

void TZipCrypto::UpdateKeys(std::uint8_t byte) {
    keys[0] = Crc32Byte(keys[0], byte);
    keys[1] = (keys[1] + (keys[0] & 0xFF)) * 134775813u + 1;
    keys[2] = Crc32Byte(keys[2], std::uint8_t(keys[1] >> 24));
}

// Unsigned 32-bit arithmetic: the 16-bit product promoted to int would overflow.
std::uint8_t TZipCrypto::StreamByte() const {
    std::uint32_t temp = (keys[2] | 2) & 0xFFFF;
    return std::uint8_t((temp * (temp ^ 1)) >> 8);
}

void TZipCrypto::InitKeys(std::string_view password) {
    Reset();
    for (unsigned char c : password)
        UpdateKeys(c);
}

void TZipCrypto::Decrypt(std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        data[i] ^= StreamByte();
        UpdateKeys(data[i]);
    }
}

bool TZipCrypto::CheckPassword(std::string_view password,
                               const std::uint8_t header[EncryptionHeaderSize],
                               std::uint8_t checkByte) {
    if (password.empty()) return false;
    InitKeys(password);
    std::uint8_t copy[EncryptionHeaderSize];
    std::copy_n(header, EncryptionHeaderSize, copy);
    Decrypt(copy, EncryptionHeaderSize);
    return copy[EncryptionHeaderSize - 1] == checkByte;
}

} // namespace archive
