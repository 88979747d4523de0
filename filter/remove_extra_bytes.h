// RemoveExtraBytes: shortens the longer record variants.
#pragma once

#include <string>
#include <string_view>

namespace vagliante {

// Let k be the 1-based position of the first `pattern` in `line` (0 when it
// does not occur). `line` keeps its first k characters and loses the ten
// after them: the pattern's first character stays. Without the pattern the
// first ten characters go; with fewer than ten after k, all of them go.
// Done in place, so that the line keeps its storage.
void RemoveExtraBytes(std::string& line, std::string_view pattern);

}  // namespace vagliante
