#include "about_box.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "app/main_window_controller.h"
#include "icons.h"

namespace ln40::gui {

AboutBox::AboutBox(std::function<void(const std::string&)> open_url, QWidget* parent)
    : QDialog(parent), open_url_(std::move(open_url)) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(298, 213);

  // A bevelled panel: a sunken outer frame with a raised one inside it.
  auto* outer = new QFrame(this);
  outer->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  outer->setGeometry(8, 8, 281, 161);
  auto* panel = new QFrame(outer);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setGeometry(1, 1, 279, 159);

  auto* icon = new QLabel(panel);
  icon->setObjectName(QStringLiteral("ProgramIcon"));
  icon->setGeometry(8, 8, 65, 57);
  icon->setPixmap(AppIcon().pixmap(32, 32).scaled(65, 57));

  auto* product = new QLabel(QStringLiteral("Vexa LN40 utility"), panel);
  product->setObjectName(QStringLiteral("ProductName"));
  QFont product_font = product->font();
  product_font.setBold(true);
  product->setFont(product_font);
  product->setGeometry(88, 16, 180, 18);

  auto* version = new QLabel(QStringLiteral("Version\t") + QString::fromLatin1(kVersion), panel);
  version->setObjectName(QStringLiteral("Version"));
  version->setGeometry(88, 40, 180, 18);

  auto* notice = new QLabel(QStringLiteral("Made by Vexa timing system, Norway"), panel);
  notice->setObjectName(QStringLiteral("Copyright"));
  notice->setGeometry(8, 76, 263, 18);

  const QString address = QString::fromLatin1(kMakerAddress);
  auto* link = new QLabel(QStringLiteral("<a href=\"%1\" style=\"color:#0000ff;\">%1</a>").arg(address), panel);
  link->setObjectName(QStringLiteral("WebLink"));
  link->setToolTip(QStringLiteral("Open %1 in your web browser").arg(address));
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  link->setGeometry(8, 98, 263, 18);
  connect(link, &QLabel::linkActivated, this, [this](const QString& url) {
    if (open_url_) open_url_(url.toStdString());
  });

  auto* comment = new QLabel(QStringLiteral("Reads times from LN20 and LN40 timing readers."), panel);
  comment->setObjectName(QStringLiteral("Comments"));
  comment->setWordWrap(true);
  comment->setGeometry(8, 124, 263, 30);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setDefault(true);
  ok->setAutoDefault(true);
  ok->setGeometry((298 - 75) / 2, 178, 75, 25);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutBox::ShowModal() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  exec();
}

void AboutBox::keyPressEvent(QKeyEvent* event) {
  // Escape leaves the box open; only OK (or Enter) and the frame close it.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace ln40::gui
