#pragma once

#include "core/Date.h"
#include "core/Device.h"
#include "core/HistoryStore.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <vector>

class QChart;
class QChartView;

class QPushButton;
class QVBoxLayout;

namespace corvane {

class Executor;
class Texts;

// The battery history window: one chart per device of the last 30 days of
// readings, the warning threshold as a line and the charging periods
// shaded, in the palette's light or dark theme; and "Clear History", which
// asks first and forgets every reading only on yes. Reads the store off the
// main thread and draws each chart when its readings arrive. Main thread.
class HistoryWindow final : public QWidget {
    Q_OBJECT

public:
    static constexpr std::chrono::days kShownSpan {30};

    HistoryWindow(HistoryStore& history, Executor& main, const Texts& texts, std::vector<Device> devices,
        std::int64_t threshold, Date now, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // One per device, in the order given; each gets its chart once read.
    const std::vector<QChartView*>& chartViews() const { return m_views; }
    QPushButton* clearButton() const { return m_clear; }
    // The question "Clear History" asks, while it is open.
    QMessageBox* clearConfirmation() const { return m_confirmation; }
    // How many charts have been drawn from the store's readings.
    int chartsDrawn() const { return m_drawn; }

Q_SIGNALS:
    void chartsReady();

private:
    void readAll();
    void draw(std::size_t index, const std::vector<BatteryReading>& readings);
    void askToClear();

    HistoryStore& m_history;
    Executor& m_main;
    const Texts& m_texts;
    std::vector<Device> m_devices;
    std::int64_t m_threshold;
    Date m_now;
    std::vector<QChartView*> m_views;
    QPushButton* m_clear;
    QPointer<QMessageBox> m_confirmation;
    int m_drawn = 0;
};

// A device's chart: its level over [from, now], the threshold line and the charging periods.
QChart* historyChart(const QString& title, const std::vector<BatteryReading>& readings, std::int64_t threshold,
    Date from, Date now, bool dark, const Texts& texts);

} // namespace corvane
