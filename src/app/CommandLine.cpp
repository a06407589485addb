#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace corvane {

namespace {

constexpr int kUsageError = 2;

} // namespace

CommandLineOutcome parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Warns before the batteries of Bluetooth keyboards, mice and other input devices run flat.\n"
        "Corvane lives in the system tray. Start it again while holding Alt to bring back a hidden tray icon."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    // Qt's own options, passed on to the toolkit.
    for (const char* name : {"platform", "display"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);

    const QString name = QCoreApplication::applicationName();
    if (!parser.parse(arguments))
        return {false, kUsageError,
            name + QStringLiteral(": ") + parser.errorText() + QStringLiteral("\nTry '") + name
                + QStringLiteral(" --help' for more information.\n")};
    if (!parser.positionalArguments().isEmpty())
        return {false, kUsageError,
            name + QStringLiteral(": unexpected argument '") + parser.positionalArguments().constFirst()
                + QStringLiteral("'\nTry '") + name + QStringLiteral(" --help' for more information.\n")};
    if (parser.isSet(help))
        return {false, 0, parser.helpText()};
    if (parser.isSet(version))
        return {false, 0, name + QLatin1Char(' ') + QCoreApplication::applicationVersion() + QLatin1Char('\n')};
    return {};
}

} // namespace corvane
