// The feature dialog: the tree of line, polygon and point pages beside the
// pages of boxes, suffixes and output fields, all made from the settings
// table. Cancel puts back the selection it was opened with.
#pragma once

#include "ui/settings_dialog.h"

class QLabel;
class QLayout;
class QStackedWidget;
class QTreeWidget;

namespace zalor::ui {

class TFeatureDlg : public TSettingsDlg {
    Q_OBJECT
public:
    TFeatureDlg(SettingsBinder& binder, QWidget* parent = nullptr);

    // The page shown (the index of its tree node).
    int Page() const;
    QString Heading() const;
    void ShowPage(int index);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* MakePage(int index);
    QLayout* MakeRangeButtons(int index, QWidget* page);
    // Sets or clears the page's Set/Reset boxes that are enabled.
    void SetRange(int index, bool on);

    QTreeWidget* pageTree_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QLabel* heading_ = nullptr;
};

} // namespace zalor::ui
