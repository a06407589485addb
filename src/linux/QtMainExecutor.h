#pragma once

#include "core/runtime/Executor.h"

#include <QPointer>

class QObject;

namespace corvane {

// The main thread's executor: each job is queued to the Qt event loop of the
// thread that `context` lives in (the application object when none is given)
// and runs there in the order posted. `post` is safe from any thread; jobs
// posted after `context` is gone are dropped.
class QtMainExecutor final : public Executor {
public:
    explicit QtMainExecutor(QObject* context = nullptr);
    void post(std::function<void()> job) override;

private:
    QPointer<QObject> m_context;
};

} // namespace corvane
