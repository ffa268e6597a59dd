#include "info_windows/Unit3.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "widgets/dialogs.h"
#include "widgets/modal_window.h"
#include "widgets/window_font.h"
#include "ui_Unit3.h"

TAboutBox* AboutBox = nullptr;

TAboutBox::TAboutBox(QWidget* parent)
    : vistrune::NoCancelDialog(parent), ui_(std::make_unique<Ui::TAboutBox>()) {
  ui_->setupUi(this);
  Panel1 = ui_->Panel1;
  ProductName = ui_->ProductName;
  Version = ui_->Version;
  Copyright = ui_->Copyright;
  Label1 = ui_->Label1;
  ProgramIcon = ui_->ProgramIcon;
  OKButton = ui_->OKButton;
  // A fixed frame whose title bar has the caption only: no system menu, no
  // minimize, maximize or close box.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  vistrune::ApplyWindowFont(this);
  for (QLabel* label : {ProductName, Version, Copyright, Label1}) label->adjustSize();
  // Centred on the screen, not over the main window.
  setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen()->geometry()));
  connect(OKButton, &QPushButton::clicked, this,
          vistrune::Guarded(this, &TAboutBox::OKButtonClick));
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::OKButtonClick() {
  if (AboutBox) AboutBox->close();
}

void ShowAboutBox(QWidget* owner) {
  vistrune::ShowFreshModal(owner, AboutBox);
}
