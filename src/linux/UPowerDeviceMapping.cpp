#include "linux/UPowerDeviceMapping.h"

#include "core/RegistryKey.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>
#include <unordered_map>

namespace corvane {

namespace {

// UPower's device types that are input devices (mouse, keyboard, tablet,
// gaming input, pen, touchpad, remote control, Bluetooth generic).
const std::set<std::uint32_t> kInputTypes {5, 6, 10, 12, 13, 14, 22, 28};
const std::set<std::uint32_t> kPointingTypes {5, 14};
// UPower's coarse battery levels: low, critical, normal, high, full.
const std::set<std::uint32_t> kCoarseLevels {3, 4, 6, 7, 8};
const std::set<std::uint32_t> kLowLevels {3, 4};
constexpr std::uint32_t kLinePower = 1;
constexpr std::uint32_t kStateUnknown = 0;
constexpr std::uint32_t kStateCharging = 1;
constexpr std::int64_t kChargingFlags = 3;

std::string name(RegistryKey key) { return std::string(rawValue(key)); }

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
        [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return text;
}

// The first "aa:bb:cc:dd:ee:ff" (or "aa_bb_..." as BlueZ writes it) inside `path`.
std::optional<std::string> addressIn(const std::string& path)
{
    constexpr std::size_t kLength = 17;
    for (std::size_t start = 0; start + kLength <= path.size(); ++start) {
        const char separator = path[start + 2];
        if (separator != ':' && separator != '_')
            continue;
        bool matches = true;
        for (std::size_t i = 0; i < kLength && matches; ++i) {
            const char c = path[start + i];
            matches = (i % 3 == 2) ? c == separator : isHex(c);
        }
        // An address stands on its own, not inside a longer run of hex digits.
        if (matches && start > 0 && (isHex(path[start - 1]) || path[start - 1] == separator))
            matches = false;
        if (matches && start + kLength < path.size()
            && (isHex(path[start + kLength]) || path[start + kLength] == separator))
            matches = false;
        if (matches) {
            auto address = path.substr(start, kLength);
            std::replace(address.begin(), address.end(), '_', ':');
            return upper(address);
        }
    }
    return std::nullopt;
}

bool hasCoarseLevel(const UPowerDevice& device)
{
    return device.batteryLevel && kCoarseLevels.contains(*device.batteryLevel);
}

bool isInputPeripheral(const UPowerDevice& device)
{
    return device.powerSupply == false && device.isPresent == true && device.type && kInputTypes.contains(*device.type);
}

bool reportsChargingState(const UPowerDevice& device) { return device.state && *device.state != kStateUnknown; }

// The percentage as an integer reading, or none when the device has no usable
// one: out of range, or UPower's stand-in for a device that just connected.
std::optional<std::int64_t> batteryPercent(const UPowerDevice& device)
{
    if (!device.percentage || !std::isfinite(*device.percentage) || *device.percentage < 0.0
        || *device.percentage > 100.0)
        return std::nullopt;
    if (*device.percentage <= 0.0 && !reportsChargingState(device) && !hasCoarseLevel(device))
        return std::nullopt;
    return static_cast<std::int64_t>(std::lround(*device.percentage));
}

UPowerEntry entryFor(const UPowerDevice& device, std::string serialNumber)
{
    UPowerEntry entry;
    auto& properties = entry.properties;
    properties[name(RegistryKey::product)] = device.model.value_or(std::string());
    properties[name(RegistryKey::serialNumber)] = std::move(serialNumber);
    if (auto percent = batteryPercent(device))
        properties[name(RegistryKey::batteryPercent)] = *percent;
    if (device.type && kPointingTypes.contains(*device.type) && hasCoarseLevel(device)) {
        entry.serviceClass = name(RegistryKey::bnbMouseDevice);
        properties[name(RegistryKey::hidDefaultBehavior)] = std::string("Mouse");
        properties[name(RegistryKey::batteryLow)] = kLowLevels.contains(*device.batteryLevel);
    } else {
        entry.serviceClass = name(RegistryKey::appleDeviceManagementHIDEventService);
        properties[name(RegistryKey::batteryStatusFlags)]
            = device.state == kStateCharging ? kChargingFlags : std::int64_t {0};
    }
    return entry;
}

} // namespace

std::optional<std::string> UPowerDeviceMapping::serialNumber(const UPowerDevice& device)
{
    if (device.serial && !device.serial->empty())
        return upper(*device.serial);
    if (device.nativePath)
        return addressIn(*device.nativePath);
    return std::nullopt;
}

bool UPowerDeviceMapping::couldList(const UPowerDevice& device)
{
    return device.powerSupply != true && (!device.type || kInputTypes.contains(*device.type));
}

bool UPowerDeviceMapping::worthListeningTo(const UPowerDevice& device)
{
    return device.powerSupply != true && device.type != kLinePower;
}

bool UPowerDeviceMapping::changeMatters(bool listable, const std::vector<std::string>& changed)
{
    // What a device is decides whether it is listed at all.
    static const std::set<std::string, std::less<>> kWhatItIs {"Type", "PowerSupply"};
    static const std::set<std::string, std::less<>> kWhatIsShown {
        "Percentage", "State", "BatteryLevel", "IsPresent", "Model", "Serial", "NativePath"};
    return std::any_of(changed.begin(), changed.end(), [listable](const std::string& name) {
        return kWhatItIs.contains(name) || (listable && kWhatIsShown.contains(name));
    });
}

std::vector<UPowerEntry> UPowerDeviceMapping::entries(const std::vector<UPowerDevice>& devices)
{
    // One chosen device per identity, kept in the order identities first appear.
    std::vector<std::pair<std::string, const UPowerDevice*>> chosen;
    std::unordered_map<std::string, std::size_t> chosenBySerial;
    for (const auto& device : devices) {
        if (!isInputPeripheral(device))
            continue;
        auto serial = serialNumber(device);
        if (!serial)
            continue;
        auto [same, isNew] = chosenBySerial.try_emplace(*serial, chosen.size());
        if (isNew)
            chosen.emplace_back(std::move(*serial), &device);
        else if (auto& kept = chosen[same->second].second; !reportsChargingState(*kept) && reportsChargingState(device))
            kept = &device;
    }
    std::vector<UPowerEntry> result;
    result.reserve(chosen.size());
    for (auto& [serial, device] : chosen)
        result.push_back(entryFor(*device, std::move(serial)));
    return result;
}

} // namespace corvane
