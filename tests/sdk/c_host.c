/* A host written in C that links tiprelay through its import library, as
 * a host developer would. Exits 0 when every export answered as documented. */
#include <stdio.h>
#include <windows.h>

#include "tiprelay.h"

static int failures = 0;

static void Expect(const char* call, int got, int want) {
    if (got == want) return;
    printf("FAIL %s: got %d, want %d\n", call, got, want);
    ++failures;
}

int main(void) {
    Expect("msg_exit before a start", msg_exit(), 0);
    Expect("msg_init", msg_init(0), 1);
    Expect("set_clinettype", set_clinettype("11", 2, 0), 1);
    Expect("set_username", set_username("c-host", 6, 0), 1);
    Expect("SetMessageID", SetMessageID(0), 1);
    Expect("show_onetips", show_onetips(0), 1);
    Expect("msg_exit", msg_exit(), 1);
    Expect("a second msg_exit", msg_exit(), 0);
    printf("c_host: %s\n", failures == 0 ? "ok" : "failed");
    return failures == 0 ? 0 : 1;
}
