// Labels misspelt on the switcher's menu are also taken spelt correctly; what kaldo-ctl prints
// stays the label.
#include "Ctl.h"

#include <gtest/gtest.h>

TEST(KaldoCtlSpelling, CorrectedSpellingsNameTheMisspeltRows) {
    Sim sim;
    struct Case {
        const char* name;
        const char* printed; // "ID LABEL: " as get prints it
    };
    const Case cases[] = {
        {"PinP Border Color Red", "236 PinP Border Volor Red: "},
        {"pinp border color green", "237 PinP Border Volor Green: "},
        {"Mix/Effect/PinP/PinP Border Color Blue", "238 PinP Border Volor Blue: "},
        {"PinP Border Volor Blue", "238 PinP Border Volor Blue: "},
        {"SNMP Main Out HPD Trap", "613 SNMP Main Our HPD Trap: "},
        {"SNMP Main Our HPD Trap", "613 SNMP Main Our HPD Trap: "},
    };
    for (const Case& c : cases) {
        const CtlResult get = sim.Ctl({"get", c.name});
        EXPECT_EQ(get.code, kOK) << c.name << ": " << get.err;
        EXPECT_EQ(get.out.rfind(c.printed, 0), 0u) << c.name << ": " << get.out;
    }

    // A write by the corrected name reaches the identifier of the label.
    const CtlResult set = sim.Ctl({"set", "PinP Border Color Green", "17"});
    EXPECT_EQ(set.code, kOK) << set.err;
    EXPECT_EQ(sim.Get("237", true), "17");
}
