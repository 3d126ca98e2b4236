#include "app/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t signalled = 0;

void onSignal(int number)
{
    if (signalled) {
        std::signal(number, SIG_DFL);
        std::raise(number);
        return;
    }
    signalled = 1;
    const char byte = 1;
    // Only async-signal-safe calls here: the GUI thread does the rest.
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

void closeOnTerminationSignals(std::function<void()> close)
{
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    // Owned by the application, so that it goes with it when the program ends.
    auto *notifier =
        new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [notifier, close = std::move(close)] {
                         char byte = 0;
                         [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
                         notifier->setEnabled(false);
                         close();
                     });
    struct sigaction action { };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}
