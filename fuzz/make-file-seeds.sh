#!/usr/bin/env bash
# Writes the seeds of fuzz_file_import that are zip files: a small xlsx and a
# small ods, their parts stored uncompressed so that the fuzzer's changes reach
# the XML instead of breaking the compressed stream. The first byte of a seed
# picks the reader: 0 xlsx, 1 ods, 2 csv.
set -euo pipefail
seeds=$(cd "$(dirname "$0")/../tests/fuzz-seeds/file" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seed() # NAME FORMAT-BYTE DIRECTORY FILES...
{
  local name=$1 byte=$2 dir=$3
  shift 3
  (cd "$dir" && zip -q -X -0 "$work/$name.zip" "$@")
  { printf "\\$byte"; cat "$work/$name.zip"; } > "$seeds/$name"
}

mkdir -p "$work/xlsx/_rels" "$work/xlsx/xl/_rels" "$work/xlsx/xl/worksheets"
cat > "$work/xlsx/[Content_Types].xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/><Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>
XML
cat > "$work/xlsx/_rels/.rels" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>
XML
cat > "$work/xlsx/xl/workbook.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Inputs" sheetId="1" r:id="rId1"/></sheets><definedNames><definedName name="Rate">Inputs!$A$1</definedName><definedName name="Local" localSheetId="0">Inputs!$A$1:$B$3</definedName></definedNames></workbook>
XML
cat > "$work/xlsx/xl/_rels/workbook.xml.rels" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>
XML
cat > "$work/xlsx/xl/sharedStrings.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="2" uniqueCount="2"><si><t>hello</t></si><si><r><t>rich</t></r><r><rPr><b/></rPr><t> text</t></r></si></sst>
XML
cat > "$work/xlsx/xl/worksheets/sheet1.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><cols><col min="1" max="2" width="14.5" customWidth="1"/></cols><sheetData><row r="1"><c r="A1"><v>2</v></c><c r="B1" t="s"><v>0</v></c><c r="C1"><f>A1*3</f><v>6</v></c></row><row r="2"><c r="A2" t="b"><v>1</v></c><c r="B2" t="s"><v>1</v></c><c r="C2"><f t="shared" ref="C2:C3" si="0">A2+Rate</f><v>3</v></c><c r="D2" t="str"><f>IF(A2,"yes","no")</f><v>yes</v></c></row><row r="3"><c r="A3" t="inlineStr"><is><t>inline</t></is></c><c r="B3" t="e"><v>#N/A</v></c><c r="C3"><f t="shared" si="0"/><v>2</v></c><c r="D3" t="d"><v>2024-02-29T12:00:00</v></c></row></sheetData></worksheet>
XML
seed xlsx 0 "$work/xlsx" '[Content_Types].xml' _rels/.rels xl/workbook.xml xl/_rels/workbook.xml.rels \
  xl/sharedStrings.xml xl/worksheets/sheet1.xml

# The ods fixture's parts, stored.
mkdir -p "$work/ods"
(cd "$work/ods" && unzip -q "$seeds/../../fixtures/model.ods")
seed ods-stored 1 "$work/ods" mimetype META-INF/manifest.xml content.xml
