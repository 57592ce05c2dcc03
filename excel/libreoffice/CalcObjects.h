#pragma once

#include "../AutomationObject.h"
#include "CalcDocument.h"

#include <QPointer>

class CalcBackend;

// LibreOffice Calc's documents seen as the automation model. Each object
// refers to its document weakly: once the document is closed or the office
// gone, it reads as nothing, as a stale automation object would.

class CalcApplicationObject : public AutomationObject
{
    Q_OBJECT
public:
    // Bound to one document, or (null) to whichever is in front.
    CalcApplicationObject(CalcBackend *backend, CalcDocument *bound = nullptr);
    bool isNull() const override { return false; }
    QString typeName() const override { return QStringLiteral("Application"); }
    QVariant read(const QString &member, const QVariantList &arguments = {}) const override;
    bool write(const QString &member, const QVariant &value) override;
    AutomationObject *query(const QString &member, const QVariantList &arguments = {}) override;

private:
    CalcDocument *document() const;
    CalcBackend *m_backend;
    bool m_bound;
    QPointer<CalcDocument> m_document;
};

class CalcDocumentObject : public AutomationObject
{
    Q_OBJECT
public:
    using Kind = Automation::DocumentPart;
    CalcDocumentObject(CalcBackend *backend, Kind kind, CalcDocument *document);
    bool isNull() const override { return !m_document || !m_document->isOpen(); }
    QString typeName() const override;
    QVariant read(const QString &member, const QVariantList &arguments = {}) const override;
    // A workbook's "Saved": whether it holds no unsaved change.
    bool write(const QString &member, const QVariant &value) override;
    AutomationObject *query(const QString &member, const QVariantList &arguments = {}) override;

private:
    CalcBackend *m_backend;
    Kind m_kind;
    QPointer<CalcDocument> m_document;
};

class CalcWorkbooksObject : public AutomationObject
{
    Q_OBJECT
public:
    explicit CalcWorkbooksObject(CalcBackend *backend) : m_backend(backend) {}
    bool isNull() const override { return false; }
    QString typeName() const override { return QStringLiteral("Workbooks"); }
    QVariant read(const QString &member, const QVariantList &arguments = {}) const override;
    QVariant call(const QString &method, const QVariantList &arguments = {}) override;
    AutomationObject *query(const QString &member, const QVariantList &arguments = {}) override;

private:
    CalcBackend *m_backend;
};

class CalcWorksheetObject : public AutomationObject
{
    Q_OBJECT
public:
    CalcWorksheetObject(CalcBackend *backend, CalcDocument *document, int sheet);
    bool isNull() const override;
    QString typeName() const override { return QStringLiteral("Worksheet"); }
    QVariant read(const QString &member, const QVariantList &arguments = {}) const override;
    AutomationObject *query(const QString &member, const QVariantList &arguments = {}) override;

private:
    void userEdited(int sheet, const QList<CalcArea> &areas);
    CalcBackend *m_backend;
    QPointer<CalcDocument> m_document;
    int m_sheet;
};

class CalcRangeObject : public AutomationObject
{
    Q_OBJECT
public:
    CalcRangeObject(CalcBackend *backend, CalcDocument *document, const QList<CalcArea> &areas);
    bool isNull() const override;
    QString typeName() const override { return QStringLiteral("Range"); }
    QVariant read(const QString &member, const QVariantList &arguments = {}) const override;
    bool write(const QString &member, const QVariant &value) override;
    AutomationObject *query(const QString &member, const QVariantList &arguments = {}) override;
    AutomationBackend *exchanger() const override;

    CalcDocument *document() const { return m_document.data(); }
    const QList<CalcArea> &areas() const { return m_areas; }

private:
    com::sun::star::uno::Reference<com::sun::star::table::XCell> cell(int row, int column) const;
    CalcBackend *m_backend;
    QPointer<CalcDocument> m_document;
    QList<CalcArea> m_areas;
    mutable com::sun::star::uno::Reference<com::sun::star::table::XCell> m_first;
};

// A cell's content as an automation variant: number or text; empty cells and
// errors read as an invalid variant.
QVariant variantOf(const com::sun::star::uno::Reference<com::sun::star::table::XCell> &cell);
