#include "ProductDialog.h"

#include "bridge/AppInfo.h"
#include "common/QssManager.h"
#include "common/Translate.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

ProductDialog::ProductDialog(Kind kind, QWidget *parent) : QDialog(parent), m_text(new QLabel(this))
{
    setObjectName(QStringLiteral("ProductDialog"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowModality(Qt::ApplicationModal);
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/setting-dialog.css"));
    const bg::AppInfo &info = bg::AppInfo::instance();
    const QString version = QString::fromStdString(info.version());
    const QString built = QString::fromStdString(info.buildDate());
    const char *titles[] = {"titlebar.AboutUs", "titlebar.UpdateCheck", "titlebar.Subscribe"};
    setWindowTitle(ZTR(titles[kind]));

    QString text;
    switch (kind) {
    case About:
        text = ZTR("productdialog.About").arg(version, built);
        break;
    case Version:
        text = ZTR("productdialog.Version").arg(version, built);
        break;
    case Follow:
        text = ZTR("productdialog.Follow");
        break;
    }
    m_text->setObjectName(QStringLiteral("label_text"));
    m_text->setText(text);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *logo = new QLabel(this);
    logo->setPixmap(QPixmap(QStringLiteral(":/image/logo.png"))
                        .scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    logo->setAlignment(Qt::AlignTop);
    auto *row = new QHBoxLayout;
    row->addWidget(logo);
    row->addWidget(m_text, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    if (kind != About) {
        auto *page = new QPushButton(ZTR("productdialog.OpenPage"), this);
        page->setObjectName(QStringLiteral("pushButton_page"));
        connect(page, &QPushButton::clicked, this,
                [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kProjectPage))); });
        buttons->addWidget(page);
    }
    auto *ok = new QPushButton(ZTR("settingdialog.Ok"), this);
    ok->setObjectName(QStringLiteral("pushButton_ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(ok);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    const double s = QssManager::screenScale();
    setMinimumWidth(int(380 * s));
}

QString ProductDialog::text() const
{
    return m_text->text();
}
