#include "Encoding.h"

#include <QByteArray>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <memory>

namespace bg {

namespace {

constexpr int kKeyLen = 16;
constexpr int kNonceLen = 12;
constexpr int kTagLen = 16;

using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

} // namespace

std::string Encoding::encode(const std::string &text)
{
    return QByteArray::fromStdString(text).toBase64().toStdString();
}

bool Encoding::decode(const std::string &text, std::string &out)
{
    out.clear();
    const auto result = QByteArray::fromBase64Encoding(QByteArray::fromStdString(text),
                                                       QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return false;
    out = result.decoded.toStdString();
    return true;
}

std::string Encoding::seal(const std::string &text, const std::string &key16)
{
    if (key16.size() != kKeyLen)
        return std::string();
    std::string buf(kNonceLen + text.size() + kTagLen, '\0');
    auto *bytes = reinterpret_cast<unsigned char *>(&buf[0]);
    if (RAND_bytes(bytes, kNonceLen) != 1)
        return std::string();

    CipherCtx ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int len = 0;
    int total = 0;
    const auto *key = reinterpret_cast<const unsigned char *>(key16.data());
    if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_gcm(), nullptr, key, bytes) != 1 ||
        EVP_EncryptUpdate(ctx.get(), bytes + kNonceLen, &len,
                          reinterpret_cast<const unsigned char *>(text.data()),
                          int(text.size())) != 1)
        return std::string();
    total = len;
    if (EVP_EncryptFinal_ex(ctx.get(), bytes + kNonceLen + total, &len) != 1)
        return std::string();
    total += len;
    if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagLen, bytes + kNonceLen + total) !=
        1)
        return std::string();
    return encode(buf);
}

bool Encoding::unseal(const std::string &sealed, const std::string &key16, std::string &out)
{
    out.clear();
    std::string buf;
    if (key16.size() != kKeyLen || !decode(sealed, buf) || buf.size() < kNonceLen + kTagLen)
        return false;
    auto *bytes = reinterpret_cast<unsigned char *>(&buf[0]);
    const int cipherLen = int(buf.size()) - kNonceLen - kTagLen;
    std::string plain(size_t(cipherLen), '\0');
    auto *plainBytes = reinterpret_cast<unsigned char *>(&plain[0]);

    CipherCtx ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int len = 0;
    const auto *key = reinterpret_cast<const unsigned char *>(key16.data());
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_128_gcm(), nullptr, key, bytes) != 1 ||
        EVP_DecryptUpdate(ctx.get(), plainBytes, &len, bytes + kNonceLen, cipherLen) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagLen,
                            bytes + kNonceLen + cipherLen) != 1)
        return false;
    int finalLen = 0;
    if (EVP_DecryptFinal_ex(ctx.get(), plainBytes + len, &finalLen) != 1)
        return false;
    plain.resize(size_t(len + finalLen));
    out = std::move(plain);
    return true;
}

} // namespace bg
