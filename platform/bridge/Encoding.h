#pragma once
// Encoding service: a reversible text encoding for stored lists, and sealing of a
// text with a 16-character key (AES-128-GCM, authenticated).
// Lives on: any thread; stateless.

#include <string>

namespace bg {

class Encoding {
public:
    // Base64 of the UTF-8 bytes.
    static std::string encode(const std::string &text);
    // Inverse of encode(); false (and `out` empty) for text that is not valid Base64.
    static bool decode(const std::string &text, std::string &out);

    // Seals `text` with a key of exactly 16 bytes: Base64 of nonce | ciphertext | tag.
    // Returns an empty string for a key of another length or a cipher failure.
    static std::string seal(const std::string &text, const std::string &key16);
    // Opens a sealed text; false when the key is wrong or the text was altered.
    static bool unseal(const std::string &sealed, const std::string &key16, std::string &out);
};

} // namespace bg
