#pragma once

#include <QPointer>
#include <QWidget>

namespace Ui {
class TermsOfUseForm;
}

// The terms of use, asked for once: accepting records it in the general
// settings file; declining is announced, and the program closes.
class TermsOfUseForm : public QWidget
{
    Q_OBJECT
public:
    explicit TermsOfUseForm(QWidget *parent = nullptr);
    ~TermsOfUseForm() override;

    void setMainWindow(QWidget *mainWindow) { m_mainWindow = mainWindow; }
    void setVisible(bool visible) override;
    // Shows the question with both answers.
    void ask();

signals:
    void declined();

private slots:
    void on_pushButton_accept_clicked();
    void on_pushButton_reject_clicked();

private:
    Ui::TermsOfUseForm *ui;
    QPointer<QWidget> m_mainWindow;
};
