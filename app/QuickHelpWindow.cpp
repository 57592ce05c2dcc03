#include "QuickHelpWindow.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTextBrowser>
#include <QVBoxLayout>

QuickHelpWindow::QuickHelpWindow(const QString &why, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Tarvio Ostra Quick Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    auto *reason = new QLabel(why);
    reason->setWordWrap(true);
    layout->addWidget(reason);
    auto *text = new QTextBrowser;
    text->setObjectName(QStringLiteral("quickHelpText"));
    QFile help(QStringLiteral(":/help/quick-help.md"));
    if (help.open(QIODevice::ReadOnly))
        text->setMarkdown(QString::fromUtf8(help.readAll()));
    layout->addWidget(text);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    resize(560, 640);
}

bool QuickHelpWindow::desktopOpensPdf()
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("application/pdf")});
    // Without xdg-mime the desktop's own services decide, and say when they cannot.
    if (!query.waitForStarted() || !query.waitForFinished(3000))
        return true;
    return !query.readAllStandardOutput().trimmed().isEmpty();
}
