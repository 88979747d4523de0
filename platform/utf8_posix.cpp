#include "platform/utf8.h"

namespace vagliante {

void UseUtf8Arguments(int&, char**&) {}

}  // namespace vagliante
