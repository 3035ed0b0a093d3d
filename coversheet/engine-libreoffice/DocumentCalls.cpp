#include "OfficeConnection.h"

#include "PagePicture.h"
#include "coversheet/office/OfficeFiles.h"
#include "coversheet/office/PictureText.h"
#include "shell/AtomicFile.h"
#include "shell/Clipboard.h"
#include "shell/FileProcedures.h"
#include "shell/Trace.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/UnknownPropertyException.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextField.hpp>
#include <com/sun/star/text/XTextFieldsSupplier.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/util/XRefreshable.hpp>

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QUrl>
#include <map>
#include <mutex>
#include <vector>

// The calls on the documents an office has open: open, fill in the fields, save, export,
// picture the first page, close; and the warm-up that runs them once ahead of need.

namespace velmora::office {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

// The characters this program wrote into the documents it saved, by file: what an office
// that opens one of them again (the page picture, an export) carries. A file's bytes say
// little of it (the Casual template's picture alone is 150 KB).
class WrittenCharacters {
public:
    void note(const QString& file, qint64 characters) {
        const std::lock_guard lock(mutex_);
        if (characters > 0)
            byFile_[QFileInfo(file).absoluteFilePath()] = characters;
        else
            byFile_.erase(QFileInfo(file).absoluteFilePath());
    }
    qint64 of(const QString& file) const {
        const std::lock_guard lock(mutex_);
        const auto found = byFile_.find(QFileInfo(file).absoluteFilePath());
        return found == byFile_.end() ? 0 : found->second;
    }

private:
    mutable std::mutex mutex_;
    std::map<QString, qint64> byFile_;
};

WrittenCharacters& writtenCharacters() {
    static WrittenCharacters written;
    return written;
}

css::beans::PropertyValue Property(const char* name, const css::uno::Any& value) {
    css::beans::PropertyValue property;
    property.Name = rtl::OUString::createFromAscii(name);
    property.Value = value;
    return property;
}

css::uno::Sequence<css::beans::PropertyValue> Properties(
    const std::vector<css::beans::PropertyValue>& properties) {
    return css::uno::Sequence<css::beans::PropertyValue>(properties.data(),
                                                         sal_Int32(properties.size()));
}

// Runs the office's store of `fileName`. Its words for a store that met a full disk are its
// own internals ("SfxBaseModel::impl_store ... 0x20d", or none): such a failure is told as a
// full disk, naming the folder.
template <class Store>
void StoreTellingFullDisk(const QString& what, const QString& fileName, Store&& store) {
    try {
        store();
    } catch (const WordError&) {
        const QString full = FullDiskReason(fileName);
        if (full.isEmpty()) throw;
        throw WordError(QStringLiteral("Could not %1: %2.").arg(what, full));
    }
}

rtl::OUString FileUrl(const QString& fileName) {
    return ToOffice(
        QUrl::fromLocalFile(QFileInfo(fileName).absoluteFilePath()).toString(QUrl::FullyEncoded));
}

// The fields of the document that are of the given service, in the document's order.
std::vector<Reference<css::text::XTextField>> FieldsOf(
    const Reference<css::lang::XComponent>& document, const char* service) {
    const Reference<css::container::XEnumeration> fields =
        Reference<css::text::XTextFieldsSupplier>(document, UNO_QUERY_THROW)
            ->getTextFields()
            ->createEnumeration();
    std::vector<Reference<css::text::XTextField>> found;
    while (fields->hasMoreElements()) {
        const Reference<css::text::XTextField> field(fields->nextElement(), UNO_QUERY);
        const Reference<css::lang::XServiceInfo> info(field, UNO_QUERY);
        if (field.is() && info.is() &&
            info->supportsService(rtl::OUString::createFromAscii(service)))
            found.push_back(field);
    }
    return found;
}

// Puts `shown` in the field's place, in the field's own character formatting.
void ReplaceFieldWithText(const Reference<css::text::XTextField>& field,
                          const rtl::OUString& shown) {
    static const char* const kLook[] = {"CharFontName",  "CharFontFamily", "CharFontCharSet",
                                        "CharFontPitch", "CharColor",      "CharHeight",
                                        "CharWeight",    "CharKerning"};
    const Reference<css::text::XTextRange> anchor = field->getAnchor();
    const Reference<css::beans::XPropertySet> fieldLook(anchor, UNO_QUERY_THROW);
    std::vector<css::uno::Any> look;
    for (const char* name : kLook)
        look.push_back(fieldLook->getPropertyValue(rtl::OUString::createFromAscii(name)));
    const Reference<css::text::XText> text = anchor->getText();
    const Reference<css::text::XTextCursor> cursor = text->createTextCursorByRange(anchor);
    text->insertString(Reference<css::text::XTextRange>(cursor.get()), shown, true);
    cursor->goLeft(sal_Int16(shown.getLength()), true);
    const Reference<css::beans::XPropertySet> written(cursor, UNO_QUERY_THROW);
    for (size_t i = 0; i < look.size(); ++i)
        written->setPropertyValue(rtl::OUString::createFromAscii(kLook[i]), look[i]);
}

// The click-here fields (MACROBUTTON: the tick squares, a prompt left unfilled) become the
// text they show, as it shows. The office writes a .docx with a field's shown text as its
// result, where Word-format readers look for it in the field's code and so show nothing.
void FieldsToShownText(const Reference<css::lang::XComponent>& document) {
    for (const Reference<css::text::XTextField>& field :
         FieldsOf(document, "com.sun.star.text.TextField.Macro"))
        ReplaceFieldWithText(field, Reference<css::beans::XPropertySet>(field, UNO_QUERY_THROW)
                                        ->getPropertyValue("Hint")
                                        .get<rtl::OUString>());
}

}  // namespace

