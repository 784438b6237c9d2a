/* A host written in C that links tiprelay through its import library, as
 * a host developer would. Exits 0 when every export answered as documented. */
#include <stdio.h>
#include <windows.h>

#include "tiprelay.h"

int main(void) {
    int got[8]; /* one statement each: the calls run in this order */
    got[0] = msg_exit(), got[1] = msg_init(0), got[2] = set_clinettype("11", 2, 0);
    got[3] = set_username("c-host", 6, 0), got[4] = SetMessageID(0), got[5] = show_onetips(0);
    got[6] = msg_exit(), got[7] = msg_exit();
    const int want[] = {0, 1, 1, 1, 1, 1, 1, 0}; /* no stop before a start, nor a second one */
    int failures = 0;
    for (int i = 0; i < 8; ++i)
        if (got[i] != want[i]) printf("FAIL call %d: got %d, want %d\n", i + 1, got[i], want[i]), ++failures;
    printf("c_host: %s\n", failures == 0 ? "ok" : "failed");
    return failures == 0 ? 0 : 1;
}
