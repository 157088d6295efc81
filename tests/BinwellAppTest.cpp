#include "BinwellApp.h"
#include "BinwellViewModel.h"
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
        QFile table(home.root() + QStringLiteral("/mountinfo"));
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.close();
        env.set("RUBBLY_MOUNTINFO", QFile::encodeName(table.fileName()));
        TreeBuilder(QFile::encodeName(home.dataHome()) + "/Trash").file("files/old.txt", 4096);
        // Nothing listens there: the start-up check fails at once, silently.
        env.set("RUBBLY_UPDATE_BASE_URL", "http://127.0.0.1:9/");
        BinwellApp app;
        QTRY_COMPARE(app.viewModel().state().kind(), BinwellState::Kind::Normal);
        QCOMPARE(app.viewModel().state().status()->itemCount, 1);
        // The silent update check ran at start: it stamps its attempt before asking the network.
        QVERIFY(app.updates().lastCheckDate().has_value());
        QTRY_COMPARE(app.updates().status().kind(), UpdateStatus::Kind::Idle);
    }
};

QTEST_MAIN(BinwellAppTest)
#include "BinwellAppTest.moc"
