#include "ui/settings_dialog.h"

#include "run/setting_checks.h"
#include "ui/settings_binder.h"
#include "ui/text.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace zalor::ui {

TSettingsDlg::TSettingsDlg(SettingsBinder& binder, SettingPlace place, bool comment, QWidget* parent)
    : QDialog(parent), binder_(binder), place_(place), comment_(comment)
{
}

QDialogButtonBox* TSettingsDlg::MakeButtons(const QString& prefix)
{
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(tr("&Ok"), QDialogButtonBox::AcceptRole);
    ok_->setObjectName(prefix + QStringLiteral("OkButton"));
    ok_->setDefault(true);
    buttons->addButton(tr("&Cancel"), QDialogButtonBox::RejectRole)->setObjectName(prefix + QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    return buttons;
}

QWidget* TSettingsDlg::WithReason(QLineEdit* field)
{
    auto* row = new QWidget(field->parentWidget());
    field->setParent(row);
    auto* reason = new QLabel(row);
    reason->setObjectName(field->objectName() + QStringLiteral("Problem"));
    QPalette red = reason->palette();
    red.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
    reason->setPalette(red);
    reason->setWordWrap(true);
    reason->hide();
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field);
    layout->addWidget(reason, 1);
    reasons_.insert(field, reason);
    connect(field, &QLineEdit::textChanged, this, [this, field] { Check(field); });
    return row;
}

void TSettingsDlg::Check(QLineEdit* field)
{
    QLabel* reason = reasons_.value(field);
    const SettingDef* def = FindSetting(field->objectName().toStdString());
    if (!reason || !def) return;
    QString problem = FromText(ValueProblem(*def, ToText(field->text())));
    if (!problem.isEmpty()) problem[0] = problem[0].toUpper();
    reason->setText(problem);
    reason->setVisible(!problem.isEmpty());
    UpdateOk();
}

void TSettingsDlg::UpdateOk()
{
    bool valid = true;
    for (QLabel* reason : reasons_) valid = valid && reason->text().isEmpty();
    if (ok_) ok_->setEnabled(valid);
}

QString TSettingsDlg::Problem(const QString& key) const
{
    for (auto it = reasons_.begin(); it != reasons_.end(); ++it)
        if (it.key()->objectName() == key) return it.value()->text();
    return {};
}

void TSettingsDlg::showEvent(QShowEvent* event)
{
    // Opened (not merely restored by the window system): what Cancel puts back.
    if (!event->spontaneous()) {
        binder_.Refresh();
        const RunSettings& s = binder_.Settings();
        opened_.clear();
        for (const SettingDef& def : SettingTable())
            if (def.place == place_) opened_.emplace_back(def.key, s.Get(def.key));
        if (comment_) openedComment_ = s.memo;
        for (QLineEdit* field : reasons_.keys()) Check(field);
    }
    QDialog::showEvent(event);
}

void TSettingsDlg::accept()
{
    if (ok_ && !ok_->isEnabled()) return; // a field still says why it cannot be used
    QDialog::accept();
}

void TSettingsDlg::reject()
{
    RunSettings& s = binder_.Settings();
    for (const auto& [key, value] : opened_) s.Set(key, value);
    if (comment_) s.memo = openedComment_;
    binder_.Refresh();
    QDialog::reject();
}

} // namespace zalor::ui
