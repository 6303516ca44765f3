#!/usr/bin/env bash
# Prints win32 when this machine runs Wine's 32-bit loader, else win64;
# with --why, the reason for win64 (nothing for win32).
. "$(dirname "$0")/wine-env.sh"
if [ "${1:-}" = --why ]; then kivra_wine_why; else kivra_wine_arch; fi
