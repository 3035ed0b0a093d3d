#pragma once

#include "shell/Twips.h"

#include <QRect>
#include <QString>
#include <span>

// Where the editor's controls sit. Positions are in twips as the window was drawn; 15 twips
// make one logical pixel (shell/Twips.h). Which member of a control array a row shows follows from
// the cover sheet's field table (the member whose tab is the row's tab), so the tables here hold
// only positions and captions.
namespace velmora::editor {

struct Twips {
    int left, top, width, height;
    QRect toPixels() const;
};

inline constexpr Twips kWindowClient{0, 0, 9480, 8505};
inline constexpr Twips kStartButton{120, 120, 9240, 405};    // PushButton6
inline constexpr Twips kClearButton{120, 630, 4560, 405};    // PushButton2
inline constexpr Twips kSampleButton{4800, 630, 4560, 405};  // PushButton3
inline constexpr Twips kTabControl{120, 1110, 9240, 7275};   // TabControl1

// Every field sits in the same column; labels sit to its left.
inline constexpr int kFieldLeft = 2040;
inline constexpr int kFieldWidth = 6765;
inline constexpr int kFieldHeight = 345;
inline constexpr int kMessageHeight = 720;
inline constexpr int kDateWidth = 1575;
inline constexpr int kLabelLeft = 240;
inline constexpr int kLabelHeight = 225;
inline constexpr int kTickHeight = 375;

// One labelled field: a row of a tab's frame.
struct FieldPlacement {
    const char* field;  // the cover sheet's field name
    const char* caption;
    int labelTop;
    int labelWidth;
    int top;
    // What a screen reader calls the field where its caption alone does not tell it apart;
    // otherwise the caption without its colon.
    const char* spokenName = nullptr;
};

// The name a screen reader gives the field of a row.
QString SpokenName(const FieldPlacement& row);

struct TickPlacement {
    const char* field;
    const char* caption;
    int left;
    int width;
};

// The borderless frame of tick boxes (Frame6) on the tabs that have one.
struct TickRow {
    Twips frame;  // relative to the tab's frame
    int top;      // of the tick boxes, relative to Frame6
    std::span<const TickPlacement> ticks;
};

struct TabPlacement {
    int tab;
    Twips frame;  // relative to the tab control
    int dateHeight;
    std::span<const FieldPlacement> fields;  // in focus order
    const TickRow* tickRow;                  // nullptr where the tab has none
};

// The four tabs in tab order.
std::span<const TabPlacement> TabPlacements();

}  // namespace velmora::editor
