#include "find_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "qt_text.h"

namespace ln40::gui {

namespace {

struct DirectionChoice {
  FindDirection direction;
  const char* name;
  const char* caption;
};
const DirectionChoice kDirections[4] = {
    {FindDirection::TopToBottom, "ForwardTopToBottom", "Forward (top to bottom)"},
    {FindDirection::LeftToRight, "ForwardLeftToRight", "Forward (left to right)"},
    {FindDirection::BottomToTop, "BackwardBottomToTop", "Backward (bottom to top)"},
    {FindDirection::RightToLeft, "BackwardRightToLeft", "Backward (right to left)"},
};

struct ScopeChoice {
  FindScope scope;
  const char* name;
  const char* caption;
};
const ScopeChoice kScopes[3] = {
    {FindScope::AllCells, "ScopeAllCells", "All cells"},
    {FindScope::CurrentRow, "ScopeCurrentRow", "Current row only"},
    {FindScope::CurrentColumn, "ScopeCurrentColumn", "Current column only"},
};

struct BoxChoice {
  FindBox box;
  const char* name;
  const char* caption;
};
const BoxChoice kBoxes[6] = {
    {FindBox::CaseSensitive, "CaseSensitive", "&Case sensitive"},
    {FindBox::WholeWords, "WholeWords", "&Whole words only"},
    {FindBox::MatchFromFirstChar, "MatchFromFirstChar", "&Match from first char"},
    {FindBox::IgnoreHtmlTags, "IgnoreHtmlTags", "&Ignore HTML tags"},
    {FindBox::FindInFixedCells, "FindInFixedCells", "&Find in fixed cells"},
    {FindBox::Wildcards, "Wildcards", "Match with &wildcards"},
};

}  // namespace

FindTextDialog::FindTextDialog(FindDialogState& state, CommandRunner run, QWidget* parent)
    : QDialog(parent), state_(state), run_(std::move(run)) {
  setObjectName(QStringLiteral("FindDialog"));
  setWindowTitle(QStringLiteral("Find text"));
  setModal(false);

  auto* column = new QVBoxLayout(this);
  column->addWidget(new QLabel(QStringLiteral("Text to find"), this));
  text_ = new QComboBox(this);
  text_->setObjectName(QStringLiteral("TextToFind"));
  text_->setEditable(true);
  // The list is the state's: texts join it when "Ok" searches for them.
  text_->setInsertPolicy(QComboBox::NoInsert);
  text_->setMinimumContentsLength(24);
  connect(text_, &QComboBox::editTextChanged, this, [this](const QString& text) {
    if (!showing_) state_.EditText(FromQt(text));
  });
  column->addWidget(text_);

  auto* groups = new QHBoxLayout;
  auto* direction = new QGroupBox(QStringLiteral("Direction"), this);
  direction->setObjectName(QStringLiteral("Direction"));
  auto* direction_column = new QVBoxLayout(direction);
  for (int i = 0; i < 4; ++i) {
    auto* box = new QCheckBox(QString::fromLatin1(kDirections[i].caption), direction);
    box->setObjectName(QString::fromLatin1(kDirections[i].name));
    // The four behave as one choice: the state decides, the boxes show it.
    connect(box, &QCheckBox::clicked, this, [this, i] {
      state_.CheckDirection(kDirections[i].direction);
      ShowState();
    });
    directions_[i] = box;
    direction_column->addWidget(box);
  }
  groups->addWidget(direction);

  auto* scope = new QGroupBox(QStringLiteral("Scope"), this);
  scope->setObjectName(QStringLiteral("Scope"));
  auto* scope_column = new QVBoxLayout(scope);
  for (int i = 0; i < 3; ++i) {
    auto* choice = new QRadioButton(QString::fromLatin1(kScopes[i].caption), scope);
    choice->setObjectName(QString::fromLatin1(kScopes[i].name));
    connect(choice, &QRadioButton::clicked, this, [this, i] {
      state_.ChooseScope(kScopes[i].scope);
      ShowState();
    });
    scopes_[i] = choice;
    scope_column->addWidget(choice);
  }
  scope_column->addStretch(1);
  groups->addWidget(scope);
  column->addLayout(groups);

  auto* options = new QGroupBox(this);
  options->setObjectName(QStringLiteral("Options"));
  auto* options_grid = new QGridLayout(options);
  for (int i = 0; i < 6; ++i) {
    auto* box = new QCheckBox(QString::fromLatin1(kBoxes[i].caption), options);
    box->setObjectName(QString::fromLatin1(kBoxes[i].name));
    connect(box, &QCheckBox::toggled, this, [this, i](bool checked) {
      if (!showing_) state_.SetBox(kBoxes[i].box, checked);
    });
    boxes_[i] = box;
    options_grid->addWidget(box, i % 3, i / 3);
  }
  column->addWidget(options);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  ok_ = new QPushButton(QStringLiteral("Ok"), this);
  ok_->setObjectName(QStringLiteral("OkButton"));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, [this] { Search(); });
  buttons->addWidget(ok_);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("CancelButton"));
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addWidget(cancel);
  column->addLayout(buttons);

  ShowState();
}

void FindTextDialog::OpenOn(GridView* view) {
  target_ = view;
  ShowState();
  show();
  raise();
  activateWindow();
  text_->setFocus();
}

void FindTextDialog::ShowState() {
  showing_ = true;
  const std::vector<std::string>& history = state_.History();
  // The list only grows; the text being edited stays as it is.
  for (int i = text_->count(); i < static_cast<int>(history.size()); ++i) text_->addItem(ToQt(history[i]));
  const QString text = ToQt(state_.Text());
  if (text_->currentText() != text) text_->setEditText(text);
  for (int i = 0; i < 4; ++i) {
    directions_[i]->setChecked(state_.Direction() == kDirections[i].direction);
    directions_[i]->setEnabled(state_.IsDirectionEnabled(kDirections[i].direction));
  }
  for (int i = 0; i < 3; ++i) scopes_[i]->setChecked(state_.Scope() == kScopes[i].scope);
  for (int i = 0; i < 6; ++i) boxes_[i]->setChecked(state_.Box(kBoxes[i].box));
  showing_ = false;
}

void FindTextDialog::Search() {
  if (!target_) return;
  FindOutcome outcome;
  run_([&] {
    target_->FinishEditing();
    outcome = state_.Ok(target_->Model()->Table());
  });
  ShowState();
  if (outcome.found) {
    target_->ShowCell(outcome.cell);
    return;
  }
  if (outcome.message.empty()) return;  // the search failed with an error, already reported
  QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), ToQt(outcome.message), QMessageBox::Ok,
                  this);
  box.setObjectName(QStringLiteral("FindMessage"));
  box.exec();
}

}  // namespace ln40::gui
