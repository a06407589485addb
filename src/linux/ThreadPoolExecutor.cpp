#include "linux/ThreadPoolExecutor.h"

#include <QThreadPool>

namespace corvane {

ThreadPoolExecutor::ThreadPoolExecutor(int maxThreads)
    : m_pool(std::make_unique<QThreadPool>())
{
    m_pool->setMaxThreadCount(maxThreads);
}

ThreadPoolExecutor::~ThreadPoolExecutor() { m_pool->waitForDone(); }

void ThreadPoolExecutor::post(std::function<void()> job) { m_pool->start(std::move(job)); }

} // namespace corvane
