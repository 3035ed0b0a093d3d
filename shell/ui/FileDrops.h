#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QWidget;

namespace velmora {

// Files dropped anywhere on a window go to one handler: also those dropped on a text box,
// which would otherwise take the file's name as text. Drops of anything but local files are
// left to the controls as before. Owned by the window.
class FileDrops : public QObject {
public:
    FileDrops(QWidget& window, std::function<void(const QStringList& files)> dropped);

    // Whether the window takes drops now (false while it is busy: the pointer says no).
    void setEnabled(bool enabled) { enabled_ = enabled; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(const QStringList&)> dropped_;
    bool enabled_ = true;
};

}  // namespace velmora
