// RunWhileBusy: runs a core operation to its end inside a window's handler.
//
// The operation runs on a worker thread while the calling thread waits in a
// local event loop that paints the windows but takes no user input, so the
// window neither freezes nor accepts a second click. Returns when the
// operation has ended and rethrows its exception, if any.
#pragma once

#include <functional>

namespace vagliante::ui::qt {

void RunWhileBusy(const std::function<void()>& work);

// True while RunWhileBusy is waiting for an operation.
bool IsBusy();

}  // namespace vagliante::ui::qt
