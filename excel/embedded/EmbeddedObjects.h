#pragma once

#include "../AutomationObject.h"
#include "EmbeddedDocument.h"

#include <QPointer>

// The embedded spreadsheet's automation objects. Each refers to its document
// weakly: once the document is closed the object reads as nothing, as a
// stale automation object would.

class EmbeddedApplicationObject : public AutomationObject
{
    Q_OBJECT
public:
    // Bound to one document's window, or (null) to whichever is in front.
    explicit EmbeddedApplicationObject(EmbeddedDocument *bound = nullptr);
    bool isNull() const override { return false; }
    QString typeName() const override { return QStringLiteral("Application"); }
    QVariant read(const QString &member, const QVariantList &arguments = {}) const override;
    bool write(const QString &member, const QVariant &value) override;
    AutomationObject *query(const QString &member, const QVariantList &arguments = {}) override;

private:
    EmbeddedDocument *document() const;
    bool m_bound;
    QPointer<EmbeddedDocument> m_document;
};

class EmbeddedDocumentObject : public AutomationObject
{
    Q_OBJECT
public:
    using Kind = Automation::DocumentPart;
    EmbeddedDocumentObject(Kind kind, EmbeddedDocument *document);
    bool isNull() const override { return m_document.isNull(); }
    QString typeName() const override;
    QVariant read(const QString &member, const QVariantList &arguments = {}) const override;
    // A workbook's "Saved": whether it holds no unsaved change.
    bool write(const QString &member, const QVariant &value) override;
    AutomationObject *query(const QString &member, const QVariantList &arguments = {}) override;

private:
    Kind m_kind;
    QPointer<EmbeddedDocument> m_document;
};

class EmbeddedWorkbooksObject : public AutomationObject
{
    Q_OBJECT
public:
    bool isNull() const override { return false; }
    QString typeName() const override { return QStringLiteral("Workbooks"); }
    QVariant read(const QString &member, const QVariantList &arguments = {}) const override;
    QVariant call(const QString &method, const QVariantList &arguments = {}) override;
    AutomationObject *query(const QString &member, const QVariantList &arguments = {}) override;
};

class EmbeddedWorksheetObject : public AutomationObject
{
    Q_OBJECT
public:
    EmbeddedWorksheetObject(EmbeddedDocument *document, workbook::SheetIndex sheet);
    bool isNull() const override;
    QString typeName() const override { return QStringLiteral("Worksheet"); }
    QVariant read(const QString &member, const QVariantList &arguments = {}) const override;
    AutomationObject *query(const QString &member, const QVariantList &arguments = {}) override;

private:
    void userEdited(workbook::SheetIndex sheet, const QList<workbook::CellRange> &areas);
    void cellsMovedOn(workbook::SheetIndex sheet);
    QPointer<EmbeddedDocument> m_document;
    workbook::SheetIndex m_sheet;
};

class EmbeddedRangeObject : public AutomationObject
{
    Q_OBJECT
public:
    EmbeddedRangeObject(EmbeddedDocument *document, const QList<workbook::CellRange> &areas);
    bool isNull() const override;
    QString typeName() const override { return QStringLiteral("Range"); }
    QVariant read(const QString &member, const QVariantList &arguments = {}) const override;
    bool write(const QString &member, const QVariant &value) override;
    AutomationObject *query(const QString &member, const QVariantList &arguments = {}) override;
    AutomationBackend *exchanger() const override;

    EmbeddedDocument *document() const { return m_document.data(); }
    // The one cell this range is; false for a block, several areas or a closed document.
    bool singleCell(workbook::CellLocation &where) const;

    // "C5", "B2:D7", "A:C", "3:5"; areas joined with ";".
    static QString addressOf(const QList<workbook::CellRange> &areas);
    // The areas an address names on a sheet ("A1:B2;C3" or "A1,C3"); empty when it names none.
    static QList<workbook::CellRange> parseAddress(const QString &address, workbook::SheetIndex sheet);

private:
    workbook::CellLocation first() const;
    void follow(workbook::SheetIndex sheet, const workbook::RowsColumnsChange &change);
    QPointer<EmbeddedDocument> m_document;
    QList<workbook::CellRange> m_areas;
};

// A spreadsheet value as an automation variant: number, text or boolean;
// empty cells and errors read as an invalid variant.
QVariant variantOf(const workbook::Value &value);
