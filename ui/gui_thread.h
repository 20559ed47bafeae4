// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>

namespace nimbrel::ui {

// Runs `call` on the thread of `receiver` (the GUI thread) and waits until it has run: the
// blocking hand-off the workers' messages need. While waiting, `abandon` is asked every few
// milliseconds; once it says yes the caller stops waiting and the call, if it still runs later,
// works on its own copies. Returns false when the call was abandoned or `receiver` is gone.
// Called on the receiver's own thread, the call runs at once.
bool CallOnGuiThread(QObject* receiver, std::function<void()> call,
                     const std::function<bool()>& abandon);

}  // namespace nimbrel::ui
