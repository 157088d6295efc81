#include "DiskSlimCatalogue.h"

#include <QTest>

using namespace rubbly;

class DiskSlimCatalogueTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A stored snapshot and the command line find a category by its exact title or row label, each
    // naming one category.
    void categoriesAreFoundByTitleOrLabel()
    {
        for (int i = 0; i < kDiskSlimCategoryCount; ++i) {
            const DiskSlimCategoryInfo& info = diskSlimCatalogue()[i];
            QCOMPARE(info.category, static_cast<DiskSlimCategory>(i));
            QCOMPARE(diskSlimCategoryFromTitle(QString::fromUtf16(info.title)), std::optional(info.category));
            QCOMPARE(diskSlimCategoryFromRowID(QString::fromLatin1(info.rowID)), std::optional(info.category));
        }
        // The installers' label before it named Linux packages still reaches them.
        QCOMPARE(diskSlimCategoryFromRowID(u"downloaded-dmg-pkgs"), std::optional(DiskSlimCategory::DmgInstallers));
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
