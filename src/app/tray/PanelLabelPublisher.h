#pragma once

#include "PanelItems.h"

#include <QDBusConnection>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>

namespace rubbly {

// Hands the status item's label to the items we put into a desktop's own panel: it keeps the label
// file (see PanelLabel.h) that a Plasma widget's waiting helper wakes on, and on XFCE asks each of
// our generic monitors to run its command again. Works only on a change: nothing runs in between.
class PanelLabelPublisher final : public QObject {
    Q_OBJECT
public:
    PanelLabelPublisher(PanelDesktop desktop, QDBusConnection bus = QDBusConnection::sessionBus(),
                        QProcessEnvironment env = QProcessEnvironment::systemEnvironment(), QObject* parent = nullptr);
    // Removes the label file: a panel item shows the bare icon while no tray application runs.
    ~PanelLabelPublisher() override;

    void setLabel(const QString& label);

private:
    void refreshXfce(QDBus::CallMode mode) const;

    PanelDesktop m_desktop;
    QDBusConnection m_bus;
    QProcessEnvironment m_env;
    QString m_label;
    bool m_published = false;
};

} // namespace rubbly
