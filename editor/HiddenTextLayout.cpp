#include "HiddenTextLayout.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace velmora {

void HiddenTextLayout::install(QPlainTextEdit& editor) {
    auto* document = new QTextDocument(&editor);
    document->setDefaultFont(editor.font());
    document->setDocumentLayout(new HiddenTextLayout(document, editor));
    editor.setDocument(document);
}

HiddenTextLayout::HiddenTextLayout(QTextDocument* document, QPlainTextEdit& editor)
    : QPlainTextDocumentLayout(document), editor_(&editor) {
    editor.installEventFilter(this);
}

void HiddenTextLayout::documentChanged(int from, int removed, int added) {
    if (editor_ && !editor_->isVisible()) {
        behind_ = true;
        return;
    }
    QPlainTextDocumentLayout::documentChanged(from, removed, added);
}

bool HiddenTextLayout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editor_ && event->type() == QEvent::Show && behind_) {
        behind_ = false;
        const int length = document()->characterCount();
        QPlainTextDocumentLayout::documentChanged(0, length, length);
    }
    return false;
}

}  // namespace velmora
