#include "com_setup_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "qt_text.h"

namespace ln40::gui {

namespace {

QComboBox* List(QWidget* parent, const char* name, const std::vector<std::string>& items, int selected) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(name));
  for (const std::string& item : items) list->addItem(ToQt(item));
  list->setCurrentIndex(selected);  // -1 selects nothing
  return list;
}

}  // namespace

ComSetupDialog::ComSetupDialog(const ComSetupChoices& choices, QWidget* parent)
    : QDialog(parent), choices_(choices) {
  setObjectName(QStringLiteral("ComSetupFrm"));
  setWindowTitle(QStringLiteral("Setup"));

  auto* group = new QGroupBox(QStringLiteral(" Settings "), this);
  group->setObjectName(QStringLiteral("Settings"));
  port_ = List(group, "Combo1", choices.ports, choices.port);
  baud_rate_ = List(group, "Combo2", BaudRateItems(), choices.baudRate);
  data_bits_ = List(group, "Combo3", DataBitsItems(), choices.dataBits);
  stop_bits_ = List(group, "Combo4", StopBitsItems(), choices.stopBits);
  parity_ = List(group, "Combo5", ParityItems(), choices.parity);
  flow_control_ = List(group, "Combo6", FlowControlItems(), choices.flowControl);

  auto* form = new QFormLayout(group);
  form->addRow(QStringLiteral("Port"), port_);
  form->addRow(QStringLiteral("Baud rate"), baud_rate_);
  form->addRow(QStringLiteral("Data bits"), data_bits_);
  form->addRow(QStringLiteral("Stop bits"), stop_bits_);
  form->addRow(QStringLiteral("Parity"), parity_);
  form->addRow(QStringLiteral("Flow control"), flow_control_);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("Button1"));
  ok->setDefault(true);
  QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("Button2"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(buttons);
  setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
}

ComSetupChoices ComSetupDialog::Choices() const {
  ComSetupChoices choices = choices_;
  choices.port = port_->currentIndex();
  choices.baudRate = baud_rate_->currentIndex();
  choices.dataBits = data_bits_->currentIndex();
  choices.stopBits = stop_bits_->currentIndex();
  choices.parity = parity_->currentIndex();
  choices.flowControl = flow_control_->currentIndex();
  return choices;
}

}  // namespace ln40::gui
