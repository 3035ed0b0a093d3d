#include "Form2.h"

namespace velmora {

Form2::Form2(EditorLink& editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    setWindowTitle(QStringLiteral("Velmora"));
}

Form2::~Form2() = default;

void Form2::loadPicture(const QString&) {}

}  // namespace velmora
