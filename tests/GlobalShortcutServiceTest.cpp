#include "GlobalShortcutService.h"
#include "FakeServices.h"

#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

class GlobalShortcutServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void grabberActivationFiresOnlyWhileStartedOnce()
    {
        FakeGrabber grabber;
        auto service = std::make_unique<GlobalShortcutService>(&grabber);
        QSignalSpy triggers(service.get(), &GlobalShortcutService::triggered);
        Q_EMIT grabber.activated();
        service->start();
        service->start(); // keeps the running grab
        QCOMPARE(grabber.starts, 1);
        Q_EMIT grabber.activated();
        service->stop();
        service->stop();
        QVERIFY(!grabber.active && !service->isStarted());
        Q_EMIT grabber.activated();
        QCoreApplication::processEvents();
        QCOMPARE(triggers.count(), 1);
        service->start();
        Q_EMIT grabber.activated();
        service.reset(); // a destroyed service triggers nothing, also not what it had queued
        QCoreApplication::processEvents();
        QCOMPARE(triggers.count(), 1);
    }
};

QTEST_MAIN(GlobalShortcutServiceTest)
#include "GlobalShortcutServiceTest.moc"
