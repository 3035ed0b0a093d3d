#pragma once

#include <QPlainTextDocumentLayout>
#include <QPointer>

class QPlainTextEdit;

namespace velmora {

// The layout of a message field's text that waits while its field is hidden. Every member of
// the message is given each keystroke, and laying out a long paragraph again costs what its
// length costs; the members on the tabs not shown skip that until they are shown, and are
// then laid out once. Their text is always the whole, current one: only its lines wait.
class HiddenTextLayout : public QPlainTextDocumentLayout {
    Q_OBJECT
public:
    // Gives `editor` a new, empty document with this layout (before it holds any text).
    static void install(QPlainTextEdit& editor);

protected:
    void documentChanged(int from, int removed, int added) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HiddenTextLayout(QTextDocument* document, QPlainTextEdit& editor);

    QPointer<QPlainTextEdit> editor_;
    bool behind_ = false;
};

}  // namespace velmora
