#include "DocumentTestSupport.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace DocumentTest;

namespace {

// Texts with a count go through the English translation that every main()
// installs: without it, one file would read "Remove 1 files from list".
TEST(Translation, CountsReadInTheSingularForOneAndThePluralOtherwise) {
    Library library;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
        library.add(QString::fromLatin1(name));
    DocumentViewModel document;
    importAndWait(document, {library.url()});
    const QList<QUuid> ids = idsOf(document.files());
    ASSERT_EQ(ids.size(), 3);

    document.setSelectedFiles({ids[0]});
    document.removeSelectedFromList();
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Remove 1 file from list"));
    document.undo();
    document.setSelectedFiles(QSet<QUuid>(ids.begin(), ids.end()));
    document.removeSelectedFromList();
    EXPECT_EQ(document.history().undoDescription(), QStringLiteral("Remove 3 files from list"));

    // No operation removes nothing, but a count of none reads in the plural too.
    EXPECT_EQ(QCoreApplication::translate("DocumentViewModel", "Remove %n files from list", nullptr, 0),
              QStringLiteral("Remove 0 files from list"));
    EXPECT_EQ(QCoreApplication::translate("StatusBarView", "%n files", nullptr, 0),
              QStringLiteral("0 files"));
}

} // namespace
