#pragma once

#include "update/signature.h"

#include <QByteArray>

#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

namespace testsupport {

// An Ed25519 key pair made for one test, signing as the maker's tools do: the raw 64 bytes over
// a file's exact bytes.
class TestSigner
{
public:
    TestSigner() : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), EVP_PKEY_free)
    {
        if (!m_key)
            throw std::runtime_error("no Ed25519 key could be made");
    }

    [[nodiscard]] update::PublicKey publicKey() const
    {
        update::PublicKey key{};
        std::size_t size = key.size();
        EVP_PKEY_get_raw_public_key(m_key.get(), key.data(), &size);
        return key;
    }

    [[nodiscard]] QByteArray sign(const QByteArray &message) const
    {
        const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                              EVP_MD_CTX_free);
        QByteArray signature(64, '\0');
        std::size_t size = 64;
        if (EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) != 1 ||
            EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()),
                           &size, reinterpret_cast<const unsigned char *>(message.constData()),
                           static_cast<std::size_t>(message.size())) != 1)
            throw std::runtime_error("signing failed");
        return signature;
    }

private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> m_key;
};

} // namespace testsupport
