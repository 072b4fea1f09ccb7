// Traditional PKWARE encryption (APPNOTE "Traditional PKWARE Encryption"):
// three 32-bit keys driven by the password and then by each decrypted byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace archive {

// The header in front of an encrypted entry's data, which the password check
// reads: it is not part of the entry's compressed data.
inline constexpr std::size_t EncryptionHeaderSize = 12;

class TZipCrypto {
public:
    TZipCrypto() { Reset(); }
    void Reset(); // keys to 0x12345678, 0x23456789, 0x34567890
    void InitKeys(std::string_view password);
    void Decrypt(std::uint8_t* data, std::size_t size);
    // Whether password opens an entry whose 12-byte encryption header is
    // header: the last decrypted byte must equal checkByte (the high byte of
    // the DOS time with flag bit 3, else of the CRC-32). An empty password
    // never verifies. On success the keys stand after the header.
    bool CheckPassword(std::string_view password, const std::uint8_t header[EncryptionHeaderSize],
                       std::uint8_t checkByte);

private:
    void UpdateKeys(std::uint8_t byte);
    std::uint8_t StreamByte() const;
    std::uint32_t keys[3];
};

} // namespace archive
