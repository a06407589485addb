// The baseline beside Corvane's start-up, memory and thread figures: a bare
// Qt Widgets program with a tray item shown and a hidden widget, and nothing
// else. Runs until terminated.

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::darkGray);
    QSystemTrayIcon tray {QIcon(pixmap)};
    tray.show();
    QWidget hidden;
    hidden.hide();
    return QApplication::exec();
}
