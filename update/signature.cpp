#include "signature.h"

#include <openssl/evp.h>

#include <memory>
#include <string>

namespace update {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

struct KeyFree
{
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
};
struct ContextFree
{
    void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
};

} // namespace

base::Result<PublicKey> parsePublicKey(std::string_view hex)
{
    PublicKey key{};
    if (hex.size() != 2 * key.size())
        return base::fail(base::FailureKind::InvalidInput,
                          "an update key has 64 hexadecimal digits, not " +
                              std::to_string(hex.size()));
    for (std::size_t i = 0; i < key.size(); ++i) {
        const int high = hexDigit(hex[2 * i]);
        const int low = hexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return base::fail(base::FailureKind::InvalidInput,
                              "an update key holds only hexadecimal digits");
        key[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return key;
}

base::Result<Signature> readSignature(std::string_view bytes, std::string_view name)
{
    Signature signature{};
    if (bytes.size() != signature.size())
        return base::fail(base::FailureKind::Damaged, std::string(name) + " holds " +
                                                          std::to_string(bytes.size()) +
                                                          " bytes, not the 64 of a signature");
    std::copy(bytes.begin(), bytes.end(), signature.begin());
    return signature;
}

bool signatureMatches(const PublicKey &key, std::string_view message, const Signature &signature)
{
    const std::unique_ptr<EVP_PKEY, KeyFree> publicKey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.data(), key.size()));
    const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    if (!publicKey || !context)
        return false;
    // Ed25519 hashes the message itself: no digest is named, and the message goes in whole.
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, publicKey.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), signature.data(), signature.size(),
                            reinterpret_cast<const unsigned char *>(message.data()),
                            message.size()) == 1;
}

} // namespace update
