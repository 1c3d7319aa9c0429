// The output side: Run, Stop, the worker thread and the dispatcher's delivery of events on the
// user-interface thread.

#include "audio/WaveIn.h"
#include "audio/WaveOut.h"
#include "PcmTestUtil.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace tolvak;
using namespace tolvak::test;

namespace {

struct OutputTest : UiThreadFixture {
    TempDir dir;
};

}  // namespace

TEST(UiQueueTest, CallsRunOnTheBoundThreadInPostingOrder) {
    UiQueue& q = UiQueue::instance();
    q.bindToCurrentThread();
    const auto ui = std::this_thread::get_id();
    std::vector<int> order;
    std::atomic<int> wakes{0};
    q.setWakeUp([&] { ++wakes; });
    std::atomic<int> finished{0};
    std::thread poster([&] {
        for (int i = 0; i < 20; ++i)
            q.invokeAndWait([&, i] {
                EXPECT_EQ(std::this_thread::get_id(), ui);
                order.push_back(i);
            });
        try {
            q.invokeAndWait([] { throw EAuException("boom"); });
        } catch (const EAuException& e) {
            EXPECT_STREQ(e.what(), "boom");
            ++finished;
        }
        ++finished;
    });
    while (finished.load() < 2) {
        q.processPending();
        std::this_thread::yield();
    }
    poster.join();
    std::vector<int> want(20);
    for (int i = 0; i < 20; ++i) want[i] = i;
    EXPECT_EQ(order, want);
    EXPECT_EQ(wakes.load(), 21);
    // On the user-interface thread a call runs at once.
    bool ran = false;
    q.invokeAndWait([&] { ran = true; });
    EXPECT_TRUE(ran);
    // Another thread processing runs nothing.
    std::thread other([&] { EXPECT_EQ(q.processPending(), 0u); });
    other.join();
    q.setWakeUp(nullptr);
    q.unbind();
    // Unbound: the call runs on the posting thread.
    ran = false;
    std::thread([&] { q.invokeAndWait([&] { ran = true; }); }).join();
    EXPECT_TRUE(ran);
}

TEST(UiQueueTest, WaitingSleepsUntilACallIsPostedOrAChangeIsAnnounced) {
    UiQueue& q = UiQueue::instance();
    q.bindToCurrentThread();
    std::atomic<int> wakes{0};
    q.setWakeUp([&] { ++wakes; });
    // A condition set by a posted call.
    bool set = false;
    std::thread poster([&] { q.invokeAndWait([&] { set = true; }); });
    q.processUntil([&] { return set; });
    poster.join();
    // A condition another thread changes and announces.
    std::atomic<bool> flag{false};
    std::thread announcer([&] {
        flag = true;
        q.notify();
    });
    q.processUntil([&] { return flag.load(); });
    announcer.join();
    EXPECT_EQ(wakes.load(), 2);
    // A notification that came before the wait is not lost.
    q.notify();
    q.waitForCall();
    q.setWakeUp(nullptr);
    q.unbind();
    // Unbound, a call runs on the posting thread and the waiting thread is woken after it.
    std::atomic<bool> ran{false};
    std::thread late([&] { q.invokeAndWait([&] { ran = true; }); });
    q.processUntil([&] { return ran.load(); });
    late.join();
}

TEST_F(OutputTest, RunTwiceIsRefusedAndTheFirstRunGoesOn) {
    TTestInput in;
    in.Endless = true;
    TWaveOut out;
    out.SetInput(in);
    out.SetFileName((dir / "a.wav").string());
    out.Run();
    try {
        out.Run();
        FAIL() << "second Run accepted";
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "Component is Busy");
    }
    EXPECT_EQ(out.Status(), TOutputStatus::tosPlaying);
    const int before = in.Blocks;
    EXPECT_TRUE(PumpUntil([&] { return in.Blocks.load() > before + 5; }));
    out.Stop(false);
    EXPECT_EQ(out.Status(), TOutputStatus::tosIdle);
    EXPECT_EQ(in.Inits.load(), 1);
    EXPECT_EQ(in.Flushes.load(), 1);
}

