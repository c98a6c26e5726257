#include "app/about_box.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "app/image_lists.h"
#include "app/program_info.h"
#include "app/window_placement.h"
#include "dialogs/dialog_parts.h"

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    makeFixedDialog(this, "AboutBox", QSize(241, 191));
    setWindowTitle(QStringLiteral("バージョン情報"));
    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setGeometry(8, 8, 225, 137);
    auto* icon = new QLabel(panel);
    icon->setObjectName("ProgramIcon");
    icon->setPixmap(images::programIcon().pixmap(48, 48));
    icon->setGeometry(12, 12, 48, 48);
    auto* product = new QLabel(ProductName(), panel);
    product->setObjectName("ProductName");
    QFont f = product->font();
    f.setPixelSize(16);
    f.setBold(true);
    product->setFont(f);
    product->setGeometry(72, 18, 145, 24);
    auto* version =
        new QLabel(QStringLiteral("Version ") + QString::fromUtf8(kProgramVersion), panel);
    version->setObjectName("Version");
    version->setGeometry(72, 48, 145, 16);
    auto* comment = new QLabel(QStringLiteral("ICMP エコーによるホスト偵察"), panel);
    comment->setObjectName("Comments");
    comment->setGeometry(12, 84, 205, 16);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    ok->setGeometry(83, 156, 75, 25);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutBox::showCentredOnScreen(QWidget* window) {
    if (const QScreen* screen = window->screen())
        centreOver(this, window, screen->availableGeometry());
    exec();
}
