#pragma once
// Ostrel's window running flash jobs against the virtual projector: files to choose,
// a job started with Start and run by the window's own timers until it is over, and the
// job's record in the process log.
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/firmware/FirmwareImage.h"
#include "app/firmware/SampleImage.h"
#include "app/ostrel/FlashJob.h"
#include "app/ostrel/Flashimginfo.h"
#include "log/Myini.h"
#include "platform/vcl/OpenDialogResponder.h"
#include "tests/app/OstrelFixture.h"

namespace apptest {

class JobWindow : public OstrelWindow {
  protected:
    void SetUp() override {
        OstrelWindow::SetUp();
        char* here = ::getcwd(nullptr, 0);
        startFolder_ = here != nullptr ? here : "/";
        std::free(here);
        // The process log goes to the state folder only when the executable's folder is
        // not writable; keep it inside the test's folder either way.
        ::setenv("XDG_STATE_HOME", (folder_ / "state").c_str(), 1);
    }

    void TearDown() override {
        EndRunningWriter();
        delete ostrel::FormFlashImgInfo;
        ostrel::FormFlashImgInfo = nullptr;
        ostrel::imageCheckedAsLayout2 = false;
        processlog::LogSection.clear();
        // The open dialog makes the chosen file's folder the current one.
        [[maybe_unused]] const int ignored = ::chdir(startFolder_.c_str());
        ::unsetenv("XDG_STATE_HOME");
        OstrelWindow::TearDown();
    }

    // A fresh fixture for the next row of a table test.
    void Renew() {
        TearDown();
        SetUp();
    }

    // The main window and the flash table dialog, as the program makes them.
    ostrel::TFormOstrel& OpenBoth() {
        ostrel::TFormOstrel& form = Open();
        vcl::Application->CreateForm(ostrel::FormFlashImgInfo);
        return form;
    }

    // The window with a projector of `config` attached and its information shown.
    sim::Projector& Attach(const sim::ProjectorConfig& config) {
        OpenBoth();
        sim::Projector& projector = Plug(config);
        Tick();
        return projector;
    }

    std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string path = (folder_ / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // Chooses `path` in the open dialog through the Choose button.
    void Choose(const std::string& path) {
        dialogs_.Choose(path);
        ostrel::FormOstrel->btnChoose->Click();
    }

    // Presses Start (boxes answered OK unless scripted) and lets the window's timers run
    // the job until it is over or `clockMs` have passed.
    bool RunJob(uint32_t clockMs = 600000) {
        ostrel::FormOstrel->btnFlash->Click();
        if (!ostrel::FlashJob.busy.load()) {
            return false;
        }
        return WaitForJobEnd(clockMs);
    }

    static bool WaitForJobEnd(uint32_t clockMs = 600000) {
        return PumpUntil(
            [] {
                return !ostrel::FlashJob.busy.load() &&
                       ostrel::FlashJob.state == ostrel::JobState::Idle;
            },
            clockMs);
    }

    // The lines of the process log as written (key blanks kept).
    std::vector<std::string> LogLines() const {
        std::ifstream in(processlog::ProcessLogPath());
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (!line.empty()) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    // The lines of one section, its header excluded.
    std::vector<std::string> SectionLines(const std::string& section) const {
        std::vector<std::string> found;
        bool inside = false;
        for (const std::string& line : LogLines()) {
            if (!line.empty() && line.front() == '[') {
                inside = line == "[" + section + "]";
            } else if (inside) {
                found.push_back(line);
            }
        }
        return found;
    }

    // The current job's recorded status line (line breaks are stored as blanks).
    std::string LoggedStatus() const {
        const std::string key = "Process status=";
        for (const std::string& line : SectionLines(processlog::LogSection)) {
            if (line.rfind(key, 0) == 0) {
                return line.substr(key.size());
            }
        }
        return "<none>";
    }

    size_t BoxCount(const std::string& caption) const {
        const std::vector<std::string> captions = Captions();
        return static_cast<size_t>(std::count(captions.begin(), captions.end(), caption));
    }

    vcl::OpenDialogResponder dialogs_;

  private:
    // A test that failed mid-write must not leave the writer running past the window.
    void EndRunningWriter() {
        if (ostrel::FlashJob.state != ostrel::JobState::Writing ||
            ostrel::FlashJob.writeDone.load()) {
            return;
        }
        if (projector_) {
            projector_->Unplug();
        }
        PumpUntil([] { return ostrel::FlashJob.writeDone.load(); }, 120000);
    }

    std::string startFolder_;
};

}  // namespace apptest
