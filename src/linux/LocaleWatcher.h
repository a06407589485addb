#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QProcessEnvironment>

#include <map>
#include <optional>
#include <string>

namespace corvane {

class QtTexts;

// Locale variables by name: "LANG" -> "de_DE.UTF-8".
using LocaleVariables = std::map<std::string, std::string>;

// The locales the texts and the dates are in; empty: the environment's own.
struct EffectiveLocales {
    std::string messages;
    std::string time;
    bool operator==(const EffectiveLocales&) const = default;
};

// Which locales to use, from the environment the program started with and
// the system's settings when it started and now. A choice of the user's own
// in the environment wins: LC_ALL, or LANG or the category's variable set to
// other than the system's at start. Otherwise the system's settings are
// followed as they change: LC_MESSAGES or LANG for the texts, LC_TIME or LANG
// for the dates.
EffectiveLocales effectiveLocales(
    const LocaleVariables& environment, const LocaleVariables& atStart, const LocaleVariables& now);

// The system's locale as systemd-localed publishes it (org.freedesktop.locale1
// on the system bus), followed while Corvane runs: a running program's own
// environment never changes, so `localectl set-locale` is seen only here.
// Each change of the effective locales goes to the texts, and then `changed`
// tells that what shows them is stale. Without the service nothing changes.
// Main thread.
class LocaleWatcher final : public QObject {
    Q_OBJECT

public:
    LocaleWatcher(
        QDBusConnection systemBus, const QProcessEnvironment& environment, QtTexts& texts, QObject* parent = nullptr);

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void onPropertiesChanged(const QString& interface, const QVariantMap& values, const QStringList& invalidated);

private:
    void read();
    void follow(const QStringList& settings);

    QDBusConnection m_bus;
    LocaleVariables m_environment;
    QtTexts& m_texts;
    std::optional<LocaleVariables> m_atStart;
    EffectiveLocales m_current;
    // A change that came before the first answer is newer than that answer.
    bool m_changedSinceRead = false;
};

} // namespace corvane
