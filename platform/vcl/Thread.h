#pragma once
// TThread: a worker thread in the form library's shape. Derive, override Execute, make it
// suspended and Start (or Resume) it. Synchronize runs a function on the window thread
// and blocks the worker until it has run (exceptions travel back to the worker).
// With FreeOnTerminate the object deletes itself when Execute returns; otherwise its
// destructor asks it to terminate and waits for it.
//
// Priority is best effort: Linux lets an unprivileged program lower a thread's priority
// but not raise it above normal, so tpHigher..tpTimeCritical may stay at normal.
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/vcl/Component.h"

namespace vcl {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject {
  public:
    // A thread made with createSuspended = false starts once the window thread is back in
    // its event loop (the derived object is complete by then); without an application it
    // must be started with Start().
    explicit TThread(bool createSuspended);
    ~TThread() override;

    void Start();
    void Resume() { Start(); }
    void Terminate() { terminated_ = true; }
    // Waits until Execute has returned (not for a thread that frees itself).
    void WaitFor();
    bool Finished() const { return finished_; }

    TThreadPriority Priority() const { return priority_; }
    void SetPriority(TThreadPriority priority);
    bool FreeOnTerminate() const { return freeOnTerminate_; }
    void SetFreeOnTerminate(bool freeOnTerminate) { freeOnTerminate_ = freeOnTerminate; }

    // The exception that ended Execute, if one did.
    std::exception_ptr FatalException() const;

    // Runs `method` on the window thread and waits for it. On the window thread (or
    // without an application) it runs at once.
    static void Synchronize(const std::function<void()>& method);

    // Runs on the window thread after Execute has returned (not for a thread that frees
    // itself, whose object is gone by then).
    TNotifyEvent OnTerminate;

  protected:
    virtual void Execute() = 0;
    bool Terminated() const { return terminated_; }

  private:
    void Run();
    void ApplyPriority();

    std::thread thread_;
    std::mutex startMutex_;
    std::atomic<bool> started_{false};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> freeOnTerminate_{false};
    std::atomic<TThreadPriority> priority_{tpNormal};
    std::atomic<int> systemId_{0};
    mutable std::mutex errorMutex_;
    std::exception_ptr fatal_;
    std::shared_ptr<bool> alive_;
};

}  // namespace vcl
