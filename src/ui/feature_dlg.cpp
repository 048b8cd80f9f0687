#include "ui/feature_dlg.h"

#include "run/selection.h"
#include "run/settings.h"
#include "ui/settings_binder.h"
#include "ui/text.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>
#include <map>

namespace zalor::ui {

namespace {

constexpr int kPageRole = Qt::UserRole;

QCheckBox* MakeBox(const SettingDef& def, QWidget* parent)
{
    auto* box = new QCheckBox(FromText(def.caption), parent);
    box->setObjectName(FromText(def.key));
    box->setEnabled(def.enabled);
    const std::string spec = AreaSpecOf(def.key);
    if (!spec.empty()) box->setToolTip(FromText(spec));
    else if (!def.description.empty() && FindSelectionBox(def.key)) box->setToolTip(FromText(def.description));
    return box;
}

QLineEdit* MakeSuffix(const SettingDef& def, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(FromText(def.key));
    edit->setFixedWidth(90);
    return edit;
}

// Puts a field in its row, with the place for the reason it cannot be used.
using FieldRow = std::function<QWidget*(QLineEdit*)>;

bool IsFieldBox(const SettingDef& def) { return FindFieldBox(def.key) != nullptr; }
bool IsSelectionBox(const SettingDef& def) { return FindSelectionBox(def.key) != nullptr; }

// The controls of a feature page, in the groups they are laid out in: the
// boxes that choose what is written (each with its codes beside it), the
// suffixes, and the boxes of the output fields, two to a row.
struct PageControls {
    explicit PageControls(QWidget* page)
        : choices(new QGridLayout),
          fields(new QGroupBox(QCoreApplication::translate("zalor::ui::TFeatureDlg", " Output Fields "), page)),
          fieldLayout(new QGridLayout(fields)), suffixes(new QFormLayout)
    {
    }
    QGridLayout* choices;
    int choiceCount = 0;
    QGroupBox* fields;
    QGridLayout* fieldLayout;
    int fieldCount = 0;
    QFormLayout* suffixes;
    bool anyRange = false; // a box that Set and Reset change
};

bool OnPage(const SettingDef& def, int index) { return def.place == SettingPlace::FeatureDialog && def.page == index; }

void AddBox(const SettingDef& def, QWidget* page, PageControls& controls)
{
    if (IsFieldBox(def)) {
        controls.fieldLayout->addWidget(MakeBox(def, controls.fields), controls.fieldCount / 2, controls.fieldCount % 2);
        ++controls.fieldCount;
        return;
    }
    const int row = controls.choiceCount++;
    controls.choices->addWidget(MakeBox(def, page), row, 0);
    if (IsSelectionBox(def))
        controls.choices->addWidget(new QLabel(QStringLiteral(": ") + FromText(def.description), page), row, 1);
}

// Every shown control of page `index`, in the order of the settings table.
void AddPageControls(int index, QWidget* page, PageControls& controls, const FieldRow& row)
{
    int suffixCount = 0;
    for (const SettingDef& def : SettingTable())
        if (OnPage(def, index) && def.kind == SettingKind::Text) ++suffixCount;
    // With several suffixes on a page, each is named after the box that follows it.
    const SettingDef* suffix = nullptr;
    for (const SettingDef& def : SettingTable()) {
        if (!OnPage(def, index) || !def.shown) continue;
        controls.anyRange = controls.anyRange || def.setReset;
        if (def.kind == SettingKind::Text) {
            if (suffixCount == 1) controls.suffixes->addRow(FromText(def.caption), row(MakeSuffix(def, page)));
            else suffix = &def;
            continue;
        }
        if (suffix) {
            controls.suffixes->addRow(FromText(def.caption).trimmed() + QStringLiteral(" ") + FromText(suffix->caption),
                                      row(MakeSuffix(*suffix, page)));
            suffix = nullptr;
        }
        AddBox(def, page, controls);
    }
    controls.choices->setColumnStretch(1, 1);
}

// The layout in a frameless scroll area.
QScrollArea* Scrolled(QLayout* layout, QWidget* parent)
{
    auto* scroll = new QScrollArea(parent);
    auto* inner = new QWidget;
    inner->setLayout(layout);
    scroll->setWidget(inner);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    return scroll;
}

} // namespace

TFeatureDlg::TFeatureDlg(SettingsBinder& binder, QWidget* parent)
    : TSettingsDlg(binder, SettingPlace::FeatureDialog, false, parent)
{
    setObjectName(QStringLiteral("TFeatureDlg"));
    setWindowTitle(tr("Tiger Features"));
    setModal(true);

    heading_ = new QLabel(this);
    heading_->setObjectName(QStringLiteral("Heading"));
    QFont big = heading_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    heading_->setFont(big);
    heading_->setFrameShape(QFrame::Panel);
    heading_->setFrameShadow(QFrame::Sunken);
    heading_->setMargin(6);

    pageTree_ = new QTreeWidget(this);
    pageTree_->setObjectName(QStringLiteral("PageTree"));
    pageTree_->setHeaderHidden(true);
    pageTree_->setItemsExpandable(false);
    pageTree_->setMinimumWidth(170);
    pages_ = new QStackedWidget(this);

    std::map<int, QTreeWidgetItem*> items;
    for (const FeaturePageDef& page : FeaturePageTable()) {
        QTreeWidgetItem* item = page.parent < 0 ? new QTreeWidgetItem(pageTree_) : new QTreeWidgetItem(items.at(page.parent));
        item->setText(0, FromText(page.node));
        item->setData(0, kPageRole, page.index);
        items[page.index] = item;
        pages_->insertWidget(page.index, MakePage(page.index));
    }
    pageTree_->expandAll();
    // The tree stays open.
    connect(pageTree_, &QTreeWidget::itemCollapsed, pageTree_, [this](QTreeWidgetItem* item) { pageTree_->expandItem(item); });
    connect(pageTree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item) ShowPage(item->data(0, kPageRole).toInt());
    });

    QDialogButtonBox* buttons = MakeButtons(QStringLiteral("Feature"));

    auto* body = new QHBoxLayout;
    body->addWidget(pageTree_);
    body->addWidget(pages_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addLayout(body, 1);
    layout->addWidget(buttons);

    binder_.Bind(this);
    ShowPage(0);
    resize(760, 600);
}

