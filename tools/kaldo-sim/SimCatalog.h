#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <string>
#include <vector>

// What the simulated switcher knows about its parameter memory: the properties of every
// identifier (width, signedness, range, read-only, execute) and the factory image, both loaded
// from the JSON data file.
class SimCatalog {
public:
    static constexpr int kMemorySize = 1024;

    enum class Kind { Number, Character, Execute };

    struct _SParam {
        int id = 0;
        int width = 1; // bytes: 1 or 2
        bool isSigned = false;
        Kind kind = Kind::Number;
        bool readOnly = false;
        bool offTop = false; // the top value travels as 255
        int min = 0;
        int max = 0;
        std::string label;
    };

    struct _SDevice {
        unsigned vendor = 0;
        unsigned product = 0;
        std::string vendorName;
        std::string productName;
        unsigned location = 0;
    };

    bool Load(const std::string& path, std::string& error);

    // Value of a parameter from its bytes (little-endian, sign-extended when signed).
    static int Decode(const _SParam& param, const uint8_t* bytes);
    // Lays down a value in the parameter's width, least significant byte first.
    static void Encode(const _SParam& param, int value, uint8_t* bytes);
    // Whether the parameter may hold this value: its range, or for characters 0 and 32 to 127.
    static bool Accepts(const _SParam& param, int value);

    // The parameter that occupies the byte at this identifier (also the second byte of a
    // 16-bit parameter), or null for an undefined identifier.
    const _SParam* ParamAt(int id) const;
    const std::vector<_SParam>& Params() const { return mParams; }
    const _SDevice& Device() const { return mDevice; }
    const std::vector<uint8_t>& FactoryImage() const { return mFactory; }
    // Replaces bytes of the factory image (this unit's serial number, versions).
    bool SetFactoryBytes(int id, const std::vector<uint8_t>& bytes);

private:
    bool AddEntry(const nlohmann::json& entry, std::string& error);

    _SDevice mDevice;
    std::vector<_SParam> mParams;
    std::vector<int> mIndex = std::vector<int>(kMemorySize, -1); // byte -> index in mParams
    std::vector<uint8_t> mFactory = std::vector<uint8_t>(kMemorySize, 0);
};
