#include "AppInstances.h"

#include <QMetaObject>
#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace {

// An instance that does not take a message within this time is busy or hung; a start never
// waits longer for it.
constexpr std::chrono::milliseconds SendTimeout{200};

constexpr std::int32_t CommandLineTag = 1;

} // namespace

TAppInstancesSetup TAppInstancesSetup::ThisProcess() {
    TAppInstancesSetup setup;
    setup.Identity = CurrentInstanceIdentity();
    setup.Pid = std::uint32_t(getpid());
    setup.IsRunning = [executable = setup.Identity.ExecutablePath](std::uint32_t pid) {
        return IsRunningInstance(pid, executable);
    };
    setup.SocketFolder = InstanceSocketFolder(setup.Identity.Uid, std::getenv("XDG_RUNTIME_DIR"));
    if (const char* token = std::getenv("XDG_ACTIVATION_TOKEN"))
        setup.ActivationToken = token;
    return setup;
}

TAppInstances::TAppInstances(QObject* parent)
    : TAppInstances(TAppInstancesSetup::ThisProcess(), parent) {}

TAppInstances::TAppInstances(TAppInstancesSetup setup, QObject* parent)
    : QObject(parent), FSetup(std::move(setup)), FNames(MakeInstanceNames(FSetup.Identity)),
      FRegistry(FNames, FSetup.Pid, FSetup.IsRunning, FSetup.LockTimeout) {
    // The sockets of instances that died without unregistering go with their entries.
    FRegistry.OnDropped = [this](std::uint32_t pid) {
        if (pid != FSetup.Pid && !FSetup.SocketFolder.empty())
            unlink(SocketPath(pid).c_str());
    };
}

TAppInstances::~TAppInstances() {
    Unregister();
}

std::string TAppInstances::SocketPath(std::uint32_t pid) const {
    return FSetup.SocketFolder + "/" + InstanceSocketName(FNames, pid, FSetup.SocketFolder);
}

std::vector<std::string> TAppInstances::SocketPaths(const std::vector<std::uint32_t>& pids) const {
    std::vector<std::string> paths;
    for (std::uint32_t pid : pids)
        if (pid != FSetup.Pid && !FSetup.SocketFolder.empty())
            paths.push_back(SocketPath(pid));
    return paths;
}

void TAppInstances::Send(const std::vector<std::uint32_t>& pids,
                         const TInstanceMessage& message) const {
    for (const std::string& path : SocketPaths(pids))
        SendInstanceMessage(path, message, SendTimeout);
}

void TAppInstances::Register() {
    if (FRegisterCalled)
        return;
    FRegisterCalled = true;
    // The socket first: whoever finds this instance in the registry can reach it at once.
    if (!FSetup.SocketFolder.empty() && FSocket.Open(SocketPath(FSetup.Pid)))
        FInbox = std::make_unique<TInstanceInbox>(FSocket, FActive, [this] {
            QMetaObject::invokeMethod(
                this, [this] { Deliver(); }, Qt::QueuedConnection);
        });
    const bool within = FRegistry.Register();
    FRegistered = true;
    if (within)
        Send(FRegistry.Instances(),
             {TInstanceMessageKind::Created, std::int32_t(FSetup.Pid), std::string()});
}

void TAppInstances::SetActive(bool value) {
    FActive = value;
    if (FInbox)
        FInbox->SetActive(value);
}

bool TAppInstances::CarryOn() {
    if (FInbox)
        FInbox->StartAnswering();
    return false;
}

bool TAppInstances::Check(const QStringList& arguments) {
    if (!FRegistered)
        return false;
    const std::vector<std::uint32_t> instances = FRegistry.Instances();
    const auto own = std::find(instances.begin(), instances.end(), FSetup.Pid);
    if (own == instances.end() || own == instances.begin() || FSetup.SocketFolder.empty())
        return CarryOn();
    std::vector<std::uint32_t> others = instances;
    others.erase(std::remove(others.begin(), others.end(), FSetup.Pid), others.end());
    const std::vector<std::optional<bool>> answers =
        QueryInstancesActive(SocketPaths(others), FSetup.Pid, FSetup.AnswerTimeout);
    if (std::any_of(answers.begin(), answers.end(),
                    [](const std::optional<bool>& active) { return active == false; }))
        return CarryOn();
    // Only an instance that answered can take over; without one this start is the first.
    const auto running = std::find(answers.begin(), answers.end(), std::optional<bool>(true));
    if (running == answers.end())
        return CarryOn();
    Send({others[std::size_t(running - answers.begin())]},
         {TInstanceMessageKind::BringForward, 0, FSetup.ActivationToken});
    const QByteArray text = arguments.join(QStringLiteral("\r\n")).toUtf8();
    Send(instances, {TInstanceMessageKind::CopyData, CommandLineTag, text.toStdString()});
    Unregister();
    return true;
}

void TAppInstances::Unregister() {
    if (!FRegistered)
        return;
    FRegistered = false;
    FInbox.reset(); // its thread ends before the socket closes
    FSocket.Close();
    Send(FRegistry.Unregister(),
         {TInstanceMessageKind::Destroyed, std::int32_t(FSetup.Pid), std::string()});
}

void TAppInstances::Deliver() {
    if (!FInbox)
        return;
    for (const TInstanceMessage& message : FInbox->Take()) {
        switch (message.Kind) {
        case TInstanceMessageKind::Created:
            if (std::uint32_t(message.Value) != FSetup.Pid && OnInstanceCreated)
                OnInstanceCreated(std::uint32_t(message.Value));
            break;
        case TInstanceMessageKind::Destroyed:
            if (OnInstanceDestroyed)
                OnInstanceDestroyed(std::uint32_t(message.Value));
            break;
        case TInstanceMessageKind::UserNotify:
            if (OnUserNotify)
                OnUserNotify(message.Value);
            break;
        case TInstanceMessageKind::CopyData:
            if (message.Value == CommandLineTag && OnCommandLine)
                OnCommandLine(
                    QString::fromUtf8(message.Data.data(), qsizetype(message.Data.size())));
            break;
        case TInstanceMessageKind::BringForward:
            if (OnActivateRequest)
                OnActivateRequest(
                    QString::fromUtf8(message.Data.data(), qsizetype(message.Data.size())));
            break;
        case TInstanceMessageKind::QueryActive:
        case TInstanceMessageKind::ActiveState:
            break; // answered, or refused, by the inbox
        }
        // A handler may have unregistered (the close sequence): nothing more is delivered.
        if (!FRegistered)
            return;
    }
}
