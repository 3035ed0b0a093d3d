#include "Form1.h"

namespace velmora {

Form1::Form1(QWidget* parent) : QWidget(parent) { setWindowTitle(QStringLiteral("Velmora")); }

}  // namespace velmora
