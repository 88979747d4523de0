// RunWhileBusy: runs a core operation to its end inside a window's handler.
//
// The operation runs on a worker thread while the calling thread waits in a
// local event loop, so that the windows repaint and the user can still stop
// the run (the window that runs it has shut out the rest of its input). When
// the program ends meanwhile (the application's loops are told to quit, as
// at the end of the desktop session), `stop` is called and the run is waited
// for as it unwinds. Returns when the operation has ended and rethrows its
// exception, if any.
#pragma once

#include <functional>

namespace vagliante::ui::qt {

void RunWhileBusy(const std::function<void()>& work, const std::function<void()>& stop);

// True while RunWhileBusy is waiting for an operation.
bool IsBusy();

}  // namespace vagliante::ui::qt
