#include "filter/remove_extra_bytes.h"

namespace vagliante {

void RemoveExtraBytes(std::string& line, std::string_view pattern) {
    std::size_t found = line.find(pattern);
    std::size_t k = found == std::string::npos ? 0 : found + 1;
    // Fewer than ten characters after k: erase stops at the end.
    if (k < line.size()) line.erase(k, 10);
}

}  // namespace vagliante
