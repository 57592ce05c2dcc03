// Writes the example workbooks in examples/: small models with labelled
// inputs (labels to the left) and formula outputs.
//   build/tools/tarvio-make-examples examples
#include "Workbook.h"
#include "io/WorkbookFiles.h"

#include <iostream>
#include <string>
#include <utility>
#include <vector>

using namespace workbook;

namespace {

struct Input
{
    const char *label;
    double value;
    // Inputs take sliders, which write any number of their step: the format
    // must show each one whole.
    const char *format = "General";
};

struct Model
{
    const char *file;
    const char *sheet;
    const char *title;
    std::vector<Input> inputs;
    std::vector<std::pair<const char *, const char *>> outputs; // label, formula
    const char *resultFormat;
};

StyleIndex styleOf(Workbook &book, const char *numberFormat, bool bold = false)
{
    CellStyle style;
    style.numberFormat = numberFormat;
    style.bold = bold;
    return book.formats().addStyle(style);
}

bool write(const Model &model, const std::string &folder)
{
    Workbook book;
    const SheetIndex s = book.addSheet(model.sheet);
    CellFormats &formats = book.formats();
    const StyleIndex heading = styleOf(book, "General", true), result = styleOf(book, model.resultFormat);
    book.setColumnWidth(s, 0, 20);
    book.setColumnWidth(s, 1, 14);
    book.setValue({s, 0, 0}, Value::text(model.title));
    formats.setCellStyle(s, 0, 0, heading);
    int row = 2;
    book.setValue({s, row - 1, 0}, Value::text("Inputs"));
    formats.setCellStyle(s, row - 1, 0, heading);
    for (const Input &input : model.inputs) {
        book.setValue({s, row, 0}, Value::text(input.label));
        book.setValue({s, row, 1}, Value::number(input.value));
        formats.setCellStyle(s, row, 1, styleOf(book, input.format));
        ++row;
    }
    ++row;
    formats.setCellStyle(s, row, 0, heading);
    book.setValue({s, row++, 0}, Value::text("Results"));
    for (const auto &[label, formula] : model.outputs) {
        formats.setCellStyle(s, row, 1, result);
        book.setValue({s, row, 0}, Value::text(label));
        std::string message;
        if (!book.setFormula({s, row, 1}, formula, &message)) {
            std::cerr << model.file << ": " << formula << ": " << message << "\n";
            return false;
        }
        ++row;
    }
    std::string message;
    if (!saveWorkbookXlsx(book, folder + "/" + model.file, message)) {
        std::cerr << message << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string folder = argc > 1 ? argv[1] : "examples";
    const std::vector<Model> models = {
        {"projectile.xlsx", "Projectile", "Projectile without air resistance",
         {{"Angle (degrees)", 45}, {"Speed (m/s)", 30}, {"Gravity (m/s2)", 9.81}, {"Launch height (m)", 0}},
         {{"Range (m)", "=B4*COS(RADIANS(B3))*B11"},
          {"Peak height (m)", "=B6+(B4*SIN(RADIANS(B3)))^2/(2*B5)"},
          {"Flight time (s)", "=(B4*SIN(RADIANS(B3))+SQRT((B4*SIN(RADIANS(B3)))^2+2*B5*B6))/B5"}},
         "0.00"},
        {"loan.xlsx", "Loan", "Monthly loan payment",
         {{"Annual rate", 0.05, "0.0##%"}, {"Years", 20}, {"Amount", 250000, "#,##0"}},
         {{"Monthly payment", "=-PMT(B3/12,B4*12,B5)"},
          {"Total paid", "=B8*B4*12"},
          {"Total interest", "=B9-B5"}},
         "#,##0.00"},
        {"oscillator.xlsx", "Oscillator", "Damped oscillator",
         {{"Amplitude", 1}, {"Damping ratio", 0.1}, {"Frequency (Hz)", 0.5}, {"Time (s)", 1}},
         {{"Displacement", "=B3*EXP(-B4*2*PI()*B5*B6)*COS(2*PI()*B5*SQRT(1-B4^2)*B6)"},
          {"Envelope", "=B3*EXP(-B4*2*PI()*B5*B6)"},
          {"Energy left", "=B10^2/B3^2"}},
         "0.000"},
    };
    for (const Model &model : models)
        if (!write(model, folder))
            return 1;
    return 0;
}
