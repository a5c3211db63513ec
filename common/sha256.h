// A self-contained SHA-256 (FIPS 180-4), enough for salted password hashes and the
// configuration stamp.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kw {

std::array<uint8_t, 32> Sha256(std::string_view data);
// Lower-case hexadecimal of the digest.
std::string Sha256Hex(std::string_view data);

}  // namespace kw
