#include "linux/PercentTable.h"

#include <unicode/uversion.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace corvane {

const PercentEntry* findPercentEntry(std::string_view name)
{
    UVersionInfo version;
    u_getVersion(version);
    std::array<char, U_MAX_VERSION_STRING_LENGTH> running {};
    u_versionToString(version, running.data());
    if (std::strcmp(running.data(), kPercentTableIcuVersion) != 0)
        return nullptr;
    const PercentEntry* end = kPercentTable + kPercentTableSize;
    const PercentEntry* found = std::lower_bound(
        kPercentTable, end, name, [](const PercentEntry& entry, std::string_view key) { return entry.name < key; });
    return found != end && found->name == name ? found : nullptr;
}

} // namespace corvane
