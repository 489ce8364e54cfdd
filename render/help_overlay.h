#pragma once
// The help overlay: a panel in the middle of the chart listing the keys and the mouse actions,
// drawn over the cached chart while it is shown (H or F1; a click or Escape hides it).
#include <string>
#include <vector>

class QPainter;

namespace navorel {

// Draws `title` and one line per entry of `lines` (UTF-8) in a panel centred in a client area
// of `width` x `height` pixels; the text shrinks when the panel would not fit.
void paintHelpOverlay(QPainter& painter, int width, int height, const std::string& title,
                      const std::vector<std::string>& lines);

} // namespace navorel
