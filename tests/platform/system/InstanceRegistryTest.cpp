#include "platform/system/InstanceRegistry.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

using TIds = std::vector<std::uint32_t>;

TInstanceBlock BlockWith(std::uint16_t maximum, std::uint16_t count, const TIds& ids) {
    TInstanceBlock block{};
    std::memcpy(block.data(), &maximum, 2);
    std::memcpy(block.data() + 2, &count, 2);
    for (std::size_t i = 0; i < ids.size() && i < InstanceBlockCapacity; ++i)
        std::memcpy(block.data() + 4 + 4 * i, &ids[i], 4);
    return block;
}

const auto Everyone = [](std::uint32_t) { return true; };

double SecondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A registry under names no other test or program uses; its objects go with the fixture.
class SharedRegistry : public ::testing::Test {
protected:
    SharedRegistry() {
        static int serial = 0;
        Identity.ExecutablePath =
            "/tmp/registry-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
        Identity.Display = ":7";
        Identity.Uid = geteuid();
        Identity.Session = 42;
        Identity.UserName = "tester";
        Identity.HostName = "host";
        Names = MakeInstanceNames(Identity);
    }
    ~SharedRegistry() override {
        for (const std::string& name : {Names.All, Names.Session, Names.User})
            shm_unlink(name.c_str());
        sem_unlink(Names.Lock.c_str());
    }

    TInstanceRegistry Registry(std::uint32_t pid,
                               std::function<bool(std::uint32_t)> running = Everyone,
                               std::chrono::milliseconds timeout = 1000ms) {
        return TInstanceRegistry(Names, pid, std::move(running), timeout);
    }

    // Writes a block into shared memory as another program might have left it.
    void Plant(const std::string& name, const TInstanceBlock& block, mode_t mode = 0600) {
        const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, mode);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(fchmod(fd, mode), 0);
        ASSERT_EQ(ftruncate(fd, off_t(block.size())), 0);
        ASSERT_EQ(pwrite(fd, block.data(), block.size(), 0), ssize_t(block.size()));
        close(fd);
    }

    mode_t Mode(const std::string& name) {
        struct stat info {};
        const int fd = shm_open(name.c_str(), O_RDONLY, 0);
        if (fd >= 0)
            fstat(fd, &info);
        close(fd);
        return info.st_mode & 0777;
    }

    bool Exists(const std::string& name) {
        const int fd = shm_open(name.c_str(), O_RDONLY, 0);
        if (fd >= 0)
            close(fd);
        return fd >= 0;
    }

    TInstanceIdentity Identity;
    TInstanceNames Names;
};

} // namespace

