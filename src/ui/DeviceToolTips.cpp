#include "ui/DeviceToolTips.h"

#include "core/Texts.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

// A device chooses its own name: bounded, and on one line.
constexpr qsizetype kMaximumNameLength = 128;

QString localized(const Texts& texts, const char* key) { return QString::fromStdString(texts.localized(key)); }

QString percent(const Texts& texts, std::int64_t value) { return QString::fromStdString(texts.percent(value)); }

} // namespace

QString roughDuration(std::chrono::seconds span, const Texts& texts)
{
    using namespace std::chrono;
    const auto hoursLeft = std::lround(duration<double, hours::period>(span).count());
    if (hoursLeft < 1)
        return localized(texts, "less than an hour");
    if (hoursLeft < 24)
        return hoursLeft == 1 ? localized(texts, "about 1 hour") : localized(texts, "about %1 hours").arg(hoursLeft);
    const auto daysLeft = std::lround(duration<double, days::period>(span).count());
    return daysLeft == 1 ? localized(texts, "about 1 day") : localized(texts, "about %1 days").arg(daysLeft);
}

QString deviceToolTip(const BatteryEstimate& estimate, std::int64_t threshold, const Texts& texts)
{
    QStringList lines;
    switch (estimate.kind) {
    case BatteryEstimate::Kind::charging:
        return localized(texts, "Charging now");
    case BatteryEstimate::Kind::notEnoughHistory:
        lines << localized(texts, "Not enough history yet");
        break;
    case BatteryEstimate::Kind::estimated:
        if (!estimate.untilThreshold) {
            lines << localized(texts, "The level is holding steady");
            break;
        }
        if (estimate.untilThreshold->count() == 0)
            lines << localized(texts, "At or below %1 now").arg(percent(texts, threshold));
        else
            lines << localized(texts, "Reaches %1 in %2")
                         .arg(percent(texts, threshold), roughDuration(*estimate.untilThreshold, texts));
        if (estimate.untilEmpty)
            lines << localized(texts, "Empty in %1").arg(roughDuration(*estimate.untilEmpty, texts));
        lines << localized(texts, "Drains %1 a day")
                     .arg(percent(texts, std::max<std::int64_t>(1, std::llround(estimate.drainPerDay))));
        break;
    }
    if (estimate.lastCharged)
        lines << localized(texts, "Last charged %1").arg(QString::fromStdString(texts.dateTime(*estimate.lastCharged)));
    return lines.join(QLatin1Char('\n'));
}

QString trayToolTip(const QString& title, std::vector<Device> devices, const Texts& texts)
{
    std::stable_sort(devices.begin(), devices.end(),
        [](const Device& a, const Device& b) { return a.status.percent < b.status.percent; });
    QStringList lines {title};
    for (const Device& device : devices)
        lines << QStringLiteral("%1: %2").arg(QString::fromStdString(device.name).left(kMaximumNameLength).simplified(),
            percent(texts, device.status.percent));
    return lines.join(QLatin1Char('\n'));
}

} // namespace corvane
