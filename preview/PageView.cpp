#include "PageView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <algorithm>
#include <utility>

namespace velmora {
namespace {

// The page as a read-only document whose text is the page's. It has no caret and no
// selection, and places no character on the picture: the text is there to be read.
class PageAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit PageAccessible(PageView* page) : QAccessibleWidget(page, QAccessible::Document) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        return state;
    }

    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}

    int cursorPosition() const override { return cursor_; }
    void setCursorPosition(int position) override {
        cursor_ = std::clamp(position, 0, characterCount());
    }

    QString text(int startOffset, int endOffset) const override {
        const QString& all = pageText();
        if (endOffset < 0 || endOffset > all.size()) endOffset = int(all.size());
        startOffset = std::clamp(startOffset, 0, endOffset);
        return all.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(pageText().size()); }

    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    const QString& pageText() const { return static_cast<const PageView*>(widget())->pageText(); }

    int cursor_ = 0;
};

QAccessibleInterface* pageAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(PageView::staticMetaObject.className()))
        return new PageAccessible(static_cast<PageView*>(object));
    return nullptr;
}

}  // namespace

PageView::PageView(QWidget* parent) : PictureBox(parent) {
    static const bool installed = (QAccessible::installFactory(pageAccessible), true);
    Q_UNUSED(installed);
}

void PageView::setPageText(QString text) {
    if (text == text_) return;
    QString old = std::exchange(text_, std::move(text));
    if (!QAccessible::isActive()) return;
    QAccessibleTextUpdateEvent event(this, 0, old, text_);
    QAccessible::updateAccessibility(&event);
}

}  // namespace velmora
