#include "ui/HistoryModule.h"
#include "ui/HistoryWindow.h"

// What the program finds by name once it has loaded this library.
extern "C" Q_DECL_EXPORT QWidget* corvane_open_history_window(corvane::HistoryStore& history, corvane::Executor& main,
    const corvane::Texts& texts, std::vector<corvane::Device> devices, std::int64_t threshold, corvane::Date now)
{
    // Checked here, where both are seen: the program calls through this type.
    [[maybe_unused]] constexpr corvane::OpenHistoryWindow checked = &corvane_open_history_window;
    return new corvane::HistoryWindow(history, main, texts, std::move(devices), threshold, now);
}
