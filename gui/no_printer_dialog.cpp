#include "no_printer_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ln40::gui {

NoPrinterDialog::NoPrinterDialog(const QString& suggested, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("NoPrinterDialog"));
  setWindowTitle(QStringLiteral("Print"));
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(QStringLiteral("No printer is set up on this computer. The list can be printed into a "
                                         "PDF file instead:"),
                          this);
  text->setObjectName(QStringLiteral("NoPrinterText"));
  text->setWordWrap(true);
  layout->addWidget(text);

  auto* row = new QHBoxLayout;
  file_ = new QLineEdit(suggested, this);
  file_->setObjectName(QStringLiteral("PdfFile"));
  // Wide enough to read a whole path in the home folder.
  file_->setMinimumWidth(file_->fontMetrics().horizontalAdvance(suggested) + 24);
  row->addWidget(file_, 1);
  auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
  browse->setObjectName(QStringLiteral("Browse"));
  browse->setAutoDefault(false);
  connect(browse, &QPushButton::clicked, this, &NoPrinterDialog::Browse);
  row->addWidget(browse);
  layout->addLayout(row);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
  buttons->setObjectName(QStringLiteral("Buttons"));
  buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("Save PDF"));
  buttons->button(QDialogButtonBox::Save)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  // No name, no file.
  connect(file_, &QLineEdit::textChanged, this, [this, buttons] {
    buttons->button(QDialogButtonBox::Save)->setEnabled(!file_->text().trimmed().isEmpty());
  });
  layout->addWidget(buttons);
}

QString NoPrinterDialog::PdfFile() const {
  QString name = file_->text().trimmed();
  if (!name.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) name += QStringLiteral(".pdf");
  return name;
}

void NoPrinterDialog::Browse() {
  QFileDialog dialog(this, QStringLiteral("PDF file"));
  dialog.setObjectName(QStringLiteral("PdfFileDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({QStringLiteral("PDF file (*.pdf)"), QStringLiteral("All files (*)")});
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  dialog.selectFile(file_->text());
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    file_->setText(dialog.selectedFiles().first());
  }
}

}  // namespace ln40::gui
