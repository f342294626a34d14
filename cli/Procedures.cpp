#include "cli/Procedures.h"

#include "engine/NumberText.h"

#include <algorithm>
#include <cctype>

namespace brevant::cli {

Box GeneralBox(std::string control, std::string label, std::variant<float, double, std::int64_t> value) {
    std::string text = std::visit([](auto v) { return GeneralText(v); }, value);
    return {std::move(control), std::move(label), value, std::move(text)};
}

Box ThreeDecimalBox(std::string control, std::string label, std::variant<float, double> value) {
    const double shown = std::visit([](auto v) { return static_cast<double>(v); }, value);
    std::variant<float, double, std::int64_t> kept = std::visit(
        [](auto v) { return std::variant<float, double, std::int64_t>(v); }, value);
    return {std::move(control), std::move(label), kept, ThreeDecimalText(shown)};
}

const Procedure* ProcedureTable::Find(std::string_view name) const {
    const auto same = [name](const Procedure& p) {
        return std::equal(p.name.begin(), p.name.end(), name.begin(), name.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
    };
    const auto found = std::find_if(procedures_.begin(), procedures_.end(), same);
    return found == procedures_.end() ? nullptr : &*found;
}

std::string ProcedureTable::NameList() const {
    if (procedures_.empty()) return "none yet";
    std::string list;
    for (const Procedure& p : procedures_) {
        if (!list.empty()) list += ", ";
        list += p.name;
    }
    return list;
}

const ProcedureTable& BuiltinProcedures() {
    // One row per procedure: {name, caption, hasConfidence, writesOutput, hasBootstrapErrors, run}.
    static const ProcedureTable table(std::vector<Procedure>{});
    return table;
}

}  // namespace brevant::cli
