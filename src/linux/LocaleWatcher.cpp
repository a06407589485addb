#include "linux/LocaleWatcher.h"

#include "linux/QtTexts.h"
#include "qt/DBusReply.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>

#include <initializer_list>

namespace corvane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.locale1");
const QString kPath = QStringLiteral("/org/freedesktop/locale1");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kProperty = QStringLiteral("Locale");

std::string firstSet(const LocaleVariables& variables, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        if (const auto found = variables.find(name); found != variables.end() && !found->second.empty())
            return found->second;
    }
    return {};
}

std::string effective(const LocaleVariables& environment, const LocaleVariables& atStart, const LocaleVariables& now,
    const char* category)
{
    const auto own = [&](const char* name) {
        const std::string value = firstSet(environment, {name});
        return !value.empty() && value != firstSet(atStart, {name});
    };
    if (!firstSet(environment, {"LC_ALL"}).empty() || own(category) || own("LANG"))
        return {};
    const std::string system = firstSet(now, {category, "LANG"});
    return system == firstSet(environment, {category, "LANG"}) ? std::string() : system;
}

LocaleVariables variables(const QStringList& settings)
{
    LocaleVariables result;
    for (const QString& setting : settings) {
        if (const auto equals = setting.indexOf(QLatin1Char('=')); equals > 0)
            result[setting.left(equals).toStdString()] = setting.mid(equals + 1).toStdString();
    }
    return result;
}

QLocale locale(const std::string& name)
{
    return name.empty() ? QLocale::system() : QLocale(QString::fromStdString(name));
}

} // namespace

EffectiveLocales effectiveLocales(
    const LocaleVariables& environment, const LocaleVariables& atStart, const LocaleVariables& now)
{
    return {effective(environment, atStart, now, "LC_MESSAGES"), effective(environment, atStart, now, "LC_TIME")};
}

LocaleWatcher::LocaleWatcher(
    QDBusConnection systemBus, const QProcessEnvironment& environment, QtTexts& texts, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(systemBus))
    , m_texts(texts)
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LC_TIME", "LANG"})
        m_environment[name] = environment.value(QString::fromLatin1(name)).toStdString();
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
        SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    read();
}

void LocaleWatcher::read()
{
    auto call = QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Get"));
    call << kService << kProperty;
    // No localed (a container, a system without systemd): nothing to follow, nothing to say.
    const auto answered = [this](const QDBusPendingReply<QDBusVariant>& reply) {
        if (!reply.isError() && !m_changedSinceRead)
            follow(qdbus_cast<QStringList>(reply.value().variant()));
    };
    onReply<QDBusVariant>(m_bus.asyncCall(call), this, answered);
}

void LocaleWatcher::onPropertiesChanged(
    const QString& interface, const QVariantMap& values, const QStringList& invalidated)
{
    if (interface != kService)
        return;
    if (values.contains(kProperty)) {
        m_changedSinceRead = true;
        follow(qdbus_cast<QStringList>(values.value(kProperty)));
    } else if (invalidated.contains(kProperty)) {
        m_changedSinceRead = false;
        read();
    }
}

void LocaleWatcher::follow(const QStringList& settings)
{
    const LocaleVariables now = variables(settings);
    if (!m_atStart)
        m_atStart = now;
    const EffectiveLocales locales = effectiveLocales(m_environment, *m_atStart, now);
    if (locales == m_current)
        return;
    m_current = locales;
    m_texts.setLocales(locale(locales.messages), locale(locales.time));
    Q_EMIT changed();
}

} // namespace corvane
