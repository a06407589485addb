#include "linux/QtMainExecutor.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace corvane {

QtMainExecutor::QtMainExecutor(QObject* context)
    : m_context(context != nullptr ? context : QCoreApplication::instance())
{
}

void QtMainExecutor::post(std::function<void()> job)
{
    QObject* context = m_context.data();
    if (context == nullptr)
        return;
    // Queued even when called on the main thread: a job never runs inside `post`.
    QMetaObject::invokeMethod(context, std::move(job), Qt::QueuedConnection);
}

} // namespace corvane
