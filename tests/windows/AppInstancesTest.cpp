#include "windows/AppInstances.h"

#include "WaitFor.h"

#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>

namespace {

std::function<bool(std::uint32_t)> Everyone() {
    return [](std::uint32_t) { return true; };
}

// Two instances of one made-up executable inside this test process, told apart by the
// process IDs they register with.
class AppInstances : public ::testing::Test {
protected:
    AppInstances() {
        static int serial = 0;
        Identity = CurrentInstanceIdentity();
        Identity.ExecutablePath =
            "/tmp/app-instances-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    }
    ~AppInstances() override {
        const TInstanceNames names = MakeInstanceNames(Identity);
        for (const std::string& name : {names.All, names.Session, names.User})
            shm_unlink(name.c_str());
        sem_unlink(names.Lock.c_str());
    }

    TAppInstancesSetup Setup(std::uint32_t pid) const {
        TAppInstancesSetup setup;
        setup.Identity = Identity;
        setup.Pid = pid;
        setup.IsRunning = Everyone();
        setup.SocketFolder = Folder.path().toStdString();
        setup.AnswerTimeout = std::chrono::milliseconds(3000);
        return setup;
    }

    // A start in a thread of its own, so that the instances of this thread answer it from the
    // event loop; whether it ended (handed over).
    bool StartEnds(TAppInstancesSetup setup, const QStringList& arguments = {}) {
        std::atomic<int> ends{-1};
        std::thread start([&] {
            TAppInstances second(std::move(setup));
            second.Register();
            ends = second.Check(arguments) ? 1 : 0;
        });
        EXPECT_TRUE(WaitFor([&] { return ends >= 0; }, 10000));
        start.join();
        return ends == 1;
    }

    const std::uint32_t FirstPid = std::uint32_t(getpid());
    const std::uint32_t SecondPid = std::uint32_t(getpid()) + 100000;
    TInstanceIdentity Identity;
    QTemporaryDir Folder;
};

} // namespace

TEST_F(AppInstances, ASecondStartBringsTheFirstForwardHandsOverItsCommandLineAndEnds) {
    TAppInstances first(Setup(FirstPid));
    QStringList events;
    first.OnInstanceCreated = [&](std::uint32_t pid) {
        events << QStringLiteral("created %1").arg(pid == SecondPid);
    };
    first.OnActivateRequest = [&](const QString& token) {
        events << QStringLiteral("forward ") + token;
    };
    first.OnCommandLine = [&](const QString& text) { events << QStringLiteral("line ") + text; };
    first.OnInstanceDestroyed = [&](std::uint32_t pid) {
        events << QStringLiteral("destroyed %1").arg(pid == SecondPid);
    };
    first.Register();
    EXPECT_FALSE(first.Check({}));

    // The start's activation token goes along, so that the first may take the focus with it.
    TAppInstancesSetup second = Setup(SecondPid);
    second.ActivationToken = "6427cecca6fa9cf9946aa8fdf0cacf50";
    EXPECT_TRUE(StartEnds(second, {QStringLiteral("--simulate"), QStringLiteral("радио")}));
    EXPECT_TRUE(WaitFor([&] { return events.size() >= 4; }));
    EXPECT_EQ(events, (QStringList{"created 1", "forward 6427cecca6fa9cf9946aa8fdf0cacf50",
                                   "line --simulate\r\nрадио", "destroyed 1"}));

    // Ending the first instance leaves the next start on its own.
    first.Unregister();
    first.Unregister();
    TAppInstances third(Setup(SecondPid + 1));
    third.Register();
    EXPECT_FALSE(third.Check({}));
}

TEST_F(AppInstances, TheRunningInstanceAnswersTheActiveQuery) {
    TAppInstances first(Setup(FirstPid));
    first.Register();
    EXPECT_FALSE(first.Check({}));
    for (const bool active : {true, false}) {
        SCOPED_TRACE(active);
        first.SetActive(active);
        // An instance that is not active does not keep a new one from running.
        EXPECT_EQ(StartEnds(Setup(SecondPid)), active);
    }
}

TEST_F(AppInstances, AnActiveStateNobodyAskedForChangesNothing) {
    TAppInstances first(Setup(FirstPid));
    first.Register();
    EXPECT_FALSE(first.Check({}));
    const std::string socket =
        Folder
            .filePath(QString::fromStdString(InstanceSocketName(
                MakeInstanceNames(Identity), FirstPid, Folder.path().toStdString())))
            .toStdString();
    ASSERT_TRUE(SendInstanceMessage(socket, {TInstanceMessageKind::ActiveState, 0, {}},
                                    std::chrono::milliseconds(200)));
    WaitFor([] { return false; }, 300);
    EXPECT_TRUE(first.Active());
    EXPECT_TRUE(StartEnds(Setup(SecondPid)));
}

TEST_F(AppInstances, ARegisteredInstanceThatDoesNotAnswerIsStale) {
    // One registered but never reached (its socket is on another display, or it is gone), and
    // one whose socket nobody reads (a stopped process).
    const TInstanceNames names = MakeInstanceNames(Identity);
    TInstanceRegistry unreachable(names, FirstPid, Everyone());
    unreachable.Register();
    TInstanceRegistry stopped(names, FirstPid + 1, Everyone());
    stopped.Register();
    TInstanceSocket unread;
    const std::string folder = Folder.path().toStdString();
    ASSERT_TRUE(unread.Open(folder + "/" + InstanceSocketName(names, FirstPid + 1, folder)));

    TAppInstancesSetup setup = Setup(SecondPid);
    setup.AnswerTimeout = std::chrono::milliseconds(300);
    TAppInstances start(setup);
    start.Register();
    EXPECT_FALSE(start.Check({}));
    EXPECT_TRUE(start.Registered());
    // And it answers the next start, which hands over to it.
    EXPECT_TRUE(StartEnds(Setup(SecondPid + 1)));
    unreachable.Unregister();
    stopped.Unregister();
}

TEST_F(AppInstances, AStartThatIsStillDecidingIsNotHandedOver) {
    // Two starts racing: the later one must not end in favour of the earlier, which may itself
    // end; it waits for the instance that runs.
    TAppInstances earlier(Setup(FirstPid));
    earlier.Register();
    TAppInstancesSetup setup = Setup(SecondPid);
    setup.AnswerTimeout = std::chrono::milliseconds(300);
    TAppInstances later(setup);
    later.Register();
    EXPECT_FALSE(later.Check({}));
}
