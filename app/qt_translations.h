#pragma once
// Qt's own texts (the standard buttons Yes, No, Cancel, Open, the file dialogs) in the language
// of the program. Each language file names its language's code (text 517: "fr", "en"), and Qt's
// translations folder holds qtbase_<code>.qm for it.
#include "core/texts.h"

#include <QString>

#include <string>

namespace navorel::app {

constexpr int kTextQtLanguageCode = 517;

// Installs the translation of Qt's texts for `code` on the application, in place of the one
// installed before. "en", an empty code or a code without a translation file in `folder`
// (default: Qt's translations folder) leave Qt's own English. Answers whether a translation
// is installed.
bool applyQtTranslations(const std::string& code, const QString& folder = {});
// The same for the code the language texts name.
bool applyQtTranslations(const TextProvider& texts);

} // namespace navorel::app