TEST_F(OutputTest, RunWithoutInputIsRefusedAndLaterWorks) {
    TWaveOut out;
    out.SetFileName((dir / "b.wav").string());
    try {
        out.Run();
        FAIL() << "Run accepted";
    } catch (const EAuException& e) {
        EXPECT_STREQ(e.what(), "Input is not assigned");
    }
    EXPECT_EQ(out.Status(), TOutputStatus::tosIdle);
    TTestInput in;
    in.Data = Bytes(400, 9);
    out.SetInput(in);
    ASSERT_TRUE(RunToEnd(out));
    EXPECT_EQ(ReadFile(dir / "b.wav").size(), 444u);
}

TEST_F(OutputTest, SynchronousStopDeliversNoOnDoneAndIdleStopReturnsAtOnce) {
    TTestInput in;
    in.Endless = true;
    TWaveOut out;
    out.SetInput(in);
    out.SetFileName((dir / "c.wav").string());
    std::atomic<int> done{0};
    out.OnDone = [&](TAuOutput*) { ++done; };
    out.Stop(false);  // idle
    out.Run();
    EXPECT_TRUE(PumpUntil([&] { return in.Blocks.load() > 10; }));
    out.Stop(false);
    EXPECT_EQ(out.Status(), TOutputStatus::tosIdle);
    EXPECT_EQ(in.Flushes.load(), 1);
    PumpFor(std::chrono::milliseconds(300));
    EXPECT_EQ(done.load(), 0);
    // The stopped file's header tells what it holds.
    Bytes f = ReadFile(dir / "c.wav");
    ASSERT_GE(f.size(), 44u);
    EXPECT_EQ(Get32(f, 40), f.size() - 44);
    EXPECT_EQ(Get32(f, 4), f.size() - 8);
    // A later run is reported again.
    in.Endless = false;
    in.Data = Bytes(4000, 3);
    out.Run();
    EXPECT_TRUE(PumpUntil([&] { return done.load() == 1; }));
    EXPECT_EQ(ReadFile(dir / "c.wav").size(), 4044u);
}

TEST_F(OutputTest, PauseHoldsTheWorkerResumeGoesOnAndStopEndsAPausedRun) {
    TTestInput in;
    in.Endless = true;
    TWaveOut out;
    out.SetInput(in);
    out.SetFileName((dir / "p.wav").string());
    out.Resume();  // idle: nothing happens
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return in.Blocks.load() > 3; }));
    out.Pause();
    EXPECT_EQ(out.Status(), TOutputStatus::tosPaused);
    const int held = in.Blocks.load();
    PumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(in.Blocks.load(), held);
    out.Resume();
    EXPECT_EQ(out.Status(), TOutputStatus::tosPlaying);
    EXPECT_TRUE(PumpUntil([&] { return in.Blocks.load() > held + 3; }));
    out.Pause();
    out.Stop(false);
    EXPECT_EQ(out.Status(), TOutputStatus::tosIdle);
    EXPECT_EQ(in.Flushes.load(), 1);
}

TEST_F(OutputTest, EventsArriveOnTheUiThreadInOrderProgressBeforeDone) {
    const auto ui = std::this_thread::get_id();
    WriteFile(dir / "in.wav", Wav(2, 44100, 16, Pcm16(Signal16(44100, 2, 21))));
    TWaveIn in;
    in.SetFileName((dir / "in.wav").string());
    TWaveOut out;
    out.SetInput(in);
    out.SetFileName((dir / "d.wav").string());
    std::vector<int> seen;  // progress values, then -100 for done
    bool wrongThread = false;
    std::thread::id syncThread;
    out.OnProgress = [&](TAuOutput* s) {
        if (std::this_thread::get_id() != ui) wrongThread = true;
        seen.push_back(s->Progress());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));  // a slow handler
    };
    out.OnSyncDone = [&](TAuOutput*) { syncThread = std::this_thread::get_id(); };
    std::atomic<bool> done{false};
    out.OnDone = [&](TAuOutput* s) {
        if (std::this_thread::get_id() != ui) wrongThread = true;
        EXPECT_EQ(s, &out);
        seen.push_back(-100);
        done = true;
    };
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
    EXPECT_FALSE(wrongThread);
    EXPECT_NE(syncThread, ui);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.back(), -100);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), -100), 1);
}

