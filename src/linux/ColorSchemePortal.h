#pragma once

#include "core/ColorScheme.h"

#include <QDBusConnection>
#include <QObject>

class QDBusVariant;

namespace corvane {

// The desktop's colour-scheme preference, as the XDG desktop portal publishes
// it (`org.freedesktop.appearance` `color-scheme`), followed while Corvane
// runs. Without a portal, or a portal that does not know the setting, there is
// no preference. Main thread.
class ColorSchemePortal final : public QObject {
    Q_OBJECT

public:
    // Starts the read; `changed` tells its answer when it is a preference.
    explicit ColorSchemePortal(QDBusConnection sessionBus, QObject* parent = nullptr);

    ColorScheme colorScheme() const { return m_scheme; }

Q_SIGNALS:
    void changed(corvane::ColorScheme scheme);

private Q_SLOTS:
    void onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void read(const QString& method);
    void follow(const QVariant& value);

    QDBusConnection m_bus;
    ColorScheme m_scheme = ColorScheme::NoPreference;
    // A change that came before the first answer is newer than that answer.
    bool m_changedSinceRead = false;
};

} // namespace corvane
