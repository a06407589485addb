#pragma once

#include "core/runtime/Executor.h"

#include <QPointer>

#include <memory>

class QObject;

namespace corvane {

// The main thread's executor: each job is queued to the Qt event loop of the
// thread that `context` lives in (the application object when none is given)
// and runs there in the order posted. `post` is safe from any thread; jobs
// posted after `context` or this executor is gone are dropped.
//
// The jobs wait in a queue of our own and only a bare event goes through Qt,
// so the hand-over from the posting thread is a lock that ThreadSanitizer
// sees (Qt's own event queue is invisible to it when Qt is not built for it).
class QtMainExecutor final : public Executor {
public:
    explicit QtMainExecutor(QObject* context = nullptr);
    ~QtMainExecutor() override;
    QtMainExecutor(const QtMainExecutor&) = delete;
    QtMainExecutor& operator=(const QtMainExecutor&) = delete;

    void post(std::function<void()> job) override;

private:
    struct Queue;
    class Receiver;

    std::shared_ptr<Queue> m_queue;
    QPointer<Receiver> m_receiver;
};

} // namespace corvane
