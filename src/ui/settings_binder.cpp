#include "ui/settings_binder.h"

#include "ui/text.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalBlocker>

namespace zalor::ui {

namespace {

// The comment lines: the edit that holds them, and the name a change of
// them is reported under (their key in a configuration file).
const char kCommentEdit[] = "CommentEdit";
const char kCommentKey[] = "Memo";

QString ShownText(const SettingDef& def, const std::string& value)
{
    return def.path ? FromPath(value) : FromText(value);
}

std::string StoredText(const SettingDef& def, const QString& value)
{
    return def.path ? ToPath(value) : ToText(value);
}

} // namespace

SettingsBinder::SettingsBinder(RunSettings& settings, QObject* parent) : QObject(parent), settings_(settings) {}

void SettingsBinder::Bind(QWidget* root)
{
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        const QString name = w->objectName();
        const std::string key = name.toStdString();
        if (name == QLatin1String(kCommentEdit)) {
            auto* memo = qobject_cast<QPlainTextEdit*>(w);
            if (!memo) continue;
            connect(memo, &QPlainTextEdit::textChanged, this, [this, memo] {
                if (refreshing_) return;
                settings_.memo.clear();
                const QString text = memo->toPlainText();
                if (!text.isEmpty())
                    for (const QString& line : text.split(QLatin1Char('\n'))) settings_.memo.push_back(ToText(line));
                emit Changed(QLatin1String(kCommentKey));
            });
            controls_.push_back(w);
            continue;
        }
        const SettingDef* def = settings_.Def(key);
        if (!def) continue;
        if (auto* box = qobject_cast<QCheckBox*>(w)) {
            connect(box, &QCheckBox::toggled, this, [this, key, name](bool on) {
                if (refreshing_) return;
                settings_.SetBox(key, on);
                emit Changed(name);
            });
        } else if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            connect(radio, &QRadioButton::toggled, this, [this, key, name](bool on) {
                if (refreshing_ || !on) return;
                settings_.SetRadio(key);
                emit Changed(name);
            });
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            // A number is brought into its range at every edit and shown as such.
            connect(edit, &QLineEdit::textChanged, this, [this, key, name, def, edit](const QString& text) {
                if (refreshing_) return;
                settings_.SetText(key, StoredText(*def, text));
                const QString shown = ShownText(*def, settings_.Text(key));
                if (def->kind == SettingKind::Number && shown != text) {
                    const QSignalBlocker block(edit);
                    edit->setText(shown);
                }
                emit Changed(name);
            });
        } else {
            continue;
        }
        w->setEnabled(w->isEnabled() && def->enabled);
        controls_.push_back(w);
    }
    for (QWidget* w : widgets) Show(w);
}

void SettingsBinder::Refresh()
{
    for (const QPointer<QWidget>& w : controls_)
        if (w) Show(w);
}

void SettingsBinder::Show(QWidget* w)
{
    refreshing_ = true;
    if (w->objectName() == QLatin1String(kCommentEdit)) {
        if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) {
            QStringList lines;
            for (const std::string& line : settings_.memo) lines << FromText(line);
            memo->setPlainText(lines.join(QLatin1Char('\n')));
        }
        refreshing_ = false;
        return;
    }
    const std::string key = w->objectName().toStdString();
    const SettingDef* def = settings_.Def(key);
    if (def) {
        if (auto* box = qobject_cast<QCheckBox*>(w)) box->setChecked(settings_.Box(key));
        else if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            if (settings_.Box(key)) radio->setChecked(true);
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            const QString shown = ShownText(*def, settings_.Text(key));
            if (edit->text() != shown) edit->setText(shown);
        }
    }
    refreshing_ = false;
}

} // namespace zalor::ui
