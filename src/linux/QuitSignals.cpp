#include "linux/QuitSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <iostream>
#include <sys/signalfd.h>
#include <unistd.h>

namespace corvane {

namespace {

sigset_t quitSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

} // namespace

void QuitSignals::blockQuitSignals()
{
    const sigset_t set = quitSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

QuitSignals::QuitSignals(std::function<void()> quit)
{
    const sigset_t set = quitSignals();
    m_fd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_fd < 0) {
        // Without it the signals stay blocked and would be lost: let them end the process as before.
        std::cerr << "corvane: cannot read quit signals; SIGTERM and SIGINT end Corvane at once\n";
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        return;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this, quit = std::move(quit)] {
        signalfd_siginfo info {};
        while (::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) { }
        quit();
    });
}

QuitSignals::~QuitSignals()
{
    if (m_fd >= 0) {
        delete m_notifier;
        ::close(m_fd);
    }
}

} // namespace corvane
