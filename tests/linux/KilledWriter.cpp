#include "linux/SqliteHistoryStore.h"

#include <fcntl.h>
#include <future>
#include <unistd.h>

// Usage: killed_writer <database> <acknowledgement file> <serial number>. Records in rounds until killed, and
// after round r is stored writes r at the start of the acknowledgement file. Round r records, in one call, a
// reading of the device and one of "<serial number>-B", both at 1'800'000'000 + r seconds with r mod 100
// percent, charging every other hundred rounds.
int main(int argc, char** argv)
{
    const int acknowledgement = argc == 4 ? ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600) : -1;
    if (acknowledgement < 0)
        return 2;
    corvane::SqliteHistoryStore history {std::filesystem::path(argv[1])};
    const std::string serial = argv[3];
    for (std::int64_t round = 0;; ++round) {
        const corvane::Date time {std::chrono::seconds {1'800'000'000 + round}};
        const bool charging = (round / 100) % 2 == 1;
        std::promise<bool> stored;
        history.record({{serial, "Writer", time, round % 100, false, charging},
                           {serial + "-B", "Writer B", time, round % 100, false, charging}},
            [&stored](bool ok) { stored.set_value(ok); });
        if (!stored.get_future().get() || ::pwrite(acknowledgement, &round, sizeof round, 0) != sizeof round)
            return 1;
    }
}
