#include "linux/FileSettingsStore.h"

#include <cstdint>
#include <string>

// Usage: settings_writer <file>. Rewrites the file as fast as it can, with a
// growing number of keys, until it is killed.
int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    corvane::FileSettingsStore store {std::filesystem::path(argv[1])};
    for (std::int64_t round = 0;; ++round) {
        store.setValue("interval", round);
        store.setValue("device-" + std::to_string(round % 50), corvane::kDistantFuture);
    }
}
