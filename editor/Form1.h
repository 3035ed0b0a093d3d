#pragma once

#include <QWidget>

namespace velmora {

// The editor window.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
};

}  // namespace velmora