TEST(InstanceBlock, RegisteringSetsTheMaximumOnceAndTellsWhetherTheLimitHeld) {
    const struct {
        const char* name;
        TInstanceBlock before;
        std::uint16_t initialMaximum;
        bool within;
        std::uint16_t maximum;
        TIds ids;
    } cases[] = {
        {"a new all-instances block", {}, 0xFFFF, true, 0xFFFF, {77}},
        {"a new session block stays unlimited", {}, 0, true, 0, {77}},
        {"below the maximum", BlockWith(2, 1, {5}), 0xFFFF, true, 2, {5, 77}},
        {"at the maximum: still listed", BlockWith(1, 1, {5}), 0xFFFF, false, 1, {5, 77}},
        {"already listed: not twice", BlockWith(0, 2, {77, 5}), 0, true, 0, {77, 5}},
        {"full: not listed", BlockWith(0, 257, TIds(257, 9)), 0, true, 0, TIds(257, 9)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TInstanceBlock block = c.before;
        EXPECT_EQ(RegisterInBlock(block, 77, c.initialMaximum), c.within);
        EXPECT_EQ(BlockMaximum(block), c.maximum);
        EXPECT_EQ(BlockProcessIds(block), c.ids);
    }
}

TEST(InstanceBlock, UnregisteringMovesLaterEntriesForward) {
    TInstanceBlock block = BlockWith(0xFFFF, 4, {10, 20, 30, 20});
    UnregisterFromBlock(block, 20);
    EXPECT_EQ(BlockProcessIds(block), (TIds{10, 30}));
    EXPECT_EQ(BlockCount(block), 2);
    EXPECT_EQ(BlockMaximum(block), 0xFFFF);
    // Nothing of the removed entries stays behind the count.
    EXPECT_EQ(BlockWith(0xFFFF, 2, {10, 30}), block);
    UnregisterFromBlock(block, 99);
    EXPECT_EQ(BlockProcessIds(block), (TIds{10, 30}));
}

TEST(InstanceBlock, TidyingMendsImpossibleBlocksAndDropsEndedProcesses) {
    TIds many(300);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = std::uint32_t(i + 1);
    TIds first257(many.begin(), many.begin() + 257);
    const auto odd = [](std::uint32_t pid) { return pid % 2 == 1; };
    const struct {
        const char* name;
        TInstanceBlock before;
        std::function<bool(std::uint32_t)> running;
        TIds kept;
        TIds dropped;
    } cases[] = {
        {"a count above 257", BlockWith(0xFFFF, 9999, many), Everyone, first257, {}},
        {"a count beyond the stored IDs", BlockWith(0xFFFF, 5, {10, 20}), Everyone, {10, 20}, {}},
        {"repeated IDs", BlockWith(0, 3, {10, 10, 20}), Everyone, {10, 20}, {}},
        {"ended processes", BlockWith(0, 4, {1, 2, 3, 4}), odd, {1, 3}, {2, 4}},
        {"the first one ended", BlockWith(0, 2, {2, 3}), odd, {3}, {2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TInstanceBlock block = c.before;
        EXPECT_EQ(TidyBlock(block, c.running), c.dropped);
        EXPECT_EQ(BlockProcessIds(block), c.kept);
        EXPECT_EQ(BlockCount(block), c.kept.size());
        EXPECT_EQ(BlockMaximum(block), BlockMaximum(c.before));
        TInstanceBlock clean = BlockWith(BlockMaximum(c.before), 0, {});
        SetBlockProcessIds(clean, c.kept);
        EXPECT_EQ(block, clean) << "leftovers past the count";
    }
}

TEST(InstanceNames, DerivedFromThePathUserSessionAndDisplay) {
    TInstanceIdentity identity;
    identity.ExecutablePath = "/home/анна/bin/orvalen";
    identity.Display = ":0.0";
    identity.Uid = 1000;
    identity.Session = 4242;
    identity.UserName = "anna";
    identity.HostName = "desk";
    const TInstanceNames names = MakeInstanceNames(identity);
    EXPECT_EQ(names.Id, "ORV_HOME_АННА_BIN_ORVALEN");
    EXPECT_EQ(names.Lock, "/ORV_HOME_АННА_BIN_ORVALEN_Otx_1000_:0");
    EXPECT_EQ(names.All, "/ORV_HOME_АННА_BIN_ORVALEN_All_1000_:0");
    EXPECT_EQ(names.Session, "/ORV_HOME_АННА_BIN_ORVALEN_Session_4242_1000_:0");
    EXPECT_EQ(names.User, "/ORV_HOME_АННА_BIN_ORVALEN_User_anna_desk_1000_:0");
    EXPECT_EQ(InstanceSocketName(names, 31337, "/run/user/1000"),
              "ORV_HOME_АННА_BIN_ORVALEN_Msg_1000_:0_31337");

    // Another user, another display (a Wayland socket path) and a path that is not UTF-8.
    identity.ExecutablePath = "/opt/\xc6/orvalen";
    identity.Display = "/run/user/7/wayland-0";
    identity.Uid = 7;
    const TInstanceNames other = MakeInstanceNames(identity);
    EXPECT_EQ(other.All, "/ORV_OPT_\xc6_ORVALEN_All_7__run_user_7_wayland-0");
}

TEST(InstanceNames, LongNamesAreShortenedByAHashThatKeepsThemApart) {
    TInstanceIdentity identity;
    identity.ExecutablePath = "/" + std::string(400, 'a') + "/orvalen";
    identity.Uid = 1000;
    const TInstanceNames names = MakeInstanceNames(identity);
    const std::string objects[] = {names.Lock, names.All, names.Session, names.User};
    for (const std::string& name : objects) {
        EXPECT_EQ(name.size(), 1 + InstanceNameLimit) << name;
        EXPECT_EQ(name.find('/', 1), std::string::npos);
        EXPECT_EQ(name.substr(0, 10), "/ORV_AAAAA");
    }
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = i + 1; j < 4; ++j)
            EXPECT_NE(objects[i], objects[j]);
    EXPECT_EQ(MakeInstanceNames(identity).All, names.All); // the same every time

    const std::string folder = "/tmp/" + std::string(60, 'f');
    const std::string a = InstanceSocketName(names, 100, folder);
    const std::string b = InstanceSocketName(names, 101, folder);
    EXPECT_NE(a, b);
    EXPECT_LE(folder.size() + 1 + a.size(), sizeof(sockaddr_un::sun_path) - 1);
    EXPECT_EQ(ShortenName("short", 10), "short");
}

TEST(RunningInstance, OnlyLiveProcessesOfThisProgram) {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    const std::string exe(self, std::size_t(length));
    EXPECT_TRUE(IsRunningInstance(std::uint32_t(getpid()), exe));
    EXPECT_FALSE(IsRunningInstance(std::uint32_t(getpid()), "/usr/bin/another-program"));
    EXPECT_FALSE(IsRunningInstance(0, exe));
    EXPECT_FALSE(IsRunningInstance(0xFFFFFFF0u, exe));

    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    ASSERT_GT(child, 0);
    // Ended but not yet reaped.
    for (int i = 0; i < 500 && IsRunningInstance(std::uint32_t(child), exe); ++i)
        usleep(2000);
    EXPECT_FALSE(IsRunningInstance(std::uint32_t(child), exe));
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(IsRunningInstance(std::uint32_t(child), exe));
}

TEST_F(SharedRegistry, InstancesAreListedInRegistrationOrderAndEmptyBlocksGo) {
    TInstanceRegistry first = Registry(1001);
    TInstanceRegistry second = Registry(1002);
    EXPECT_TRUE(first.Register());
    EXPECT_TRUE(second.Register());
    EXPECT_EQ(second.Instances(), (TIds{1001, 1002}));
    EXPECT_EQ(first.Unregister(), (TIds{1002}));
    EXPECT_EQ(second.Instances(), (TIds{1002}));
    EXPECT_TRUE(Exists(Names.All));
    EXPECT_TRUE(second.Unregister().empty());
    EXPECT_FALSE(Exists(Names.All));
    EXPECT_FALSE(Exists(Names.Session));
    EXPECT_FALSE(Exists(Names.User));
}

TEST_F(SharedRegistry, BlocksWithImpossibleCountsAndDeadEntriesAreRepaired) {
    TIds junk(257, 4);
    junk[0] = 3;
    Plant(Names.All, BlockWith(0xFFFF, 60000, junk));
    Plant(Names.Session, BlockWith(0, 40, {3}));
    TIds dropped;
    TInstanceRegistry registry = Registry(1001, [](std::uint32_t pid) { return pid != 3; });
    registry.OnDropped = [&dropped](std::uint32_t pid) { dropped.push_back(pid); };
    EXPECT_TRUE(registry.Register());
    EXPECT_EQ(registry.Instances(), (TIds{4, 1001}));
    EXPECT_EQ(dropped, (TIds{3}));
}

TEST_F(SharedRegistry, BlocksAreTheUsersAloneAndOneOthersCouldWriteIsReplaced) {
    // Anyone could have written these: an entry put in front, or the own one wiped out.
    Plant(Names.All, BlockWith(0xFFFF, 1, {4}), 0666);
    Plant(Names.Session, BlockWith(0, 1, {4}), 0622);
    TInstanceRegistry registry = Registry(1001);
    EXPECT_TRUE(registry.Register());
    EXPECT_EQ(registry.Instances(), (TIds{1001}));
    for (const std::string& name : {Names.All, Names.Session, Names.User})
        EXPECT_EQ(Mode(name), 0600u) << name;
}

TEST_F(SharedRegistry, ABlockOfAnotherUserIsNotUsed) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    const std::string name = Names.All;
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, 0666);
        TInstanceBlock block = BlockWith(1, 1, {1}); // PID 1 always runs
        _exit(fd >= 0 && ftruncate(fd, 1032) == 0 &&
                      pwrite(fd, block.data(), block.size(), 0) == 1032
                  ? 0
                  : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(status, 0);
    TInstanceRegistry registry = Registry(1001);
    registry.Register();
    // Alone: not behind the planted entry, and the planted block is left as it was.
    EXPECT_NE(registry.Instances(), (TIds{1, 1001}));
    const int fd = shm_open(name.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    TInstanceBlock block{};
    EXPECT_EQ(pread(fd, block.data(), block.size(), 0), 1032);
    close(fd);
    EXPECT_EQ(block, BlockWith(1, 1, {1}));
}

TEST_F(SharedRegistry, ALockLeftHeldByAKilledProcessIsTakenOverInBoundedTime) {
    const std::string lock = Names.Lock;
    const pid_t child = fork();
    if (child == 0) {
        sem_t* sem = sem_open(lock.c_str(), O_CREAT, 0600, 1);
        if (sem == SEM_FAILED || sem_wait(sem) != 0)
            _exit(1);
        pause(); // killed while holding it
        _exit(0);
    }
    // Wait until the child holds it.
    for (int i = 0; i < 1000; ++i) {
        sem_t* sem = sem_open(lock.c_str(), 0);
        int value = 1;
        if (sem != SEM_FAILED) {
            sem_getvalue(sem, &value);
            sem_close(sem);
        }
        if (value == 0)
            break;
        usleep(2000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    // Two starts meet the dead lock at once: each gets through, one after the other.
    std::atomic<int> recovered{0};
    const double seconds = SecondsOf([&] {
        std::thread other([&] {
            TInstanceRegistry registry = Registry(1002, Everyone, 300ms);
            registry.Register();
            recovered += registry.LockRecovered();
        });
        TInstanceRegistry registry = Registry(1001, Everyone, 300ms);
        registry.Register();
        recovered += registry.LockRecovered();
        other.join();
    });
    EXPECT_LT(seconds, 3.0);
    EXPECT_EQ(recovered, 1);
    TInstanceRegistry registry = Registry(1003, Everyone, 300ms);
    TIds listed;
    EXPECT_LT(SecondsOf([&] { listed = registry.Instances(); }), 0.25) << "the lock works again";
    EXPECT_FALSE(registry.LockRecovered());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (TIds{1001, 1002}));
}

TEST(InstanceMessage, EncodingRoundTripsAndJunkIsRefused) {
    const TInstanceMessage messages[] = {
        {TInstanceMessageKind::Created, 1234, {}},
        {TInstanceMessageKind::ActiveState, 0, {}},
        {TInstanceMessageKind::UserNotify, -5, {}},
        {TInstanceMessageKind::CopyData, 1, std::string("--simulate\r\n--verbose\0x", 24)},
    };
    for (const auto& message : messages)
        EXPECT_EQ(DecodeInstanceMessage(EncodeInstanceMessage(message)), message);
    const std::string good = EncodeInstanceMessage({TInstanceMessageKind::Created, 1, {}});
    std::string unknownKind = good;
    unknownKind[4] = 99;
    const std::string junk[] = {"",
                                "ORVI",
                                good.substr(0, 11),
                                "XRVI" + good.substr(4),
                                unknownKind,
                                good + std::string(InstanceMessageDataLimit + 1, 'x')};
    for (const std::string& bytes : junk)
        EXPECT_FALSE(DecodeInstanceMessage(bytes)) << bytes.size();
}

TEST(InstanceSocket, MessagesArriveAndQueriesAreAnswered) {
    char folder[] = "/tmp/instance-socket-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    const std::string path = std::string(folder) + "/first";
    TInstanceSocket socket;
    ASSERT_TRUE(socket.Open(path));
    const TInstanceMessage message{TInstanceMessageKind::CopyData, 1, "a\r\nb"};
    EXPECT_TRUE(SendInstanceMessage(path, message, 200ms));
    auto received = socket.Receive();
    ASSERT_TRUE(received);
    EXPECT_EQ(received->Message, message);
    EXPECT_FALSE(socket.Receive());

    // The query waits for the answer that the instance gives from its own loop.
    std::thread answering([&socket] {
        for (int i = 0; i < 200; ++i) {
            if (auto query = socket.Receive()) {
                socket.Reply(query->ReplyAddress, {TInstanceMessageKind::ActiveState, 0, {}});
                return;
            }
            usleep(5000);
        }
    });
    const auto answers = QueryInstancesActive({path, std::string(folder) + "/gone"}, 77, 2000ms);
    answering.join();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0], std::optional<bool>(false));
    EXPECT_EQ(answers[1], std::nullopt);
    socket.Close();
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    rmdir(folder);
}

TEST(InstanceSocket, APathThatDoesNotAnswerCostsAtMostTheTimeout) {
    char folder[] = "/tmp/instance-socket-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    const std::string base = folder;
    // A socket file left by a process that is gone.
    {
        const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, (base + "/stale").c_str());
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        close(fd);
    }
    // A plain file in a socket's place.
    close(open((base + "/file").c_str(), O_CREAT | O_WRONLY, 0600));
    // An instance that never reads: its queue fills up.
    TInstanceSocket deaf;
    ASSERT_TRUE(deaf.Open(base + "/deaf"));
    const TInstanceMessage big{TInstanceMessageKind::CopyData, 1, std::string(60000, 'x')};
    while (SendInstanceMessage(base + "/deaf", big, 0ms)) {
    }
    for (const char* name : {"/stale", "/file", "/missing", "/deaf"}) {
        SCOPED_TRACE(name);
        bool sent = true;
        const double seconds =
            SecondsOf([&] { sent = SendInstanceMessage(base + name, big, 200ms); });
        EXPECT_FALSE(sent);
        EXPECT_LT(seconds, 1.0);
    }
    EXPECT_LT(SecondsOf([&] {
                  QueryInstancesActive({base + "/deaf", base + "/stale"}, 1, 200ms);
              }),
              1.0);
    deaf.Close();
    unlink((base + "/stale").c_str());
    unlink((base + "/file").c_str());
    rmdir(folder);
}

TEST(InstanceSocketFolder, OnlyAFolderClosedToOthersIsUsed) {
    char runtime[] = "/tmp/instance-runtime-XXXXXX";
    ASSERT_TRUE(mkdtemp(runtime)); // 0700
    EXPECT_EQ(InstanceSocketFolder(geteuid(), runtime), runtime);
    const std::string fallback = "/tmp/orvalen-" + std::to_string(geteuid());
    chmod(runtime, 0755);
    EXPECT_EQ(InstanceSocketFolder(geteuid(), runtime), fallback);
    EXPECT_EQ(InstanceSocketFolder(geteuid(), nullptr), fallback);
    EXPECT_EQ(InstanceSocketFolder(geteuid(), "relative"), fallback);
    struct stat info {};
    ASSERT_EQ(lstat(fallback.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    rmdir(runtime);
}
