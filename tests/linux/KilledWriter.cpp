#include "core/runtime/ThreadClock.h"
#include "linux/FileSettingsStore.h"
#include "linux/SqliteHistoryStore.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <future>
#include <unistd.h>

// Writes in rounds until killed; after round r is stored it writes r at the start of the acknowledgement file.
// Usage: killed_writer settings|history <file> <acknowledgement file> <serial number>.
// Settings: round r stores "interval" = r and "device-<r mod 64>" = r seconds; the serial number is unused.
// History: round r records, in one call, a reading of the device and one of "<serial number>-B", both at
// 1'800'000'000 + r seconds with r mod 100 percent, charging every other hundred rounds.
int main(int argc, char** argv)
{
    const std::string kind = argc > 1 ? argv[1] : "";
    if (argc != 5 || (kind != "settings" && kind != "history"))
        return 2;
    // The settings store's folder watcher waits in an event loop; this one never turns, nothing here reads hand edits.
    QCoreApplication application(argc, argv);
    corvane::ThreadClock clock;
    const int acknowledgement = ::open(argv[3], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::optional<corvane::FileSettingsStore> settings;
    std::optional<corvane::SqliteHistoryStore> history;
    if (kind == "settings")
        settings.emplace(std::filesystem::path(argv[2]), clock);
    else
        history.emplace(std::filesystem::path(argv[2]));
    for (std::int64_t round = 0; acknowledgement >= 0; ++round) {
        const corvane::Date time {std::chrono::seconds {history ? 1'800'000'000 + round : round}};
        std::promise<bool> stored;
        if (settings) {
            settings->setValue("interval", round);
            settings->setValue("device-" + std::to_string(round % 64), time);
            stored.set_value(true);
        } else {
            const bool charging = (round / 100) % 2 == 1;
            history->record({{argv[4], "Writer", time, round % 100, false, charging},
                                {argv[4] + std::string("-B"), "Writer B", time, round % 100, false, charging}},
                [&stored](bool ok) { stored.set_value(ok); });
        }
        if (!stored.get_future().get() || ::pwrite(acknowledgement, &round, sizeof round, 0) != sizeof round)
            return 1;
    }
    return 2;
}
