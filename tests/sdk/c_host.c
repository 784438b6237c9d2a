/* A host written in C that links tiprelay through its import library, as
 * a host developer would. Exits 0 when every export answered as documented. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "tiprelay.h"

static int failures = 0;

static void expect(int got, int want, const char* what) {
    if (got != want) {
        printf("FAIL %s: got %d, want %d\n", what, got, want);
        ++failures;
    }
}

int main(void) {
    const char* name = "c-host";
    expect(msg_exit(), 0, "msg_exit before msg_init");
    expect(msg_init(0), 1, "msg_init");
    expect(set_clinettype("11", 2, 0), 1, "set_clinettype");
    expect(set_username(name, (int)strlen(name), 0), 1, "set_username");
    expect(SetMessageID(0), 1, "SetMessageID");
    expect(show_onetips(0), 1, "show_onetips");
    expect(msg_exit(), 1, "msg_exit");
    expect(msg_exit(), 0, "second msg_exit");
    printf("c_host: %s\n", failures == 0 ? "ok" : "failed");
    return failures == 0 ? 0 : 1;
}
