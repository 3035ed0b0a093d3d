#include "TabStripAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QTabBar>

namespace velmora {
namespace {

// A tab's text as it is spoken: "&&" is an ampersand, a single "&" only marks the mnemonic.
QString spoken(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && ++i >= text.size()) break;
        out += text[i];
    }
    return out;
}

// One tab of a strip; the tab is no widget of its own.
class TabAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TabAccessible(QTabBar* strip, int index) : strip_(strip), index_(index) {}

    int index() const { return index_; }

    bool isValid() const override { return strip_ && index_ < strip_->count(); }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(strip_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }

    QString text(QAccessible::Text type) const override {
        if (!isValid()) return {};
        switch (type) {
            case QAccessible::Name: {
                const QString name = strip_->accessibleTabName(index_);
                return name.isEmpty() ? spoken(strip_->tabText(index_)) : name;
            }
            case QAccessible::Description:
                return strip_->tabToolTip(index_);
            default:
                return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid()) return {};
        const QRect tab = strip_->tabRect(index_);
        return tab.translated(strip_->mapToGlobal(QPoint(0, 0)));
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state = parent()->state();  // the strip's: focused while it has the focus
        const bool current = index_ == strip_->currentIndex();
        state.focused = state.focused && current;
        state.selectable = true;
        state.selected = current;
        if (!strip_->isTabEnabled(index_)) state.disabled = true;
        if (!strip_->isTabVisible(index_)) state.invisible = true;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (isValid() && name == pressAction()) strip_->setCurrentIndex(index_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QTabBar> strip_;
    int index_;
};

// The strip: its tabs first, then its own child widgets (the scroll buttons), as Qt orders
// them, so that the strip's own events (focus and selection by tab index) find the same tab.
class TabStripAccessible : public QAccessibleWidget {
public:
    explicit TabStripAccessible(QTabBar* strip)
        : QAccessibleWidget(strip, QAccessible::PageTabList) {}
    ~TabStripAccessible() override {
        for (const QAccessible::Id id : std::as_const(tabs_))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return strip()->count() + QAccessibleWidget::childCount(); }

    QAccessibleInterface* child(int index) const override {
        if (index < 0) return nullptr;
        if (index >= strip()->count()) return QAccessibleWidget::child(index - strip()->count());
        if (const QAccessible::Id id = tabs_.value(index))
            return QAccessible::accessibleInterface(id);
        auto* tab = new TabAccessible(strip(), index);
        tabs_.insert(index, QAccessible::registerAccessibleInterface(tab));
        return tab;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child) return -1;
        if (child->role() == QAccessible::PageTab && child->parent() == this)
            return static_cast<const TabAccessible*>(child)->index();
        const int widget = QAccessibleWidget::indexOfChild(child);
        return widget < 0 ? -1 : strip()->count() + widget;
    }

    QAccessibleInterface* focusChild() const override {
        return strip()->hasFocus() && strip()->currentIndex() >= 0 ? child(strip()->currentIndex())
                                                                   : nullptr;
    }

    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Name && strip()->accessibleName().isEmpty())
            return strip()->currentIndex() < 0 ? QString()
                                               : child(strip()->currentIndex())->text(type);
        return QAccessibleWidget::text(type);
    }

private:
    QTabBar* strip() const { return static_cast<QTabBar*>(widget()); }

    mutable QHash<int, QAccessible::Id> tabs_;
};

QAccessibleInterface* tabStrip(const QString& className, QObject* object) {
    if (className == QLatin1String("QTabBar"))
        if (auto* strip = qobject_cast<QTabBar*>(object)) return new TabStripAccessible(strip);
    return nullptr;
}

}  // namespace

void InstallTabStripAccessibility() {
    static const bool installed = (QAccessible::installFactory(tabStrip), true);
    Q_UNUSED(installed);
}

}  // namespace velmora
