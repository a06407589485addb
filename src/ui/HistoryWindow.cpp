#include "ui/HistoryWindow.h"

#include "core/Texts.h"
#include "core/runtime/Executor.h"
#include "ui/PlainLabel.h"

#include <QChartView>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace corvane {

namespace {

constexpr int kChartHeight = 260;

QString localized(const Texts& texts, const char* key) { return QString::fromStdString(texts.localized(key)); }

} // namespace

HistoryWindow::HistoryWindow(HistoryStore& history, Executor& main, const Texts& texts, std::vector<Device> devices,
    std::int64_t threshold, Date now, QWidget* parent)
    : QWidget(parent)
    , m_history(history)
    , m_main(main)
    , m_texts(texts)
    , m_devices(std::move(devices))
    , m_threshold(threshold)
    , m_now(now)
    , m_clear(new QPushButton(localized(texts, "Clear History"), this))
{
    setObjectName(QStringLiteral("historyWindow"));
    setWindowTitle(localized(texts, "Battery History"));
    auto* charts = new QWidget;
    auto* chartLayout = new QVBoxLayout(charts);
    if (m_devices.empty())
        chartLayout->addWidget(plainLabel(localized(texts, "No Bluetooth devices connected"), charts));
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        auto* view = new QChartView(charts);
        view->setMinimumHeight(kChartHeight);
        view->setRenderHint(QPainter::Antialiasing);
        chartLayout->addWidget(view);
        m_views.push_back(view);
    }
    chartLayout->addStretch(1);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setWidget(charts);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_clear);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);
    resize(560, 600);

    connect(m_clear, &QPushButton::clicked, this, &HistoryWindow::askToClear);
    readAll();
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::readAll()
{
    m_drawn = 0;
    const Date from = m_now - kShownSpan;
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        // The store answers on its own worker; the chart is drawn here, if this window still is.
        m_history.readingsSince(m_devices[i].serialNumber, from,
            [&main = m_main, i, window = QPointer<HistoryWindow>(this)](std::vector<BatteryReading> readings) {
                main.post([window, i, readings = std::move(readings)] {
                    if (window)
                        window->draw(i, readings);
                });
            });
    }
}

void HistoryWindow::draw(std::size_t index, const std::vector<BatteryReading>& readings)
{
    const bool dark = palette().color(QPalette::Window).lightness() < 128;
    QChart* chart = historyChart(QString::fromStdString(m_devices[index].name).left(128).simplified(), readings,
        m_threshold, m_now - kShownSpan, m_now, dark, m_texts);
    QChart* old = m_views[index]->chart();
    m_views[index]->setChart(chart);
    delete old;
    if (++m_drawn == static_cast<int>(m_views.size()))
        Q_EMIT chartsReady();
}

void HistoryWindow::askToClear()
{
    if (m_confirmation != nullptr)
        return;
    m_confirmation = new QMessageBox(QMessageBox::Question, localized(m_texts, "Clear History"),
        localized(m_texts, "Forget every battery reading Corvane has kept?"), QMessageBox::Yes | QMessageBox::No, this);
    m_confirmation->setDefaultButton(QMessageBox::No);
    m_confirmation->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_confirmation, &QMessageBox::finished, this, [this](int answer) {
        if (answer != QMessageBox::Yes)
            return;
        m_history.clear([window = QPointer<HistoryWindow>(this), &main = m_main](bool) {
            main.post([window] {
                if (window)
                    window->readAll();
            });
        });
    });
    m_confirmation->open();
}

} // namespace corvane
