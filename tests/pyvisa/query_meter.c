/* A C program that uses the installed VISA library as any other would: it
 * finds the simulated meter, asks who it is, and exercises the calls around
 * a query. Prints what it got; exits non-zero at the first wrong answer. */
#include <stdio.h>
#include <string.h>
#include <visa.h>

static int check(ViStatus status, ViStatus expected, const char* what) {
    if (status != expected) {
        char text[256];
        viStatusDesc(VI_NULL, status, text);
        fprintf(stderr, "%s: 0x%08X (%s)\n", what, (unsigned)status, text);
        return 0;
    }
    return 1;
}

int main(void) {
    ViSession rm = VI_NULL, vi = VI_NULL;
    ViFindList list = VI_NULL;
    ViUInt32 count = 0, done = 0;
    ViChar name[VI_FIND_BUFLEN], cls[VI_FIND_BUFLEN], expanded[VI_FIND_BUFLEN];
    ViChar alias[VI_FIND_BUFLEN], key[VI_FIND_BUFLEN];
    ViUInt16 type = 0, board = 99, stb = 0xFFFF;
    unsigned char reply[256];
    int ok = check(viOpenDefaultRM(&rm), VI_SUCCESS, "viOpenDefaultRM") &&
             check(viFindRsrc(rm, "USB?*INSTR", &list, &count, name), VI_SUCCESS, "viFindRsrc") &&
             check(viParseRsrcEx(rm, name, &type, &board, cls, expanded, alias), VI_SUCCESS,
                   "viParseRsrcEx") &&
             check(viOpen(rm, name, VI_NULL, 0, &vi), VI_SUCCESS, "viOpen") &&
             check(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 2000), VI_SUCCESS, "timeout") &&
             check(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS, "termchar") &&
             check(viWrite(vi, (ViConstBuf) "*IDN?\n", 6, &done), VI_SUCCESS, "viWrite") &&
             check(viReadSTB(vi, &stb), VI_SUCCESS, "viReadSTB");
    if (!ok) {
        return 1;
    }
    if (type != VI_INTF_USB || board != 0 || strcmp(cls, "INSTR") != 0 || (stb & 0x10) == 0) {
        fprintf(stderr, "parsed %u/%u/%s, status byte 0x%02X\n", type, board, cls, stb);
        return 1;
    }
    /* END comes with the newline: the read ends on it, not on the termination character. */
    if (!check(viRead(vi, reply, sizeof reply - 1, &done), VI_SUCCESS, "viRead")) {
        return 1;
    }
    reply[done] = '\0';
    printf("%s: %s", expanded, (const char*)reply);
    if (strncmp((const char*)reply, "KORVATA,", 8) != 0) {
        return 1;
    }
    ok = check(viLock(vi, VI_SHARED_LOCK, 0, VI_NULL, key), VI_SUCCESS, "viLock") &&
         check(viUnlock(vi), VI_SUCCESS, "viUnlock") &&
         check(viUnlock(vi), VI_ERROR_SESN_NLOCKED, "second viUnlock") &&
         check(viClear(vi), VI_SUCCESS, "viClear") &&
         check(viSetBuf(vi, VI_READ_BUF, 4096), VI_WARN_NSUP_BUF, "viSetBuf") &&
         check(viFlush(vi, VI_READ_BUF_DISCARD), VI_SUCCESS, "viFlush") &&
         check(viClose(vi), VI_SUCCESS, "viClose") &&
         check(viReadSTB(vi, &stb), VI_ERROR_INV_OBJECT, "viReadSTB after close") &&
         check(viClose(rm), VI_SUCCESS, "viClose(rm)");
    return ok ? 0 : 1;
}
