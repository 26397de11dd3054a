#pragma once
// A program run as a child of the test, its standard output and errors going to a file.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" char** environ;

namespace apptest {

// A program run as a child, its standard output going to a file.
class Child {
  public:
    Child(std::vector<std::string> arguments, const std::string& output) {
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        // Its errors go to the same file: a child left running by a test that died must
        // not hold the test runner's output pipe open.
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        spawned_ = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (spawned_ && !reaped_) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
    }
    bool Spawned() const { return spawned_; }
    void Signal(int signal) const { ::kill(pid_, signal); }
    int Wait() {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
    bool spawned_ = false;
    bool reaped_ = false;
};

inline std::string Contents(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace apptest
