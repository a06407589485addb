#include "qt/QtMainExecutor.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <deque>
#include <mutex>

namespace corvane {

struct QtMainExecutor::Queue {
    std::mutex mutex;
    std::deque<std::function<void()>> jobs;
    // Null once the receiver is gone; only changed under `mutex`.
    QObject* receiver = nullptr;
};

// Lives in the context's thread and runs one job per event, so other events
// can come between jobs as they would between queued calls.
class QtMainExecutor::Receiver final : public QObject {
public:
    Receiver(std::shared_ptr<Queue> queue, QObject* context)
        : QObject(context)
        , m_queue(std::move(queue))
    {
        std::lock_guard lock(m_queue->mutex);
        m_queue->receiver = this;
    }

    ~Receiver() override
    {
        std::deque<std::function<void()>> dropped;
        std::lock_guard lock(m_queue->mutex);
        m_queue->receiver = nullptr;
        dropped.swap(m_queue->jobs);
    }

protected:
    // Only this executor posts custom events to its private receiver, so the
    // event itself is not read (Qt made it on the posting thread).
    void customEvent(QEvent*) override
    {
        std::function<void()> job;
        {
            std::lock_guard lock(m_queue->mutex);
            if (m_queue->jobs.empty())
                return;
            job = std::move(m_queue->jobs.front());
            m_queue->jobs.pop_front();
        }
        job();
    }

private:
    std::shared_ptr<Queue> m_queue;
};

QtMainExecutor::QtMainExecutor(QObject* context)
    : m_queue(std::make_shared<Queue>())
{
    if (context == nullptr)
        context = QCoreApplication::instance();
    if (context != nullptr)
        m_receiver = new Receiver(m_queue, context);
}

// The receiver belongs to the context's thread, which is where the executor
// is made and dropped.
QtMainExecutor::~QtMainExecutor() { delete m_receiver.data(); }

void QtMainExecutor::post(std::function<void()> job)
{
    std::lock_guard lock(m_queue->mutex);
    if (m_queue->receiver == nullptr)
        return;
    m_queue->jobs.push_back(std::move(job));
    // Posted under the lock, so the receiver cannot be destroyed in between;
    // queued even when called on the main thread: a job never runs inside `post`.
    QCoreApplication::postEvent(m_queue->receiver, new QEvent(QEvent::User));
}

} // namespace corvane
