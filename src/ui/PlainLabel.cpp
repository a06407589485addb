#include "ui/PlainLabel.h"

#include <QLabel>

namespace corvane {

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace corvane
