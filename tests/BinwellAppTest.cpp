#include "BinwellApp.h"
#include "BinwellViewModel.h"
#include "PlatformServices.h"
#include "SettingsService.h"
#include "TempHome.h"
#include "TreeBuilder.h"
#include "UpdateService.h"

#include <QFile>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

class BinwellAppTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsAndScansTheHomeTrash()
    {
        TempHome home;
        EnvGuard env;
        // Only the temporary home's trash: the machine's volumes are kept out by an empty table.
        TreeBuilder tree(QFile::encodeName(home.root()));
        tree.write("mountinfo", {}).file("home/.local/share/Trash/files/old.txt", 4096);
        env.set("RUBBLY_MOUNTINFO", tree.path("mountinfo"));
        // Nothing listens there: the start-up check fails at once, silently.
        env.set("RUBBLY_UPDATE_BASE_URL", "http://127.0.0.1:9/");
        BinwellApp app;
        QTRY_COMPARE(app.viewModel().state().kind(), BinwellState::Kind::Normal);
        QCOMPARE(app.viewModel().state().status()->itemCount, 1);
        // The silent update check ran at start: it stamps its attempt before asking the network.
        QVERIFY(app.updates().lastCheckDate().has_value());
        QTRY_COMPARE(app.updates().status().kind(), UpdateStatus::Kind::Idle);
    }

    void settingsActOnTheRealBackends()
    {
        TempHome home;
        PlatformServices platform;
        platform.settings->setLaunchAtLogin(true);
        QVERIFY(QFile::exists(home.configHome() + QStringLiteral("/autostart/com.tolvik.Rubbly.desktop")));
        QVERIFY(QFile::exists(home.configHome() + QStringLiteral("/rubbly/defaults.json")));
    }
};

QTEST_MAIN(BinwellAppTest)
#include "BinwellAppTest.moc"
