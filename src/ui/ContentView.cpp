#include "ui/ContentView.h"

#include "core/Calendar.h"
#include "core/CorvaneViewModel.h"
#include "core/HistoryStore.h"
#include "core/Texts.h"
#include "core/runtime/Async.h"
#include "ui/DeviceToolTips.h"
#include "ui/HistoryWindow.h"
#include "ui/MenuButtonView.h"
#include "ui/PlainLabel.h"
#include "ui/SFSymbol.h"
#include "ui/Stepper.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace corvane {

namespace {

const QColor kLowColor {0xd7, 0x26, 0x1e};
const QColor kChargingColor {0x1f, 0x9d, 0x3c};

// Column widths: the name column takes what the status column leaves, within
// its bounds.
constexpr int kNameMinimum = 80, kNameMaximum = 220;
constexpr int kStatusWidth = 70; // room for the charger symbol and "100%"
constexpr int kTableInset = 8;

// A device chooses its own name: bound its length and drop control characters
// (a newline would break the row); the view shows the rest as plain text.
constexpr qsizetype kMaximumNameLength = 128;

QString displayName(const std::string& name)
{
    QString text = QString::fromStdString(name).left(kMaximumNameLength);
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    }
    return text;
}

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QString fromStd(const std::string& text) { return QString::fromStdString(text); }

} // namespace

int ContentView::windowHeight(std::size_t deviceCount, int availableHeight)
{
    const auto wanted = static_cast<long long>(kBaseHeight)
        + static_cast<long long>(kRowHeight) * static_cast<long long>(deviceCount);
    return static_cast<int>(std::min<long long>(wanted, std::max(availableHeight, kBaseHeight)));
}

ContentView::ContentView(std::shared_ptr<CorvaneViewModel> viewModel, const Platform& platform, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(std::move(viewModel))
    , m_main(platform.main)
    , m_texts(platform.texts)
    , m_history(platform.history)
    , m_calendar(platform.calendar)
    , m_title(plainLabel(fromStd(platform.texts.localized("Connected Bluetooth Devices")), this))
    , m_table(new QTableWidget(0, 2, this))
    , m_empty(plainLabel(fromStd(platform.texts.localized("No Bluetooth devices connected")), this))
    , m_thresholdRow(new QWidget(this))
    , m_stepper(new Stepper(settings::kMinimumThreshold, settings::kMaximumThreshold, m_thresholdRow))
    , m_thresholdText(plainLabel({}, m_thresholdRow))
    , m_menuButtonView(new MenuButtonView(
          m_viewModel->showMenuBar(), platform.application, platform.loginItem, platform.texts, this))
{
    QFont headline = m_title->font();
    headline.setBold(true);
    headline.setPointSizeF(headline.pointSizeF() * 1.15);
    m_title->setFont(headline);
    m_title->setAlignment(Qt::AlignHCenter);
    m_empty->setAlignment(Qt::AlignCenter);

    m_table->setObjectName(QStringLiteral("deviceTable"));
    m_table->setHorizontalHeaderLabels({fromStd(m_texts.localized("Name")), fromStd(m_texts.localized("Status"))});
    m_table->horizontalHeader()->hide();
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setMinimumSectionSize(kRowHeight);
    m_table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    const int nameWidth = std::clamp(kWidth - 2 * kTableInset - kStatusWidth, kNameMinimum, kNameMaximum);
    m_table->setColumnWidth(0, nameWidth);
    m_table->setColumnWidth(1, kStatusWidth);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->setSortingEnabled(false);
    m_table->setShowGrid(false);
    m_table->setAlternatingRowColors(false);
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->setIconSize(QSize(14, 14));
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Rows fit the window unless the screen is too short for all of them.
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_table->viewport()->setAutoFillBackground(false);
    m_table->setStyleSheet(QStringLiteral("QTableWidget { background: transparent; }"));

    const QString thresholdLabel = fromStd(m_texts.localized("Notify when battery level lower than"));
    auto* thresholdCaption = plainLabel(thresholdLabel, m_thresholdRow);
    QFont small = thresholdCaption->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    thresholdCaption->setFont(small);
    m_thresholdText->setFont(small);
    m_stepper->setAccessibleName(thresholdLabel);
    auto* thresholdLayout = new QHBoxLayout(m_thresholdRow);
    thresholdLayout->setContentsMargins(kTableInset, 0, kTableInset, 0);
    thresholdLayout->setSpacing(4);
    thresholdLayout->addWidget(thresholdCaption);
    thresholdLayout->addWidget(m_stepper);
    thresholdLayout->addWidget(m_thresholdText);
    thresholdLayout->addStretch(1);

    auto* tableRow = new QHBoxLayout;
    tableRow->setContentsMargins(kTableInset, 0, kTableInset, 0);
    tableRow->addWidget(m_table);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 8);
    layout->setSpacing(6);
    layout->addWidget(m_title);
    layout->addWidget(divider(this));
    layout->addLayout(tableRow, 1);
    layout->addWidget(m_thresholdRow);
    layout->addWidget(m_empty, 1);
    layout->addWidget(divider(this));
    layout->addWidget(m_menuButtonView);

    connect(m_stepper, &Stepper::stepped, this, [this](std::int64_t value) {
        m_viewModel->threshold().set(value);
        showThreshold();
    });

    connect(m_menuButtonView, &MenuButtonView::historyRequested, this, &ContentView::showHistory);
    m_devicesSubscription = m_viewModel->observeDevices([this] { rebuildDevices(); });
    // The store's observers may run on any thread: read it on this object's.
    m_thresholdSubscription = platform.settings.observe(
        m_viewModel->threshold().key(), [this] { m_thisThread.post([this] { showThreshold(); }); });

    showThreshold();
    rebuildDevices();
}

