#pragma once

#include <QString>
#include <QStringList>

namespace corvane {

// What the command line asks for: to run, or to end at once with `status`
// after printing `output` (to standard output when the status is 0,
// otherwise to standard error).
struct CommandLineOutcome {
    bool run = true;
    int status = 0;
    QString output;
};

// Reads `--help`, `--version` and Qt's own `-platform` and `-display`
// options; anything else is a usage error with status 2. Needs no
// application object, so it works where no display is.
CommandLineOutcome parseCommandLine(const QStringList& arguments);

} // namespace corvane
