#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "platform/clock/Clock.h"
#include "platform/vcl/Vcl.h"

namespace vcl {
namespace {

// Runs the window thread's events until `done` or `clockMs` have passed.
template <typename Done>
void PumpUntil(Done done, uint32_t clockMs = 100000) {
    const uint64_t end = plat::NowMs() + clockMs;
    while (!done() && plat::NowMs() < end) {
        PumpEvents(100);
    }
}

TEST(Timer, TicksAtTheClockSpeedAndStopsWhenDisabled) {
    TTimer timer(nullptr);
    int ticks = 0;
    timer.OnTimer = [&](TObject*) { ++ticks; };
    PumpEvents(10000);  // ten intervals of clock time
    EXPECT_GE(ticks, 4);
    EXPECT_LE(ticks, 11);

    timer.SetEnabled(false);
    const int stopped = ticks;
    PumpEvents(3000);
    EXPECT_EQ(ticks, stopped);
}

TEST(Timer, KeepsTickingWhileItsHandlerWaitsInAMessageBox) {
    MessageBoxResponder responder;
    responder.SetThinkTimeMs(8000);
    TTimer timer(nullptr);
    TTimer other(nullptr);
    int depth = 0;
    int nestedTicks = 0;
    int otherTicks = 0;
    bool boxDone = false;
    timer.OnTimer = [&](TObject*) {
        if (depth > 0) {
            ++nestedTicks;
            return;
        }
        ++depth;
        MessageBox("Please wait", "Busy");
        --depth;
        boxDone = true;
    };
    other.OnTimer = [&](TObject*) {
        if (depth > 0) {
            ++otherTicks;
        }
    };
    PumpUntil([&] { return boxDone; });

    ASSERT_TRUE(boxDone);
    EXPECT_GE(nestedTicks, 2);
    EXPECT_GE(otherTicks, 2);
    ASSERT_EQ(responder.Boxes().size(), 1u);
    EXPECT_EQ(responder.Boxes()[0].caption, "Busy");
}

class Worker final : public TThread {
  public:
    explicit Worker(std::function<void()> body) : TThread(true), body_(std::move(body)) {}
    ~Worker() override { destroyed = true; }
    static inline std::atomic<bool> destroyed{false};

  protected:
    void Execute() override { body_(); }

  private:
    std::function<void()> body_;
};

TEST(Thread, SynchronizeRunsOnTheWindowThreadAndBlocksTheWorker) {
    const auto windowThread = std::this_thread::get_id();
    std::optional<std::thread::id> ranOn;
    bool updateFinished = false;
    bool sawUpdateFinished = false;
    Worker worker([&] {
        TThread::Synchronize([&] {
            ranOn = std::this_thread::get_id();
            plat::Sleep(2000);  // the worker must still be waiting when this ends
            updateFinished = true;
        });
        sawUpdateFinished = updateFinished;
    });
    worker.Start();
    PumpUntil([&] { return worker.Finished(); });

    ASSERT_TRUE(worker.Finished());
    EXPECT_EQ(ranOn, windowThread);
    EXPECT_TRUE(sawUpdateFinished);
}

TEST(Thread, SynchronizeCarriesAnExceptionBackToTheWorker) {
    bool caught = false;
    Worker worker([&] {
        try {
            TThread::Synchronize([] { throw Exception("update failed"); });
        } catch (const Exception& error) {
            caught = error.Message() == "update failed";
        }
    });
    worker.Start();
    PumpUntil([&] { return worker.Finished(); });
    EXPECT_TRUE(caught);
}

TEST(Thread, SuspendedUntilStartedAndFreesItselfWhenAsked) {
    std::atomic<bool> ran{false};
    Worker::destroyed = false;
    auto* worker = new Worker([&] { ran = true; });
    worker->SetFreeOnTerminate(true);
    worker->SetPriority(tpHighest);
    plat::Sleep(500);
    EXPECT_FALSE(ran);
    EXPECT_EQ(worker->Priority(), tpHighest);

    worker->Resume();
    PumpUntil([&] { return Worker::destroyed.load(); });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(Worker::destroyed);
}

TEST(Thread, KeepsTheExceptionThatEndedExecute) {
    Worker worker([] { throw Exception("read failed"); });
    worker.Start();
    worker.WaitFor();
    EXPECT_TRUE(worker.Finished());
    EXPECT_NE(worker.FatalException(), nullptr);
}

// Answers the Qt message box that the window thread shows next, after checking it.
class BoxClicker {
  public:
    explicit BoxClicker(QMessageBox::StandardButton answer) {
        QObject::connect(&poll_, &QTimer::timeout, [this, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            title = box->windowTitle().toStdString();
            text = box->text().toStdString();
            buttons = static_cast<int>(box->buttons().size());
            box->button(answer)->click();
            poll_.stop();
        });
        poll_.start(5);
    }
    std::string title;
    std::string text;
    int buttons = 0;

