#include "filter/remove_extra_bytes.h"

namespace vagliante {

std::string RemoveExtraBytes(std::string_view line, std::string_view pattern) {
    std::size_t found = line.find(pattern);
    std::size_t k = found == std::string_view::npos ? 0 : found + 1;
    std::string result(line.substr(0, k));
    if (k + 10 < line.size()) result.append(line.substr(k + 10));
    return result;
}

}  // namespace vagliante
