#include "LHidTransport.h"

#include <unistd.h>

void LHidTransport::Close() {
    if (mDescriptor >= 0) close(mDescriptor);
    mDescriptor = -1;
}
