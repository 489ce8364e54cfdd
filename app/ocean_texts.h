#pragma once
// Language texts of the ocean forecasts in the window (the current group of the toolbar and
// the status bar).

namespace navorel::app {

constexpr int kTextOpenCurrentForecast = 671; // Open a current forecast (GRIB)
constexpr int kTextOpenWaveForecast = 672;    // Open a wave forecast (GRIB)
constexpr int kTextShowWaves = 673;           // Wave height
constexpr int kTextWaves = 674;               // Waves (status bar)

} // namespace navorel::app
