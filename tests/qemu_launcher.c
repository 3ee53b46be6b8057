// SPDX-License-Identifier: ISC
// Stands in for a tool built for another CPU, so that the tests can start it
// from a shell as they start the native one: runs TOOL under the user-mode
// emulator QEMU with the target's libraries under PREFIX, with the argv[0]
// it was called by and the same environment. Built static, as qemu-user is,
// so that LD_PRELOAD (the fault shim) reaches the target's loader alone.
//   cc -static -DQEMU='"..."' -DPREFIX='"..."' -DTOOL='"..."' qemu_launcher.c
#include <stdio.h>
#include <unistd.h>

int main(int argc, char *argv[]) {
    char *args[argc + 6];
    int n = 0;
    args[n++] = QEMU;
    args[n++] = "-L";
    args[n++] = PREFIX;
    args[n++] = "-0";
    args[n++] = argc > 0 ? argv[0] : TOOL;
    args[n++] = TOOL;
    for (int i = 1; i < argc; ++i)
        args[n++] = argv[i];
    args[n] = NULL;
    execv(QEMU, args);
    perror(QEMU);
    return 127;
}
