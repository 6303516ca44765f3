#include "interrupt_cleanup.h"

#include <signal.h>
#include <stdlib.h>

#include <atomic>
#include <initializer_list>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tools {

namespace {

// A handler may only read what is lock-free; a plain table of pointers is.
using Slot = std::atomic<const char*>;
static_assert(ATOMIC_POINTER_LOCK_FREE == 2, "the handler reads the table without locks");
Slot g_slots[8];
std::atomic<bool> g_installed{false};

// Removes every registered file; safe in a signal handler.
void RemoveAll() {
    for (Slot& slot : g_slots) {
        const char* path = slot.load();
#ifdef _WIN32
        // The files are opened sharing deletion: the name goes now, the data
        // when the process's handle closes at its end.
        if (path) DeleteFileA(path);
#else
        if (path) unlink(path);
#endif
    }
}

#ifdef _WIN32
// Ctrl-C and Ctrl-Break reach the CRT's handler on a thread of their own.
void OnInterrupt(int) {
    RemoveAll();
    _exit((int)STATUS_CONTROL_C_EXIT);
}

void Install() {
    signal(SIGINT, OnInterrupt);
    signal(SIGBREAK, OnInterrupt);
    signal(SIGTERM, OnInterrupt);
}
#else
void OnInterrupt(int sig) {
    RemoveAll();
    // SA_RESETHAND restored the default action: the signal, pending until
    // this handler returns, then ends the process as it would have.
    raise(sig);
}

void Install() {
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction old;
        // A signal the caller ignores (nohup, a shell's trap '') stays ignored.
        if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction action = {};
        action.sa_handler = OnInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(sig, &action, nullptr);
    }
}
#endif

}  // namespace

bool RegisterTemporary(const char* path) {
    if (!g_installed.exchange(true)) Install();
    for (Slot& slot : g_slots) {
        const char* empty = nullptr;
        if (slot.compare_exchange_strong(empty, path)) return true;
    }
    return false;
}

void ForgetTemporary(const char* path) {
    for (Slot& slot : g_slots) {
        const char* expected = path;
        slot.compare_exchange_strong(expected, nullptr);
    }
}

}  // namespace tools
