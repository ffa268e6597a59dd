#include "info_windows/Unit2.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>

#include "widgets/dialogs.h"
#include "widgets/modal_window.h"
#include "widgets/window_font.h"
#include "ui_Unit2.h"

TForm2* Form2 = nullptr;

namespace {

// The help text, without the file's final line end (which would show as an
// empty last line).
QString HelpText() {
  QFile file(QStringLiteral(":/help_text.txt"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QString text = QString::fromUtf8(file.readAll());
  if (text.endsWith('\n')) text.chop(1);
  return text;
}

}  // namespace

TForm2::TForm2(QWidget* parent)
    : vistrune::NoCancelDialog(parent), ui_(std::make_unique<Ui::TForm2>()) {
  ui_->setupUi(this);
  Memo1 = ui_->Memo1;
  Button2 = ui_->Button2;
  // A title bar with the caption only: no system menu, no minimize, maximize
  // or close box. The frame stays sizeable.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  // Opens where it was designed to, not centred over the main window.
  move(365, 120);
  vistrune::ApplyWindowFont(this);
  Memo1->setPlainText(HelpText());
  connect(Button2, &QPushButton::clicked, this, vistrune::Guarded(this, &TForm2::Button2Click));
}

TForm2::~TForm2() = default;

void TForm2::Button2Click() {
  if (Form2) Form2->close();
}

void ShowHelpWindow(QWidget* owner) {
  vistrune::ShowFreshModal(owner, Form2);
}
