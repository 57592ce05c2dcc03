#pragma once

#include "Reference.h"
#include "Value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace workbook {

// The compiled form of a formula: instructions in postfix order for a stack
// machine, with their operands in side tables.
enum class OpCode : std::uint8_t {
    PushValue,  // constants[index]
    PushRange,  // references[index]; a single cell or a rectangle
    PushName,   // names[index]; a defined name, resolved when evaluated
    PushMissing, // an argument left out, as in ROUND(1.5,)
    PushArray,  // arrays[index]; an array constant such as {1,2;3,4}
    Negate,
    Percent,
    Add,
    Subtract,
    Multiply,
    Divide,
    Power,
    Concatenate,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    Call, // functions[index] with `count` arguments; an unknown function gives #NAME?
    RangeOf,   // ":" between references that are computed, as in INDEX(A1:C3,1,1):B5
    Intersect, // " " between two references: the cells they share
    Union,     // "," inside parentheses: `count` references as one
};

struct Instruction
{
    OpCode op;
    // Set where the value is wanted element by element (an array formula, an
    // argument of SUMPRODUCT): operators and one-value functions then work
    // over whole ranges rather than the cell in the caller's row or column.
    bool arrayContext = false;
    std::uint16_t count = 0;
    std::uint32_t index = 0;
};

struct Program
{
    std::vector<Instruction> code;
    std::vector<Value> constants;
    std::vector<ValueArray> arrays;
    std::vector<RangeReference> references;
    std::vector<std::string> names;     // upper case
    std::vector<std::string> functions; // upper case, as written
};

} // namespace workbook
