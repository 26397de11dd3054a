#pragma once
// Calls from other threads onto the window thread, for Synchronize and for message boxes
// of worker threads. The hand-over uses the standard library's mutex and condition
// variable (a thread sanitizer sees the order of events) and wakes the window thread
// through an event descriptor watched by its event loop; the call itself runs from a
// posted event, so that it also runs while the window thread waits in a modal box.
#include <functional>

namespace vcl {

// Makes the calling thread the window thread and starts accepting calls
// (TApplication does this; the event loop must run for calls to be served).
void StartWindowThreadCalls();
void StopWindowThreadCalls();

// True on the window thread, and anywhere while no window thread exists.
bool OnWindowThread();

// Runs `call` on the window thread and returns when it has run; an exception it throws
// is thrown here. On the window thread, or without one, it runs at once.
void CallOnWindowThread(const std::function<void()>& call);

}  // namespace vcl
