#include "core/Texts.h"
#include "ui/HistoryWindow.h"

#include <QAreaSeries>
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>

namespace corvane {

namespace {

qreal msecs(Date time)
{
    return static_cast<qreal>(std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count());
}

const QColor kChargingShade {0x1f, 0x9d, 0x3c, 70};
const QColor kChargingShadeOnDark {0x3c, 0xd2, 0x5f, 90};
const QColor kThresholdColor {0xd7, 0x26, 0x1e};
// The level in one colour on every chart, whatever else a chart holds.
const QColor kLevelColor {0x1f, 0x6f, 0xd1};
const QColor kLevelColorOnDark {0x5a, 0xa9, 0xf5};

QString localized(const Texts& texts, const char* key) { return QString::fromStdString(texts.localized(key)); }

// One shaded band from the floor to the top over [start, end].
QAreaSeries* chargingBand(qreal start, qreal end, const QColor& shade, QObject* parent)
{
    auto* upper = new QLineSeries(parent);
    upper->append(start, 100);
    upper->append(end, 100);
    auto* lower = new QLineSeries(parent);
    lower->append(start, 0);
    lower->append(end, 0);
    auto* band = new QAreaSeries(upper, lower);
    band->setObjectName(QStringLiteral("charging"));
    band->setColor(shade);
    band->setBorderColor(Qt::transparent);
    return band;
}

// Draws the level into `level` and returns the charging periods. The history
// keeps a reading only when the level changed: each holds until the next one.
std::vector<std::pair<qreal, qreal>> traceLevel(
    const std::vector<BatteryReading>& readings, Date from, Date now, QLineSeries& level)
{
    std::vector<std::pair<qreal, qreal>> bands;
    bool charging = false;
    qreal chargingSince = 0;
    for (const auto& reading : readings) {
        const qreal at = msecs(std::max(reading.time, from));
        if (level.count() > 0)
            level.append(at, level.at(level.count() - 1).y());
        level.append(at, static_cast<qreal>(reading.percent));
        if (reading.charging && !charging)
            chargingSince = at;
        else if (!reading.charging && charging)
            bands.emplace_back(chargingSince, at);
        charging = reading.charging;
    }
    if (level.count() > 0)
        level.append(msecs(now), level.at(level.count() - 1).y());
    if (charging)
        bands.emplace_back(chargingSince, msecs(now));
    return bands;
}

} // namespace

QChart* historyChart(const QString& title, const std::vector<BatteryReading>& readings, std::int64_t threshold,
    Date from, Date now, bool dark, const Texts& texts)
{
    auto* chart = new QChart;
    chart->setTheme(dark ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    // The plot gets the room: thin margins around it.
    chart->setMargins(QMargins(4, 0, 8, 0));
    chart->layout()->setContentsMargins(0, 0, 0, 0);

    auto* level = new QLineSeries(chart);
    level->setName(localized(texts, "Battery level"));
    level->setObjectName(QStringLiteral("level"));
    level->setPen(QPen(dark ? kLevelColorOnDark : kLevelColor, 2));
    const auto bands = traceLevel(readings, from, now, *level);
    // A line too short to see (a device first seen moments ago) shows its readings as dots.
    const qreal shortest = (msecs(now) - msecs(from)) / 100;
    level->setPointsVisible(level->count() > 0 && level->at(level->count() - 1).x() - level->at(0).x() < shortest);
    for (const auto& [start, end] : bands) {
        auto* band = chargingBand(start, end, dark ? kChargingShadeOnDark : kChargingShade, chart);
        band->setName(localized(texts, "Charging"));
        chart->addSeries(band);
    }
    chart->addSeries(level);
    auto* line = new QLineSeries(chart);
    line->setName(localized(texts, "Warning level"));
    line->setObjectName(QStringLiteral("threshold"));
    line->append(msecs(from), static_cast<qreal>(threshold));
    line->append(msecs(now), static_cast<qreal>(threshold));
    line->setPen(QPen(kThresholdColor, 1.5, Qt::DashLine));
    chart->addSeries(line);

    auto* time = new QDateTimeAxis(chart);
    time->setFormat(QStringLiteral("d MMM"));
    time->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(msecs(from))),
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(msecs(now))));
    auto* percent = new QValueAxis(chart);
    percent->setRange(0, 100);
    percent->setLabelFormat(QStringLiteral("%d%%"));
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(percent, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(time);
        series->attachAxis(percent);
    }
    // One legend entry for all the charging bands.
    bool first = true;
    for (QAbstractSeries* series : chart->series()) {
        if (series->objectName() != QLatin1String("charging"))
            continue;
        for (QLegendMarker* marker : chart->legend()->markers(series))
            marker->setVisible(first);
        first = false;
    }
    return chart;
}

} // namespace corvane
