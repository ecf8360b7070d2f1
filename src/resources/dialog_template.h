#pragma once

#include <cstdint>
#include <span>

// Dialog templates as data: one table per template, read like the dialog it
// describes. Rectangles are in dialog units; the builder turns them into pixels
// from the dialog font's base units, as Windows does.
namespace korvane::ui {

enum class ControlKind {
    GroupBox,
    Static,  // label or display field
    Edit,    // single-line text field
    PushButton,
    DefaultButton,  // push button that Enter presses
    CheckBox,       // automatic check box
    RadioButton,    // automatic radio button
    ComboEditable,  // drop-down with editable text
    ComboList,      // drop-down list
    ListBox,
    Slider,     // trackbar
    IpAddress,  // four octet fields
};

// Style bits; combine with |.
enum Style : uint32_t {
    kPlain = 0,
    kRightAligned = 1u << 0,
    kSunken = 1u << 1,
    kVertical = 1u << 2,    // slider orientation
    kTicksBoth = 1u << 3,   // slider tick marks on both sides
    kDisabled = 1u << 4,    // created disabled
    kSorted = 1u << 5,      // list or combo box keeps its lines sorted
    kGroupStart = 1u << 6,  // first radio button of a group
    kTabStops = 1u << 7,    // list box expands tabs into columns
    kCentered = 1u << 8,
};

inline constexpr int kNoId = -1;  // controls the code never looks up

struct DialogItem {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, w, h;
    uint32_t style = kPlain;
};

struct DialogTemplate {
    int id;
    const char* caption;  // empty for tab pages
    int w, h;             // dialog units
    std::span<const DialogItem> items;
};

}  // namespace korvane::ui
