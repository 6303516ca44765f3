// Stand-in for the admission program kopApxSvr.exe of a demo payload: appends
// its command line to kopApxSvr-record.txt beside itself, and what it was
// started with (folder, environment) to kopApxSvr-session.txt, and ends.
#include <string.h>
#include <windows.h>

#include "standin_record.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    AppendBesideSelf("kopApxSvr-record.txt", commandLine, strlen(commandLine));
    AppendBesideSelf("kopApxSvr-record.txt", "\r\n", 2);
    RecordSession("kopApxSvr-session.txt");
    return 0;
}