Reference<css::lang::XComponent> OfficeConnection::activeDocument() const {
    return documents_.empty() ? Reference<css::lang::XComponent>() : documents_.back();
}

Reference<css::lang::XComponent> OfficeConnection::requireDocument() const {
    if (documents_.empty())
        throw WordError(
            QStringLiteral("This command is not available because no document is open."));
    return documents_.back();
}

void OfficeConnection::documentsOpen(const QString& fileName, bool readOnly) {
    if (!QFileInfo(fileName).isFile())
        throw WordError(QStringLiteral("The document '%1' could not be found.").arg(fileName));
    // A template opens as an untitled copy unless it is opened read-only and not as a
    // template; only then does the office open the file itself, read-only.
    const auto arguments = Properties(
        {Property("Hidden", css::uno::Any(true)), Property("ReadOnly", css::uno::Any(readOnly)),
         Property("AsTemplate", css::uno::Any(false)),
         Property("MacroExecutionMode", css::uno::Any(css::document::MacroExecMode::NEVER_EXECUTE)),
         Property("UpdateDocMode", css::uno::Any(css::document::UpdateDocMode::NO_UPDATE))});
    const QString what = QStringLiteral("open the document '%1'").arg(fileName);
    // The lock file the office puts beside a document opened for editing goes with the
    // document; should the office die first, it goes when the instance ends, or at the next
    // start.
    if (!readOnly) slot_->recordLeftovers({LockFileOf(fileName)});
    const qint64 characters = writtenCharacters().of(fileName);
    const Reference<css::lang::XComponent> document = guarded(what, boundFor(characters), [&] {
        const Reference<css::frame::XComponentLoader> loader(desktop_, UNO_QUERY_THROW);
        return loader->loadComponentFromURL(FileUrl(fileName), "_blank", 0, arguments);
    });
    if (!document.is())
        throw WordError(QStringLiteral("Could not %1: the office could not read it.").arg(what));
    documents_.push_back(document);
    carried_ = characters;
}

void OfficeConnection::fieldsUpdate() {
    const Reference<css::lang::XComponent> document = requireDocument();
    guarded(QStringLiteral("update the fields"), boundFor(carried_), [&] {
        const Reference<css::text::XTextFieldsSupplier> supplier(document, UNO_QUERY_THROW);
        Reference<css::util::XRefreshable>(supplier->getTextFields(), UNO_QUERY_THROW)->refresh();
    });
}

void OfficeConnection::addToPageCount(int pages) {
    const Reference<css::lang::XComponent> document = requireDocument();
    const int own = pageCount();
    if (own <= 0) throw WordError(QStringLiteral("Could not count the pages of the document."));
    guarded(QStringLiteral("write the packet's page count"), boundFor(carried_), [&] {
        // Written as text: the field would count the cover's own pages again wherever the
        // document is opened.
        const rtl::OUString total = rtl::OUString::number(own + pages);
        for (const Reference<css::text::XTextField>& field :
             FieldsOf(document, "com.sun.star.text.TextField.PageCount"))
            ReplaceFieldWithText(field, total);
    });
}

