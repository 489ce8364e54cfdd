#include "app/dialogs/setting_controls.h"

#include "app/commands.h"
#include "settings/setting_ranges.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>
#include <cstdio>
#include <type_traits>
#include <variant>

namespace navorel::app {

namespace {

// Copies the value of one target into another of the same type.
void copyTarget(const IniTarget& from, const IniTarget& to) {
    std::visit(
        [&to](auto* source) {
            using P = decltype(source);
            if (auto* const* dest = std::get_if<P>(&to)) **dest = *source;
        },
        from);
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QIcon swatch(std::uint32_t bgr) {
    QPixmap pixmap(24, 14);
    pixmap.fill(QColor(redOf(bgr), greenOf(bgr), blueOf(bgr)));
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 23, 13);
    return QIcon(pixmap);
}

void mark(QWidget* w, const QString& reason) {
    w->setProperty("invalid", !reason.isEmpty());
    w->setStyleSheet(reason.isEmpty() ? QString() : QStringLiteral("background: #ffc8c8;"));
    w->setToolTip(reason);
}

} // namespace

std::string rangeLabel(double min, double max, bool real) {
    const auto number = [real](double v) {
        char buffer[32];
        if (real && std::fabs(v * 10 - std::round(v * 10)) < 1e-9)
            std::snprintf(buffer, sizeof buffer, "%.1f", v);
        else
            std::snprintf(buffer, sizeof buffer, "%.10g", v);
        return std::string(buffer);
    };
    return "[" + number(min) + " - " + number(max) + "]";
}

FileChoosers& fileChoosers() {
    static FileChoosers choosers{
        [](QWidget* parent, const QString& start) {
            return QFileDialog::getExistingDirectory(parent, QString(), start);
        },
        [](QWidget* parent, const QString& start, const QString& title, const QString& filter) {
            return QFileDialog::getOpenFileName(parent, title, start, filter);
        }};
    return choosers;
}

QString choosePolarFile(QWidget* parent, const QString& start, const LanguageTable& texts) {
    return fileChoosers().file(parent, start, qs(texts.text(237)),
                               QString::fromLatin1(kPolarFilter));
}

struct SettingPages::Field {
    ControlSpec item;
    IniBinding binding{};
    const SettingRange* range = nullptr;
    QWidget* widget = nullptr; // line edit, check box, combo box, path label
    QButtonGroup* group = nullptr;
};

SettingPages::SettingPages(ConfigStore& edited, const LanguageTable& texts,
                           const std::vector<NamedColor>& colorsList)
    : edited_(edited), texts_(texts), colors_(colorsList) {
    reason_ = new QLabel;
    reason_->setStyleSheet(QStringLiteral("color: #b00000;"));
    reason_->setWordWrap(true);
}

SettingPages::~SettingPages() {
    if (!reason_->parent()) delete reason_;
}

void SettingPages::addText(std::function<void(const LanguageTable&)> set) {
    set(texts_);
    texts_setters_.push_back(std::move(set));
}

void SettingPages::relabel() {
    for (const auto& set : texts_setters_) set(texts_);
}

QWidget* SettingPages::buildPage(const PageSpec& page) {
    auto* widget = new QWidget;
    auto* grid = new QGridLayout(widget);
    grid->setHorizontalSpacing(8);
    int row = -1, cell = 0;
    for (const ControlSpec& item : page.controls) place(grid, item, row, cell, widget);
    grid->setRowStretch(row + 1, 1);
    grid->setColumnStretch(grid->columnCount(), 1);
    return widget;
}

void SettingPages::place(QGridLayout* grid, const ControlSpec& item, int& row, int& cell,
                         QWidget* page) {
    if (item.sameRow && row >= 0)
        ++cell;
    else {
        ++row;
        cell = 0;
    }
    const int col = cell * 3;
    const int id = item.textId;
    const auto labelled = [this, id](auto* w) {
        if (id >= 0) addText([w, id](const LanguageTable& t) { w->setText(qs(t.text(id))); });
        return w;
    };

    auto field = std::make_unique<Field>();
    field->item = item;
    if (item.section && !edited_.findBinding(item.section, item.key, field->binding))
        field->item.section = nullptr; // not a key of Config.ini: shown but never stored
    if (field->item.section) field->range = findSettingRange(item.section, item.key);
    Field& f = *field;
    const bool bound = f.item.section != nullptr;

    switch (item.kind) {
    case ControlKind::Heading: {
        QLabel* label = labelled(new QLabel(page));
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
        grid->addWidget(label, row, col, 1, 3);
        break;
    }
    case ControlKind::Note:
        grid->addWidget(labelled(new QLabel(page)), row, col, 1, 3);
        break;
    case ControlKind::Check: {
        auto* box = labelled(new QCheckBox(page));
        f.widget = box;
        grid->addWidget(box, row, col, 1, 3);
        QObject::connect(box, &QCheckBox::toggled, box, [this, &f] { commit(f, nullptr); });
        break;
    }
    case ControlKind::Int:
    case ControlKind::Real: {
        if (id >= 0) grid->addWidget(labelled(new QLabel(page)), row, col);
        auto* edit = new QLineEdit(page);
        edit->setMaximumWidth(80);
        f.widget = edit;
        grid->addWidget(edit, row, col + 1);
        std::string after;
        if (f.range) {
            const double max = item.maxOf
                                   ? std::min<double>(f.range->max, item.maxOf(edited_.settings))
                                   : f.range->max;
            after = rangeLabel(f.range->min, max, f.range->kind == IniKind::Real);
        }
        if (*item.unit) after += (after.empty() ? "" : " ") + std::string(item.unit);
        if (!after.empty()) grid->addWidget(new QLabel(qs(after), page), row, col + 2);
        QObject::connect(edit, &QLineEdit::editingFinished, edit,
                         [this, &f] { commit(f, nullptr); });
        break;
    }
    case ControlKind::Combo: {
        if (id >= 0) grid->addWidget(labelled(new QLabel(page)), row, col);
        auto* combo = new QComboBox(page);
        for (const Choice& c : item.choices) combo->addItem(QString(), QString(c.value));
        addText([combo, choices = item.choices](const LanguageTable& t) {
            for (std::size_t i = 0; i < choices.size(); ++i)
                combo->setItemText(static_cast<int>(i), qs(t.text(choices[i].textId)));
        });
        f.widget = combo;
        grid->addWidget(combo, row, col + 1, 1, 2);
        QObject::connect(combo, &QComboBox::currentIndexChanged, combo,
                         [this, &f] { commit(f, nullptr); });
        break;
    }
    case ControlKind::Radio: {
        if (id >= 0) grid->addWidget(labelled(new QLabel(page)), row, col);
        auto* box = new QWidget(page);
        auto* line = new QHBoxLayout(box);
        line->setContentsMargins(0, 0, 0, 0);
        f.group = new QButtonGroup(box);
        for (std::size_t i = 0; i < item.choices.size(); ++i) {
            const int textId = item.choices[i].textId;
            auto* button = new QRadioButton(box);
            addText(
                [button, textId](const LanguageTable& t) { button->setText(qs(t.text(textId))); });
            f.group->addButton(button, static_cast<int>(i));
            line->addWidget(button);
            if (i == 0) f.widget = button;
        }
        line->addStretch();
        grid->addWidget(box, row, col + 1, 1, 2);
        QObject::connect(f.group, &QButtonGroup::idClicked, box,
                         [this, &f] { commit(f, nullptr); });
        break;
    }
    case ControlKind::Color: {
        if (id >= 0) grid->addWidget(labelled(new QLabel(page)), row, col);
        auto* combo = new QComboBox(page);
        for (const NamedColor& c : colors_)
            combo->addItem(swatch(c.color), qs(c.name), static_cast<uint>(c.color));
        f.widget = combo;
        grid->addWidget(combo, row, col + 1, 1, 2);
        QObject::connect(combo, &QComboBox::currentIndexChanged, combo,
                         [this, &f] { commit(f, nullptr); });
        break;
    }
    case ControlKind::Folder: {
        auto* choose = labelled(new QPushButton(page));
        auto* path = new QLabel(page);
        path->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* reset = new QPushButton(page);
        addText([reset](const LanguageTable& t) { reset->setText(qs(t.text(100))); });
        f.widget = path;
        grid->addWidget(choose, row, col);
        grid->addWidget(path, row, col + 1);
        grid->addWidget(reset, row, col + 2);
        QObject::connect(choose, &QPushButton::clicked, choose, [this, &f, page] {
            const QString chosen =
                fileChoosers().folder(page, qs(*std::get<std::string*>(f.binding.target)));
            if (chosen.isEmpty()) return;
            static_cast<QLabel*>(f.widget)->setText(chosen.endsWith('/') ? chosen : chosen + '/');
            commit(f, nullptr);
        });
        QObject::connect(reset, &QPushButton::clicked, reset, [this, &f] {
            static_cast<QLabel*>(f.widget)->setText(qs(f.binding.fallbackText));
            commit(f, nullptr);
        });
        break;
    }
    case ControlKind::File: {
        if (id >= 0) grid->addWidget(labelled(new QLabel(page)), row, col);
        auto* box = new QWidget(page);
        auto* line = new QHBoxLayout(box);
        line->setContentsMargins(0, 0, 0, 0);
        auto* edit = new QLineEdit(box);
        edit->setMaxLength(static_cast<int>(IniFile::maxValueLength));
        auto* choose = new QPushButton(QStringLiteral("..."), box);
        choose->setMaximumWidth(30);
        line->addWidget(edit);
        line->addWidget(choose);
        f.widget = edit;
        grid->addWidget(box, row, col + 1, 1, 2);
        QObject::connect(edit, &QLineEdit::editingFinished, edit,
                         [this, &f] { commit(f, nullptr); });
        QObject::connect(choose, &QPushButton::clicked, choose, [this, &f, edit, page] {
            const QString folder =
                qs(folderPath(edited_.paths.programFolder, edited_.settings.folders.polars));
            const QString chosen = choosePolarFile(page, folder, texts_);
            if (chosen.isEmpty()) return;
            // The setting names the polar without its extension: the scan adds ".pol".
            QString name = chosen.section('/', -1);
            if (name.endsWith(QStringLiteral(".pol"), Qt::CaseInsensitive)) name.chop(4);
            edit->setText(name);
            commit(f, nullptr);
        });
        break;
    }
    case ControlKind::Custom: {
        if (id >= 0) grid->addWidget(labelled(new QLabel(page)), row, col);
        QWidget* custom = makeCustom ? makeCustom(item.customId, page) : nullptr;
        if (custom) grid->addWidget(custom, row, col + 1, 1, 2);
        break;
    }
    }
    if (bound && f.widget) {
        show(f);
        fields_.push_back(std::move(field));
    }
}

void SettingPages::show(Field& f) {
    const QSignalBlocker blocker(f.widget);
    const IniBinding& b = f.binding;
    const QString text = qs(bindingValueText(b));
    switch (f.item.kind) {
    case ControlKind::Check:
        static_cast<QCheckBox*>(f.widget)->setChecked(heldNumber(b.target) != 0);
        break;
    case ControlKind::Int:
    case ControlKind::Real:
    case ControlKind::File:
        static_cast<QLineEdit*>(f.widget)->setText(text);
        mark(f.widget, QString());
        break;
    case ControlKind::Folder:
        static_cast<QLabel*>(f.widget)->setText(text);
        break;
    case ControlKind::Combo: {
        auto* combo = static_cast<QComboBox*>(f.widget);
        combo->setCurrentIndex(std::max(0, combo->findData(text)));
        break;
    }
    case ControlKind::Radio: {
        // The value's button, else the first one.
        int chosen = 0;
        for (std::size_t i = 0; i < f.item.choices.size(); ++i)
            if (text == f.item.choices[i].value) chosen = static_cast<int>(i);
        f.group->button(chosen)->setChecked(true);
        break;
    }
    case ControlKind::Color: {
        auto* combo = static_cast<QComboBox*>(f.widget);
        const auto color = static_cast<uint>(heldNumber(b.target));
        int index = combo->findData(color);
        if (index < 0) {
            // A colour that has no name is offered as itself at the top of the list.
            const QString name = QStringLiteral("#%1%2%3")
                                     .arg(redOf(color), 2, 16, QChar('0'))
                                     .arg(greenOf(color), 2, 16, QChar('0'))
                                     .arg(blueOf(color), 2, 16, QChar('0'));
            combo->insertItem(0, swatch(color), name, color);
            index = 0;
        }
        combo->setCurrentIndex(index);
        break;
    }
    default:
        break;
    }
}

void SettingPages::reload() {
    for (auto& f : fields_) show(*f);
    reason_->clear();
}

bool SettingPages::commit(Field& f, QString* reasonOut) {
    const IniBinding& b = f.binding;
    std::string reason;
    switch (f.item.kind) {
    case ControlKind::Check:
        storeNumber(b.target, static_cast<QCheckBox*>(f.widget)->isChecked() ? 1 : 0);
        break;
    case ControlKind::Int:
    case ControlKind::Real: {
        const std::string text = static_cast<QLineEdit*>(f.widget)->text().trimmed().toStdString();
        double value = 0;
        if (!f.range)
            reason = "no range";
        else if (parseSettingValue(*f.range, text, value, reason)) {
            if (f.item.maxOf && value > f.item.maxOf(edited_.settings))
                reason = std::string(b.section) + "." + b.key + " takes at most " +
                         std::to_string(f.item.maxOf(edited_.settings));
            else if (f.item.rule)
                reason = f.item.rule(edited_.settings, value);
        }
        if (reason.empty()) storeNumber(b.target, value);
        break;
    }
    case ControlKind::Combo:
    case ControlKind::Radio: {
        const int index = f.item.kind == ControlKind::Combo
                              ? static_cast<QComboBox*>(f.widget)->currentIndex()
                              : f.group->checkedId();
        if (index < 0 || index >= static_cast<int>(f.item.choices.size())) break;
        const char* value = f.item.choices[static_cast<std::size_t>(index)].value;
        if (b.kind == IniKind::Text)
            *std::get<std::string*>(b.target) = value;
        else
            storeNumber(b.target, std::atof(value));
        break;
    }
    case ControlKind::Color:
        storeNumber(b.target, static_cast<QComboBox*>(f.widget)->currentData().toUInt());
        break;
    case ControlKind::Folder:
        *std::get<std::string*>(b.target) = static_cast<QLabel*>(f.widget)->text().toStdString();
        break;
    case ControlKind::File: {
        // A file name in the polar folder: a path or a line break is not one.
        const std::string text = static_cast<QLineEdit*>(f.widget)->text().trimmed().toStdString();
        if (text.find_first_of("/\\\r\n") != std::string::npos)
            reason = std::string(b.key) + " takes a file name, not '" + text + "'";
        else
            *std::get<std::string*>(b.target) = text;
        break;
    }
    default:
        break;
    }
    const QString q = qs(reason);
    if (f.item.kind == ControlKind::Int || f.item.kind == ControlKind::Real ||
        f.item.kind == ControlKind::File)
        mark(f.widget, q);
    if (reasonOut) *reasonOut = q;
    reason_->setText(q);
    if (reason.empty() && onEdited) onEdited();
    return reason.empty();
}

bool SettingPages::validate(QWidget*& field, QString& reason) {
    field = nullptr;
    for (auto& f : fields_) {
        QString why;
        if (f->item.kind != ControlKind::Int && f->item.kind != ControlKind::Real &&
            f->item.kind != ControlKind::File)
            continue;
        if (!commit(*f, &why) && !field) {
            field = f->widget;
            reason = why;
        }
    }
    if (field) reason_->setText(reason);
    return field == nullptr;
}

void SettingPages::writeBack(ConfigStore& live) const {
    for (const auto& f : fields_) {
        IniBinding to;
        if (live.findBinding(f->binding.section, f->binding.key, to))
            copyTarget(f->binding.target, to.target);
    }
}

std::vector<std::pair<std::string, std::string>> SettingPages::editedKeys() const {
    std::vector<std::pair<std::string, std::string>> keys;
    for (const auto& f : fields_) keys.emplace_back(f->binding.section, f->binding.key);
    return keys;
}

QWidget* SettingPages::field(std::string_view section, std::string_view key) const {
    for (const auto& f : fields_)
        if (iniNameEquals(f->binding.section, section) && iniNameEquals(f->binding.key, key))
            return f->widget;
    return nullptr;
}

} // namespace navorel::app
