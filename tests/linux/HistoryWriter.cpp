#include "linux/SqliteHistoryStore.h"

#include <fcntl.h>
#include <future>
#include <unistd.h>

// Usage: history_writer <database> <acknowledgement file> <serial number>. Round r records, in one
// call, a reading of the device and one of "<serial number>-B", both at 1'800'000'000 + r seconds
// with r mod 100 percent, charging every other hundred rounds; once the store says they are stored,
// it writes r at the start of the acknowledgement file.
int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const int acknowledgement = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    corvane::SqliteHistoryStore store {std::filesystem::path(argv[1])};
    const std::string serial = argv[3];
    for (std::int64_t round = 0; acknowledgement >= 0; ++round) {
        const corvane::Date time {std::chrono::seconds {1'800'000'000 + round}};
        const bool charging = (round / 100) % 2 == 1;
        std::promise<bool> stored;
        store.record({{serial, "Writer", time, round % 100, false, charging},
                         {serial + "-B", "Writer B", time, round % 100, false, charging}},
            [&stored](bool ok) { stored.set_value(ok); });
        if (!stored.get_future().get())
            return 1;
        if (::pwrite(acknowledgement, &round, sizeof round, 0) != sizeof round)
            return 1;
    }
    return 2;
}
