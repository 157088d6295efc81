#include "DiskSlimCatalogue.h"

#include <QTest>

using namespace rubbly;

class DiskSlimCatalogueTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The slim tab shows each group's categories together, in group order; a stored snapshot and the
    // command line find a category by its exact title or row label, each naming one category.
    void categoriesLieInGroupOrderAndAreFoundByTitleOrLabel()
    {
        int lastGroup = 0;
        for (int i = 0; i < kDiskSlimCategoryCount; ++i) {
            const DiskSlimCategoryInfo& info = diskSlimCatalogue()[i];
            QCOMPARE(info.category, static_cast<DiskSlimCategory>(i));
            QVERIFY2(static_cast<int>(info.group) >= lastGroup, info.rowID);
            lastGroup = static_cast<int>(info.group);
            QCOMPARE(diskSlimCategoryFromTitle(QString::fromUtf16(info.title)), std::optional(info.category));
            QCOMPARE(diskSlimCategoryFromRowID(QString::fromLatin1(info.rowID)), std::optional(info.category));
        }
        QCOMPARE(lastGroup, kDiskSlimGroupCount - 1);
        QVERIFY(!diskSlimCategoryFromTitle(u"Xcode 派生数据 "));
        // The installers' label before it named Linux packages still reaches them.
        QCOMPARE(diskSlimCategoryFromRowID(u"downloaded-dmg-pkgs"), std::optional(DiskSlimCategory::DmgInstallers));
        QCOMPARE(diskSlimGroupFromTitle(u"系统与诊断日志"), std::optional(DiskSlimGroup::System));
    }

    void noCandidateReachesTheTrashOrLeavesHome()
    {
        // Relative, never climbing, never the Trash, inside it or a folder holding it.
        for (const DiskSlimCategoryInfo& info : diskSlimCatalogue()) {
            for (const QString& path : info.relativePaths)
                QVERIFY2(!path.startsWith(u'/') && !path.split(u'/').contains(u"..") && !path.contains(u"Trash") &&
                             !QStringLiteral(".local/share/Trash").startsWith(path + u'/'),
                         qPrintable(path));
        }
    }
};

QTEST_GUILESS_MAIN(DiskSlimCatalogueTest)
#include "DiskSlimCatalogueTest.moc"
