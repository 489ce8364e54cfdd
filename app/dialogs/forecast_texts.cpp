#include "app/dialogs/forecast_texts.h"

#include <iterator>

namespace navorel::app {

namespace {

const char* const kEnglish[] = {
    "Forecast",
    "Arrival",
    "Duration (h)",
    "Distance (nm)",
    "Upwind (%)",
    "Max wind (kt)",
    "not arrived",
    "median",
    "control",
    "Arrival times",
    "minimum",
    "maximum",
    "runs",
    "Save the runs (CSV)",
    "Save the picture (PNG)",
    "Arrival 10-90 %:",
    "This route:",
    "arrived of",
    "Choose a run to see it on the chart",
};

} // namespace

QString forecastText(const TextProvider& texts, int id) {
    const std::string text = texts.text(id);
    if (!text.empty()) return QString::fromStdString(text);
    const int k = id - kForecastLabel;
    if (k < 0 || k >= static_cast<int>(std::size(kEnglish))) return {};
    return QString::fromUtf8(kEnglish[k]);
}

} // namespace navorel::app
