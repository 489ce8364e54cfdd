#pragma once
// The values each numeric setting may take: one table shared by the command line's --set, the
// reading of Config.ini and Data/Default.ini, and the dialogs that edit the settings.
//
// A value typed by the user outside its range, or not a number of the setting's kind, is
// refused with a message naming the key and its range. A value read from a file is brought
// into its range instead, so a stored file keeps working and no setting can make a routing
// run without end (two million headings, four billion scanned runs).
#include <span>
#include <string>
#include <string_view>

#include "settings/ini_file.h"

namespace navorel {

struct SettingRange {
    const char* section;
    const char* key;
    IniKind kind; // Bool takes 0 or 1; Int whole numbers; Real decimal numbers
    double min;
    double max;
};

// Every Bool, Int and Real setting of Config.ini (which holds every key of Default.ini).
std::span<const SettingRange> settingRanges();
// The range of a key (matched without regard to case); null for text settings and unknown
// keys.
const SettingRange* findSettingRange(std::string_view section, std::string_view key);

// "from 0 to 4", "0 or 1", "from 1.1 to 2".
std::string rangeText(const SettingRange& range);

// Reads a value typed for the setting: the whole text must be a number of the setting's kind
// within its range. False with "Section.Key takes ..., not 'text'" in `error`.
bool parseSettingValue(const SettingRange& range, std::string_view text, double& value,
                       std::string& error);

// Brings the value held by `binding` into the range of its key (NaN goes to the fallback);
// true when it changed. Bindings without a range are left alone.
bool clampToRange(const IniBinding& binding);

} // namespace navorel
