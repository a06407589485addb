// Builds UPower devices from arbitrary bytes, each property absent or of any
// D-Bus type with any value (texts as raw, possibly invalid, UTF-8), and runs
// them through the registry adapter's property reading, the mapping to
// registry entries and the reader's judgement of each entry. Must hold: no
// crash or sanitizer report; at most one entry per input peripheral, with a
// known class and a unique, non-empty serial number without ASCII lower case; texts that
// are valid UTF-8 without control characters, bounded in length; percents from
// 0 to 100; every entry with a percent becomes a device.

#include "core/IORegParser.h"
#include "core/RegistryKey.h"
#include "linux/UPowerDeviceMapping.h"
#include "linux/UPowerRegistry.h"

#include <QDBusObjectPath>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>
#include <string>
#include <vector>

using corvane::RegistryKey;
using corvane::RegistryValue;

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "UPower mapping fuzzer: %s\n", what);
    std::abort();
}

const std::array<const char*, 9> kProperties {
    "Type", "PowerSupply", "IsPresent", "Model", "Serial", "NativePath", "Percentage", "State", "BatteryLevel"};

double percentage(FuzzedDataProvider& input)
{
    constexpr std::array<double, 8> kOdd {std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), -1.0, 0.0, 100.0, 100.5,
        1e300};
    return input.ConsumeBool() ? input.PickValueInArray(kOdd) : input.ConsumeFloatingPoint<double>();
}

QVariant anyValue(FuzzedDataProvider& input, const char* property)
{
    switch (input.ConsumeIntegralInRange(0, 8)) {
    case 0:
        return {};
    case 1:
        return input.ConsumeBool();
    case 2:
        // Small numbers reach UPower's device types, states and levels.
        return input.ConsumeBool() ? uint {input.ConsumeIntegral<std::uint8_t>()} : input.ConsumeIntegral<uint>();
    case 3:
        return input.ConsumeIntegral<int>();
    case 4:
        return std::string_view(property) == "Percentage" ? percentage(input) : input.ConsumeFloatingPoint<double>();
    case 5: {
        const auto bytes = input.ConsumeRandomLengthString(400);
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    case 6:
        return input.ConsumeIntegral<qlonglong>();
    case 7:
        return QStringList {QString::fromStdString(input.ConsumeRandomLengthString(20))};
    default:
        return QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/freedesktop/UPower/devices/x")));
    }
}

// An input peripheral by UPower's properties alone: only these may become entries.
bool isInputPeripheral(const QVariantMap& properties)
{
    static const std::set<uint> kInputTypes {5, 6, 10, 12, 13, 14, 22, 28};
    const auto type = properties.value(QStringLiteral("Type"));
    const auto powerSupply = properties.value(QStringLiteral("PowerSupply"));
    const auto present = properties.value(QStringLiteral("IsPresent"));
    return type.metaType() == QMetaType::fromType<uint>() && kInputTypes.contains(type.toUInt())
        && powerSupply.metaType() == QMetaType::fromType<bool>() && !powerSupply.toBool()
        && present.metaType() == QMetaType::fromType<bool>() && present.toBool();
}

void checkText(const std::string& text, qsizetype limit)
{
    const auto decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (decoded.toStdString() != text)
        fail("a text is not valid UTF-8");
    const auto codePoints = decoded.toUcs4();
    if (codePoints.size() > limit)
        fail("a text is longer than its bound");
    for (char32_t c : codePoints) {
        if (c < 0x20 || (c >= 0x7f && c < 0xa0))
            fail("a text holds a control character");
    }
}

class EntryView final : public corvane::RegistryEntry {
public:
    explicit EntryView(const corvane::UPowerEntry& entry)
        : m_entry(entry)
    {
    }
    RegistryValue property(std::string_view key) const override
    {
        const auto found = m_entry.properties.find(key);
        return found == m_entry.properties.end() ? RegistryValue {} : found->second;
    }

private:
    const corvane::UPowerEntry& m_entry;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    std::vector<corvane::UPowerDevice> devices;
    std::size_t peripherals = 0;
    const auto count = input.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        QVariantMap properties;
        for (const char* property : kProperties) {
            auto value = anyValue(input, property);
            if (value.isValid())
                properties.insert(QLatin1String(property), value);
        }
        peripherals += isInputPeripheral(properties) ? 1 : 0;
        devices.push_back(corvane::UPowerRegistry::deviceFromProperties(properties));
    }

    const auto entries = corvane::UPowerDeviceMapping::entries(devices);
    if (entries.size() > peripherals)
        fail("more entries than input peripherals");

    const std::string managed(rawValue(RegistryKey::appleDeviceManagementHIDEventService));
    const std::string pointing(rawValue(RegistryKey::bnbMouseDevice));
    std::set<std::string> serials;
    for (const auto& entry : entries) {
        if (entry.serviceClass != managed && entry.serviceClass != pointing)
            fail("an entry of an unknown class");
        const EntryView view(entry);
        const auto serial = view.property(rawValue(RegistryKey::serialNumber));
        const auto* serialText = std::get_if<std::string>(&serial);
        if (serialText == nullptr || serialText->empty())
            fail("an entry without a serial number");
        if (!serials.insert(*serialText).second)
            fail("two entries with one serial number");
        // Upper case where it makes one identity of "aa:bb:..." and "AA:BB:...": ASCII.
        if (std::any_of(serialText->begin(), serialText->end(), [](char c) { return c >= 'a' && c <= 'z'; }))
            fail("a serial number that is not upper case");
        checkText(*serialText, corvane::UPowerRegistry::kMaximumSerialLength);
        const auto product = view.property(rawValue(RegistryKey::product));
        if (const auto* name = std::get_if<std::string>(&product))
            checkText(*name, corvane::UPowerRegistry::kMaximumNameLength);

        const auto percent = view.property(rawValue(RegistryKey::batteryPercent));
        const auto* percentValue = std::get_if<std::int64_t>(&percent);
        if (percentValue != nullptr && (*percentValue < 0 || *percentValue > 100))
            fail("a percent outside 0 to 100");
        const auto serviceClass = entry.serviceClass == managed ? RegistryKey::appleDeviceManagementHIDEventService
                                                                : RegistryKey::bnbMouseDevice;
        const auto device = corvane::IORegParser::deviceFromEntry(view, serviceClass, 20);
        if (device.has_value() != (percentValue != nullptr))
            fail("an entry with a percent did not become a device, or one without did");
    }
    return 0;
}
