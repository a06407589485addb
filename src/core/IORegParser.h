#pragma once

#include "core/Device.h"
#include "core/Registry.h"
#include "core/RegistryKey.h"
#include "core/runtime/Executor.h"
#include "core/runtime/Task.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

class SettingsStore;

// Reads the registry into Device records: one reader per refresh, given one
// pass per service class, then read once. Its passes run one at a time on
// `worker` (a serial executor that is not the caller's, where a read may
// block); the caller awaits them and continues on `resumeOn`. Nothing of the
// reader may be awaited still when it is destroyed.
class IORegParser {
public:
    IORegParser(Registry& registry, SettingsStore& settings, Executor& worker);
    IORegParser(const IORegParser&) = delete;
    IORegParser& operator=(const IORegParser&) = delete;
    ~IORegParser();

    // Appends the devices of one service class, in registry order. Any class
    // other than the managed input devices takes the pointing-device rules.
    Task<void> readDevices(RegistryKey serviceClass, Executor& resumeOn);

    // A copy of the devices read so far.
    Task<std::vector<Device>> devices(Executor& resumeOn);

    // The threshold a pass uses: an absent value means the default, a stored
    // value below the minimum is raised to it and written back.
    static std::int64_t normalisedThreshold(SettingsStore& settings);

    // One registry entry as a device, judged on its own properties alone;
    // none when it has no text serial number or no integer percent.
    static std::optional<Device> deviceFromEntry(
        const RegistryEntry& entry, RegistryKey serviceClass, std::int64_t threshold);

private:
    void readPass(RegistryKey serviceClass);

    Registry& m_registry;
    SettingsStore& m_settings;
    std::unique_ptr<RegistrySession> m_session;
    std::vector<Device> m_devices;
    Executor& m_executor;
};

} // namespace corvane