QWidget* TFeatureDlg::MakePage(int index)
{
    const FeaturePageDef& pageDef = FeaturePageTable()[static_cast<std::size_t>(index)];
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Page%1").arg(index));
    auto* layout = new QVBoxLayout(page);
    if (!pageDef.text.empty()) {
        auto* text = new QLabel(FromText(pageDef.text), page);
        text->setWordWrap(true);
        layout->addWidget(text);
    }

    PageControls controls(page);
    AddPageControls(index, page, controls, [this](QLineEdit* field) { return WithReason(field); });
    if (controls.choiceCount > 0) layout->addWidget(Scrolled(controls.choices, page), 1);
    else delete controls.choices;
    if (controls.suffixes->rowCount() > 0) layout->addLayout(controls.suffixes);
    else delete controls.suffixes;
    if (controls.fieldCount > 0) layout->addWidget(controls.fields);
    else delete controls.fields;
    if (!pageDef.note.empty()) layout->addWidget(new QLabel(FromText(pageDef.note), page));
    if (controls.anyRange) layout->addLayout(MakeRangeButtons(index, page));
    layout->addStretch(controls.choiceCount > 0 ? 0 : 1);
    return page;
}

// "&Set" and "&Reset", at the right.
QLayout* TFeatureDlg::MakeRangeButtons(int index, QWidget* page)
{
    auto* set = new QPushButton(tr("&Set"), page);
    auto* reset = new QPushButton(tr("&Reset"), page);
    set->setObjectName(QStringLiteral("Set%1").arg(index));
    reset->setObjectName(QStringLiteral("Reset%1").arg(index));
    connect(set, &QPushButton::clicked, this, [this, index] { SetRange(index, true); });
    connect(reset, &QPushButton::clicked, this, [this, index] { SetRange(index, false); });
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(set);
    row->addWidget(reset);
    return row;
}

void TFeatureDlg::SetRange(int index, bool on)
{
    QWidget* page = pages_->widget(index);
    for (const SettingDef& def : SettingTable()) {
        if (def.place != SettingPlace::FeatureDialog || def.page != index || !def.setReset) continue;
        auto* box = page->findChild<QCheckBox*>(FromText(def.key));
        if (box && box->isEnabled()) box->setChecked(on);
    }
}

int TFeatureDlg::Page() const { return pages_->currentIndex(); }

QString TFeatureDlg::Heading() const { return heading_->text(); }

void TFeatureDlg::ShowPage(int index)
{
    if (index < 0 || index >= pages_->count()) return;
    pages_->setCurrentIndex(index);
    heading_->setText(FromText(FeaturePageTable()[static_cast<std::size_t>(index)].heading));
    QTreeWidgetItemIterator it(pageTree_);
    for (; *it; ++it)
        if ((*it)->data(0, kPageRole).toInt() == index && pageTree_->currentItem() != *it) pageTree_->setCurrentItem(*it);
}

void TFeatureDlg::showEvent(QShowEvent* event)
{
    // The boxes that cannot be set show cleared whenever the dialog opens.
    binder_.Refresh();
    for (QCheckBox* box : findChildren<QCheckBox*>())
        if (!box->isEnabled()) box->setChecked(false);
    TSettingsDlg::showEvent(event);
}

} // namespace zalor::ui
