#pragma once

#include "core/Date.h"
#include "core/Device.h"

#include <QString>

#include <cstdint>
#include <vector>

class QWidget;

namespace corvane {

class Executor;
class HistoryStore;
class Texts;

// The battery history window lives in a library of its own, loaded on first
// use, so that Qt Charts is mapped only once the window is asked for. This is
// the library's one entry point: a new parentless window.
using OpenHistoryWindow = QWidget* (*)(HistoryStore& history, Executor& main, const Texts& texts,
    std::vector<Device> devices, std::int64_t threshold, Date now);
inline constexpr const char* kOpenHistoryWindow = "corvane_open_history_window";

// Where the library is: installed, in its folder under the library folder
// beside the program's; in a build, below the program's own folder. The first
// that exists, or the installed place if neither does.
QString defaultHistoryModule();

// The window from the library at `path`, loaded now if it is not yet; null,
// with `error` set, if the library is missing or not the one expected.
QWidget* openHistoryWindow(const QString& path, QString& error, HistoryStore& history, Executor& main,
    const Texts& texts, std::vector<Device> devices, std::int64_t threshold, Date now);

} // namespace corvane
