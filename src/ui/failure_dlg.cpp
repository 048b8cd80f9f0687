#include "ui/failure_dlg.h"

#include "ui/text.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zalor::ui {

namespace {

// A county's errors beyond these are counted, not listed: a county whose
// output directory cannot be made fails once for every layer.
constexpr int kErrorsShown = 20;

// The county as the list names it: its county line when it was read, else
// the input's file name.
QString CountyName(const CountyFailure& f)
{
    const QString path = ShownPath(f.input);
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const QString line = FromText(f.county).trimmed();
    return line.isEmpty() ? name : line + QStringLiteral(" - ") + name;
}

} // namespace

TFailureDlg::TFailureDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFailureDlg"));
    setWindowTitle(tr("Counties Failed"));
    auto* image = new QLabel(this);
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("FailureSummary"));
    summary_->setWordWrap(true);
    auto* top = new QHBoxLayout;
    top->addWidget(image);
    top->addWidget(summary_, 1);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("FailureList"));
    list_->setColumnCount(1);
    list_->setHeaderHidden(true);
    list_->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* log = buttons->addButton(tr("View &Log"), QDialogButtonBox::ActionRole);
    connect(log, &QPushButton::clicked, this, &TFailureDlg::LogWanted);
    QPushButton* close = buttons->addButton(tr("&Close"), QDialogButtonBox::RejectRole);
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    resize(720, 320);
}

void TFailureDlg::ShowFailures(const RunResult& result)
{
    QString text = tr("%1 of %2 counties failed.").arg(result.failed).arg(result.counties);
    if (result.stopped) text += QLatin1Char(' ') + tr("The run was stopped.");
    summary_->setText(text);
    list_->clear();
    // Each county with its reasons under it, open while there are few.
    const bool open = result.failures.size() <= 10;
    for (const CountyFailure& f : result.failures) {
        auto* county = new QTreeWidgetItem(list_);
        county->setText(0, CountyName(f));
        county->setToolTip(0, ShownPath(f.input));
        QFont bold = county->font(0);
        bold.setBold(true);
        county->setFont(0, bold);
        const int count = static_cast<int>(f.errors.size());
        for (int i = 0; i < count && i < kErrorsShown; ++i) {
            auto* reason = new QTreeWidgetItem(county);
            reason->setText(0, FromText(f.errors[static_cast<std::size_t>(i)]));
            reason->setToolTip(0, reason->text(0));
        }
        if (count > kErrorsShown)
            (new QTreeWidgetItem(county))->setText(0, tr("... and %1 more").arg(count - kErrorsShown));
        county->setExpanded(open);
    }
    show();
    raise();
    activateWindow();
}

QString TFailureDlg::Summary() const { return summary_->text(); }

} // namespace zalor::ui
