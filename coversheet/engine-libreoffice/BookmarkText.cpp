#include "OfficeConnection.h"

#include <com/sun/star/beans/PropertyAttribute.hpp>
#include <com/sun/star/beans/XMultiPropertyStates.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertyState.hpp>
#include <com/sun/star/container/NoSuchElementException.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/text/XBookmarksSupplier.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextCursor.hpp>

// The text written into bookmarks: what the user typed made fit for the document, written,
// read back, and given the paragraph's formatting.

namespace velmora::office {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

// Word keeps the formatting of the text it writes over; for us the written text takes the
// paragraph's own formatting, so that a "V" written over a grey Wingdings tick square reads
// as a V in the document's text font. Every character attribute set directly on the text,
// and its character style, goes back to the paragraph's.
void ResetCharacterFormatting(const Reference<css::text::XTextCursor>& cursor,
                              std::vector<rtl::OUString>& characterProperties) {
    const Reference<css::beans::XPropertyState> state(cursor, UNO_QUERY_THROW);
    // The same for every piece of text; asked for once per connection.
    if (characterProperties.empty()) {
        const Reference<css::beans::XPropertySet> properties(cursor, UNO_QUERY_THROW);
        for (const css::beans::Property& property :
             properties->getPropertySetInfo()->getProperties()) {
            if (property.Name.startsWith("Char") &&
                !(property.Attributes & css::beans::PropertyAttribute::READONLY))
                characterProperties.push_back(property.Name);
        }
    }
    const css::uno::Sequence<css::beans::PropertyState> states =
        state->getPropertyStates(css::uno::Sequence<rtl::OUString>(
            characterProperties.data(), sal_Int32(characterProperties.size())));
    std::vector<rtl::OUString> direct;
    for (sal_Int32 i = 0; i < states.getLength(); ++i) {
        if (states[i] != css::beans::PropertyState_DEFAULT_VALUE)
            direct.push_back(characterProperties[size_t(i)]);
    }
    if (direct.empty()) return;
    try {
        Reference<css::beans::XMultiPropertyStates>(cursor, UNO_QUERY_THROW)
            ->setPropertiesToDefault(
                css::uno::Sequence<rtl::OUString>(direct.data(), sal_Int32(direct.size())));
    } catch (const css::uno::RuntimeException&) {
        throw;
    } catch (const css::uno::Exception&) {
        // One of them cannot be reset; reset the others one by one.
        for (const rtl::OUString& name : direct) {
            try {
                state->setPropertyToDefault(name);
            } catch (const css::uno::RuntimeException&) {
                throw;
            } catch (const css::uno::Exception&) {
            }
        }
    }
}

// What the user typed, as the document's text can hold it. A line break typed as CR LF, CR or
// LF ends the paragraph, as it does when Word is given the same text (the office splits
// paragraphs at CR and would make an LF a line break within the paragraph). A vertical tab,
// Word's own line break, is a line break within the paragraph. The tab stays; every other
// control character (form feed, BEL, ESC, NUL, ... as pasted from other programs) is a space:
// the office would drop the whole value, and in a Word file they mark fields and objects.
// Non-characters, and halves of surrogate pairs without their other half, become U+FFFD; the
// office cannot even take the latter.
rtl::OUString OfficeText(const QString& value) {
    QString text;
    text.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        const bool pair =
            c.isHighSurrogate() && i + 1 < value.size() && value[i + 1].isLowSurrogate();
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            text += QLatin1Char('\r');
            if (c == QLatin1Char('\r') && i + 1 < value.size() && value[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\v')) {
            text += QLatin1Char('\n');
        } else if (c == QLatin1Char('\t')) {
            text += c;
        } else if (c.unicode() < 0x20) {
            text += QLatin1Char(' ');
        } else if (pair && !QChar::isNonCharacter(QChar::surrogateToUcs4(c, value[i + 1]))) {
            text += c;
            text += value[++i];
        } else if (pair || c.isSurrogate() || QChar::isNonCharacter(c.unicode())) {
            text += QChar::ReplacementCharacter;
            i += pair;
        } else {
            text += c;
        }
    }
    return ToOffice(text);
}

}  // namespace

