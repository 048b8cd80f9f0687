// Binds the controls of a window to the run settings by their object names.
//
// Every check box, radio button and line edit whose object name is a
// setting key shows that setting and writes it as soon as it changes; the
// plain text edit named "CommentEdit" holds the comment lines. Refresh() shows
// the settings' values again after a configuration was loaded or reset.
#pragma once

#include "run/settings.h"

#include <QObject>
#include <QPointer>
#include <QVector>

class QWidget;

namespace zalor::ui {

class SettingsBinder : public QObject {
    Q_OBJECT
public:
    SettingsBinder(RunSettings& settings, QObject* parent = nullptr);

    // Binds every control under `root` (and root itself) that names a setting.
    void Bind(QWidget* root);
    // Shows every bound setting's value.
    void Refresh();
    RunSettings& Settings() const { return settings_; }

signals:
    // A bound control changed its setting.
    void Changed(const QString& key);

private:
    void Show(QWidget* control);
    RunSettings& settings_;
    QVector<QPointer<QWidget>> controls_;
    bool refreshing_ = false;
};

} // namespace zalor::ui
