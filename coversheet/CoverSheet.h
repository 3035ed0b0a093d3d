#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <span>
#include <string_view>

// The cover sheet's vocabulary in one place: its fields, its four styles and the template
// bookmarks that receive the fields, with the generation run's steps that write them. The
// editor, the settings store and the generation run all read these tables.
namespace velmora::coversheet {

enum class FieldKind { Text, MultiLineText, Date, Tick };

inline constexpr int kTabCount = 4;
enum Tab : int { Casual = 0, Contemporary = 1, Professional = 2, Standard = 3 };

struct CoverSheetField {
    const char* name;  // control name, also the settings key
    FieldKind kind;
    // The tab of each member, by member index. A single control has one member and is not
    // an array.
    std::array<int, kTabCount> memberTabs;
    int memberCount;
    bool single;

    std::span<const int> tabs() const { return {memberTabs.data(), size_t(memberCount)}; }
    // The member the generation run reads: the highest-numbered one.
    int runMember() const { return memberCount - 1; }
    // The member shown on `tab`, or -1.
    int memberOnTab(int tab) const;
};

// Every field, in the order the editor restores them.
std::span<const CoverSheetField> Fields();
const CoverSheetField& Field(std::string_view name);  // throws std::out_of_range

struct Style {
    int tab;
    const char* caption;
    const char* frame;
    int resourceId;  // resource "CUSTOM"
};

std::span<const Style> Styles();
const Style& StyleOfTab(int tab);  // throws std::out_of_range

// The form a field takes in its bookmark.
enum class Written {
    Text,    // the text as typed
    Date,    // the date wording: one space, the worded date, one space
    Street,  // one space, then the text as typed
    Tick,    // "V" when ticked; nothing written when unticked
};

// How the generation run finds out whether the style has a bookmark, once for the bookmarks
// that share the step that asks (askedAt).
enum class Asked {
    Never,     // every style has it
    ForGroup,  // a test whether the style has the group's first bookmark; when the test fails
               // the group is written
    ByTab,     // the tab is read; each bookmark is written where its own style has it, and none
               // when the tab cannot be read
};

struct Bookmark {
    const char* name;
    const char* field;
    Written form;
    std::array<bool, kTabCount> filledOnTab;
    int step;  // the generation run's step that writes it (and, for a tick, asks whether ticked)
    Asked asked;
    int askedAt;  // the step that asks whether the style has it; 0 when never asked
};

// Every bookmark the generation run fills, in the order it fills them.
std::span<const Bookmark> Bookmarks();
const Bookmark& BookmarkNamed(std::string_view name);  // throws std::out_of_range

// The embedded template of a style: the bytes of resource "CUSTOM" `id`.
// Throws Failure when there is no such resource.
QByteArray LoadResData(int id, const char* type = "CUSTOM");

}  // namespace velmora::coversheet
