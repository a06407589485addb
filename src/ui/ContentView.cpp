#include "ui/ContentView.h"

#include "core/Calendar.h"
#include "core/CorvaneViewModel.h"
#include "core/HistoryStore.h"
#include "core/Texts.h"
#include "core/runtime/Async.h"
#include "ui/DeviceToolTips.h"
#include "ui/MenuButtonView.h"
#include "ui/PlainLabel.h"
#include "ui/SFSymbol.h"
#include "ui/Stepper.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
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

// What `label`, wrapped at `width`, needs beyond one line.
int wrappedExtra(const QLabel* label, int width)
{
    return std::max(0, label->heightForWidth(width) - label->heightForWidth(QWIDGETSIZE_MAX));
}

void setUpTable(QTableWidget* table, const Texts& texts)
{
    table->setObjectName(QStringLiteral("deviceTable"));
    table->setHorizontalHeaderLabels({fromStd(texts.localized("Name")), fromStd(texts.localized("Status"))});
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setMinimumSectionSize(ContentView::kRowHeight);
    table->verticalHeader()->setDefaultSectionSize(ContentView::kRowHeight);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    const int nameWidth = std::clamp(ContentView::kWidth - 2 * kTableInset - kStatusWidth, kNameMinimum, kNameMaximum);
    table->setColumnWidth(0, nameWidth);
    table->setColumnWidth(1, kStatusWidth);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setFocusPolicy(Qt::NoFocus);
    table->setSortingEnabled(false);
    table->setShowGrid(false);
    table->setAlternatingRowColors(false);
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideRight);
    table->setIconSize(QSize(14, 14));
    table->setFrameShape(QFrame::NoFrame);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Rows fit the window unless the screen is too short for all of them.
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    table->viewport()->setAutoFillBackground(false);
    table->setStyleSheet(QStringLiteral("QTableWidget { background: transparent; }"));
}

} // namespace

int ContentView::windowHeight(std::size_t deviceCount, int availableHeight)
{
    const auto wanted = static_cast<long long>(kBaseHeight)
        + static_cast<long long>(kRowHeight) * static_cast<long long>(deviceCount);
    return static_cast<int>(std::min<long long>(wanted, std::max(availableHeight, kBaseHeight)));
}

ContentView::ContentView(
    std::shared_ptr<CorvaneViewModel> viewModel, const Platform& platform, QMenu& menu, QWidget* parent)
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
    , m_thresholdCaption(
          plainLabel(fromStd(platform.texts.localized("Notify when battery level lower than")), m_thresholdRow))
    , m_thresholdText(plainLabel({}, m_thresholdRow))
    , m_menuButtonView(new MenuButtonView(menu, platform.texts, this))
{
    QFont headline = m_title->font();
    headline.setBold(true);
    headline.setPointSizeF(headline.pointSizeF() * 1.15);
    m_title->setFont(headline);
    // Long translations wrap; the window grows by the lines they take.
    m_title->setAlignment(Qt::AlignHCenter);
    m_title->setWordWrap(true);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);

    setUpTable(m_table, m_texts);
    setUpThresholdRow();

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

    // An open window follows every reading; a hidden one does no work and is
    // brought up to date when shown.
    m_devicesSubscription = m_viewModel->observeDevices([this] {
        if (isVisible())
            rebuildDevices();
    });
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
    rebuildDevices();
    // The window shows the latest reading; the refresh publishes it when done.
    spawn(m_main, [viewModel = m_viewModel] { return viewModel->updateDevices(); });
}

void ContentView::setUpThresholdRow()
{
    QFont small = m_thresholdCaption->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    m_thresholdCaption->setFont(small);
    m_thresholdCaption->setWordWrap(true);
    m_thresholdText->setFont(small);
    // Wide enough for any level, so that the caption's lines do not change with it.
    m_thresholdText->setMinimumWidth(m_thresholdText->fontMetrics().horizontalAdvance(fromStd(m_texts.percent(100))));
    m_stepper->setAccessibleName(m_thresholdCaption->text());
    auto* thresholdLayout = new QHBoxLayout(m_thresholdRow);
    thresholdLayout->setContentsMargins(kTableInset, 0, kTableInset, 0);
    thresholdLayout->setSpacing(4);
    thresholdLayout->addWidget(m_thresholdCaption, 1);
    thresholdLayout->addWidget(m_stepper);
    thresholdLayout->addWidget(m_thresholdText);
}

int ContentView::wrappedTextsHeight() const
{
    int extra = wrappedExtra(m_title, kWidth);
    if (m_empty->isVisibleTo(this))
        extra += wrappedExtra(m_empty, kWidth);
    if (m_thresholdRow->isVisibleTo(this)) {
        const int oneLine
            = std::max(m_stepper->sizeHint().height(), m_thresholdCaption->heightForWidth(QWIDGETSIZE_MAX));
        extra += std::max(0, m_thresholdRow->layout()->heightForWidth(kWidth) - oneLine);
    }
    return extra;
}

void ContentView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ContentView::rebuildDevices()
{
    const std::vector<Device>& devices = m_viewModel->devices();
    m_table->setRowCount(static_cast<int>(devices.size()));
    int row = 0;
    for (const Device& device : devices) {
        auto* name = new QTableWidgetItem(displayName(device.name));
        // Rows stay one line high: a long name is elided, and shown whole here.
        name->setToolTip(name->text());
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
    const int extra = wrappedTextsHeight();
    setFixedSize(kWidth, windowHeight(devices.size(), available - extra) + extra);
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

void ContentView::showThreshold()
{
    const std::int64_t threshold = m_viewModel->threshold().get();
    m_stepper->setValue(threshold);
    m_thresholdText->setText(fromStd(m_texts.percent(threshold)));
}

} // namespace corvane
