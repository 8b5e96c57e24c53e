#pragma once
// The platform half of CryptoToolkit, implemented once per target
// (platform/win32/crypto_cryptoapi.cpp, platform/posix/crypto_openssl.cpp). Callers are
// CryptoToolkit's own sources: they have already checked the algorithm and the key.
#include <string>
#include <string_view>

#include "core/crypto/crypto.h"

namespace pv::crypto_backend {

// Plain digest of a hash algorithm CryptoToolkit supports; empty on failure.
std::string digest(std::string_view data, CryptoAlgorithm algorithm);

enum class Direction { Encrypt, Decrypt };

// One whole-message transform with final-block padding. `key` holds exactly the
// algorithm's key length. On failure returns empty and sets `error` to the step's prefix
// followed by "Err <code>:<message>"; on success leaves `error` alone.
std::string transform(Direction direction, std::string_view data, std::string_view key, std::string_view iv,
                      CipherMode mode, CryptoAlgorithm algorithm, std::string& error);

}  // namespace pv::crypto_backend
