// Whatever the update server hands over as the updater's signature file, checked against a
// fixed key and a fixed updater.
#include "fuzzcheck.h"

#include "update/signature.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const auto signature = update::readSignature(bytes, "UpdateVelmaro.exe.sig");
    // A signature is exactly 64 bytes; anything else is refused with a reason.
    fuzz::check(signature.ok() == (size == 64));
    if (!signature) {
        fuzz::check(!signature.error().empty());
        return 0;
    }
    // The public key of the private key 32 zero bytes: no input of a fuzzer may forge its
    // signature over this text (the real one is not among the corpus).
    const auto key =
        update::parsePublicKey("3b6a27bcceb6a42d62a3a8d02a6f0d73653215771de243a63ac048a18b59da29");
    fuzz::check(key.ok());
    fuzz::check(!update::signatureMatches(*key, "#!/bin/sh\n", *signature));
    return 0;
}
