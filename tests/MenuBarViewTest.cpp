#include "MenuBarView.h"
#include "AllItemsView.h"
#include "GeekWidgets.h"
#include "Motion.h"
#include "PushButton.h"
#include "RecordingWorkspace.h"
#include "Scenes.h"
#include "TrashEntryFilterModel.h"
#include "TrashTabViews.h"
#include "ViewModelRig.h"

#include <QDragEnterEvent>
#include <QGraphicsEffect>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QVariantAnimation>

using namespace rubbly;
using namespace rubbly::test;

namespace {

// The panel on a view model whose first scan found `status`.
struct Panel {
    ViewModelRig rig;
    RecordingWorkspace workspace;
    std::unique_ptr<MenuBarView> view;

    explicit Panel(const TrashStatus& status = fullTrash())
    {
        rig.makeShowing(status);
        view = std::make_unique<MenuBarView>(*rig.vm, *rig.slimVm, rig.settings, workspace);
        view->show();
        view->adjustSize();
    }
    int empties() const { return static_cast<int>(rig.trash.calls.count(QStringLiteral("emptyTrash"))); }
    TrashTabView* trashTab() const { return part<TrashTabView>(*view); }
    TrashVisualizationView* visualization() const { return trashTab()->statusView()->visualization(); }
    // The undo line's text, "" while it is not shown.
    QString undoLine() const
    {
        QWidget* line = part(*view, "undoLine");
        return line->isVisibleTo(view.get()) ? part<GeekText>(*line)->text() : QString();
    }
    // The panel-item offer's text, "" while it is not shown.
    QString offerText() const
    {
        QWidget* offer = part(*view, "offer");
        return offer->isVisibleTo(view.get()) ? part<GeekText>(*offer)->text() : QString();
    }
    PushButton* button(const char* text) const
    {
        for (PushButton* button : view->findChildren<PushButton*>()) {
            if (button->text() == QString::fromUtf8(text))
                return button;
        }
        qFatal("no button %s", text);
    }
    void drop(const QByteArray& uriList, const QString& format = QStringLiteral("text/uri-list"))
    {
        QMimeData mime;
        mime.setData(format, uriList);
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.get(), &enter);
        if (!enter.isAccepted())
            return;
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.get(), &drop);
        settle();
    }
};

void sendEnterOrLeave(QWidget* widget, bool enter)
{
    QEnterEvent entered(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QEvent left(QEvent::Leave);
    QCoreApplication::sendEvent(widget, enter ? static_cast<QEvent*>(&entered) : &left);
}

} // namespace

class MenuBarViewTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { motion::setEnabled(false); }

    void aSpringCrossFadeNeverPaintsBeyondOpaque()
    {
        // The summary's spring overshoots 1; painted as opacity that made Qt warn on every frame.
        motion::setEnabled(true);
        const auto restore = qScopeGuard([] { motion::setEnabled(false); });
        QTest::failOnWarning(QRegularExpression(QStringLiteral("setAlphaF")));
        GeekText text(QStringLiteral("0B total"), QFont(), Tint::primary());
        text.setTransition(Curve::spring(0.28, 0.8));
        text.resize(120, 20);
        text.show();
        text.setText(QStringLiteral("1.7M total"));
        auto* fade = text.findChild<QVariantAnimation*>();
        QVERIFY(fade);
        for (int ms = 0; ms <= fade->totalDuration(); ms += 10) {
            fade->setCurrentTime(ms);
            text.grab();
        }
    }

    void theCardClosesWithoutEmptying_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("empties");
        for (const char* how : {"cancel", "escape", "dimming click", "refresh", "panel re-opened"})
            QTest::newRow(how) << QString::fromLatin1(how) << 0;
        QTest::newRow("confirm") << QStringLiteral("confirm") << 1;
        QTest::newRow("return") << QStringLiteral("return") << 1;
        QTest::newRow("not asked: the button empties at once") << QStringLiteral("unasked") << 1;
    }
    void theCardClosesWithoutEmptying()
    {
        QFETCH(QString, how);
        QFETCH(int, empties);
        Panel panel;
        panel.rig.settings.setConfirmBeforeEmptying(how != QLatin1String("unasked"));
        panel.trashTab()->emptyButton()->click();
        const QGraphicsEffect* blur = part(*panel.view, "column")->graphicsEffect();
        QWidget* card = part(*panel.view, "confirmationCard");
        if (how != QLatin1String("unasked")) {
            QVERIFY(panel.view->isConfirmingEmpty() && card->isVisible());
            QVERIFY(blur->isEnabled()); // the panel behind the card
            QCOMPARE(panel.empties(), 0);
        }
        if (how == QLatin1String("cancel"))
            part<QAbstractButton>(*card, "cancel")->click();
        else if (how == QLatin1String("escape") || how == QLatin1String("return"))
            QTest::keyClick(card, how == QLatin1String("escape") ? Qt::Key_Escape : Qt::Key_Return);
        else if (how == QLatin1String("dimming click"))
            QTest::mouseClick(card->parentWidget(), Qt::LeftButton, {}, QPoint(3, 3));
        else if (how == QLatin1String("refresh"))
            part<QAbstractButton>(*panel.view, "refresh")->click();
        else if (how == QLatin1String("panel re-opened"))
            panel.view->panelAppeared();
        else if (how == QLatin1String("confirm"))
            part<QAbstractButton>(*card, "confirm")->click();
        else if (how != QLatin1String("unasked"))
            QFAIL(qPrintable(QStringLiteral("unknown way to close the card: ") + how));
        settle();
        QVERIFY(!panel.view->isConfirmingEmpty() && !card->isVisible());
        QVERIFY(!blur->isEnabled());
        QCOMPARE(panel.empties(), empties);
    }

    void theButtonsGlowNeverSitsInsideTheBlur()
    {
        // Qt cannot draw one graphics effect inside another: the hovered button's glow must go
        // before the panel blurs, and must not come back while it is blurred.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("QPainter|Painter not active")));
        Panel panel;
        EmptyTrashButton* button = panel.trashTab()->emptyButton();
        sendEnterOrLeave(button, true);
        QVERIFY(button->graphicsEffect());
        button->click();
        QVERIFY(!button->graphicsEffect());
        sendEnterOrLeave(button, false);
        sendEnterOrLeave(button, true);
        QVERIFY(!button->graphicsEffect());
        panel.view->grab();
    }

    // Reveal and put back act on their own row; put back is offered where there is a place to go back to.
    void theRowActionsActOnTheirRow()
    {
        Panel panel;
        TrashVisualizationView* visualization = panel.visualization();
        const TrashItemDetail second = fullTrash().topItems[1];
        const QString id = topItemRowID(second);
        QAbstractButton* putBack = visualization->putBackButton(id);
        QVERIFY(putBack);
        visualization->revealButton(id)->click();
        QCOMPARE(panel.workspace.revealed, QByteArrayList{second.path});
        const int scans = panel.rig.scans();
        putBack->click();
        settle();
        QCOMPARE(panel.rig.trash.restored, (QList<TrashEntryRef>{{second.trashFolder, second.name.toUtf8()}}));
        QCOMPARE(panel.rig.scans(), scans + 1);

        const QString withoutPlace = topItemRowID(fullTrash().topItems[4]);
        QVERIFY(visualization->revealButton(withoutPlace) && !visualization->putBackButton(withoutPlace));
    }

    // The list of every entry by keyboard alone: typing on a row goes to the search, Down reaches the
    // matches, Return puts back (a taken place is offered beside it), Delete asks first (Escape keeps
    // the entry, Return deletes it), Escape clears the search and then leaves the list.
    void theListOfEveryEntryIsDrivenByTheKeyboard()
    {
        Panel panel;
        panel.rig.trash.entryList = sampleListing(panel.rig.clock.now());
        panel.visualization()->allItemsButton()->click();
        AllItemsView* list = panel.trashTab()->allItemsView();
        QVERIFY(list && list->model()->rowCount() == 24);
        QTest::keyClicks(list->listView(), QStringLiteral("rep"));
        QCOMPARE(list->searchField()->text(), QStringLiteral("rep"));
        QTest::keyClick(list->searchField(), Qt::Key_Down);
        const TrashEntryRef first{"/home/user/.local/share/Trash", "report-q3-final.xlsx"};
        panel.rig.trash.restoreReport =
            TrashRestoreReport{{}, {TrashError{TrashServiceError::FileSystem, EEXIST, {}}}, {first}};
        QTest::keyClick(list->listView(), Qt::Key_Return);
        settle();
        QVERIFY(list->besideButton()->isVisibleTo(list));
        list->besideButton()->click();
        settle();
        QCOMPARE(panel.rig.trash.restored, (QList<TrashEntryRef>{first, first}));
        QCOMPARE(panel.rig.trash.renames, (QList<bool>{false, true}));

        QTest::keyClick(list->listView(), Qt::Key_Delete);
        QVERIFY(list->isConfirmingDelete());
        QTest::keyClick(list->listView(), Qt::Key_Escape);
        QVERIFY(!list->isConfirmingDelete() && panel.rig.trash.removed.isEmpty());
        QTest::keyClick(list->listView(), Qt::Key_Delete);
        QTest::keyClick(list->listView(), Qt::Key_Return);
        settle();
        QCOMPARE(panel.rig.trash.removed, QList<TrashEntryRef>{first});

        QTest::keyClick(list->listView(), Qt::Key_Escape);
        QVERIFY(list->searchField()->text().isEmpty() && panel.trashTab()->allItemsView());
        QTest::keyClick(list->searchField(), Qt::Key_Escape);
        QVERIFY(!panel.trashTab()->allItemsView());
    }

    // The first scan of a large Trash takes a while: the list opens meanwhile with what the reader
    // has, and stays when the scan lands.
    void theListOpensWhileTheFirstScanRuns()
    {
        ViewModelRig rig;
        rig.trash.entryList = sampleListing(rig.clock.now());
        auto* scanGate = new Cancellation;
        rig.trash.scanGate = scanGate;
        rig.make();
        auto firstScan = rig.vm->refresh();
        RecordingWorkspace workspace;
        MenuBarView view(*rig.vm, *rig.slimVm, rig.settings, workspace);
        TrashTabView* tab = part<TrashTabView>(view);
        QVERIFY(rig.vm->state().kind() == BinwellState::Kind::Scanning);
        part<QAbstractButton>(*tab->shownPart())->click();
        settle();
        QVERIFY(tab->shownPart() == tab->allItemsView() && tab->allItemsView()->model()->rowCount() == 24);
        delete scanGate;
        finish(firstScan);
        QVERIFY(tab->shownPart() == tab->allItemsView() && tab->allItemsView()->model()->rowCount() == 24);
    }

    // The view hands over the local files of a dropped list (which lines those are is the parser's,
    // in PanelLogicTest), offers to undo the drop, puts back what it made, and withdraws the offer
    // when the panel closes.
    void aDropMovesItsFilesAndOffersUndoUntilThePanelCloses()
    {
        Panel panel;
        panel.drop("file:///home/u/a.txt\r\nhttps://example.com/page\r\nfile:///home/u/b%FF\r\n");
        QCOMPARE(panel.rig.trash.moved, (QList<QList<QByteArray>>{{"/home/u/a.txt", "/home/u/b\xff"}}));
        QVERIFY(!panel.view->isDropTargeted());
        QVERIFY(!panel.undoLine().isEmpty());
        part<QAbstractButton>(*panel.view, "undo")->click();
        settle();
        QCOMPARE(panel.rig.trash.restored, (QList<TrashEntryRef>{{"/trash", "a.txt"}, {"/trash", "b\xff"}}));
        QCOMPARE(panel.undoLine(), QString());

        panel.drop("https://example.com/only-a-link\r\n");
        panel.drop("just some text", QStringLiteral("text/plain"));
        QCOMPARE(panel.rig.trash.moved.size(), 1);
        panel.drop("file:///home/u/c.txt\r\n");
        QVERIFY(!panel.undoLine().isEmpty());
        panel.view->panelDisappeared();
        QCOMPARE(panel.undoLine(), QString());
    }

    // Shown once: stored as shown as soon as the panel shows it; taken or dismissed, it goes and the
    // host is told; refused (nothing added), it stays to be tried again.
    void thePanelItemOfferIsShownOnceAndGoesWhenTaken_data()
    {
        QTest::addColumn<bool>("add");
        QTest::addColumn<bool>("added");
        QTest::newRow("added") << true << true;
        QTest::newRow("refused: offered again") << true << false;
        QTest::newRow("dismissed") << false << false;
    }
    void thePanelItemOfferIsShownOnceAndGoesWhenTaken()
    {
        QFETCH(bool, add);
        QFETCH(bool, added);
        Panel panel;
        panel.view->offerPanelItem([added] { return PanelItemOutcome{added, QStringLiteral("said")}; });
        QVERIFY(panel.rig.settings.hasShownPanelItemOffer());
        QSignalSpy closed(panel.view.get(), &MenuBarView::panelItemOfferClosed);
        part<QAbstractButton>(*panel.view, add ? "offerAdd" : "offerDismiss")->click();
        const bool offered = add && !added;
        QCOMPARE(closed.count(), offered ? 0 : 1);
        QCOMPARE(panel.offerText(), add ? QStringLiteral("> said") : QString());
        panel.view->panelDisappeared();
        panel.view->panelAppeared();
        QCOMPARE(panel.offerText().isEmpty(), !offered);
    }

    // The guide's sentence and command are tested here only: the Permissions pane shows the same report.
    void thePermissionGuideSaysWhatIsWrongAndRechecks()
    {
        Panel panel;
        const QByteArray trash = "/home/user/.local/share/Trash";
        panel.workspace.accessProblem =
            TrashAccessProblem{TrashAccessProblem::Kind::NotOwned, trash, trash, 0, 0700, {}};
        panel.rig.trash.status = TrashError{TrashServiceError::PermissionDenied, EACCES, {}};
        finish(panel.rig.vm->refresh());
        QStringList texts; // as shown, without the word joiners that keep paths together
        for (const GeekText* text : panel.view->findChildren<GeekText*>())
            texts.append(QString(text->text()).remove(QChar(0x2060)));
        QVERIFY(texts.contains(QStringLiteral("「~/.local/share/Trash」属于用户 root，Rubbly 无法读取和清空它。")));
        const int scans = panel.rig.scans();
        panel.button("复制修复命令")->click();
        panel.button("打开文件夹")->click();
        QCOMPARE(panel.rig.scans(), scans); // neither touches the state
        panel.workspace.accessProblem.reset();
        panel.button("重新检查")->click();
        settle();
        QCOMPARE(panel.rig.scans(), scans + 1);
        // Checked on showing and when asked; the command goes to the clipboard, never to a shell of ours.
        QCOMPARE(panel.workspace.calls,
                 (QStringList{QStringLiteral("checkTrashAccess"),
                              QStringLiteral("copyText sudo chown -R \"$USER\": ~/.local/share/Trash"),
                              QStringLiteral("openFolder /home/user/.local/share/Trash"),
                              QStringLiteral("checkTrashAccess")}));
        QVERIFY(!panel.button("复制修复命令")->isVisible());
    }
};

QTEST_MAIN(MenuBarViewTest)
#include "MenuBarViewTest.moc"
