#include "ui/AboutDialog.h"

#include "core/Texts.h"
#include "ui/PlainLabel.h"
#include "ui/Resources.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace corvane {

namespace {

// The panel's lines: centred, wrapped to its width.
QLabel* centredLabel(const QString& text, QWidget* parent)
{
    QLabel* label = plainLabel(text, parent);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    return label;
}

} // namespace

AboutDialog::AboutDialog(const Texts& texts, QWidget* parent)
    : QDialog(parent)
{
    auto localized = [&texts](const char* key) { return QString::fromStdString(texts.localized(key)); };
    setWindowTitle(localized("About Corvane"));
    setObjectName(QStringLiteral("aboutDialog"));

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);

    auto* iconLabel = new QLabel(this);
    iconLabel->setPixmap(renderSvgResource(QStringLiteral(":/images/corvane"), QSize(64, 64), devicePixelRatioF()));
    iconLabel->setAlignment(Qt::AlignHCenter);
    layout->addWidget(iconLabel);

    QLabel* name = centredLabel(QCoreApplication::applicationName(), this);
    QFont headline = name->font();
    headline.setBold(true);
    headline.setPointSizeF(headline.pointSizeF() * 1.3);
    name->setFont(headline);
    layout->addWidget(name);

    layout->addWidget(centredLabel(
        localized("Version %1").replace(QStringLiteral("%1"), QCoreApplication::applicationVersion()), this));
    layout->addWidget(centredLabel(localized("Watches the batteries of your Bluetooth keyboards, mice and other input "
                                             "devices and warns before they run flat."),
        this));
    layout->addWidget(centredLabel(localized("Licence: MIT"), this));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(260);
}

} // namespace corvane