void OfficeConnection::saveAs(const QString& fileName) {
    const Reference<css::lang::XComponent> document = requireDocument();
    const QString what = QStringLiteral("save the document as '%1'").arg(fileName);
    // The office writes into the instance's own folder, where whatever a failed or broken-off
    // save leaves (part of the file, the office's lu*.tmp) goes with the instance; the
    // document reaches its place only once it is complete.
    const QTemporaryDir folder(slot_->tempFolder() + QStringLiteral("/save-XXXXXX"));
    if (!folder.isValid())
        throw WordError(QStringLiteral("Could not %1: %2").arg(what, folder.errorString()));
    const QString stored = folder.filePath(QStringLiteral("document.doc"));
    StoreTellingFullDisk(what, stored, [&] {
        guarded(what, boundFor(carried_), [&] {
            Reference<css::frame::XStorable>(document, UNO_QUERY_THROW)
                ->storeToURL(FileUrl(stored),
                             Properties({Property("FilterName",
                                                  css::uno::Any(rtl::OUString("MS Word 97")))}));
        });
    });
    if (QFileInfo(stored).size() <= 0)
        throw WordError(QStringLiteral("Could not %1: the office wrote nothing.").arg(what));
    try {
        // The generated document is a working file of the user's: theirs alone, whatever the
        // umask, in a temporary folder others may share.
        AtomicFile placed(fileName, AtomicFile::Flush::ToDisk, AtomicFile::Access::OwnerOnly);
        placed.moveIn(stored);
        placed.commit();
        writtenCharacters().note(fileName, carried_);
    } catch (const Failure& error) {
        throw WordError(
            QStringLiteral("Could not %1: %2").arg(what, QString::fromUtf8(error.what())));
    }
}

// The office runs headless and never asks anything, so there is nothing to switch off.
void OfficeConnection::setDisplayAlerts(bool) {}

void OfficeConnection::close() {
    const Reference<css::lang::XComponent> document = requireDocument();
    // Word would ask about unsaved changes here; with nobody to ask, they are dropped.
    guarded(QStringLiteral("close the document"), boundFor(carried_),
            [&] { Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(true); });
    documents_.pop_back();
    forgetBookmarks();
    if (documents_.empty()) carried_ = 0;
}

void OfficeConnection::closeWithoutSaving() {
    const Reference<css::lang::XComponent> document = requireDocument();
    guarded(QStringLiteral("close the document"), boundFor(carried_), [&] {
        const Reference<css::util::XModifiable> modifiable(document, UNO_QUERY);
        if (modifiable.is()) modifiable->setModified(false);
        Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(true);
    });
    documents_.pop_back();
    forgetBookmarks();
    if (documents_.empty()) carried_ = 0;
}

void OfficeConnection::exportFirstPage(const QString& pdfFile) {
    const Reference<css::lang::XComponent> document = requireDocument();
    releaseLayout(document);
    guarded(QStringLiteral("make a picture of the page"), boundFor(carried_), [&] {
        // The pictures go in as the document holds them: a JPEG is then copied, not encoded
        // anew (the Casual artwork: 30 ms instead of 80).
        const auto pageRange =
            Properties({Property("PageRange", css::uno::Any(rtl::OUString("1"))),
                        Property("ReduceImageResolution", css::uno::Any(false))});
        Reference<css::frame::XStorable>(document, UNO_QUERY_THROW)
            ->storeToURL(FileUrl(pdfFile),
                         Properties({Property("FilterName",
                                              css::uno::Any(rtl::OUString("writer_pdf_Export"))),
                                     Property("FilterData", css::uno::Any(pageRange))}));
    });
}

int OfficeConnection::pageCount() {
    const Reference<css::lang::XComponent> document = requireDocument();
    return guarded(QStringLiteral("count the pages"), boundFor(carried_), [&] {
        // The document's view counts the pages of the layout the export has just made.
        const Reference<css::beans::XPropertySet> view(
            Reference<css::frame::XModel>(document, UNO_QUERY_THROW)->getCurrentController(),
            UNO_QUERY);
        sal_Int32 count = 0;
        if (!view.is()) return 0;
        try {
            view->getPropertyValue("PageCount") >>= count;
        } catch (const css::beans::UnknownPropertyException&) {
            return 0;
        }
        return int(count);
    });
}

// A copy of the active document in another format; the document stays as it was opened.
void OfficeConnection::storeCopy(const QString& what, const QString& fileName, const char* filter,
                                 const css::uno::Sequence<css::beans::PropertyValue>& filterData) {
    const Reference<css::lang::XComponent> document = requireDocument();
    releaseLayout(document);
    // The office locks the file it writes, and leaves the lock behind when the write fails (a
    // full disk): a lock that was not there before goes with the call, whatever its outcome.
    const QString lock = LockFileOf(fileName);
    struct stat before {};
    const bool lockedBefore = ::lstat(QFile::encodeName(lock).constData(), &before) == 0;
    if (!lockedBefore) slot_->recordLeftovers({lock});
    const auto removeOurLock = qScopeGuard([&] {
        if (!lockedBefore) RemoveFileQuietly(lock);
    });
    StoreTellingFullDisk(what, fileName, [&] {
        guarded(what, [&] {
            std::vector<css::beans::PropertyValue> arguments = {
                Property("FilterName", css::uno::Any(rtl::OUString::createFromAscii(filter))),
                Property("Overwrite", css::uno::Any(true))};
            if (filterData.hasElements())
                arguments.push_back(Property("FilterData", css::uno::Any(filterData)));
            Reference<css::frame::XStorable>(document, UNO_QUERY_THROW)
                ->storeToURL(FileUrl(fileName), Properties(arguments));
        });
    });
}

