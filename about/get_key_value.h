// GetKeyValue: reads one registry value as text.
#pragma once

#include <cstddef>
#include <string>

#include "about/registry.h"

namespace vagliante {

// The value is read into a buffer of this many bytes; a longer one counts as
// missing.
inline constexpr std::size_t kValueBufferSize = 1024;

// Reads the value `SubKeyRef` of the key `KeyName` under `KeyRoot` into
// `KeyVal` and tells whether it was read:
//  - a string gives its text, less one final NUL;
//  - a 32-bit number gives "&h", what `KeyVal` held, then its bytes as
//    hexadecimal digits, most significant first (a last NUL byte dropped);
//  - any other type leaves `KeyVal` as it was and gives true.
// A key that cannot be opened or a value that cannot be read gives false
// with `KeyVal` emptied. A value of zero bytes throws RunError. The key is
// closed on every path.
bool GetKeyValue(Registry& registry, RegKey KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

// The same over this platform's registry.
inline bool GetKeyValue(RegKey KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                        std::string& KeyVal) {
    return GetKeyValue(SystemRegistry(), KeyRoot, KeyName, SubKeyRef, KeyVal);
}

}  // namespace vagliante
