#pragma once

#include "core/runtime/Subscription.h"
#include "qt/QtMainExecutor.h"

#include <QWidget>

#include <cstddef>
#include <memory>

class QLabel;
class QMenu;
class QTableWidget;

namespace corvane {

class CorvaneViewModel;
class Calendar;
class Executor;
class HistoryStore;
class MenuButtonView;
class Stepper;
class Texts;
struct Platform;

// The device window's content: the title, the device table (or the text that
// no device is connected) with the threshold stepper, and the button that
// opens `menu`, the overflow menu it shares with the tray item.
// Follows the view model's device list and the "threshold" key, whoever
// writes them. Each time it is shown it starts one refresh; Escape closes it.
// Fixed width; the height grows with the devices up to the screen's available
// height, beyond which the table scrolls, and with the lines that long texts
// wrap to. Main thread.
class ContentView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 280;
    static constexpr int kBaseHeight = 150;
    static constexpr int kRowHeight = 22;

    // The window's height for `deviceCount` devices on a screen whose
    // available height is `availableHeight`.
    static int windowHeight(std::size_t deviceCount, int availableHeight);

    ContentView(
        std::shared_ptr<CorvaneViewModel> viewModel, const Platform& platform, QMenu& menu, QWidget* parent = nullptr);
    ~ContentView() override;

    QTableWidget* table() const { return m_table; }
    QLabel* emptyLabel() const { return m_empty; }
    QWidget* thresholdRow() const { return m_thresholdRow; }
    Stepper* stepper() const { return m_stepper; }
    QLabel* thresholdText() const { return m_thresholdText; }
    QLabel* thresholdCaption() const { return m_thresholdCaption; }
    MenuButtonView* menuButtonView() const { return m_menuButtonView; }

protected:
    void showEvent(QShowEvent* event) override;
    // Escape closes the window, wherever the focus is inside it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setUpThresholdRow();
    // The height the wrapped texts need beyond one line each.
    int wrappedTextsHeight() const;
    void rebuildDevices();
    void showThreshold();
    // Fills each row's tooltip with its device's estimate once the history is read.
    void requestToolTips();

    std::shared_ptr<CorvaneViewModel> m_viewModel;
    Executor& m_main;
    const Texts& m_texts;
    HistoryStore& m_history;
    const Calendar& m_calendar;

    QLabel* m_title;
    QTableWidget* m_table;
    QLabel* m_empty;
    QWidget* m_thresholdRow;
    Stepper* m_stepper;
    QLabel* m_thresholdCaption;
    QLabel* m_thresholdText;
    MenuButtonView* m_menuButtonView;

    // Observers may run on any thread; what they ask for runs on this object's.
    QtMainExecutor m_thisThread {this};
    Subscription m_devicesSubscription;
    Subscription m_thresholdSubscription;
};

} // namespace corvane
