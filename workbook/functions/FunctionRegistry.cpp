#include "Families.h"

#include <string>
#include <unordered_map>

namespace workbook {

namespace {

struct Registry
{
    std::vector<FunctionInfo> functions;
    std::unordered_map<std::string_view, int> byName;

    Registry()
    {
        for (const auto *family : {&functions::mathFunctions(), &functions::statisticsFunctions(),
                                   &functions::logicFunctions(), &functions::lookupFunctions(),
                                   &functions::financialFunctions(), &functions::textFunctions(),
                                   &functions::dateFunctions(), &functions::distributionFunctions(),
                                   &functions::engineeringFunctions(), &functions::arrayFunctions()}) {
            for (const FunctionInfo &info : *family) {
                byName.emplace(info.name, static_cast<int>(functions.size()));
                functions.push_back(info);
            }
        }
    }
};

const Registry &registry()
{
    static const Registry instance;
    return instance;
}

} // namespace

int findFunction(std::string_view upperName)
{
    const auto &byName = registry().byName;
    const auto found = byName.find(upperName);
    return found == byName.end() ? -1 : found->second;
}

double (*numericFunction(std::string_view upperName))(double)
{
    return functions::numericFunctionOf(upperName);
}

const FunctionInfo &functionInfo(int index)
{
    return registry().functions.at(index);
}

} // namespace workbook
