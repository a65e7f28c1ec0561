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
        setup.IsRunning = [](std::uint32_t) { return true; };
        setup.SocketFolder = Folder.path().toStdString();
        return setup;
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
    first.OnActivateRequest = [&] { events << QStringLiteral("forward"); };
    first.OnCommandLine = [&](const QString& text) { events << QStringLiteral("line ") + text; };
    first.OnInstanceDestroyed = [&](std::uint32_t pid) {
        events << QStringLiteral("destroyed %1").arg(pid == SecondPid);
    };
    first.Register();
    EXPECT_FALSE(first.Check({}));

    TAppInstances second(Setup(SecondPid));
    second.Register();
    EXPECT_TRUE(second.Check({QStringLiteral("--simulate"), QStringLiteral("радио")}));
    EXPECT_FALSE(second.Registered());
    EXPECT_TRUE(WaitFor([&] { return events.size() >= 4; }));
    EXPECT_EQ(events,
              (QStringList{"created 1", "forward", "line --simulate\r\nрадио", "destroyed 1"}));

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
    for (const bool active : {true, false}) {
        SCOPED_TRACE(active);
        first.SetActive(active);
        // The new start waits for the answer, which the first gives from its event loop.
        std::atomic<int> ends{-1};
        std::thread start([&] {
            TAppInstances second(Setup(SecondPid));
            second.Register();
            ends = second.Check({}) ? 1 : 0;
        });
        EXPECT_TRUE(WaitFor([&] { return ends >= 0; }, 5000));
        start.join();
        // An instance that is not active does not keep a new one from running.
        EXPECT_EQ(ends, active ? 1 : 0);
    }
}