void OfficeConnection::exportAsPdf(const QString& fileName) {
    // Every font embedded, the standard PDF ones as well, so that the file looks the same
    // wherever it is opened or printed; the pictures as the document holds them, with no
    // second loss of detail.
    storeCopy(QStringLiteral("export the document as PDF to '%1'").arg(fileName), fileName,
              "writer_pdf_Export",
              Properties({Property("EmbedStandardFonts", css::uno::Any(true)),
                          Property("ReduceImageResolution", css::uno::Any(false))}));
}

void OfficeConnection::saveAsDocx(const QString& fileName) {
    const QString what = QStringLiteral("save the document as '%1'").arg(fileName);
    // The file carries the fonts its text uses (Tahoma and Wingdings come from Wine's folder,
    // which only our office sees), so that a reader without them shows the same lines and the
    // tick squares. Only the fonts in use, and the installed ones as well: the office counts
    // every font it finds in a system folder as one the reader surely has.
    const Reference<css::lang::XComponent> document = requireDocument();
    guarded(what, [&] {
        const Reference<css::beans::XPropertySet> settings(
            Reference<css::lang::XMultiServiceFactory>(document, UNO_QUERY_THROW)
                ->createInstance("com.sun.star.text.DocumentSettings"),
            UNO_QUERY_THROW);
        settings->setPropertyValue("EmbedFonts", css::uno::Any(true));
        settings->setPropertyValue("EmbedOnlyUsedFonts", css::uno::Any(true));
        settings->setPropertyValue("EmbedSystemFonts", css::uno::Any(true));
        FieldsToShownText(document);
    });
    storeCopy(what, fileName, "MS Word 2007 XML");
}

QImage OfficeConnection::copyAsPicture() {
    requireDocument();
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw WordError(QStringLiteral("There is no clipboard to copy the page picture to."));
    // In the instance's own folder, which goes with the instance however it ends.
    const QTemporaryDir folder(slot_->tempFolder() + QStringLiteral("/page-XXXXXX"));
    if (!folder.isValid())
        throw WordError(QStringLiteral("Cannot create a temporary folder for the page picture: %1")
                            .arg(folder.errorString()));
    const QString pdfFile = folder.filePath(QStringLiteral("page.pdf"));
    {
        const TraceScope trace("office page export");
        exportFirstPage(pdfFile);
    }
    const int pages = pageCount();
    QImage picture;
    QString text;
    {
        const TraceScope trace("office rasterise");
        picture = RenderFirstPage(pdfFile, &text);
    }
    PutPictureOnClipboard(picture);
    // What the page says and how many there are, for those who cannot see the picture; the
    // clipboard keeps the bare picture.
    picture.setText(QLatin1String(kPictureTextKey), text);
    picture.setText(QLatin1String(kPicturePagesKey), QString::number(pages));
    return picture;
}

void OfficeConnection::warmUp() {
    const QString wordFile = slot_->tempFolder() + QStringLiteral("/warm-up.doc");
    const QString pdfFile = slot_->tempFolder() + QStringLiteral("/warm-up.pdf");
    guarded(QStringLiteral("prepare the office"), [&] {
        const Reference<css::frame::XComponentLoader> loader(desktop_, UNO_QUERY_THROW);
        const auto store = [](const Reference<css::lang::XComponent>& document, const QString& file,
                              const rtl::OUString& filter) {
            Reference<css::frame::XStorable>(document, UNO_QUERY_THROW)
                ->storeToURL(FileUrl(file),
                             Properties({Property("FilterName", css::uno::Any(filter))}));
            Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(true);
        };
        // A blank document through the Word filters and the page export, as a cover sheet
        // goes, so that their code is loaded before the user waits for it.
        store(loader->loadComponentFromURL("private:factory/swriter", "_blank", 0,
                                           Properties({Property("Hidden", css::uno::Any(true))})),
              wordFile, "MS Word 97");
        store(loader->loadComponentFromURL(FileUrl(wordFile), "_blank", 0,
                                           Properties({Property("Hidden", css::uno::Any(true)),
                                                       Property("ReadOnly", css::uno::Any(true))})),
              pdfFile, "writer_pdf_Export");
    });
    // And the page reader on our side, which sets up its fonts on first use.
    RenderFirstPage(pdfFile);
    QFile::remove(wordFile);
    QFile::remove(pdfFile);
}

}  // namespace velmora::office
