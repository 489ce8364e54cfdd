#pragma once
// The toolbar over the top of the chart: ten slots in a centred row (nine tabs and the date
// field at slot 5) and, under each tab, the column of its group's command buttons. Pointing at
// a tab opens its group; leaving the group's area closes it. The layout, the hit test and the
// showing and hiding are plain geometry; paintToolbar draws it.
#include <array>
#include <string>

class QPainter;

namespace navorel {

struct ToolRect {
    int x = 0, y = 0, width = 0, height = 0;
    // Left and top inclusive, right and bottom exclusive.
    bool contains(double px, double py) const {
        return px >= x && py >= y && px < x + width && py < y + height;
    }
};

class Toolbar {
  public:
    static constexpr int kCount = 50;      // buttons 0..49
    static constexpr int kTabs = 10;       // slots 0..9 of the row
    static constexpr int kDateSlot = 5;    // the date field, not a button
    static constexpr int kClockTab = 6;    // the only tab that acts on a click
    static constexpr int kButton = 36;     // side of a button, pixels
    static constexpr int kGap = 4;         // between buttons and from the top
    static constexpr int kDateWidth = 110; // the date field
    static constexpr int kShowBand = 74;   // the toolbar shows while the mouse is above this
    // Width of the row of tabs and the date field.
    static constexpr int kRowWidth = (kTabs - 1) * kButton + kDateWidth + (kTabs - 1) * kGap;

    // The group of button `index`: -1 for the tabs and the date field, else the tab it opens.
    static int groupOf(int index);
    // Its image's resource name ("GribsImage"); empty for the date field.
    static const char* imageOf(int index);
    static bool isTab(int index) { return index >= 0 && index < kTabs && index != kDateSlot; }

    // Places the row centred in a client area `width` pixels wide.
    void layout(int width);
    const ToolRect& rect(int index) const { return rects_[static_cast<std::size_t>(index)]; }
    // Tabs are visible whenever the toolbar is; a command button while its group is open.
    bool visible(int index) const;
    // The first visible button that holds (x, y), -1 for none (the date field is none).
    int hitTest(double x, double y) const;

    // The mouse moved to (x, y): opens the group of a tab pointed at, closes the open group
    // when the mouse left its area, shows or hides the toolbar, follows the hovered button.
    // True when anything drawn changed.
    bool pointerMoved(double x, double y, bool alwaysVisible, bool dragging);
    // The mouse left the window.
    bool pointerLeft(bool alwaysVisible);
    bool closeGroups();
    int openGroup() const { return openGroup_; }
    bool groupOpen() const { return openGroup_ >= 0; }
    int hovered() const { return hovered_; }
    bool shown(bool alwaysVisible) const { return alwaysVisible || shown_; }
    // The area of group `tab`: the tab and its column, with a margin.
    ToolRect groupArea(int tab) const;

  private:
    std::array<ToolRect, kCount> rects_{};
    int width_ = 0;
    int openGroup_ = -1;
    int hovered_ = -1;
    bool shown_ = false;
};

// What the toolbar shows besides its geometry.
struct ToolbarLook {
    std::array<bool, Toolbar::kCount> pressed{};
    std::array<bool, Toolbar::kCount> enabled{};
    std::array<std::string, Toolbar::kCount> tooltips{}; // UTF-8
    std::string date;                                    // the date field's text
    int background = 0; // colours as the settings hold them: red in the low byte
    int opacity = 200;  // 0..255
    int tooltipColor = 0xE1FFFF;
    bool showTooltips = true;
};

// The toolbar with its images (rendered once per size and kept), the hovered button's
// tooltip beside it, and the pressed states.
void paintToolbar(QPainter& painter, const Toolbar& toolbar, const ToolbarLook& look);

} // namespace navorel