void OfficeConnection::setBookmarkText(const QString& name, const QString& value) {
    const Reference<css::lang::XComponent> document = requireDocument();
    carried_ += value.size();
    guarded(QStringLiteral("write the bookmark '%1'").arg(name), boundFor(carried_), [&] {
        // Every call is a round trip to the office; the document's bookmarks are asked for
        // once, not once per bookmark.
        holdLayout(document);
        if (bookmarksOf_ != document) {
            bookmarks_ =
                Reference<css::text::XBookmarksSupplier>(document, UNO_QUERY_THROW)->getBookmarks();
            bookmarksOf_ = document;
        }
        Reference<css::text::XTextContent> bookmark;
        try {
            bookmark.set(bookmarks_->getByName(ToOffice(name)), UNO_QUERY_THROW);
        } catch (const css::container::NoSuchElementException&) {
            throw WordError(QStringLiteral("The document has no bookmark named '%1'.").arg(name));
        }
        const rtl::OUString text = OfficeText(value);
        // What the bookmark reads once written: paragraph and line breaks both read as LF.
        const rtl::OUString expected = text.replace('\r', '\n');
        const Reference<css::text::XTextRange> anchor = bookmark->getAnchor();
        const Reference<css::text::XText> body = anchor->getText();
        // The written text starts just after the character before the bookmark, which the
        // writing does not move. (The cursor that writes would span the text, but the office
        // counts a surrogate pair as one character there and starts it too early.)
        const Reference<css::text::XTextCursor> range =
            body->createTextCursorByRange(anchor->getStart());
        const bool atStart = !range->goLeft(1, false);
        const Reference<css::text::XTextCursor> written = body->createTextCursorByRange(anchor);
        written->setString(text);
        if (atStart)
            range->gotoStart(false);
        else
            range->goRight(1, false);
        range->gotoRange(written->getEnd(), true);
        // An empty bookmark stays empty before its new text, and one that gets several
        // paragraphs ends after the first; such a bookmark is set again around all of it.
        rtl::OUString held = bookmark->getAnchor()->getString();
        if (held != expected) {
            Reference<css::lang::XComponent>(bookmark, UNO_QUERY_THROW)->dispose();
            bookmark.set(Reference<css::lang::XMultiServiceFactory>(document, UNO_QUERY_THROW)
                             ->createInstance("com.sun.star.text.Bookmark"),
                         UNO_QUERY_THROW);
            Reference<css::container::XNamed>(bookmark, UNO_QUERY_THROW)->setName(ToOffice(name));
            body->insertTextContent(Reference<css::text::XTextRange>(range.get()), bookmark, true);
            held = bookmark->getAnchor()->getString();
        }
        // Read back: what the office did not take as written fails the step, naming the
        // bookmark, rather than leaving the value out of the document unsaid.
        if (held != expected)
            throw WordError(
                QStringLiteral("The bookmark '%1' does not hold the text written to it.")
                    .arg(name));
        ResetCharacterFormatting(range, characterProperties_);
    });
}

// The office lays the document out again after every change it is sent, and a page of a long
// paragraph takes it seconds; a cover sheet is written bookmark by bookmark and pictured only
// once it is saved. So the layout waits from the first write until the document is pictured
// or exported (saving and closing do not need it), which changes nothing in what is written.
void OfficeConnection::holdLayout(const Reference<css::lang::XComponent>& document) {
    if (layoutHeldFor_ == document) return;
    Reference<css::frame::XModel>(document, UNO_QUERY_THROW)->lockControllers();
    layoutHeldFor_ = document;
}

void OfficeConnection::releaseLayout(const Reference<css::lang::XComponent>& document) {
    if (layoutHeldFor_ != document) return;
    guarded(QStringLiteral("lay out the document"), boundFor(carried_), [&] {
        layoutHeldFor_.clear();
        Reference<css::frame::XModel>(document, UNO_QUERY_THROW)->unlockControllers();
    });
}

}  // namespace velmora::office
