// SPDX-License-Identifier: MIT
#pragma once

// Qt draws large fills and image conversions in pieces on its global thread pool and waits
// for the pieces. A pool thread that cannot be started (the thread limit reached) leaves its
// piece undone, and the program waits for it forever; Qt only prints a warning. The pool also
// lets an idle thread end after 30 s and starts a new one when it draws again, so a limit
// reached meanwhile bites at the next error box.
//
// Keep() gives the pool one thread, started at once and kept for good: from then on drawing
// never needs a new thread. The panel is small; one thread draws it as fast as several.
namespace DrawingThread {

// Call before anything is drawn. False when the thread did not run within `waitMs`: it could
// not be started, and anything drawn would wait for it forever.
bool Keep(int waitMs);

}  // namespace DrawingThread
