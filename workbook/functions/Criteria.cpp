#include "Families.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace workbook::functions {

namespace {

// A pattern read once: literal bytes, ? (one character) and runs of * (any run).
struct WildcardToken
{
    enum class Kind : std::uint8_t { Literal, One, Run };
    Kind kind;
    char c;
};

std::vector<WildcardToken> tokenize(const std::string &pattern)
{
    std::vector<WildcardToken> tokens;
    for (size_t p = 0; p < pattern.size(); ++p) {
        const char c = pattern[p];
        if (c == '*') {
            if (tokens.empty() || tokens.back().kind != WildcardToken::Kind::Run)
                tokens.push_back({WildcardToken::Kind::Run, c});
        } else if (c == '?') {
            tokens.push_back({WildcardToken::Kind::One, c});
        } else if (c == '~' && p + 1 < pattern.size()) {
            tokens.push_back({WildcardToken::Kind::Literal, pattern[++p]});
        } else {
            tokens.push_back({WildcardToken::Kind::Literal, c});
        }
    }
    return tokens;
}

// The start of the UTF-8 character after the one at `t`.
size_t nextCharacter(const std::string &text, size_t t)
{
    ++t;
    while (t < text.size() && (static_cast<unsigned char>(text[t]) & 0xC0) == 0x80)
        ++t;
    return t;
}

// Whether tokens from `p` on match the text from `t` to its end (with
// `prefix`, to anywhere). Greedy, returning to the last run on a mismatch:
// time is bounded by the product of the lengths, however many runs there are.
bool matchFrom(const std::string &text, size_t t, const std::vector<WildcardToken> &tokens, size_t p, bool prefix)
{
    size_t runToken = std::string::npos, runStart = 0;
    for (;;) {
        if (p == tokens.size() && (prefix || t == text.size()))
            return true;
        if (p < tokens.size() && tokens[p].kind == WildcardToken::Kind::Run) {
            runToken = p++;
            runStart = t;
            continue;
        }
        if (p < tokens.size() && t < text.size()
            && (tokens[p].kind == WildcardToken::Kind::One || tokens[p].c == text[t])) {
            t = tokens[p].kind == WildcardToken::Kind::One ? nextCharacter(text, t) : t + 1;
            ++p;
            continue;
        }
        if (runToken == std::string::npos || runStart >= text.size())
            return false;
        runStart = nextCharacter(text, runStart);
        t = runStart;
        p = runToken + 1;
    }
}

// Where tokens before `end` (none of them a run) match from `t`; npos when they do not.
size_t matchHead(const std::string &text, size_t t, const std::vector<WildcardToken> &tokens, size_t end)
{
    for (size_t p = 0; p < end; ++p) {
        if (t >= text.size() || (tokens[p].kind == WildcardToken::Kind::Literal && tokens[p].c != text[t]))
            return std::string::npos;
        t = tokens[p].kind == WildcardToken::Kind::One ? nextCharacter(text, t) : t + 1;
    }
    return t;
}

} // namespace

bool wildcardMatch(const std::string &text, const std::string &pattern)
{
    return matchFrom(foldCase(text), 0, tokenize(foldCase(pattern)), 0, false);
}

size_t wildcardFind(const std::string &text, const std::string &pattern, size_t from)
{
    const std::string folded = foldCase(text);
    const std::vector<WildcardToken> tokens = tokenize(foldCase(pattern));
    const size_t head = static_cast<size_t>(
        std::find_if(tokens.begin(), tokens.end(), [](const WildcardToken &t) { return t.kind == WildcardToken::Kind::Run; })
        - tokens.begin());
    // The first start where the part before any run matches is the answer if
    // any is: a later start only leaves less text for the rest.
    for (size_t t = from; t <= folded.size(); t = nextCharacter(folded, t)) {
        const size_t end = matchHead(folded, t, tokens, head);
        if (end != std::string::npos)
            return matchFrom(folded, end, tokens, head, true) ? t : std::string::npos;
    }
    return std::string::npos;
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

void forEachFilled(FunctionArgs &args, int i, const std::function<void(int, int, const Value &)> &visit)
{
    if (args.isRange(i)) {
        args.forEachCell(i, visit);
        return;
    }
    const Value v = args.value(i);
    if (!v.isEmpty())
        visit(0, 0, v);
}

bool matchCriteria(FunctionArgs &args, const std::vector<int> &rangeArgs, int valueArg, CriteriaHits &hits)
{
    std::vector<Criterion> criteria;
    for (int i : rangeArgs) {
        const Value criterionValue = args.value(i + 1);
        if (criterionValue.isError()) {
            args.fail(criterionValue.asError());
            return false;
        }
        criteria.emplace_back(criterionValue);
    }
    const int rows = args.rows(rangeArgs.front()), columns = args.columns(rangeArgs.front());
    const auto matchesAll = [&](int r, int c) {
        for (size_t k = 0; k < criteria.size(); ++k)
            if (!criteria[k].matches(args.at(rangeArgs[k], r, c)))
                return false;
        return true;
    };
    // A criterion that empty cells fail limits the search to the cells its range holds.
    const auto driver = std::find_if(criteria.begin(), criteria.end(), [](const Criterion &c) { return !c.matchesEmpty(); });
    if (driver != criteria.end()) {
        const int driverArg = rangeArgs[driver - criteria.begin()];
        forEachFilled(args, driverArg, [&](int r, int c, const Value &v) {
            if (driver->matches(v) && matchesAll(r, c))
                hits.offsets.emplace_back(r, c);
        });
        return true;
    }
    // Every criterion takes empty cells: the offsets where some range holds
    // a value are tested, and all the others match without being visited.
    std::vector<long long> filled;
    std::vector<int> visited = rangeArgs;
    if (valueArg >= 0)
        visited.push_back(valueArg);
    for (int i : visited) {
        forEachFilled(args, i, [&](int r, int c, const Value &) {
            if (r < rows && c < columns)
                filled.push_back(static_cast<long long>(r) * columns + c);
        });
    }
    std::sort(filled.begin(), filled.end());
    filled.erase(std::unique(filled.begin(), filled.end()), filled.end());
    for (long long offset : filled) {
        const int r = static_cast<int>(offset / columns), c = static_cast<int>(offset % columns);
        if (matchesAll(r, c))
            hits.offsets.emplace_back(r, c);
    }
    hits.elsewhere = static_cast<double>(rows) * columns - static_cast<double>(filled.size());
    return true;
}

bool matchAllCriteria(FunctionArgs &args, int first, int valueArg, CriteriaHits &hits)
{
    if ((args.count() - first) % 2 != 0 || args.count() <= first) {
        args.fail(ErrorCode::Value);
        return false;
    }
    const int shapeArg = valueArg >= 0 ? valueArg : first;
    std::vector<int> rangeArgs;
    for (int i = first; i < args.count(); i += 2) {
        if (args.rows(i) != args.rows(shapeArg) || args.columns(i) != args.columns(shapeArg)) {
            args.fail(ErrorCode::Value);
            return false;
        }
        rangeArgs.push_back(i);
    }
    return matchCriteria(args, rangeArgs, valueArg, hits);
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
