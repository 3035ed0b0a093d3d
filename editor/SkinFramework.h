#pragma once

#include <QString>

class QWidget;

namespace velmora {

// A skin for the program's windows. Our skin files are Qt style sheets. A skin is used in
// four moves: load it, choose what it applies, say whether later windows take it too, and
// lay it over a window.
class SkinFramework {
public:
    enum ApplyOption : unsigned {
        // The skin's background colours also paint plain windows, which otherwise ignore
        // style-sheet backgrounds.
        ApplyColors = 0x1,
    };

    // Reads the skin; throws Failure when the file cannot be read.
    void loadSkin(const QString& path);
    const QString& styleSheet() const { return styleSheet_; }

    unsigned applyOptions() const { return applyOptions_; }
    void setApplyOptions(unsigned options) { applyOptions_ = options; }

    // Windows opened after the skin was applied (the preview, message boxes) take it too.
    bool autoApplyNewWindows() const { return autoApplyNewWindows_; }
    void setAutoApplyNewWindows(bool on) { autoApplyNewWindows_ = on; }

    // Lays the skin over the window, or over every window when later ones take it too.
    void applyWindow(QWidget& window) const;

private:
    QString styleSheet_;
    unsigned applyOptions_ = 0;
    bool autoApplyNewWindows_ = false;
};

}  // namespace velmora
