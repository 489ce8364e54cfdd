#include "app/dialogs/planner_texts.h"

#include <iterator>

namespace navorel::app {

namespace {

const char* const kEnglish[] = {
    "Departure planner",
    "First departure:",
    "Last departure:",
    "Every (hours):",
    "Plan",
    "Cancel",
    "Duration (hours)",
    "Arrival",
    "Colour by:",
    "Strongest wind",
    "upwind",
    "Hours under engine",
    "Departure",
    "Arrival",
    "Arrives",
    "Does not arrive",
    "Arrival by night",
    "Fastest",
    "Most comfortable",
    "under engine",
    "Show:",
    "Save the table (CSV)",
    "Save the picture (PNG)",
    "departures routed",
    "Click a departure to route it on the chart",
    "The forecast carries no gust: the gust limit was not applied",
    "Share upwind",
    "Duration",
    "Upwind (true wind angle under 60°), maximum:",
    "Running (true wind angle over 150°), maximum:",
    "Gust, maximum:",
    "A routing is running",
    "(0 = no limit)",
    "D: departure planner",
};

} // namespace

QString plannerText(const TextProvider& texts, int id) {
    const std::string text = texts.text(id);
    if (!text.empty()) return QString::fromStdString(text);
    const int k = id - 589;
    if (k < 0 || k >= static_cast<int>(std::size(kEnglish))) return {};
    return QString::fromUtf8(kEnglish[k]);
}

} // namespace navorel::app
