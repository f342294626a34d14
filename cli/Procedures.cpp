#include "cli/Procedures.h"

#include <algorithm>
#include <cctype>

namespace brevant::cli {

Procedure Entry(std::string_view name, std::string_view caption, unsigned features, PlainProcedure procedure,
                SettingsCheck checkSettings) {
    return {name, caption, features,
            [procedure](DataFile& file, const RunSettings& settings, const Choices&, Generator& generator,
                        RunControl& control) { return procedure(file, settings, generator, control); },
            checkSettings};
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
    static const ProcedureTable table = [] {
        std::vector<Procedure> rows;
        for (const CatalogueEntry& entry : ProcedureCatalogue()) {
            rows.push_back({entry.name, entry.caption, entry.features,
                            [&entry](DataFile& file, const RunSettings& settings, const Choices& choices,
                                     Generator& generator, RunControl& control) {
                                return entry.Run(file, settings, choices, generator, control);
                            },
                            entry.checkSettings});
        }
        return ProcedureTable(std::move(rows));
    }();
    return table;
}

}  // namespace brevant::cli
