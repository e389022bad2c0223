#include "SimStateFile.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>

using nlohmann::json;

namespace {
bool IsSetting(const SimCatalog::_SParam& param) {
    return !param.readOnly && param.kind != SimCatalog::Kind::Execute;
}
} // namespace

bool SimStateFile::Save(const SimCatalog& catalog, const SimMemory& memory,
                        std::string& error) const {
    json settings = json::object();
    for (const auto& param : catalog.Params())
        if (IsSetting(param)) settings[std::to_string(param.id)] = memory.Value(param.id);
    const std::string temporary = mPath + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << json{{"settings", settings}}.dump(1) << '\n';
        if (!out.flush()) {
            error = "cannot write " + temporary;
            return false;
        }
    }
    if (std::rename(temporary.c_str(), mPath.c_str()) != 0) {
        error = "cannot replace " + mPath;
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool SimStateFile::Load(const SimCatalog& catalog, SimMemory& memory, std::string& error) const {
    std::ifstream in(mPath);
    if (!in) return true;
    const json doc = json::parse(in, nullptr, false);
    if (doc.is_discarded() || !doc.contains("settings") || !doc["settings"].is_object()) {
        error = mPath + " is not a saved state";
        return false;
    }
    std::vector<SimMemory::_SExecute> none;
    for (const auto& param : catalog.Params()) {
        const auto it = doc["settings"].find(std::to_string(param.id));
        if (!IsSetting(param) || it == doc["settings"].end() || !it->is_number_integer()) continue;
        const int value = it->get<int>();
        if (!SimCatalog::Accepts(param, value)) continue;
        uint8_t bytes[2];
        SimCatalog::Encode(param, value, bytes);
        memory.Write(param.id, bytes, param.width, none);
    }
    return true;
}