  private:
    QTimer poll_;
};

TEST(QtMessageBox, WorkerBoxIsShownByTheWindowThreadWhileTheWorkerWaits) {
    const std::string text = "Firmware update is not reversible!\n\n  Press <OK> to start!";
    BoxClicker clicker(QMessageBox::Cancel);
    std::atomic<int> answer{0};
    Worker worker([&] { answer = MessageBox(text, "Warning again", mbOKCancel); });
    worker.Start();
    PumpUntil([&] { return worker.Finished(); });

    EXPECT_EQ(answer, idCancel);
    EXPECT_EQ(clicker.text, text);
    EXPECT_EQ(clicker.title, "Warning again");
    EXPECT_EQ(clicker.buttons, 2);
}

TEST(QtMessageBox, WindowThreadBoxWithOneButtonAnswersOk) {
    BoxClicker clicker(QMessageBox::Ok);
    EXPECT_EQ(Application->MessageBox("Incorrect WinDriver version!", "Error"), idOK);
    EXPECT_EQ(clicker.title, "Error");
    EXPECT_EQ(clicker.buttons, 1);
}

TEST(Application, ExceptionInAHandlerShowsTheExceptionBoxAndTheLoopGoesOn) {
    MessageBoxResponder responder;
    TForm form(nullptr);
    auto* button = new TButton(&form);
    button->OnClick = [](TObject*) { throw Exception("Read flash image"); };
    static_cast<QPushButton*>(button->Widget())->click();
    button->OnClick = [](TObject*) { throw 42; };
    static_cast<QPushButton*>(button->Widget())->click();

    const auto boxes = responder.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].kind, BoxKind::Application);
    EXPECT_EQ(boxes[0].text, "Read flash image.");
    EXPECT_EQ(boxes[0].caption, Application->Title());
    EXPECT_EQ(boxes[1].text, "");
    // Code that clicks a button itself gets the exception.
    EXPECT_THROW(button->Click(), int);
}

TEST(Form, ShowModalEndsWithTheButtonsModalResult) {
    TForm dialog(nullptr);
    dialog.SetPosition(poScreenCenter);
    auto* ok = new TButton(&dialog);
    ok->SetModalResult(mrOk);
    int shows = 0;
    dialog.OnShow = [&](TObject*) { ++shows; };
    QTimer::singleShot(20, [ok] { static_cast<QPushButton*>(ok->Widget())->click(); });

    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_FALSE(dialog.Visible());
    EXPECT_EQ(shows, 1);
}

TEST(Form, CloseRunsOnCloseAndHides) {
    TForm form(nullptr);
    int closes = 0;
    form.OnClose = [&](TObject* sender) {
        EXPECT_EQ(sender, &form);
        ++closes;
    };
    form.Show();
    form.Widget()->close();  // the window manager's close box
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(form.Visible());
}

}  // namespace
}  // namespace vcl
