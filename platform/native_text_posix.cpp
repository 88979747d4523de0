#include "platform/native_text.h"

namespace vagliante::os {

std::string NativeToUtf8(const std::string& text) { return text; }

}  // namespace vagliante::os
