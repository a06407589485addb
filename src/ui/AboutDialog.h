#pragma once

#include <QDialog>

namespace corvane {

class Texts;

// The About panel: the application's icon, name, version, what it does and
// its licence. Shows nothing that comes from outside the program.
class AboutDialog final : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(const Texts& texts, QWidget* parent = nullptr);
};

} // namespace corvane
