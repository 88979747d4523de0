// RemoveExtraBytes: shortens the longer record variants.
#pragma once

#include <string>
#include <string_view>

namespace vagliante {

// Let k be the 1-based position of the first `pattern` in `line` (0 when it
// does not occur). The result keeps the first k characters and drops the ten
// after them: the pattern's first character stays. Without the pattern the
// first ten characters go; with fewer than ten after k, all of them go.
std::string RemoveExtraBytes(std::string_view line, std::string_view pattern);

// The same shortening done on `line` itself, which keeps its storage.
void CutExtraBytes(std::string& line, std::string_view pattern);

}  // namespace vagliante
