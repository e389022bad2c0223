#pragma once

#include "SimMemory.h"

#include <string>

// The settings kept by "Parameter Save": a JSON object of the writable parameters' values by
// identifier, so that a later start finds the saved state.
class SimStateFile {
public:
    explicit SimStateFile(std::string path) : mPath(std::move(path)) {}

    // Writes every writable parameter into a new file of mode 0600 (it holds the password) that
    // replaces the old one whole.
    bool Save(const SimCatalog& catalog, const SimMemory& memory, std::string& error) const;
    // Stores each saved value that the memory accepts; a missing file loads nothing, anything
    // but a regular file is an error.
    bool Load(const SimCatalog& catalog, SimMemory& memory, std::string& error) const;

private:
    std::string mPath;
};
