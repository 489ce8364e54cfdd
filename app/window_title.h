#pragma once
// The main window's title: the constant wind or the forecast with its first and last times
// and its intensity, then the currents switch and the polar with its effectiveness.
#include <string>

namespace navorel {
class TextProvider;
class WindStore;
struct Settings;
} // namespace navorel

namespace navorel::app {

std::string windowTitle(const Settings& settings, const WindStore& wind, const TextProvider& texts);

} // namespace navorel::app
