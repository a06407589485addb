#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace corvane {

// SIGTERM (what the session sends at logout) and SIGINT, read on the main
// thread through a signalfd instead of ending the process: `quit` runs there
// and the program ends in order. The signals must be blocked with
// `blockQuitSignals` before any thread starts, so that no thread takes them.
class QuitSignals final : public QObject {
public:
    explicit QuitSignals(std::function<void()> quit);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // Blocks SIGTERM and SIGINT for the calling thread and every thread it starts.
    static void blockQuitSignals();

private:
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace corvane
