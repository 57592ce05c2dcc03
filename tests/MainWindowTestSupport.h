#pragma once

#include "EmbeddedTestSupport.h"
#include "MainWindow.h"
#include "SettingsFiles.h"
#include "VRKExcelCellSliderView.h"
#include "VRKSlider.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

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

    QTemporaryDir folder;
    EmbeddedDocument *document = nullptr;
    std::unique_ptr<MainWindow> window;
    bool exposed = false;
};
