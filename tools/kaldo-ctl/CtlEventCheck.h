#pragma once

#include <string>

// Checks a companion event text against the words the utility accepts, the way its interpreter
// reads them: fields split at ':', compared exactly and with case.
class CtlEventCheck {
public:
    // True when the utility would act on text; otherwise why not. replyExpected is set for dial
    // events ("Touch", "Press" or "Rotate" with "enc"), which the utility answers with one line.
    static bool Check(const std::string& text, std::string& why, bool& replyExpected);
};
