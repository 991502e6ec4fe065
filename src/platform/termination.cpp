#include "platform/termination.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>

namespace rendaal {
namespace {

int gSignalFds[2] = {-1, -1};

// Only async-signal-safe work here: the window thread does the rest.
void OnSignal(int signal) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(gSignalFds[0], &byte, 1);
}

}  // namespace

void HandleTerminationSignals(std::function<void()> onSignal) {
    if (gSignalFds[0] >= 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalFds) != 0) {
        return;
    }
    auto* notifier =
        new QSocketNotifier(gSignalFds[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [notifier, onSignal = std::move(onSignal)] {
                         char byte = 0;
                         [[maybe_unused]] const ssize_t n = ::read(gSignalFds[1], &byte, 1);
                         // A second signal while closing ends the program the hard way.
                         notifier->setEnabled(false);
                         std::signal(SIGTERM, SIG_DFL);
                         std::signal(SIGINT, SIG_DFL);
                         std::signal(SIGHUP, SIG_DFL);
                         onSignal();
                     });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace rendaal
