#pragma once
// The pages of the settings dialogs, declared as lists of controls and bound to the settings
// by one helper. Each control names its kind, its label (a language text number) and the key
// it edits; numeric ranges come from the table shared with the command line's --set. The
// helper edits a copy of the settings (a ConfigStore of its own) and writes the edited keys
// into the live settings only when asked.
//
// A number typed outside its range, or one that a page's own rule refuses, is never stored:
// the field is marked and the reason shown, and the dialog refuses to close with it.
#include "settings/config_store.h"
#include "settings/language_table.h"
#include "weather/color_table.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QGridLayout;
class QLabel;
class QWidget;

namespace navorel::app {

enum class ControlKind {
    Heading, // a group title
    Note,    // a line of text
    Check,   // a Bool setting
    Int,     // an Int setting typed in a field, with its range and unit after it
    Real,    // a Real setting, likewise
    Combo,   // an Int or Text setting chosen from a list of texts
    Radio,   // the same as a row of radio buttons
    Color,   // a colour setting chosen from the named colours, each with a swatch
    Folder,  // a folder setting: a button that chooses it, its path and a Reset button
    File,    // a text setting naming a file, with a "..." button that chooses it
    Custom,  // a widget the dialog builds itself (see SettingPages::makeCustom)
};

// One choice of a Combo or Radio control: its label and the value it stores.
struct Choice {
    int textId;
    const char* value;
};

// Checks a value against the other settings; empty when it is fine, else the reason.
using ValueRule = std::string (*)(const Settings& settings, double value);

struct ControlSpec {
    ControlKind kind;
    int textId = -1; // label; -1 for none
    const char* section = nullptr;
    const char* key = nullptr;
    const char* unit = ""; // after the range ("%", "kt")
    std::vector<Choice> choices = {};
    ValueRule rule = nullptr;
    bool sameRow = false; // placed after the previous control instead of below it
    int customId = 0;     // for Custom
    // A bound narrower than the table's, from another setting (Timestep and TimestepMax).
    int (*maxOf)(const Settings& settings) = nullptr;
};

// The controls of the page tables.
inline ControlSpec control(ControlKind kind, int textId, const char* section = nullptr,
                           const char* key = nullptr, const char* unit = "",
                           std::vector<Choice> choices = {}) {
    return ControlSpec{kind, textId, section, key, unit, std::move(choices)};
}
inline ControlSpec custom(int textId, int customId) {
    ControlSpec c{ControlKind::Custom, textId};
    c.customId = customId;
    return c;
}
// The control after the previous one on its row.
inline ControlSpec next(ControlSpec c) {
    c.sameRow = true;
    return c;
}
inline ControlSpec ruled(ControlSpec c, ValueRule rule) {
    c.rule = rule;
    return c;
}

struct PageSpec {
    int tabTextId;
    std::vector<ControlSpec> controls;
};

// "[0 - 255]", "[1.1 - 2.0]": the range shown after a field.
std::string rangeLabel(double min, double max, bool real);

// Hooks that open the system's file dialogs; the tests replace them.
struct FileChoosers {
    std::function<QString(QWidget* parent, const QString& start)> folder;
    // An existing file, in a dialog titled `title` offering the files of `filter`.
    std::function<QString(QWidget* parent, const QString& start, const QString& title,
                          const QString& filter)>
        file;
};
// The polar file chooser: "Open a polar file" (language text 237), "Polar (*.pol)".
QString choosePolarFile(QWidget* parent, const QString& start, const LanguageTable& texts);
FileChoosers& fileChoosers();

class SettingPages {
  public:
    // `edited` is the copy the controls edit; `colorsList` the named colours offered.
    SettingPages(ConfigStore& edited, const LanguageTable& texts,
                 const std::vector<NamedColor>& colorsList);
    ~SettingPages();
    SettingPages(const SettingPages&) = delete;
    SettingPages& operator=(const SettingPages&) = delete;

    // Builds the controls of `page` into a new widget; Custom controls come from makeCustom.
    std::function<QWidget*(int customId, QWidget* parent)> makeCustom;
    // Called after any control stored a value into the copy.
    std::function<void()> onEdited;
    QWidget* buildPage(const PageSpec& page);

    // Labels and other texts that follow the language: `set` runs now and at each relabel.
    void addText(std::function<void(const LanguageTable&)> set);
    // Sets every label again from the language texts.
    void relabel();
    // Shows the copy's values in the controls again (after the copy changed as a whole).
    void reload();

    // Checks every typed field again. False when one is refused: `field` is the first such
    // field (marked), `reason` says why.
    bool validate(QWidget*& field, QString& reason);
    // Writes the keys the controls edit from the copy into `live`.
    void writeBack(ConfigStore& live) const;
    // The sections and keys the controls edit.
    std::vector<std::pair<std::string, std::string>> editedKeys() const;

    // The field of a key (its line edit, check box, combo box, button group's first button),
    // for the tests and the dialogs.
    QWidget* field(std::string_view section, std::string_view key) const;
    // The last refusal, shown under the pages.
    QLabel* reasonLabel() const { return reason_; }

  private:
    struct Field;
    void place(QGridLayout* grid, const ControlSpec& item, int& row, int& cell, QWidget* page);
    bool commit(Field& f, QString* reason);
    void show(Field& f);

    ConfigStore& edited_;
    const LanguageTable& texts_;
    const std::vector<NamedColor>& colors_;
    std::vector<std::unique_ptr<Field>> fields_;
    std::vector<std::function<void(const LanguageTable&)>> texts_setters_;
    QLabel* reason_ = nullptr;
};

} // namespace navorel::app
