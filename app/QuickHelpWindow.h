#pragma once

#include <QDialog>

// The quick help inside the program, for a desktop that cannot open the PDF.
class QuickHelpWindow : public QDialog
{
    Q_OBJECT
public:
    // `why` says in a line why the help shows here rather than in a PDF viewer.
    QuickHelpWindow(const QString &why, QWidget *parent = nullptr);

    // Whether the desktop names a program for PDF files; opening one hands
    // the file to xdg-open, which then fails where nobody could see it.
    static bool desktopOpensPdf();
};
