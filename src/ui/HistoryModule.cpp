#include "ui/HistoryModule.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

namespace corvane {

QString defaultHistoryModule()
{
    const QString folder = QCoreApplication::applicationDirPath();
    const QString installed = folder + QStringLiteral("/" CORVANE_HISTORY_MODULE_FROM_PROGRAM);
    const QString built = folder + QStringLiteral("/" CORVANE_HISTORY_MODULE_IN_BUILD);
    return QFileInfo::exists(installed) || !QFileInfo::exists(built) ? installed : built;
}

QWidget* openHistoryWindow(const QString& path, QString& error, HistoryStore& history, Executor& main,
    const Texts& texts, std::vector<Device> devices, std::int64_t threshold, Date now)
{
    // Never unloaded: the windows it makes, and Qt's types it registers, stay.
    QLibrary library(path);
    const auto open = reinterpret_cast<OpenHistoryWindow>(library.resolve(kOpenHistoryWindow));
    if (open == nullptr) {
        error = library.errorString();
        return nullptr;
    }
    return open(history, main, texts, std::move(devices), threshold, now);
}

} // namespace corvane