ContentView::~ContentView() = default;

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The window shows the latest reading; the refresh publishes it when done.
    spawn(m_main, [viewModel = m_viewModel] { return viewModel->updateDevices(); });
}

void ContentView::rebuildDevices()
{
    const std::vector<Device>& devices = m_viewModel->devices();
    m_table->setRowCount(static_cast<int>(devices.size()));
    int row = 0;
    for (const Device& device : devices) {
        auto* name = new QTableWidgetItem(displayName(device.name));
        name->setData(Qt::UserRole, fromStd(device.id()));
        name->setFlags(Qt::ItemIsEnabled);

        auto* status = new QTableWidgetItem(fromStd(m_texts.percent(device.status.percent)));
        status->setFlags(Qt::ItemIsEnabled);
        switch (device.status.kind) {
        case BatteryStatus::Kind::low:
            status->setForeground(kLowColor);
            break;
        case BatteryStatus::Kind::charging:
            status->setForeground(kChargingColor);
            status->setIcon(icon(SFSymbol::charge, kChargingColor));
            break;
        case BatteryStatus::Kind::normal:
            break;
        }
        m_table->setItem(row, 0, name);
        m_table->setItem(row, 1, status);
        ++row;
    }

    requestToolTips();

    const bool empty = devices.empty();
    m_table->setVisible(!empty);
    m_thresholdRow->setVisible(!empty);
    m_empty->setVisible(empty);

    const QScreen* shownOn = screen();
    const int available = shownOn != nullptr ? shownOn->availableGeometry().height() : kBaseHeight;
    setFixedSize(kWidth, windowHeight(devices.size(), available));
}

void ContentView::requestToolTips()
{
    const Date now = m_calendar.now();
    const std::int64_t threshold = m_viewModel->threshold().get();
    for (const Device& device : m_viewModel->devices()) {
        auto show = [view = QPointer<ContentView>(this), serial = fromStd(device.id()), now, threshold](
                        const std::vector<BatteryReading>& readings) {
            if (!view)
                return;
            const QString tip = deviceToolTip(estimateBattery(readings, now, threshold), threshold, view->m_texts);
            for (int row = 0; row < view->m_table->rowCount(); ++row) {
                if (view->m_table->item(row, 0)->data(Qt::UserRole).toString() != serial)
                    continue;
                view->m_table->item(row, 0)->setToolTip(tip);
                view->m_table->item(row, 1)->setToolTip(tip);
            }
        };
        // Answered on the store's worker; shown on the main thread.
        m_history.readingsSince(device.id(), now - kEstimateHistory,
            [&main = m_main, show = std::move(show)](std::vector<BatteryReading> readings) {
                main.post([show, readings = std::move(readings)] { show(readings); });
            });
    }
}

void ContentView::showHistory()
{
    if (m_historyWindow == nullptr) {
        // Parentless, so it stays when the popup that opened it closes.
        m_historyWindow = new HistoryWindow(
            m_history, m_main, m_texts, m_viewModel->devices(), m_viewModel->threshold().get(), m_calendar.now());
        m_historyWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

void ContentView::showThreshold()
{
    const std::int64_t threshold = m_viewModel->threshold().get();
    m_stepper->setValue(threshold);
    m_thresholdText->setText(fromStd(m_texts.percent(threshold)));
}

} // namespace corvane
