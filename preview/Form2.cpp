#include "Form2.h"

namespace velmora {

Form2::Form2(QWidget* parent) : QWidget(parent) { setWindowTitle(QStringLiteral("Velmora")); }

}  // namespace velmora
