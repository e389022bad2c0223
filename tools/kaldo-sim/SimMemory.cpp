#include "SimMemory.h"

#include <algorithm>

namespace {
constexpr int kOffWireValue = 255;

bool InMemory(int id, int count) {
    return id >= 0 && count >= 1 && id + count <= SimCatalog::kMemorySize;
}
} // namespace

SimMemory::SimMemory(const SimCatalog& catalog)
    : mCatalog(catalog), mBytes(catalog.FactoryImage()) {}

bool SimMemory::Read(int id, int count, std::vector<uint8_t>& out) const {
    if (!InMemory(id, count)) return false;
    out.assign(mBytes.begin() + id, mBytes.begin() + id + count);
    for (int p = 0; p < count; ++p) {
        const auto* param = mCatalog.ParamAt(id + p);
        if (param && param->offTop && param->id == id + p && Value(id + p) == param->max)
            out[p] = kOffWireValue;
    }
    return true;
}

bool SimMemory::Write(int id, const uint8_t* bytes, int count, std::vector<_SExecute>& executes) {
    if (!InMemory(id, count)) return false;
    std::vector<uint8_t> staged = mBytes;
    std::vector<_SExecute> acts;
    for (int p = 0; p < count;) {
        const auto* param = mCatalog.ParamAt(id + p);
        if (!param || param->id != id + p || p + param->width > count || param->readOnly)
            return false;
        int value = SimCatalog::Decode(*param, bytes + p);
        if (param->offTop && bytes[p] == kOffWireValue) value = param->max;
        if (!SimCatalog::Accepts(*param, value)) return false;
        if (param->kind == SimCatalog::Kind::Execute)
            acts.push_back({param->id, value});
        else
            SimCatalog::Encode(*param, value, &staged[param->id]);
        p += param->width;
    }
    mBytes.swap(staged);
    executes.insert(executes.end(), acts.begin(), acts.end());
    return true;
}

int SimMemory::Value(int id) const {
    const auto* param = mCatalog.ParamAt(id);
    if (!param || param->id != id) return 0;
    return SimCatalog::Decode(*param, &mBytes[id]);
}

void SimMemory::SetValue(int id, int value) {
    const auto* param = mCatalog.ParamAt(id);
    if (!param || param->id != id || param->kind == SimCatalog::Kind::Execute) return;
    SimCatalog::Encode(*param, std::clamp(value, param->min, param->max), &mBytes[id]);
}

void SimMemory::Copy(int from, int to, int count) {
    if (!InMemory(from, count) || !InMemory(to, count)) return;
    std::copy_n(mBytes.begin() + from, count, mBytes.begin() + to);
}
