#pragma once

#include "CKdPageCatalogue.h"

#include <cstddef>
#include <span>

class KdPrmView;

// The rows of a page for the value groups (CKdValueGroups): one dotted field in place of an
// address's four rows, a colour's three rows followed by its swatch, the clock's rows followed
// by "Set from this computer". Each new row's label is the buddy of its control, which is named
// after it.
class KdPrmGroupRows {
public:
    // Creates the rows for rows.front() on page, with the group it begins when all of the
    // group's rows follow in order; returns how many catalogue rows it showed (at least 1).
    static std::size_t CreateRowsAt(KdPrmView* page, std::span<const CKdPageCatalogue::_SRow> rows);
};
