#include "ui/dialogs.h"

#include "run/log.h"
#include "run/plan.h"
#include "run/settings.h"
#include "ui/browser.h"
#include "ui/settings_binder.h"
#include "ui/text.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringListModel>
#include <QStyle>
#include <QVBoxLayout>

namespace zalor::ui {

namespace {

QDialogButtonBox* OkCancel(QDialog* dialog, bool cancel = true)
{
    auto* buttons = new QDialogButtonBox(dialog);
    const QString ok = QCoreApplication::translate("zalor::ui::OkCancel", "&Ok");
    buttons->addButton(ok, QDialogButtonBox::AcceptRole)->setDefault(true);
    if (cancel)
        buttons->addButton(QCoreApplication::translate("zalor::ui::OkCancel", "&Cancel"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

// The control of one setting of the options or log dialog.
QWidget* MakeControl(const SettingDef& def, QWidget* parent)
{
    QWidget* w = nullptr;
    switch (def.kind) {
    case SettingKind::Box: w = new QCheckBox(FromText(def.caption), parent); break;
    case SettingKind::Radio: w = new QRadioButton(FromText(def.caption), parent); break;
    case SettingKind::Text:
    case SettingKind::Number: w = new QLineEdit(parent); break;
    }
    w->setObjectName(FromText(def.key));
    w->setEnabled(def.enabled);
    // A choice that a configuration may set but the dialog does not offer
    // still belongs to its group, unseen.
    if (!def.shown) w->setVisible(false);
    if (!def.description.empty()) w->setToolTip(FromText(def.description));
    return w;
}

} // namespace

TOptionsDlg::TOptionsDlg(SettingsBinder& binder, QWidget* parent)
    : TSettingsDlg(binder, SettingPlace::OptionsDialog, true, parent)
{
    setObjectName(QStringLiteral("TOptionsDlg"));
    setWindowTitle(tr(" Options "));
    setModal(true);
    auto* grid = new QGridLayout;
    const auto& groups = OptionsGroupTable();
    for (std::size_t g = 0; g < groups.size(); ++g) {
        auto* box = new QGroupBox(FromText(groups[g]), this);
        auto* form = new QFormLayout(box);
        for (const SettingDef& def : SettingTable()) {
            if (def.place != SettingPlace::OptionsDialog || def.page != static_cast<int>(g)) continue;
            QWidget* control = MakeControl(def, box);
            if (def.kind == SettingKind::Box || def.kind == SettingKind::Radio) form->addRow(control);
            else if (def.kind == SettingKind::Number) form->addRow(FromText(def.caption), control);
            else form->addRow(WithReason(qobject_cast<QLineEdit*>(control))); // the Lambert parameters
        }
        grid->addWidget(box, static_cast<int>(g) / 2, static_cast<int>(g) % 2);
    }
    auto* comment = new QGroupBox(tr("Comment:"), this);
    auto* commentEdit = new QPlainTextEdit(comment);
    commentEdit->setObjectName(QStringLiteral("CommentEdit"));
    commentEdit->setMaximumHeight(80);
    (new QVBoxLayout(comment))->addWidget(commentEdit);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(comment);
    layout->addWidget(MakeButtons(QStringLiteral("Options")));
    binder.Bind(this);
    GreyZipWhereItDoesNothing();
}

// Auto zip gathers the files of the formats that name some (MIF, KXF): its
// box is greyed while a format without them is chosen.
void TOptionsDlg::GreyZipWhereItDoesNothing()
{
    auto* zip = findChild<QCheckBox*>(QStringLiteral("ZIP"));
    if (!zip) return;
    auto update = [this, zip] { zip->setEnabled(AutoZipApplies(binder_.Settings())); };
    for (QRadioButton* r : findChildren<QRadioButton*>())
        if (r->objectName().startsWith(QLatin1String("RbF"))) connect(r, &QRadioButton::toggled, this, update);
    update();
}

void TOptionsDlg::Offer(const QString& key)
{
    if (auto* choice = findChild<QRadioButton*>(key)) choice->setHidden(false);
}

TLogDlg::TLogDlg(SettingsBinder& binder, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TLogDlg"));
    setWindowTitle(tr("Zalor Processing Log File"));
    setModal(false);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);

    lines_ = new QStringListModel(this);
    logList_ = new QListView(this);
    logList_->setObjectName(QStringLiteral("LogList"));
    logList_->setModel(lines_);
    logList_->setUniformItemSizes(true);
    logList_->setEditTriggers(QAbstractItemView::NoEditTriggers);

    const SettingDef* logDef = FindSetting("Log");
    auto* logFile = new QLineEdit(this);
    logFile->setObjectName(QStringLiteral("Log"));
    auto* browse = new QPushButton(tr("..."), this);
    browse->setMaximumWidth(32);
    connect(browse, &QPushButton::clicked, this, &TLogDlg::ChooseLogFile);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(FromText(logDef->caption), this));
    fileRow->addWidget(logFile, 1);
    fileRow->addWidget(browse);

    auto* clear = new QPushButton(tr("Clear"), this);
    connect(clear, &QPushButton::clicked, this, &TLogDlg::Clear);
    auto* close = new QPushButton(tr("Close"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    for (const SettingDef& def : SettingTable())
        if (def.place == SettingPlace::LogDialog && def.kind == SettingKind::Box) buttons->addWidget(MakeControl(def, this));
    buttons->addStretch(1);
    buttons->addWidget(clear);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(logList_, 1);
    layout->addLayout(fileRow);
    layout->addLayout(buttons);
    binder.Bind(this);
    resize(640, 420);
}

void TLogDlg::Append(int number, const QString& text)
{
    int rows = lines_->rowCount();
    if (rows >= static_cast<int>(RunLog::kListLimit)) {
        lines_->removeRows(0, static_cast<int>(RunLog::kListDrop));
        rows = lines_->rowCount();
    }
    lines_->insertRows(rows, 1);
    lines_->setData(lines_->index(rows), QString::number(number) + QStringLiteral(" : ") + text);
    logList_->scrollToBottom();
}

void TLogDlg::ReplaceLast(int number, const QString& text)
{
    const int rows = lines_->rowCount();
    if (rows == 0) lines_->insertRows(0, 1);
    lines_->setData(lines_->index(rows == 0 ? 0 : rows - 1), QString::number(number) + QStringLiteral(" : ") + text);
}

void TLogDlg::Clear() { lines_->setStringList({}); }

QStringList TLogDlg::Lines() const { return lines_->stringList(); }

void TLogDlg::ChooseLogFile()
{
    auto* field = findChild<QLineEdit*>(QStringLiteral("Log"));
    const QString chosen = QFileDialog::getOpenFileName(this, tr("Log File"),
                                                        QFileInfo(field->text()).absolutePath(),
                                                        NameFilter(tr("Log files"), {QStringLiteral("*.log")}));
    if (!chosen.isEmpty()) field->setText(chosen);
}

TDirDlg::TDirDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TDirDlg"));
    setWindowTitle(tr("Select Output Folders/Drives"));
    setModal(true);
    browser_ = new DirectoryBrowser(this, true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_, 1);
    layout->addWidget(OkCancel(this));
    resize(360, 420);
}

bool TDirDlg::Pick(const QString& start, QString* chosen)
{
    browser_->SetDirectory(start);
    if (exec() != QDialog::Accepted) return false;
    *chosen = browser_->Directory();
    return !chosen->isEmpty();
}

TWarningDlg::TWarningDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TWarningDlg"));
    setWindowTitle(tr(" Warning"));
    setWindowModality(Qt::ApplicationModal);
    auto* image = new QLabel(this);
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("WarningText"));
    auto* row = new QHBoxLayout;
    row->addWidget(image);
    row->addWidget(text_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(OkCancel(this, false));
}

void TWarningDlg::ShowWarning(const QString& text)
{
    text_->setText(text);
    show();
    raise();
    activateWindow();
}

QString TWarningDlg::Text() const { return text_->text(); }

} // namespace zalor::ui
