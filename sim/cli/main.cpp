// ostrel-sim: virtual projectors on this user's simulator socket, for Ostrel and
// OstrelProbe to find as if they were plugged in, with a line for everything they do.
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock/Clock.h"
#include "sim/Projector.h"
#include "sim/cli/ActivityLog.h"
#include "sim/cli/Options.h"
#include "sim/cli/SocketServer.h"

namespace {

// Lines come from the projectors' threads and the server's thread: one at a time, each
// flushed at once so that a pipe reader sees it as it happens.
class Console {
  public:
    void Line(const std::string& text) {
        std::lock_guard lock(mutex_);
        std::fprintf(stdout, "%s\n", text.c_str());
        std::fflush(stdout);
    }

  private:
    std::mutex mutex_;
};

// Blocks the stop signals in every thread (threads inherit the mask, so this comes
// before any is started) and hands them out as a descriptor to read: nothing runs in a
// signal handler.
int StopSignals() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    if (pthread_sigmask(SIG_BLOCK, &stop, nullptr) != 0) {
        return -1;
    }
    std::signal(SIGPIPE, SIG_IGN);  // a closed stdout must not end us before we clean up
    return signalfd(-1, &stop, SFD_CLOEXEC);
}

int WaitForStopSignal(int fd) {
    signalfd_siginfo info{};
    while (true) {
        const ssize_t got = read(fd, &info, sizeof info);
        if (got == static_cast<ssize_t>(sizeof info)) {
            return static_cast<int>(info.ssi_signo);
        }
        if (got < 0 && errno != EINTR) {
            return 0;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int signals = StopSignals();
    if (signals < 0) {
        std::perror("ostrel-sim: signalfd");
        return 1;
    }
    std::string error;
    const auto options =
        sim::cli::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "ostrel-sim: %s\nTry 'ostrel-sim --help'.\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(sim::cli::UsageText(), stdout);
        return 0;
    }
    plat::SetClockSpeed(options->clockSpeed);

    Console console;
    sim::cli::SocketServer server(options->socketPath.empty() ? drv::sock::DefaultSocketPath()
                                                              : options->socketPath);
    server.SetConnectionObserver([&console](bool connected) {
        console.Line(connected ? "driver connected" : "driver disconnected");
    });
    if (!server.Start(error)) {
        std::fprintf(stderr, "ostrel-sim: %s\n", error.c_str());
        return 1;
    }
    console.Line("ostrel-sim: " + std::to_string(options->count) + " projector(s) on " +
                 server.Path() + " (Ctrl+C to stop)");

    std::vector<std::unique_ptr<sim::cli::ActivityLog>> logs;
    std::vector<std::unique_ptr<sim::Projector>> projectors;
    for (int i = 0; i < options->count; ++i) {
        const sim::ProjectorConfig config = sim::cli::ProjectorAt(*options, i);
        const std::string name = "#" + std::to_string(i + 1);
        console.Line(name + " " + sim::cli::Describe(config));
        auto& log = logs.emplace_back(std::make_unique<sim::cli::ActivityLog>(
            name, [&console](const std::string& line) { console.Line(line); }));
        auto& projector = projectors.emplace_back(std::make_unique<sim::Projector>(config));
        projector->SetCommandObserver(
            [log = log.get()](const sim::LoggedCommand& command) { log->Command(command); });
        projector->SetAttachObserver(
            [log = log.get()](sim::Mode mode, bool attached) { log->Attach(mode, attached); });
        projector->PlugInto(server);
    }

    const int signal = WaitForStopSignal(signals);
    console.Line(std::string("ostrel-sim: stopping (") + (signal != 0 ? strsignal(signal) : "?") +
                 ")");
    for (auto& projector : projectors) {
        projector->Unplug();
    }
    for (auto& log : logs) {
        log->Finish();
    }
    server.Stop();
    projectors.clear();
    close(signals);
    console.Line("ostrel-sim: stopped");
    return 0;
}
