#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace navorel::app {

bool applyQtTranslations(const std::string& code, const QString& folder) {
    static std::unique_ptr<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    if (code.empty() || code == "en") return false;
    auto translator = std::make_unique<QTranslator>();
    const QString where =
        folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    if (!translator->load(QStringLiteral("qtbase_") + QString::fromStdString(code), where))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
    return true;
}

bool applyQtTranslations(const TextProvider& texts) {
    return applyQtTranslations(texts.text(kTextQtLanguageCode));
}

} // namespace navorel::app
