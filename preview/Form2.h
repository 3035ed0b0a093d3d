#pragma once

#include <QWidget>

namespace velmora {

// The preview window.
class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);
};

}  // namespace velmora
