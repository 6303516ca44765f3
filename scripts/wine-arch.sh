#!/usr/bin/env bash
# Prints win32 when this machine runs Wine's 32-bit loader, else win64.
. "$(dirname "$0")/wine-env.sh"
kivra_wine_arch
