#pragma once

// Only one instance per executable (and per user and display): the first start registers and
// runs; a later start asks the first one to come forward, hands it its command line and ends.
// Everything here runs on the GUI thread but the reading of the instance's socket
// (InstanceInbox.h); the registry shared with the other processes is guarded by its own named
// lock (platform/system/InstanceRegistry.h).

#include "InstanceInbox.h"
#include "platform/system/InstanceRegistry.h"

#include <QObject>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Who this instance is to the registry; ThisProcess() for the running program.
struct TAppInstancesSetup {
    TInstanceIdentity Identity;
    std::uint32_t Pid = 0;
    std::function<bool(std::uint32_t)> IsRunning; // whether a registered ID is still an instance
    std::string SocketFolder;                     // "" : no notifications
    std::chrono::milliseconds LockTimeout{1000};
    // How long a start waits for a registered instance to answer; one that does not is stale
    // (stopped, hung, or a process of this program whose socket is elsewhere). Long enough
    // for an instance that is itself still starting to reach its event loop.
    std::chrono::milliseconds AnswerTimeout{5000};
    // The activation token this start was given by whoever started it (XDG_ACTIVATION_TOKEN);
    // handed to the instance it hands over to, since on Wayland only a token lets a program
    // bring its window to the front. "" : none.
    std::string ActivationToken;

    static TAppInstancesSetup ThisProcess();
};

class TAppInstances : public QObject {
public:
    explicit TAppInstances(QObject* parent = nullptr);
    explicit TAppInstances(TAppInstancesSetup setup, QObject* parent = nullptr);
    ~TAppInstances() override; // unregisters

    // Adds this instance to the registry and opens its socket; tells the others when all the
    // registry's limits held. Once per object.
    void Register();
    // Whether this instance must end: another instance registered first and answers. It is
    // then asked to come forward, gets `arguments` joined by CR LF, and this instance is
    // unregistered. Otherwise this instance runs, and answers the starts that ask from now on.
    bool Check(const QStringList& arguments);
    // Removes this instance from the registry and tells the others; again does nothing.
    void Unregister();

    bool Active() const { return FActive; }
    void SetActive(bool value);
    bool Registered() const { return FRegistered; }

    // Another start asked this instance to come forward, with that start's activation token
    // ("" when it had none).
    std::function<void(const QString& activationToken)> OnActivateRequest;
    // Another start's command line, its arguments joined by CR LF.
    std::function<void(const QString&)> OnCommandLine;
    std::function<void(std::uint32_t pid)> OnInstanceCreated;
    std::function<void(std::uint32_t pid)> OnInstanceDestroyed;
    std::function<void(std::int32_t value)> OnUserNotify;

private:
    std::string SocketPath(std::uint32_t pid) const;
    std::vector<std::string> SocketPaths(const std::vector<std::uint32_t>& pids) const;
    void Send(const std::vector<std::uint32_t>& pids, const TInstanceMessage& message) const;
    bool CarryOn(); // this instance runs: false
    void Deliver(); // GUI thread: the messages that waited

    TAppInstancesSetup FSetup;
    TInstanceNames FNames;
    TInstanceRegistry FRegistry;
    TInstanceSocket FSocket;
    std::unique_ptr<TInstanceInbox> FInbox; // while the socket is open
    bool FActive = true;
    bool FRegistered = false;
    bool FRegisterCalled = false;
};
