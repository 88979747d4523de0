#include "about/get_key_value.h"

#include <array>
#include <cstdint>

#include "platform/run_error.h"

namespace vagliante {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

bool GetKeyValue(Registry& registry, RegKey KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal) {
    RegKey key = 0;
    bool read = false;
    bool noBytes = false;
    if (registry.OpenKeyEx(KeyRoot, KeyName, 0, kKeyAccessRights, key) != kErrorSuccess) {
        KeyVal.clear();
    } else {
        std::array<unsigned char, kValueBufferSize> buffer{};
        std::uint32_t size = buffer.size();
        std::uint32_t type = 0;
        const RegStatus status = registry.QueryValueEx(key, SubKeyRef, type, buffer.data(), size);
        if (status != kErrorSuccess || size > buffer.size()) {
            KeyVal.clear();
        } else if (size == 0) {
            noBytes = true;
        } else {
            const std::size_t kept = buffer[size - 1] == 0 ? size - 1 : size;
            if (type == kRegSz) {
                KeyVal.assign(reinterpret_cast<const char*>(buffer.data()), kept);
            } else if (type == kRegDword) {
                std::string text = "&h" + KeyVal;
                for (std::size_t i = kept; i-- > 0;) {
                    text += kHexDigits[buffer[i] >> 4];
                    text += kHexDigits[buffer[i] & 0x0F];
                }
                KeyVal = std::move(text);
            }
            read = true;
        }
    }
    // Closed on every path, also after a failed open (the handle is then 0).
    registry.CloseKey(key);
    // A value without a single byte has no last character to look at.
    if (noBytes) throw RunError(ErrorNumber::InvalidArgument, KeyName + "\\" + SubKeyRef);
    return read;
}

}  // namespace vagliante
