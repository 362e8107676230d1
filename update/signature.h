#pragma once

#include "base/result.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace update {

// The maker's Ed25519 public key, raw: 32 bytes.
using PublicKey = std::array<std::uint8_t, 32>;
// An Ed25519 signature, raw: 64 bytes, as `openssl pkeyutl -sign -rawin` writes it.
using Signature = std::array<std::uint8_t, 64>;

// The key from its 64 hexadecimal digits (either case), as the build setting holds it.
base::Result<PublicKey> parsePublicKey(std::string_view hex);

// The signature file's content: exactly the 64 bytes of one signature, nothing around them.
// `name` is the file's name, for the message.
base::Result<Signature> readSignature(std::string_view bytes, std::string_view name);

// True when `signature` was made with the private half of `key` over exactly `message`.
bool signatureMatches(const PublicKey &key, std::string_view message, const Signature &signature);

} // namespace update
