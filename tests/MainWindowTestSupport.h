#pragma once

#include "EmbeddedTestSupport.h"
#include "MainWindow.h"
#include "SettingsFiles.h"
#include "VRKExcelCellSliderView.h"
#include "VRKSlider.h"
#include "ProgramDiagnostics.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

// Answers the next modal box with `button` and keeps what it said.
struct BoxAnswer
{
    explicit BoxAnswer(QMessageBox::StandardButton button)
    {
        QTimer::singleShot(0, [this, button] { answer(button); });
    }
    void answer(QMessageBox::StandardButton button)
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            if (++attempts < 1000)
                QTimer::singleShot(10, [this, button] { answer(button); });
            return;
        }
        title = box->windowTitle();
        text = box->text();
        informative = box->informativeText();
        box->button(button)->click();
    }
    int attempts = 0;
    QString title, text, informative;
};

// A main window over a fresh embedded workbook, its settings in a folder of
// its own, the terms accepted: what every flow test starts from.
struct MainWindowSession
{
    MainWindowSession()
    {
        SettingsFiles::setFolder(folder.path());
        SettingsFiles::setTermsOfUseApproved(true);
        backend().start();
        document = backend().newDocument();
        window = std::make_unique<MainWindow>();
        window->show();
        exposed = QTest::qWaitForWindowExposed(window.get());
    }
    ~MainWindowSession()
    {
        window.reset();
        closeAllDocuments();
        SettingsFiles::setFolder(QString());
    }

    // A move of slider i as a drag ends: announced at once.
    void move(int i, double value) const
    {
        VRKSlider *slider = window->sliders().at(i)->slider();
        slider->setMinEmitInterval(0);
        slider->setValue(value);
    }

    // The program becomes the active application again.
    void activate() const
    {
        QEvent activation(QEvent::ApplicationActivate);
        QTest::ignoreMessage(QtDebugMsg, "ApplicationActivate");
        QCoreApplication::sendEvent(qApp, &activation);
    }

    QTemporaryDir folder;
    EmbeddedDocument *document = nullptr;
    std::unique_ptr<MainWindow> window;
    bool exposed = false;
};
