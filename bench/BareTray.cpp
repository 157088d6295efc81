// The yardstick for the tray's memory: the least a Qt Widgets program with a status item holds, started
// the way the tray is (same platform theme, style and session bus). Its item is Qt's own
// QSystemTrayIcon; a click shows a plain window of the panel's size with a few stock widgets, as the
// tray shows its panel.
//   BareTray        runs until ended; prints "ready" once the item is shown

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QSystemTrayIcon icon(QApplication::style()->standardIcon(QStyle::SP_TrashIcon));
    icon.setToolTip(QStringLiteral("Bare tray"));

    QWidget window;
    window.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    window.resize(380, 560);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("1.2 GB in 2 000 items")));
    auto* list = new QListWidget;
    for (int i = 0; i < 20; ++i)
        list->addItem(QStringLiteral("entry %1").arg(i));
    layout->addWidget(list);
    layout->addWidget(new QPushButton(QStringLiteral("Empty Trash")));

    QObject::connect(&icon, &QSystemTrayIcon::activated, &window, [&window](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            window.setVisible(!window.isVisible());
    });
    icon.show();
    std::puts("ready");
    std::fflush(stdout);
    return QApplication::exec();
}
