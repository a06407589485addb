#include "core/runtime/ThreadClock.h"
#include "linux/FileSettingsStore.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <unistd.h>

// Usage: acknowledging_writer <settings file> <acknowledgement file>. Round r stores "interval" = r
// and "device-<r mod 64>" = r seconds, then writes r at the start of the acknowledgement file.
int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    // The store's folder watcher waits in an event loop; this one never turns, nothing here reads hand edits.
    QCoreApplication application(argc, argv);
    corvane::ThreadClock clock;
    const int acknowledgement = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    corvane::FileSettingsStore store {std::filesystem::path(argv[1]), clock};
    for (std::int64_t round = 0; acknowledgement >= 0; ++round) {
        store.setValue("interval", round);
        store.setValue("device-" + std::to_string(round % 64), corvane::Date {std::chrono::seconds {round}});
        if (::pwrite(acknowledgement, &round, sizeof round, 0) != sizeof round)
            return 1;
    }
    return 2;
}
