#include "ui/WidgetApplication.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include <memory>
#include <utility>

namespace corvane {

void WidgetApplication::showAlert(
    const std::string& message, const std::string& buttonTitle, std::function<void()> pressed)
{
    auto* box = new QMessageBox;
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QCoreApplication::applicationName());
    // The message may come from a peer (an error's description): never markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromStdString(message));
    QPushButton* button = box->addButton(QString::fromStdString(buttonTitle), QMessageBox::AcceptRole);
    box->setDefaultButton(button);
    box->setEscapeButton(button);

    // Answered once, whichever way the box goes.
    auto answer = std::make_shared<std::function<void()>>(std::move(pressed));
    QObject::connect(box, &QMessageBox::finished, box, [answer] {
        if (auto run = std::exchange(*answer, nullptr))
            run();
    });
    box->open();
}

void WidgetApplication::terminate() { QCoreApplication::quit(); }

} // namespace corvane
