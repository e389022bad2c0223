#include "SimCatalog.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <map>

using nlohmann::json;

namespace {

struct TypeInfo {
    int width;
    bool isSigned;
    SimCatalog::Kind kind;
};

const std::map<std::string, TypeInfo> kTypes = {
    {"u8", {1, false, SimCatalog::Kind::Number}},
    {"s8", {1, true, SimCatalog::Kind::Number}},
    {"u16", {2, false, SimCatalog::Kind::Number}},
    {"s16", {2, true, SimCatalog::Kind::Number}},
    {"char", {1, false, SimCatalog::Kind::Character}},
    {"exec", {1, false, SimCatalog::Kind::Execute}},
};

unsigned HexNumber(const json& value) {
    return static_cast<unsigned>(std::stoul(value.get<std::string>(), nullptr, 0));
}

// Factory value of the k-th parameter of an entry: one number for all, a list, or a text.
int FactoryValue(const json& factory, int k) {
    if (factory.is_number()) return factory.get<int>();
    if (factory.is_array()) return k < static_cast<int>(factory.size()) ? factory[k].get<int>() : 0;
    if (factory.is_string()) {
        const auto text = factory.get<std::string>();
        return k < static_cast<int>(text.size()) ? static_cast<unsigned char>(text[k]) : 0;
    }
    return 0;
}

} // namespace

bool SimCatalog::Load(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    const json doc = json::parse(in, nullptr, false);
    if (doc.is_discarded()) {
        error = path + " is not valid JSON";
        return false;
    }
    try {
        const json& device = doc.at("device");
        mDevice.vendor = HexNumber(device.at("vendor"));
        mDevice.product = HexNumber(device.at("product"));
        mDevice.vendorName = device.at("vendor_name").get<std::string>();
        mDevice.productName = device.at("product_name").get<std::string>();
        mDevice.location = HexNumber(device.at("location"));
        for (const json& entry : doc.at("parameters"))
            if (!AddEntry(entry, error)) return false;
    } catch (const std::exception& e) {
        error = path + ": " + e.what();
        return false;
    }
    return true;
}

bool SimCatalog::AddEntry(const json& entry, std::string& error) {
    const int first = entry.at("id").get<int>();
    const auto type = kTypes.find(entry.at("type").get<std::string>());
    if (type == kTypes.end()) {
        error = "unknown type at " + std::to_string(first);
        return false;
    }
    _SParam param;
    param.width = type->second.width;
    param.isSigned = type->second.isSigned;
    param.kind = type->second.kind;
    param.readOnly = entry.value("readonly", false);
    param.offTop = entry.value("off", false);
    param.min = entry.value("min", 0);
    param.max = entry.value("max", param.kind == Kind::Number ? 0 : 1);
    if (param.kind == Kind::Character) param.max = 127;
    param.label = entry.value("label", "");
    const int count = entry.value("count", 1);
    const int stride = entry.value("stride", param.width);
    const json factory = entry.value("factory", json(0));

    for (int k = 0; k < count; ++k) {
        param.id = first + k * stride;
        const int value = FactoryValue(factory, k);
        bool free = param.id >= 0 && param.id + param.width <= kMemorySize;
        for (int b = 0; free && b < param.width; ++b)
            free = mIndex[param.id + b] < 0;
        if (!free || (!param.readOnly && param.kind != Kind::Execute && !Accepts(param, value))) {
            error = "bad entry at " + std::to_string(param.id);
            return false;
        }
        for (int b = 0; b < param.width; ++b)
            mIndex[param.id + b] = static_cast<int>(mParams.size());
        if (param.kind != Kind::Execute) Encode(param, value, &mFactory[param.id]);
        mParams.push_back(param);
    }
    return true;
}

const SimCatalog::_SParam* SimCatalog::ParamAt(int id) const {
    if (id < 0 || id >= kMemorySize || mIndex[id] < 0) return nullptr;
    return &mParams[mIndex[id]];
}

bool SimCatalog::SetFactoryBytes(int id, const std::vector<uint8_t>& bytes) {
    if (id < 0 || id + static_cast<int>(bytes.size()) > kMemorySize) return false;
    std::copy(bytes.begin(), bytes.end(), mFactory.begin() + id);
    return true;
}

int SimCatalog::Decode(const _SParam& param, const uint8_t* bytes) {
    if (param.width == 2) {
        const int value = bytes[0] | (bytes[1] << 8);
        return param.isSigned ? static_cast<int16_t>(value) : value;
    }
    return param.isSigned ? static_cast<int8_t>(bytes[0]) : bytes[0];
}

void SimCatalog::Encode(const _SParam& param, int value, uint8_t* bytes) {
    for (int b = 0; b < param.width; ++b)
        bytes[b] = static_cast<uint8_t>(static_cast<unsigned>(value) >> (8 * b));
}

bool SimCatalog::Accepts(const _SParam& param, int value) {
    if (param.kind == Kind::Character) return value == 0 || (value >= 32 && value <= 127);
    return value >= param.min && value <= param.max;
}
