#include "GlobalShortcutService.h"
#include "FakeServices.h"
#include "ShortcutKeyFilter.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;

class GlobalShortcutServiceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Inside our own windows the filter sees the combination, with or without a global grabber (on
    // Wayland without the portal there is none).
    void insideOurWindowsTheCombinationIsSwallowedAndFires()
    {
        GlobalShortcutService service(nullptr);
        ShortcutKeyFilter filter(service);
        QSignalSpy triggers(&service, &GlobalShortcutService::triggered);
        QLineEdit edit(QStringLiteral("abc"));
        edit.show();
        edit.setFocus();
        edit.end(false);

        service.start();
        QTest::keyClick(&edit, Qt::Key_Backspace, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(edit.text(), QStringLiteral("abc")); // never reached the widget
        QCOMPARE(triggers.count(), 0);                // delivered later, not inside the key handler
        QTRY_COMPARE(triggers.count(), 1);

        QTest::keyClick(&edit, Qt::Key_Backspace, Qt::ShiftModifier);
        QTest::keyClick(&edit, Qt::Key_Delete, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(edit.text(), QStringLiteral("ab")); // plain typing goes on
        QTest::keyClick(&edit, Qt::Key_Backspace, Qt::AltModifier | Qt::ShiftModifier | Qt::ControlModifier);
        QTRY_COMPARE(triggers.count(), 2);
    }

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