TEST_F(OutputTest, ThreadExceptionIsDeliveredAndDoneFollows) {
    TTestInput in;
    in.FailEveryBlock = true;
    TWaveOut out;
    out.SetInput(in);
    out.SetFileName((dir / "e.wav").string());
    std::vector<std::string> seen;
    out.OnThreadException = [&](TAuOutput* s) { seen.push_back("exception:" + s->ExceptionMessage()); };
    out.OnDone = [&](TAuOutput*) { seen.push_back("done"); };
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen, (std::vector<std::string>{"exception:test input failure", "done"}));
}

TEST_F(OutputTest, TwoOutputsAtOnceEachGetTheirOwnDone) {
    std::vector<std::unique_ptr<TWaveIn>> ins;
    std::vector<std::unique_ptr<TWaveOut>> outs;
    std::vector<std::vector<TAuOutput*>> got(2);
    for (int i = 0; i < 2; ++i) {
        WriteFile(dir / ("in" + std::to_string(i) + ".wav"), Wav(2, 44100, 16, Pcm16(Signal16(50000 + i * 30000, 2, i))));
        ins.push_back(std::make_unique<TWaveIn>());
        ins[i]->SetFileName((dir / ("in" + std::to_string(i) + ".wav")).string());
        outs.push_back(std::make_unique<TWaveOut>());
        outs[i]->SetInput(ins[i].get());
        outs[i]->SetFileName((dir / ("out" + std::to_string(i) + ".wav")).string());
        outs[i]->OnDone = [&got, i](TAuOutput* s) { got[i].push_back(s); };
    }
    outs[0]->Run();
    outs[1]->Run();
    ASSERT_TRUE(PumpUntil([&] { return got[0].size() + got[1].size() == 2; }));
    PumpFor(std::chrono::milliseconds(100));
    ASSERT_EQ(got[0].size(), 1u);
    ASSERT_EQ(got[1].size(), 1u);
    EXPECT_EQ(got[0][0], outs[0].get());
    EXPECT_EQ(got[1][0], outs[1].get());
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(ReadFile(dir / ("out" + std::to_string(i) + ".wav")), ReadFile(dir / ("in" + std::to_string(i) + ".wav")));
}

TEST_F(OutputTest, RunAgainFromOnDoneAndDestroyDuringARun) {
    WriteFile(dir / "in.wav", Wav(1, 8000, 16, Pcm16(Signal16(8000, 1, 3))));
    TWaveIn in;
    in.SetFileName((dir / "in.wav").string());
    TWaveOut out;
    out.SetInput(in);
    out.SetFileName((dir / "f.wav").string());
    int runs = 0;
    out.OnDone = [&](TAuOutput* s) {
        if (++runs < 3) s->Run();
    };
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return runs == 3; }));
    EXPECT_EQ(ReadFile(dir / "f.wav"), ReadFile(dir / "in.wav"));

    // Destroying a running output stops it and delivers nothing to its dead handlers.
    TTestInput endless;
    endless.Endless = true;
    std::atomic<int> done{0};
    {
        TWaveOut o;
        o.SetInput(endless);
        o.SetFileName((dir / "g.wav").string());
        o.OnDone = [&](TAuOutput*) { ++done; };
        o.OnProgress = [&](TAuOutput*) {};
        o.Run();
        PumpUntil([&] { return endless.Blocks.load() > 3; });
    }
    PumpFor(std::chrono::milliseconds(150));
    EXPECT_EQ(done.load(), 0);
    EXPECT_EQ(endless.Flushes.load(), 1);
}

TEST_F(OutputTest, SettingTheInputDuringARunRestartsWithTheNewOne) {
    TTestInput a, b;
    a.Endless = true;
    b.Data = Bytes(800, 4);
    TWaveOut out;
    out.SetInput(a);
    out.SetFileName((dir / "h.wav").string());
    std::atomic<int> done{0};
    out.OnDone = [&](TAuOutput*) { ++done; };
    out.Run();
    PumpUntil([&] { return a.Blocks.load() > 3; });
    out.SetInput(b);
    ASSERT_TRUE(PumpUntil([&] { return done.load() == 1; }));
    EXPECT_EQ(a.Flushes.load(), 1);
    EXPECT_EQ(ReadFile(dir / "h.wav").size(), 844u);
}
