#include "Families.h"

#include <cstdio>
#include <cstdlib>

namespace workbook::functions {

namespace {

bool matchFrom(const std::string &text, size_t t, const std::string &pattern, size_t p)
{
    while (p < pattern.size()) {
        const char c = pattern[p];
        if (c == '*') {
            while (p < pattern.size() && pattern[p] == '*')
                ++p;
            if (p == pattern.size())
                return true;
            for (size_t k = t; k <= text.size(); ++k)
                if (matchFrom(text, k, pattern, p))
                    return true;
            return false;
        }
        if (t >= text.size())
            return false;
        if (c == '~' && p + 1 < pattern.size()) {
            if (text[t] != pattern[p + 1])
                return false;
            p += 2;
            ++t;
            continue;
        }
        if (c != '?' && c != text[t])
            return false;
        ++p;
        ++t;
    }
    return t == text.size();
}

} // namespace

bool wildcardMatch(const std::string &text, const std::string &pattern)
{
    return matchFrom(foldCase(text), 0, foldCase(pattern), 0);
}

Criterion::Criterion(const Value &criterion)
{
    if (!criterion.isText()) {
        m_operand = criterion.isEmpty() ? Value::text(std::string()) : criterion;
        return;
    }
    std::string text = criterion.asText();
    static const std::pair<const char *, Relation> prefixes[] = {
        {"<=", Relation::LessEqual}, {">=", Relation::GreaterEqual}, {"<>", Relation::NotEqual},
        {"<", Relation::Less},       {">", Relation::Greater},       {"=", Relation::Equal},
    };
    for (const auto &[prefix, relation] : prefixes) {
        const std::string p(prefix);
        if (text.compare(0, p.size(), p) == 0) {
            m_relation = relation;
            text = text.substr(p.size());
            break;
        }
    }
    double number = 0;
    const std::string folded = foldCase(text);
    if (parseNumberText(text, number))
        m_operand = Value::number(number);
    else if (folded == "true" || folded == "false")
        m_operand = Value::boolean(folded == "true");
    else
        m_operand = Value::text(text);
    m_wildcards = m_operand.isText() && text.find_first_of("*?~") != std::string::npos
        && (m_relation == Relation::Equal || m_relation == Relation::NotEqual);
}

bool Criterion::matches(const Value &value) const
{
    if (m_operand.isText() && m_operand.asText().empty()) {
        // "" and "=" match empty cells; "<>" matches every other.
        const bool blank = value.isEmpty() || (value.isText() && value.asText().empty());
        return m_relation == Relation::NotEqual ? !blank : m_relation == Relation::Equal ? blank : false;
    }
    bool comparable = value.type() == m_operand.type();
    if (m_relation == Relation::NotEqual && !comparable)
        return true;
    if (!comparable)
        return false;
    if (m_wildcards) {
        const bool match = wildcardMatch(value.asText(), m_operand.asText());
        return m_relation == Relation::Equal ? match : !match;
    }
    const int order = compareValues(value, m_operand);
    switch (m_relation) {
    case Relation::Equal:
        return order == 0;
    case Relation::NotEqual:
        return order != 0;
    case Relation::Less:
        return order < 0;
    case Relation::LessEqual:
        return order <= 0;
    case Relation::Greater:
        return order > 0;
    case Relation::GreaterEqual:
        return order >= 0;
    }
    return false;
}

void forEachCriteriaCell(FunctionArgs &args, int rangeArg, const Criterion &criterion,
                         const std::function<void(int, int)> &matched)
{
    const int rows = args.rows(rangeArg), columns = args.columns(rangeArg);
    if (!args.isRange(rangeArg)) {
        if (criterion.matches(args.value(rangeArg)))
            matched(0, 0);
        return;
    }
    // Walking every cell finds the empty ones; bounded so a whole column stays quick.
    if (criterion.matchesEmpty() && static_cast<long long>(rows) * columns <= 1000000) {
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                if (criterion.matches(args.at(rangeArg, r, c)))
                    matched(r, c);
        return;
    }
    args.forEachCell(rangeArg, [&](int r, int c, const Value &v) {
        if (criterion.matches(v))
            matched(r, c);
    });
}

double roundToSignificant(double x)
{
    if (x == 0 || !std::isfinite(x))
        return x;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", x);
    return std::strtod(buffer, nullptr);
}

} // namespace workbook::functions
