#include "TermsOfUseForm.h"

#include "SettingsFiles.h"
#include "ui_TermsOfUseForm.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

TermsOfUseForm::TermsOfUseForm(QWidget *parent)
    : QWidget(parent), ui(new Ui::TermsOfUseForm)
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    QFile terms(QStringLiteral(":/resources/TermsOfUse.txt"));
    if (terms.open(QIODevice::ReadOnly))
        ui->textEdit_termsOfUse->setText(QString::fromUtf8(terms.readAll()));
}

TermsOfUseForm::~TermsOfUseForm()
{
    delete ui;
}

void TermsOfUseForm::setVisible(bool visible)
{
    if (visible) {
        QScreen *screen = m_mainWindow ? m_mainWindow->screen() : this->screen();
        if (screen) {
            const QRect available = screen->availableGeometry();
            const QPoint centre((available.left() + available.right()) / 2, (available.top() + available.bottom()) / 2);
            QRect frame = geometry();
            frame.moveCenter(centre);
            move(frame.topLeft());
        }
    }
    QWidget::setVisible(visible);
}

void TermsOfUseForm::on_pushButton_accept_clicked()
{
    SettingsFiles::setTermsOfUseApproved(true);
    close();
}

void TermsOfUseForm::ask()
{
    ui->pushButton_accept->show();
    show();
    raise();
}

void TermsOfUseForm::on_pushButton_reject_clicked()
{
    SettingsFiles::setTermsOfUseApproved(false);
    ui->pushButton_accept->hide();
    if (m_mainWindow)
        m_mainWindow->setProperty("stopscan", true);
    emit declined();
}
