#include "EngineTestSupport.h"

#include "BuildCache.h"
#include "TestSupport.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/text/XBookmarksSupplier.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextCursor.hpp>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <csignal>

namespace velmora::test {

namespace css = com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;
using office::FromOffice;
using office::ToOffice;

office::StartOptions ProgramStartOptions() {
    office::StartOptions options;
    options.profileFolder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                            QStringLiteral("/velmora/office");
    options.fontConfigFile =
        QCoreApplication::applicationDirPath() + QStringLiteral("/velmora-fonts.conf");
    return options;
}

namespace {

// Made once per build tree (and again when the sample or the office changes).
QString MadeSampleTemplate() {
    static QString made;
    if (!made.isEmpty()) return made;
    const QString source = QStringLiteral(VELMORA_ENGINE_TEST_DATA "/sample.fodt");
    const QString folder =
        CachedFolder(QStringLiteral("sample-template"), ReadFile(source), [&](const QString& out) {
            // Opened from a copy: an office opening a file for editing puts a lock file beside
            // it, and test programs running side by side would find each other's.
            const QString copy = TestFolder() + QStringLiteral("/sample.fodt");
            QFile::copy(source, copy);
            office::OfficeConnection word(ProgramStartOptions());
            word.documentsOpen(copy, false);
            word.guarded(QStringLiteral("store the sample template"), [&] {
                css::beans::PropertyValue filter;
                filter.Name = "FilterName";
                filter.Value <<= rtl::OUString("MS Word 97 Vorlage");
                Reference<css::frame::XStorable>(word.activeDocument(), UNO_QUERY_THROW)
                    ->storeToURL(
                        ToOffice(
                            QUrl::fromLocalFile(out + QStringLiteral("/sample.dot")).toString()),
                        css::uno::Sequence<css::beans::PropertyValue>(&filter, 1));
            });
            word.closeWithoutSaving();
            word.quit();
            return QFileInfo(out + QStringLiteral("/sample.dot")).size() > 0;
        });
    if (folder.isEmpty()) throw WordError(QStringLiteral("The sample template could not be made."));
    made = folder + QStringLiteral("/sample.dot");
    return made;
}

Reference<css::text::XTextRange> BookmarkRange(office::OfficeConnection& word,
                                               const QString& name) {
    const Reference<css::text::XBookmarksSupplier> supplier(word.activeDocument(), UNO_QUERY_THROW);
    const Reference<css::text::XTextContent> bookmark(
        supplier->getBookmarks()->getByName(ToOffice(name)), UNO_QUERY_THROW);
    return bookmark->getAnchor();
}

}  // namespace

QString SampleTemplate(const QString& folder) {
    QDir().mkpath(folder);
    const QString copy = folder + QStringLiteral("/sample.dot");
    QFile::remove(copy);
    QFile::copy(MadeSampleTemplate(), copy);
    return copy;
}

QString BookmarkText(office::OfficeConnection& word, const QString& name) {
    return word.guarded(QStringLiteral("read a bookmark"),
                        [&] { return FromOffice(BookmarkRange(word, name)->getString()); });
}

int ParagraphsCovered(office::OfficeConnection& word, const QString& name) {
    return word.guarded(QStringLiteral("count paragraphs"), [&] {
        const Reference<css::text::XTextRange> range = BookmarkRange(word, name);
        const Reference<css::container::XEnumerationAccess> paragraphs(
            range->getText()->createTextCursorByRange(range), UNO_QUERY_THROW);
        int count = 0;
        for (const auto each = paragraphs->createEnumeration(); each->hasMoreElements();
             each->nextElement())
            ++count;
        return count;
    });
}

QString BookmarkCharacterProperty(office::OfficeConnection& word, const QString& name,
                                  const char* property) {
    return word.guarded(QStringLiteral("read a character property"), [&] {
        const Reference<css::text::XTextRange> range = BookmarkRange(word, name);
        const Reference<css::text::XTextCursor> cursor =
            range->getText()->createTextCursorByRange(range->getStart());
        cursor->goRight(1, true);
        const css::uno::Any value =
            Reference<css::beans::XPropertySet>(cursor, UNO_QUERY_THROW)
                ->getPropertyValue(rtl::OUString::createFromAscii(property));
        rtl::OUString text;
        sal_Int32 number = 0;
        if (value >>= text) return FromOffice(text);
        if (value >>= number) return QString::number(number);
        return QString();
    });
}

bool OpenedReadOnlyFrom(office::OfficeConnection& word, const QString& file) {
    return word.guarded(QStringLiteral("read the document's origin"), [&] {
        const Reference<css::frame::XStorable> storable(word.activeDocument(), UNO_QUERY_THROW);
        const QString location = QUrl(FromOffice(storable->getLocation())).toLocalFile();
        return storable->isReadonly() &&
               QFileInfo(location).canonicalFilePath() == QFileInfo(file).canonicalFilePath();
    });
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString RunProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace velmora::test
