/* The smallest MSVC-style consumer of tiprelay.h: every export called
 * through the import library. It is linked, not run (no C runtime). */
#include "tiprelay.h"

int start(void) {
    return msg_init(0) + set_clinettype("11", 2, 0) + set_username("u", 1, 0) + SetMessageID(0) + show_onetips(0) +
           msg_exit();
}
